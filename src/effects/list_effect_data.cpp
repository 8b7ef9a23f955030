#include "list_effect_data.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

namespace {

// The fields after the name, in their order in a value.
enum class Part { Art, Number, Class };
struct ValuePart {
    Part part;
    EffectField field;
};
const ValuePart Parts[EffectDataFieldCount] = {
    { Part::Art, EffectField::Caliber },
    { Part::Number, EffectField::Caliber },
    { Part::Number, EffectField::Prefire },
    { Part::Number, EffectField::Duration },
    { Part::Number, EffectField::Height },
    { Part::Number, EffectField::SafetyDistance },
    { Part::Number, EffectField::Nem },
    { Part::Class, EffectField::Caliber },
};

QString fileNumber(EffectField field, qint32 value)
{
    return EffectValueCell(field, value).replace(QLatin1Char(','), QLatin1Char('.'));
}

QString partText(const EffectData& data, const ValuePart& part)
{
    switch (part.part) {
    case Part::Art:
        return data.art ? EffectArtName(*data.art) : QString();
    case Part::Class:
        return data.effectClass ? EffectClassName(*data.effectClass) : QString();
    case Part::Number:
        break;
    }
    const std::optional<qint32>& value = EffectNumber(data, part.field);
    return value ? fileNumber(part.field, *value) : QString();
}

// Reads one field as written by EffectDataKeys; a German problem otherwise.
QString readPart(EffectData& data, const ValuePart& part, const QString& text)
{
    if (text.isEmpty())
        return QString();
    switch (part.part) {
    case Part::Art:
        return ReadEffectArt(text, data.art);
    case Part::Class:
        return ReadEffectClass(text, data.effectClass);
    case Part::Number:
        break;
    }
    static const QRegularExpression whole(QStringLiteral("^\\d{1,9}$"));
    static const QRegularExpression tenths(QStringLiteral("^(\\d{1,9})(?:\\.(\\d))?$"));
    const QString label = EffectFieldLabel(part.field);
    const bool inTenths = EffectFieldScale(part.field) == 10;
    const QRegularExpressionMatch match = (inTenths ? tenths : whole).match(text);
    if (!match.hasMatch())
        return QStringLiteral("%1 „%2“ ist keine Zahl.").arg(label, text);
    const qint64 value
        = inTenths ? match.captured(1).toLongLong() * 10 + match.captured(2).toInt() : text.toLongLong();
    if (const QString refusal = EffectValueRefusal(part.field, value); !refusal.isEmpty())
        return refusal;
    EffectNumber(data, part.field) = qint32(value);
    return QString();
}

} // namespace

KeltoKeys EffectDataKeys(const ShotList& list, const EffectDataMap& data)
{
    KeltoKeys keys;
    QSet<QString> written;
    for (int slot = 0; slot < EntryCount; ++slot) {
        const QString& name = list.effects[slot];
        if (name.isEmpty() || written.contains(name))
            continue;
        const auto found = data.constFind(name);
        if (found == data.constEnd())
            continue;
        written.insert(name);
        QStringList parts { name };
        for (const ValuePart& part : Parts)
            parts.append(partText(*found, part));
        keys.append({ EffectDataKey + QStringLiteral("%1").arg(keys.size() + 1, 3, 10, QLatin1Char('0')),
            parts.join(QLatin1Char(';')) });
    }
    return keys;
}

EffectDataDecode DecodeEffectDataKeys(const KeltoKeys& keys)
{
    static const QRegularExpression ownKey(QStringLiteral("^Effektdaten (\\d{3})$"));
    EffectDataDecode decoded;
    QHash<QString, QString> keyOfName;
    QSet<QString> seenKeys;
    for (const auto& [key, value] : keys) {
        const QRegularExpressionMatch match = ownKey.match(key);
        if (!match.hasMatch()) {
            decoded.otherKeys.append({ key, value });
            continue;
        }
        const auto refuse = [&, &key = key](const QString& problem) {
            decoded.problems.append(key + QStringLiteral(": ") + problem);
        };
        if (seenKeys.contains(key)) {
            refuse(QStringLiteral("der Schlüssel steht zweimal da."));
            continue;
        }
        seenKeys.insert(key);
        const int number = match.captured(1).toInt();
        if (number < 1 || number > EntryCount) {
            refuse(QStringLiteral("die Nummer geht von 001 bis %1.").arg(EntryCount));
            continue;
        }
        const QStringList parts = value.split(QLatin1Char(';'));
        if (parts.size() < EffectDataFieldCount + 1) {
            refuse(QStringLiteral("ein Name und %1 Felder, getrennt durch „;“, erwartet.")
                       .arg(EffectDataFieldCount));
            continue;
        }
        const qsizetype nameParts = parts.size() - EffectDataFieldCount;
        EffectData data;
        data.name = parts.mid(0, nameParts).join(QLatin1Char(';')).trimmed();
        QStringList problems;
        if (const QString refusal = EffectNameRefusal(data.name); !refusal.isEmpty())
            problems.append(refusal);
        for (int i = 0; i < EffectDataFieldCount; ++i) {
            if (const QString problem = readPart(data, Parts[i], parts[nameParts + i]); !problem.isEmpty())
                problems.append(problem);
        }
        if (problems.isEmpty() && keyOfName.contains(data.name))
            problems.append(
                QStringLiteral("„%1“ hat schon Daten (%2).").arg(data.name, keyOfName.value(data.name)));
        if (!problems.isEmpty()) {
            refuse(problems.join(QLatin1Char(' ')));
            continue;
        }
        keyOfName.insert(data.name, key);
        decoded.data.insert(data.name, std::move(data));
    }
    return decoded;
}
