#include "csv_values.h"

#include "shotlist/shot_list.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

constexpr int DeviceCount = 8;
constexpr int CircuitsPerDevice = 32;
// Digits beyond this cannot be a time of a list, only a time far too late.
constexpr int MaxDigits = 9;
constexpr qint64 FarTooLate = Q_INT64_C(1) << 50;

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

bool allDigits(QStringView text) { return !text.isEmpty() && std::all_of(text.begin(), text.end(), isDigit); }

bool isMark(QChar c) { return c == QLatin1Char('.') || c == QLatin1Char(','); }

CsvDecimal decimalOf(QChar mark) { return mark == QLatin1Char('.') ? CsvDecimal::Point : CsvDecimal::Comma; }

QString quoted(QStringView text) { return QLatin1Char('"') + text.toString() + QLatin1Char('"'); }

// Folded names are plain ASCII.
bool inSet(const QString& name, std::initializer_list<const char*> list)
{
    return std::any_of(
        list.begin(), list.end(), [&](const char* entry) { return name == QLatin1String(entry); });
}

// Splits "zeit [s]", "time (ms)" and "time ms" into the name and its unit.
void splitUnitOf(const QString& folded, QString* base, QString* unit)
{
    static const QRegularExpression bracket(QStringLiteral("^(.*?)\\s*(?:\\[([^\\]]*)\\]|\\(([^)]*)\\))$"));
    static const QRegularExpression trailingMs(QStringLiteral("^(.*\\S)\\s+ms$"));
    QRegularExpressionMatch match = bracket.match(folded);
    if (match.hasMatch() && !match.captured(1).isEmpty()) {
        *base = match.captured(1);
        *unit = (match.capturedLength(2) > 0 ? match.captured(2) : match.captured(3)).trimmed();
        return;
    }
    match = trailingMs.match(folded);
    if (match.hasMatch()) {
        *base = match.captured(1);
        *unit = QStringLiteral("ms");
        return;
    }
    *base = folded;
    unit->clear();
}

CsvTimeUnit unitOf(const QString& unit)
{
    if (unit.isEmpty())
        return CsvTimeUnit::None;
    if (inSet(unit, { "s", "sek", "sec", "sekunden", "seconds" }))
        return CsvTimeUnit::Seconds;
    if (inSet(unit, { "ms", "millisekunden", "milliseconds" }))
        return CsvTimeUnit::Millis;
    if (inSet(unit, { "mm:ss", "m:ss", "min:sek", "min:sec" }))
        return CsvTimeUnit::MinSec;
    if (inSet(unit, { "hh:mm:ss", "h:mm:ss" }))
        return CsvTimeUnit::HourMinSec;
    return CsvTimeUnit::Unknown;
}

void classifyTime(const QString& base, CsvName& name)
{
    if (base == QLatin1String("ignition") || base.startsWith(QLatin1String("ignition "))
        || inSet(
            base, { "zundzeit", "zuendzeit", "zundung", "zuendung", "zundzeitpunkt", "zuendzeitpunkt" })) {
        name.time = CsvTimeKind::Ignition;
        return;
    }
    if (inSet(base,
            { "zeit", "time", "shot time", "schusszeit", "firing time", "fire time", "abschusszeit" })) {
        name.time = CsvTimeKind::Plain;
        return;
    }
    if (inSet(base, { "sekunden", "seconds", "sek", "sec" })) {
        name.time = CsvTimeKind::Plain;
        if (name.unit == CsvTimeUnit::None)
            name.unit = CsvTimeUnit::Seconds;
        return;
    }
    if (inSet(base, { "millisekunden", "milliseconds" })) {
        name.time = CsvTimeKind::Plain;
        if (name.unit == CsvTimeUnit::None)
            name.unit = CsvTimeUnit::Millis;
        return;
    }
    const auto other = [&](std::initializer_list<const char*> list, const char* what) {
        if (name.time != CsvTimeKind::NotTime || !inSet(base, list))
            return;
        name.time = CsvTimeKind::Other;
        name.otherTime = QString::fromUtf8(what);
    };
    other({ "event time", "ereigniszeit", "event" }, "Ereigniszeit");
    other({ "break time", "bruchzeit", "zerlegezeit", "zerlegungszeit", "break" }, "Bruchzeit");
    other({ "effect time", "effekt zeit", "effektzeit" }, "Effektzeit");
    other({ "end time", "endzeit", "ende" }, "Endzeit");
    other({ "dauer", "duration", "effektdauer", "effect duration", "brenndauer", "laufzeit" }, "Dauer");
    other({ "prefire", "prefire delay", "prefire time", "vorlauf", "vorlaufzeit", "delay", "device delay",
              "verzogerung" },
        "Verzögerung");
}

