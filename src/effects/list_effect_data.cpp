#include "list_effect_data.h"

#include <QHash>
#include <QSet>

#include <charconv>

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

// Appends the field of data as a value holds it: "12", "2.5" (tenths), empty when unknown. Written into
// the value directly: a list saves this for up to 170 effects.
void appendPart(QString& value, const EffectData& data, const ValuePart& part)
{
    switch (part.part) {
    case Part::Art:
        if (data.art)
            value += EffectArtName(*data.art);
        return;
    case Part::Class:
        if (data.effectClass)
            value += EffectClassName(*data.effectClass);
        return;
    case Part::Number:
        break;
    }
    const std::optional<qint32>& number = EffectNumber(data, part.field);
    if (!number)
        return;
    const bool inTenths = EffectFieldScale(part.field) == 10;
    char digits[16];
    char* end = std::to_chars(digits, digits + 12, inTenths ? *number / 10 : *number).ptr;
    if (inTenths) {
        *end++ = '.';
        *end++ = char('0' + *number % 10);
    }
    value += QLatin1String(digits, end);
}

// Reads one field as written by EffectDataKeys; a German problem otherwise.
QString readPart(EffectData& data, const ValuePart& part, QStringView text)
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
    // "12" or, in tenths, "2.5": written by EffectDataKeys, so read strictly and without a pattern.
    const bool inTenths = EffectFieldScale(part.field) == 10;
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    const qsizetype wholeDigits = point < 0 ? text.size() : point;
    bool digits
        = wholeDigits >= 1 && wholeDigits <= 9 && (point < 0 || (inTenths && point == text.size() - 2));
    for (qsizetype i = 0; digits && i < text.size(); ++i)
        digits = i == point || (text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'));
    if (!digits)
        return QStringLiteral("%1 „%2“ ist keine Zahl.").arg(EffectFieldLabel(part.field), text.toString());
    qint64 value = text.first(wholeDigits).toLongLong();
    if (inTenths)
        value = value * 10 + (point < 0 ? 0 : text[point + 1].digitValue());
    if (const QString refusal = EffectValueRefusal(part.field, value); !refusal.isEmpty())
        return refusal;
    EffectNumber(data, part.field) = qint32(value);
    return QString();
}

// "Effektdaten " (or another prefix) and three digits.
bool isOwnKey(const QString& key, const QString& prefix = EffectDataKey)
{
    if (key.size() != prefix.size() + 3 || !key.startsWith(prefix))
        return false;
    for (qsizetype i = prefix.size(); i < key.size(); ++i) {
        if (key[i] < QLatin1Char('0') || key[i] > QLatin1Char('9'))
            return false;
    }
    return true;
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
        QString value;
        value.reserve(name.size() + 80);
        value += name;
        for (const ValuePart& part : Parts) {
            value += QLatin1Char(';');
            appendPart(value, *found, part);
        }
        keys.append(
            { EffectDataKey + QString::number(keys.size() + 1).rightJustified(3, QLatin1Char('0')), value });
    }
    return keys;
}

EffectDataDecode DecodeEffectDataKeys(const KeltoKeys& keys)
{
    EffectDataDecode decoded;
    QHash<QString, QString> keyOfName;
    QSet<QString> seenKeys;
    for (const auto& [key, value] : keys) {
        if (!isOwnKey(key)) {
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
        const int number = QStringView(key).sliced(EffectDataKey.size()).toInt();
        if (number < 1 || number > EntryCount) {
            refuse(QStringLiteral("die Nummer geht von 001 bis %1.").arg(EntryCount));
            continue;
        }
        // The fields from the right: the name may hold ";" itself.
        QStringView fields[EffectDataFieldCount];
        qsizetype end = value.size();
        int found = EffectDataFieldCount;
        while (found > 0) {
            const qsizetype separator = end > 0 ? value.lastIndexOf(QLatin1Char(';'), end - 1) : -1;
            if (separator < 0)
                break;
            fields[--found] = QStringView(value).sliced(separator + 1, end - separator - 1);
            end = separator;
        }
        if (found > 0) {
            refuse(QStringLiteral("ein Name und %1 Felder, getrennt durch „;“, erwartet.")
                       .arg(EffectDataFieldCount));
            continue;
        }
        EffectData data;
        data.name = QStringView(value).first(end).trimmed().toString();
        QStringList problems;
        if (const QString refusal = EffectNameRefusal(data.name); !refusal.isEmpty())
            problems.append(refusal);
        for (int i = 0; i < EffectDataFieldCount; ++i) {
            if (const QString problem = readPart(data, Parts[i], fields[i]); !problem.isEmpty())
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

KeltoKeys TargetKeys(const ShotList& list)
{
    KeltoKeys keys;
    for (int slot = 0; slot < EntryCount; ++slot) {
        const qint32 target = list.targets[slot];
        if (target == NoTarget || list.isEmptyTime(slot))
            continue;
        keys.append({ TargetKey + QString::number(slot + 1).rightJustified(3, QLatin1Char('0')),
            QStringLiteral("%1.%2").arg(target / 1000).arg(target % 1000, 3, 10, QLatin1Char('0')) });
    }
    return keys;
}

TargetDecode DecodeTargetKeys(const KeltoKeys& keys, ShotList& list)
{
    TargetDecode decoded;
    QSet<QString> seen;
    for (const auto& [key, value] : keys) {
        if (!isOwnKey(key, TargetKey)) {
            decoded.otherKeys.append({ key, value });
            continue;
        }
        const auto refuse = [&, &key = key](const QString& problem) {
            decoded.problems.append(key + QStringLiteral(": ") + problem);
        };
        const int number = QStringView(key).sliced(TargetKey.size()).toInt();
        if (seen.contains(key)) {
            refuse(QStringLiteral("der Schlüssel steht zweimal da."));
            continue;
        }
        seen.insert(key);
        if (number < 1 || number > EntryCount) {
            refuse(QStringLiteral("die Nummer geht von 001 bis %1.").arg(EntryCount));
            continue;
        }
        // "83.412": seconds of the music, exactly three decimals, as TargetKeys writes them.
        const qsizetype point = value.indexOf(QLatin1Char('.'));
        bool digits = point >= 1 && point <= 5 && value.size() == point + 4;
        for (qsizetype i = 0; digits && i < value.size(); ++i)
            digits = i == point || (value[i] >= QLatin1Char('0') && value[i] <= QLatin1Char('9'));
        if (!digits) {
            refuse(QStringLiteral("„%1“ ist keine Zeit in Sekunden mit drei Nachkommastellen.").arg(value));
            continue;
        }
        const int slot = number - 1;
        if (list.isEmptyTime(slot)) {
            refuse(QStringLiteral("Nr. %1 ist leer.").arg(number, 3, 10, QLatin1Char('0')));
            continue;
        }
        list.targets[slot] = QStringView(value).first(point).toInt() * 1000 + QStringView(value).sliced(point + 1).toInt();
    }
    return decoded;
}
