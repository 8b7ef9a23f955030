#include "effect_data.h"

#include "shotlist/stored_text.h"

#include <array>

namespace {

const std::array<QString, EffectArtCount> ArtNames = { QStringLiteral("Bombe"), QStringLiteral("Bombette"),
    QStringLiteral("Kometen"), QStringLiteral("Batterie"), QStringLiteral("Fächer"), QStringLiteral("Vulkan"),
    QStringLiteral("Fontäne"), QStringLiteral("Römisches Licht"), QStringLiteral("Mine"),
    QStringLiteral("Sonstiges") };
const std::array<QString, EffectClassCount> ClassNames = { QStringLiteral("F2"), QStringLiteral("F3"),
    QStringLiteral("F4"), QStringLiteral("T1"), QStringLiteral("T2") };

struct FieldInfo {
    const char16_t* label;
    const char16_t* unit;
    int scale;
    qint32 max; // stored units
    const char16_t* maxText;
    std::optional<qint32> EffectData::*member;
};

// Ranges beyond any real article. Kaliber, Vorlauf, Dauer and NEM by the sensible limits of the trade;
// height, distance and stock only so that numbers stay numbers.
const FieldInfo Fields[] = {
    { u"Kaliber", u"mm", 1, 300, u"300 mm", &EffectData::caliberMm },
    { u"Vorlauf", u"s", 10, 1200, u"120 s", &EffectData::prefireTenths },
    { u"Dauer", u"s", 10, 1200, u"120 s", &EffectData::durationTenths },
    { u"Steighöhe", u"m", 1, 2000, u"2.000 m", &EffectData::heightM },
    { u"Sicherheitsabstand", u"m", 1, 5000, u"5.000 m", &EffectData::safetyDistanceM },
    { u"NEM", u"g", 10, 1000000, u"100 kg", &EffectData::nemTenthsGram },
    { u"Bestand", u"Stück", 1, 1000000, u"1.000.000 Stück", &EffectData::stock },
};

const FieldInfo& info(EffectField field) { return Fields[int(field)]; }

template <typename Enum, std::size_t N>
std::optional<Enum> fromNames(const std::array<QString, N>& names, QStringView text)
{
    const QStringView trimmed = text.trimmed();
    for (std::size_t i = 0; i < N; ++i) {
        if (trimmed.compare(names[i], Qt::CaseInsensitive) == 0)
            return Enum(i);
    }
    return std::nullopt;
}

template <typename Enum, std::size_t N>
QString readNamed(
    const std::array<QString, N>& names, const QString& label, QStringView text, std::optional<Enum>& value)
{
    value.reset();
    if (text.trimmed().isEmpty())
        return QString();
    value = fromNames<Enum>(names, text);
    if (value)
        return QString();
    const QStringList all(names.begin(), names.end());
    return QStringLiteral("%1 „%2“ ist keine von %3 oder %4.")
        .arg(label, text.toString(), all.mid(0, all.size() - 1).join(QStringLiteral(", ")), all.last());
}

qint64 powerOfTen(int digits)
{
    qint64 p = 1;
    while (digits-- > 0)
        p *= 10;
    return p;
}

int scaleDigits(EffectField field) { return info(field).scale == 10 ? 1 : 0; }

// Groups after the first of exactly three digits, the first of one to three.
bool groupedDigits(QStringView text, QChar separator)
{
    const QList<QStringView> groups = text.split(separator);
    if (groups.first().isEmpty() || groups.first().size() > 3)
        return false;
    for (qsizetype i = 1; i < groups.size(); ++i) {
        if (groups[i].size() != 3)
            return false;
    }
    return true;
}

struct SplitNumber {
    QString whole;
    QString fraction;
    bool ambiguous = false;
    bool valid = true;
};

// Digits with decimal and grouping marks into whole and fraction.
SplitNumber splitNumber(const QString& text)
{
    SplitNumber split;
    const qsizetype lastDot = text.lastIndexOf(QLatin1Char('.'));
    const qsizetype lastComma = text.lastIndexOf(QLatin1Char(','));
    if (lastDot < 0 && lastComma < 0) {
        split.whole = text;
        return split;
    }
    if (lastDot >= 0 && lastComma >= 0) {
        const qsizetype at = qMax(lastDot, lastComma);
        const QChar group = at == lastDot ? QLatin1Char(',') : QLatin1Char('.');
        const QStringView left = QStringView(text).first(at);
        split.fraction = text.mid(at + 1);
        split.valid = text.count(text[at]) == 1 && groupedDigits(left, group);
        split.whole = left.toString().remove(group);
        return split;
    }
    const QChar mark = lastDot >= 0 ? QLatin1Char('.') : QLatin1Char(',');
    if (text.count(mark) > 1) {
        split.valid = groupedDigits(text, mark);
        split.whole = QString(text).remove(mark);
        return split;
    }
    const qsizetype at = qMax(lastDot, lastComma);
    split.whole = text.left(at);
    split.fraction = text.mid(at + 1);
    // "1.234": a thousand and more, or a little over one.
    split.ambiguous = split.fraction.size() == 3 && !split.whole.isEmpty() && split.whole.size() <= 3
        && split.whole != QLatin1String("0");
    return split;
}

QString decimalsText(int digits)
{
    return digits == 1 ? QStringLiteral("eine Nachkommastelle")
                       : QStringLiteral("%1 Nachkommastellen").arg(digits);
}

} // namespace