// The number cut into its digits and marks: "1.200,5" is digits 1 200 5 with marks '.' ','.
struct NumberShape {
    QList<QStringView> groups;
    QList<QChar> marks;
};

std::optional<NumberShape> numberShape(QStringView text)
{
    NumberShape shape;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && isDigit(text[i]))
            continue;
        if (i < text.size() && !isMark(text[i]))
            return std::nullopt;
        const QStringView group = text.sliced(start, i - start);
        if (group.isEmpty())
            return std::nullopt;
        shape.groups.append(group);
        if (i < text.size())
            shape.marks.append(text[i]);
        start = i + 1;
    }
    return shape;
}

// A lone mark between 1 to 3 digits (no leading zero) and exactly 3 digits: "1.200" or "1,200".
bool ambiguousShape(const NumberShape& shape)
{
    return shape.marks.size() == 1 && shape.groups[0].size() <= 3
        && shape.groups[0].front() != QLatin1Char('0') && shape.groups[1].size() == 3;
}

// Thousands groups: 1 to 3 digits, then groups of 3 behind one mark, at least two of them or one and a
// fraction behind the other mark. The grouping mark, or nullopt.
std::optional<QChar> groupingShape(const NumberShape& shape)
{
    if (shape.marks.size() < 2 || shape.groups[0].size() > 3)
        return std::nullopt;
    const QChar grouping = shape.marks[0];
    qsizetype groupMarks = shape.marks.size();
    if (shape.marks.back() != grouping)
        --groupMarks; // the last mark is the decimal
    for (qsizetype i = 0; i < shape.marks.size(); ++i) {
        const bool isGroup = i < groupMarks;
        if (isGroup != (shape.marks[i] == grouping))
            return std::nullopt;
        if (isGroup && shape.groups[i + 1].size() != 3)
            return std::nullopt;
    }
    if (groupMarks == 1 && groupMarks == shape.marks.size())
        return std::nullopt;
    return grouping;
}

void setFraction(CsvTime& time, QStringView digits)
{
    QString padded = digits.left(3).toString();
    while (padded.size() < 3)
        padded.append(QLatin1Char('0'));
    time.millis = padded.toInt();
    const QStringView rest = digits.size() > 3 ? digits.sliced(3) : QStringView();
    time.exact = std::all_of(rest.begin(), rest.end(), [](QChar c) { return c == QLatin1Char('0'); });
}

QString unitName(CsvTimeUnit unit)
{
    switch (unit) {
    case CsvTimeUnit::Seconds:
        return QStringLiteral("[s]");
    case CsvTimeUnit::Millis:
        return QStringLiteral("[ms]");
    case CsvTimeUnit::MinSec:
        return QStringLiteral("(mm:ss)");
    case CsvTimeUnit::HourMinSec:
        return QStringLiteral("(hh:mm:ss)");
    case CsvTimeUnit::None:
    case CsvTimeUnit::Unknown:
        break;
    }
    return QString();
}

CsvTimeRead unreadable(QStringView text)
{
    return { std::nullopt, QStringLiteral("Zeit %1 nicht lesbar").arg(quoted(text)) };
}

CsvTimeRead notOfUnit(QStringView text, CsvTimeUnit unit)
{
    return { std::nullopt,
        QStringLiteral("Zeit %1 passt nicht zur Einheit %2 der Spalte").arg(quoted(text), unitName(unit)) };
}

