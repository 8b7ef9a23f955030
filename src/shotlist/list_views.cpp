#include "list_views.h"

namespace {

// At least three digits with leading zeros, as the number and the duration columns show them.
QString threeDigits(qint32 value)
{
    if (value < 0 || value > 999)
        return QStringLiteral("%1").arg(value, 3, 10, QLatin1Char('0'));
    const QChar text[3]
        = { QChar(u'0' + value / 100), QChar(u'0' + value / 10 % 10), QChar(u'0' + value % 10) };
    return QString(text, 3);
}

QString entryNumber(int k) { return threeDigits(k + 1); }

QStringList linesOf(const ShotList& list, QString (*lineOf)(const ShotList&, int))
{
    QStringList lines;
    lines.reserve(EntryCount);
    for (int k = 0; k < EntryCount; ++k)
        lines.append(lineOf(list, k));
    return lines;
}

} // namespace

qint32 DurationToNext(const ShotList& list, int k)
{
    if (list.times[k + 1] > LastValidTime)
        return 0;
    return list.times[k + 1] - list.times[k];
}

QString List1Line(const ShotList& list, int k)
{
    const QString circuit
        = list.circuits[k] == NoCircuit ? QStringLiteral("---") : CircuitLabel(list.circuits[k]);
    return entryNumber(k) + QLatin1String("  ") + FormatClock(list.times[k]) + QLatin1String("  ") + circuit;
}

QString List2Line(const ShotList& list, int k)
{
    const qint32 d = DurationToNext(list, k);
    const QString duration = threeDigits(d);
    const QString circuit
        = list.circuits[k] == NoCircuit ? QStringLiteral("---  ") : CircuitLabel(list.circuits[k]);
    QString line = entryNumber(k) + QLatin1String("  ") + FormatClock(list.times[k]) + QLatin1String(" (")
        + duration + QLatin1String(" s)  ") + circuit;
    if (!list.effects[k].isEmpty())
        line += QLatin1String("  ") + list.effects[k];
    return line;
}

QStringList List1Lines(const ShotList& list) { return linesOf(list, List1Line); }

QStringList List2Lines(const ShotList& list) { return linesOf(list, List2Line); }

int LongestLine(const QStringList& lines)
{
    int longest = 0;
    for (int i = 1; i < lines.size(); ++i) {
        if (lines[i].size() > lines[longest].size())
            longest = i;
    }
    return longest;
}

Statistics ComputeStatistics(const QStringList& list1Lines)
{
    const int a = int(list1Lines.size());
    int n = a;
    for (int i = 0; i < a; ++i) {
        if (list1Lines[i].mid(5, 2) == QLatin1String("--")) {
            n = i;
            break;
        }
    }
    const QString lastTime = n > 0 ? list1Lines[n - 1].mid(5, 8) : QString();
    Statistics stats;
    stats.entries = n;
    stats.text
        = QStringLiteral("Anzahl Einträge: %1\r\nAnzahl Schüsse: %2\r\nZeitdauer : %3\r\nnoch frei: %4")
              .arg(a)
              .arg(n)
              .arg(lastTime)
              .arg(EntryCount - n);
    return stats;
}