QString EffectArtName(EffectArt art) { return ArtNames[std::size_t(art)]; }
QString EffectClassName(EffectClass effectClass) { return ClassNames[std::size_t(effectClass)]; }

std::optional<EffectArt> EffectArtFromText(QStringView text) { return fromNames<EffectArt>(ArtNames, text); }

std::optional<EffectClass> EffectClassFromText(QStringView text)
{
    return fromNames<EffectClass>(ClassNames, text);
}

QString ReadEffectArt(QStringView text, std::optional<EffectArt>& art)
{
    return readNamed(ArtNames, QStringLiteral("Art"), text, art);
}

QString ReadEffectClass(QStringView text, std::optional<EffectClass>& effectClass)
{
    return readNamed(ClassNames, QStringLiteral("Klasse"), text, effectClass);
}

bool EffectData::operator==(const EffectData& other) const
{
    return name == other.name && art == other.art && caliberMm == other.caliberMm
        && prefireTenths == other.prefireTenths && durationTenths == other.durationTenths
        && heightM == other.heightM && safetyDistanceM == other.safetyDistanceM
        && nemTenthsGram == other.nemTenthsGram && effectClass == other.effectClass && stock == other.stock;
}

std::optional<qint32>& EffectNumber(EffectData& data, EffectField field) { return data.*info(field).member; }

const std::optional<qint32>& EffectNumber(const EffectData& data, EffectField field)
{
    return data.*info(field).member;
}

namespace {

// Made once: every cell read asks for them.
const QString& fieldText(EffectField field, bool unit)
{
    static const auto texts = [] {
        std::array<std::array<QString, 2>, std::size(Fields)> all;
        for (std::size_t i = 0; i < all.size(); ++i)
            all[i] = { QString::fromUtf16(Fields[i].label), QString::fromUtf16(Fields[i].unit) };
        return all;
    }();
    return texts[std::size_t(field)][unit ? 1 : 0];
}

} // namespace

QString EffectFieldLabel(EffectField field) { return fieldText(field, false); }
QString EffectFieldUnit(EffectField field) { return fieldText(field, true); }
QString EffectFieldHeader(EffectField field)
{
    return QStringLiteral("%1 (%2)").arg(EffectFieldLabel(field), EffectFieldUnit(field));
}

int EffectFieldScale(EffectField field) { return info(field).scale; }

QString EffectNameRefusal(QStringView name)
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("Ein Effekt braucht einen Namen.");
    return EffectRefusal(name);
}

QString EffectValueRefusal(EffectField field, qint64 value)
{
    if (value < 0)
        return QStringLiteral("%1 darf nicht negativ sein.").arg(EffectFieldLabel(field));
    if (value > info(field).max)
        return QStringLiteral("%1 %2 liegt über %3.")
            .arg(EffectFieldLabel(field), EffectValueText(field, value),
                QString::fromUtf16(info(field).maxText));
    return QString();
}

QStringList EffectDataProblems(const EffectData& data)
{
    QStringList problems;
    if (const QString refusal = EffectNameRefusal(data.name); !refusal.isEmpty())
        problems.append(refusal);
    for (const EffectField field : EffectNumberFields) {
        const std::optional<qint32>& value = EffectNumber(data, field);
        if (!value)
            continue;
        if (const QString refusal = EffectValueRefusal(field, *value); !refusal.isEmpty())
            problems.append(refusal);
    }
    return problems;
}