// "12:00:05 AM": a time of day from midnight, as English spreadsheets show one.
std::optional<CsvTimeRead> readDayTime(QStringView text, CsvTimeUnit unit)
{
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{1,2}):(\\d\\d)(?::(\\d\\d)(?:[.,](\\d+))?)?\\s*([AaPp])\\.?\\s?[Mm]\\.?$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    if (unit != CsvTimeUnit::None && unit != CsvTimeUnit::HourMinSec)
        return notOfUnit(text, unit);
    const int hours = match.captured(1).toInt();
    const int minutes = match.captured(2).toInt();
    const int seconds = match.hasCaptured(3) ? match.captured(3).toInt() : 0;
    if (hours < 1 || hours > 12 || minutes >= 60 || seconds >= 60)
        return unreadable(text);
    const bool pm = match.captured(5).compare(QLatin1String("p"), Qt::CaseInsensitive) == 0;
    CsvTime time;
    time.clock = true;
    time.seconds = ((hours % 12) + (pm ? 12 : 0)) * 3600 + minutes * 60 + seconds;
    if (match.hasCaptured(4))
        setFraction(time, match.capturedView(4));
    return CsvTimeRead { time, QString() };
}

} // namespace

void SplitCsvUnit(const QString& folded, QString* base, QString* unit) { splitUnitOf(folded, base, unit); }

QString FoldedCsvName(const QString& name)
{
    const QString decomposed = name.normalized(QString::NormalizationForm_KD).toCaseFolded();
    QString folded;
    bool gap = false;
    for (const QChar c : decomposed) {
        if (c.category() == QChar::Mark_NonSpacing)
            continue;
        if (c.isSpace() || c == QLatin1Char('_') || c == QLatin1Char('-')) {
            gap = !folded.isEmpty();
            continue;
        }
        if (c == QLatin1Char('#') && !folded.isEmpty())
            gap = true;
        if (gap)
            folded.append(QLatin1Char(' '));
        gap = false;
        folded.append(c);
    }
    return folded;
}

CsvName ClassifyCsvName(const QString& header)
{
    CsvName name;
    const QString folded = FoldedCsvName(header);
    if (header.trimmed() == QLatin1String("FIRING_HEADER_ROW")) {
        name.finaleHeader = true;
        return name;
    }
    QString base, unit;
    splitUnitOf(folded, &base, &unit);
    name.unit = unitOf(unit);
    if (name.unit == CsvTimeUnit::Unknown)
        name.unitText = unit;
    classifyTime(base, name);
    if (name.time == CsvTimeKind::NotTime) {
        // A bracket belongs to the name of every other column.
        name.unit = CsvTimeUnit::None;
        name.unitText.clear();
    }
    if (inSet(folded,
            { "zundgerat", "zuendgeraet", "gerat", "geraet", "device", "modul", "module", "module #",
                "module address", "module number", "modulnummer", "modul nr", "verteiler", "slave",
                "slave address", "rail", "rail address", "fm", "firing module", "zundmodul", "zuendmodul" }))
        name.device = 1;
    if (inSet(folded,
            { "kreis", "zundkreis", "zuendkreis", "circuit", "pin", "pin #", "pin address", "pin number",
                "ausgang", "output", "out", "kreis nr", "kreisnummer" }))
        name.circuit = 1;
    else if (inSet(folded, { "cue", "cue #", "cue number", "cue nr", "channel", "kanal", "ch" }))
        name.circuit = 2;
    if (inSet(folded, { "effekt", "effect", "effektname", "effect name" }))
        name.effect = 1;
    else if (inSet(folded, { "produkt", "product" }))
        name.effect = 2;
    else if (inSet(folded, { "beschreibung", "description" }))
        name.effect = 3;
    else if (folded == QLatin1String("name"))
        name.effect = 4;
    return name;
}

std::optional<qint64> CsvDigits(QStringView text)
{
    if (!allDigits(text))
        return std::nullopt;
    while (text.size() > 1 && text.front() == QLatin1Char('0'))
        text = text.sliced(1);
    if (text.size() > MaxDigits)
        return FarTooLate;
    qint64 value = 0;
    for (const QChar c : text)
        value = value * 10 + (c.unicode() - '0');
    return value;
}

CsvDecimal CsvDecimalEvidence(QStringView text)
{
    text = text.trimmed();
    if (text.endsWith(QLatin1Char('s'), Qt::CaseInsensitive))
        text = text.chopped(1).trimmed();
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0) {
        const qsizetype mark
            = std::max(text.indexOf(QLatin1Char('.'), colon), text.indexOf(QLatin1Char(','), colon));
        return mark > colon ? decimalOf(text[mark]) : CsvDecimal::Unknown;
    }
    const std::optional<NumberShape> shape = numberShape(text);
    if (!shape || shape->marks.isEmpty() || ambiguousShape(*shape))
        return CsvDecimal::Unknown;
    if (shape->marks.size() == 1)
        return decimalOf(shape->marks[0]);
    const std::optional<QChar> grouping = groupingShape(*shape);
    if (!grouping)
        return CsvDecimal::Unknown;
    return *grouping == QLatin1Char('.') ? CsvDecimal::Comma : CsvDecimal::Point;
}

std::optional<CsvAmbiguousNumber> CsvAmbiguity(QStringView text)
{
    text = text.trimmed();
    if (text.size() > 1 && text.endsWith(QLatin1Char('s'), Qt::CaseInsensitive))
        text = text.chopped(1).trimmed();
    const std::optional<NumberShape> shape = numberShape(text);
    if (!shape || !ambiguousShape(*shape))
        return std::nullopt;
    return CsvAmbiguousNumber { shape->marks[0],
        *CsvDigits(shape->groups[0].toString() + shape->groups[1].toString()) };
}

CsvTimeRead ReadCsvTime(QStringView original, CsvTimeUnit unit, CsvDecimal decimal)
{
    QStringView text = original.trimmed();
    if (std::optional<CsvTimeRead> dayTime = readDayTime(text, unit))
        return *dayTime;
    if (text.size() > 1 && text.endsWith(QLatin1Char('s'), Qt::CaseInsensitive)
        && isDigit(text.chopped(1).trimmed().back()))
        text = text.chopped(1).trimmed();

    CsvTime time;
    if (text.contains(QLatin1Char(':'))) {
        const QList<QStringView> parts = text.split(QLatin1Char(':'));
        if (parts.size() == 4
            && std::all_of(parts.begin(), parts.end(), [](QStringView p) { return allDigits(p); }))
            return { std::nullopt,
                QStringLiteral("Zeit %1 hat Bilder (hh:mm:ss:ff); Kelto liest Stunden, Minuten und Sekunden")
                    .arg(quoted(original.trimmed())) };
        if (parts.size() > 3)
            return unreadable(original.trimmed());
        QStringView last = parts.back();
        const qsizetype mark = std::max(last.indexOf(QLatin1Char('.')), last.indexOf(QLatin1Char(',')));
        QStringView fraction;
        if (mark >= 0) {
            fraction = last.sliced(mark + 1);
            last = last.first(mark);
            if (!allDigits(fraction))
                return unreadable(original.trimmed());
        }
        qint64 seconds = 0;
        for (qsizetype i = 0; i < parts.size(); ++i) {
            const QStringView part = i + 1 == parts.size() ? last : parts[i];
            const std::optional<qint64> value = CsvDigits(part);
            // Minutes and seconds behind a colon are two digits below 60.
            if (!value || (i > 0 && (part.size() != 2 || *value >= 60)))
                return unreadable(original.trimmed());
            seconds = std::min(seconds * 60 + *value, FarTooLate);
        }
        const bool fits = unit == CsvTimeUnit::None || (unit == CsvTimeUnit::MinSec && parts.size() == 2)
            || (unit == CsvTimeUnit::HourMinSec && parts.size() == 3);
        if (!fits)
            return notOfUnit(original.trimmed(), unit);
        time.clock = true;
        time.seconds = seconds;
        if (!fraction.isEmpty())
            setFraction(time, fraction);
        return { time, QString() };
    }

    const std::optional<NumberShape> shape = numberShape(text);
    if (!shape)
        return unreadable(original.trimmed());
    if (unit == CsvTimeUnit::MinSec || unit == CsvTimeUnit::HourMinSec)
        return notOfUnit(original.trimmed(), unit);
    QString whole;
    QStringView fraction;
    if (shape->marks.isEmpty()) {
        whole = shape->groups[0].toString();
        time.integer = true;
    } else if (ambiguousShape(*shape)) {
        const QChar mark = shape->marks[0];
        if (decimal == decimalOf(mark)) {
            whole = shape->groups[0].toString();
            fraction = shape->groups[1];
        } else if (decimal == CsvDecimal::Point || decimal == CsvDecimal::Comma) {
            whole = shape->groups[0].toString() + shape->groups[1].toString();
        } else {
            const bool point = mark == QLatin1Char('.');
            QString small = shape->groups[1].toString();
            while (small.endsWith(QLatin1Char('0')))
                small.chop(1);
            const QString decimalText
                = shape->groups[0].toString() + (small.isEmpty() ? QString() : QLatin1Char(',') + small);
            return { std::nullopt,
                QStringLiteral(
                    "Zeit %1 ist mehrdeutig: %2%3 mit Tausender%4 oder %5%3 mit Dezimal%4; die anderen "
                    "Zeiten der Datei entscheiden es nicht")
                    .arg(quoted(original.trimmed()),
                        shape->groups[0].toString() + shape->groups[1].toString(),
                        unit == CsvTimeUnit::Millis ? QStringLiteral(" ms") : QStringLiteral(" s"),
                        point ? QStringLiteral("punkt") : QStringLiteral("komma"), decimalText) };
        }
    } else if (shape->marks.size() == 1) {
        whole = shape->groups[0].toString();
        fraction = shape->groups[1];
    } else if (const std::optional<QChar> grouping = groupingShape(*shape)) {
        // Grouping that contradicts the file's decimal mark is no number of this file.
        if (decimal == decimalOf(*grouping) || decimal == CsvDecimal::Both)
            return unreadable(original.trimmed());
        qsizetype i = 0;
        for (; i < shape->groups.size(); ++i) {
            if (i > 0 && shape->marks[i - 1] != *grouping)
                break;
            whole += shape->groups[i].toString();
        }
        if (i < shape->groups.size())
            fraction = shape->groups[i];
    } else {
        return unreadable(original.trimmed());
    }
    const qint64 value = *CsvDigits(whole);
    if (unit == CsvTimeUnit::Millis) {
        time.seconds = value / 1000;
        time.millis = int(value % 1000);
        time.exact
            = std::all_of(fraction.begin(), fraction.end(), [](QChar c) { return c == QLatin1Char('0'); });
        return { time, QString() };
    }
    time.seconds = value;
    if (!fraction.isEmpty())
        setFraction(time, fraction);
    return { time, QString() };
}