EffectValueRead ReadEffectValue(EffectField field, QStringView text)
{
    const QString typed = text.trimmed().toString();
    if (typed.isEmpty())
        return {};
    // Read by hand, not by a pattern: a catalogue has tens of thousands of cells.
    const auto isDigit = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };
    const auto isMark = [](QChar c) { return c == QLatin1Char('.') || c == QLatin1Char(','); };
    const QString label = EffectFieldLabel(field);
    qsizetype at = 0;
    const QChar sign = typed[0];
    const bool negative = sign == QLatin1Char('-') || sign == QChar(0x2212);
    if (negative || sign == QLatin1Char('+')) {
        ++at;
        while (at < typed.size() && typed[at].isSpace())
            ++at;
    }
    const qsizetype numberStart = at;
    while (at < typed.size() && (isDigit(typed[at]) || isMark(typed[at])))
        ++at;
    const QString number = typed.mid(numberStart, at - numberStart);
    while (at < typed.size() && typed[at].isSpace())
        ++at;
    const QString unit = typed.mid(at);
    if (number.isEmpty() || number.size() > 24 || (!unit.isEmpty() && (isDigit(unit[0]) || isMark(unit[0]))))
        return { std::nullopt, QStringLiteral("%1 „%2“ ist keine Zahl.").arg(label, typed) };

    int unitDigits = 0;
    if (!unit.isEmpty()) {
        const bool own = unit.compare(EffectFieldUnit(field), Qt::CaseInsensitive) == 0
            || (field == EffectField::Stock
                && (unit.compare(QLatin1String("Stk"), Qt::CaseInsensitive) == 0
                    || unit.compare(QLatin1String("Stk."), Qt::CaseInsensitive) == 0));
        if (field == EffectField::Nem && unit.compare(QLatin1String("kg"), Qt::CaseInsensitive) == 0)
            unitDigits = 3;
        else if (!own)
            return { std::nullopt,
                QStringLiteral("%1 „%2“: die Einheit ist %3.").arg(label, typed, EffectFieldUnit(field)) };
    }

    const SplitNumber split = splitNumber(number);
    if (split.ambiguous)
        return { std::nullopt,
            QStringLiteral("%1 „%2“ ist mehrdeutig (Tausenderpunkt oder Dezimalzeichen?); bitte ohne "
                           "Tausendertrennzeichen schreiben.")
                .arg(label, typed) };
    if (!split.valid || (split.whole.isEmpty() && split.fraction.isEmpty()))
        return { std::nullopt, QStringLiteral("%1 „%2“ ist keine Zahl.").arg(label, typed) };

    const int digits = scaleDigits(field) + unitDigits;
    const QStringView kept = QStringView(split.fraction).left(digits);
    const QStringView dropped = QStringView(split.fraction).mid(digits);
    if (!dropped.isEmpty() && dropped.count(QLatin1Char('0')) != dropped.size()) {
        if (digits == 0)
            return { std::nullopt,
                QStringLiteral("%1 „%2“: nur ganze %3.").arg(label, typed, EffectFieldUnit(field)) };
        return { std::nullopt,
            QStringLiteral("%1 „%2“: höchstens %3.").arg(label, typed, decimalsText(digits)) };
    }
    const QStringView whole = QStringView(split.whole);
    qsizetype firstDigit = 0;
    while (firstDigit < whole.size() && whole[firstDigit] == QLatin1Char('0'))
        ++firstDigit;
    // Beyond every range, however many digits follow.
    if (whole.size() - firstDigit > 12)
        return { std::nullopt,
            QStringLiteral("%1 „%2“ liegt über %3.")
                .arg(label, typed, QString::fromUtf16(info(field).maxText)) };
    qint64 value = whole.isEmpty() ? 0 : whole.toLongLong() * powerOfTen(digits);
    // In stored units already: a kilogram has three more decimals than a gram.
    value += kept.isEmpty() ? 0 : kept.toLongLong() * powerOfTen(digits - int(kept.size()));
    if (negative && value != 0)
        return { std::nullopt, EffectValueRefusal(field, -1) };
    if (value > info(field).max)
        return { std::nullopt,
            QStringLiteral("%1 „%2“ liegt über %3.")
                .arg(label, typed, QString::fromUtf16(info(field).maxText)) };
    return { qint32(value), QString() };
}

QString GermanNumber(qint64 value, int decimals, bool grouping)
{
    const bool negative = value < 0;
    const quint64 magnitude = negative ? quint64(0) - quint64(value) : quint64(value);
    const quint64 unit = quint64(powerOfTen(decimals));
    QString whole = QString::number(magnitude / unit);
    if (grouping) {
        for (qsizetype at = whole.size() - 3; at > 0; at -= 3)
            whole.insert(at, QLatin1Char('.'));
    }
    QString text = negative ? QStringLiteral("-") + whole : whole;
    if (decimals > 0)
        text += QLatin1Char(',')
            + QString::number(magnitude % unit).rightJustified(decimals, QLatin1Char('0'));
    return text;
}

QString EffectValueText(EffectField field, qint64 value)
{
    return GermanNumber(value, scaleDigits(field)) + QLatin1Char(' ') + EffectFieldUnit(field);
}

QString EffectValueCell(EffectField field, qint64 value)
{
    return GermanNumber(value, scaleDigits(field), false);
}