CsvDevice ReadCsvDevice(QStringView original)
{
    const QString text = original.trimmed().toString().simplified();
    static const char* const labels[DeviceCount] = { "A (Brenzor)", "B (Verteiler)", "C (Verteiler)",
        "D (Option)", "E (Option)", "F (Option)", "G (Option)", "H (alle Verteiler)" };
    if (text.size() == 1) {
        const char16_t c = text.front().toUpper().unicode();
        if (c >= u'A' && c < u'A' + DeviceCount)
            return { c - u'A', QString() };
    }
    for (int device = 0; device < DeviceCount; ++device) {
        if (text.compare(QLatin1String(labels[device]), Qt::CaseInsensitive) == 0)
            return { device, QString() };
    }
    if (const std::optional<qint64> number = CsvDigits(text)) {
        if (*number >= 1 && *number < DeviceCount)
            return { int(*number - 1), QString() };
        if (*number == DeviceCount)
            return { -1,
                QStringLiteral(
                    "Zündgerät %1: Module zählen von 1 (A) bis 7 (G); „H (alle Verteiler)“ zündet auf "
                    "allen Verteilern und gilt nur als „H“ oder „H (alle Verteiler)“")
                    .arg(quoted(text)) };
    }
    return { -1, QStringLiteral("unbekanntes Zündgerät %1").arg(quoted(text)) };
}

bool IsCsvCircuitLabel(QStringView text)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Ha-h]\\s?\\d{1,2}$"));
    return pattern.match(text.trimmed()).hasMatch();
}

CsvCircuit ReadCsvCircuit(QStringView original, int from)
{
    QStringView text = original.trimmed();
    CsvCircuit result;
    if (IsCsvCircuitLabel(text)) {
        result.device = QChar(text.front()).toUpper().unicode() - u'A';
        text = text.sliced(1).trimmed();
    }
    const std::optional<qint64> number = CsvDigits(text);
    if (number)
        result.number = *number;
    if (number && *number >= from && *number < CircuitsPerDevice + from) {
        result.circuit = int(*number - from);
        return result;
    }
    result.problem = QStringLiteral("Kreis %1 nicht zwischen %2 und %3")
                         .arg(quoted(original.trimmed()), QString::number(from),
                             QString::number(CircuitsPerDevice - 1 + from));
    return result;
}
