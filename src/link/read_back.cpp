#include "read_back.h"

#include "wire_format.h"

namespace {

QString circuitText(qint16 code) { return code == NoCircuit ? QStringLiteral("---") : CircuitLabel(code); }

} // namespace

bool FiresNoCircuit(const ShotList& list)
{
    for (int slot = 0; slot < EntryCount && !list.isEmptyTime(slot); ++slot) {
        if (list.circuits[slot] != NoCircuit)
            return false;
    }
    return true;
}

QList<EntryDifference> CompareWithDevice(const ShotList& editor, QByteArrayView received)
{
    QList<EntryDifference> differences;
    if (received.size() != ReceivedListLength)
        return differences;
    const QString device = QString::fromLatin1(received);
    for (int slot = 0; slot < EntryCount; ++slot) {
        const QString sent = QString::fromLatin1(OutgoingRecord(editor, slot));
        const QStringView back = QStringView(device).mid(slot * IncomingRecordLength, IncomingRecordLength);
        EntryDifference entry { slot, qint32(HexValue(QStringView(sent).mid(0, 4))),
            qint16(HexValue(QStringView(sent).mid(5, 2))), qint32(HexValue(back.mid(0, 4))),
            qint16(HexValue(back.mid(5, 2))) };
        if (entry.editorTime != entry.deviceTime || entry.editorCircuit != entry.deviceCircuit)
            differences.append(entry);
    }
    return differences;
}

QString DifferenceLine(const EntryDifference& d, const QString& side)
{
    return QStringLiteral("Nr. %1: %2 %3 %4, Zündgerät %5 %6")
        .arg(d.slot + 1, 3, 10, QLatin1Char('0'))
        .arg(side, FormatClock(d.editorTime), circuitText(d.editorCircuit), FormatClock(d.deviceTime),
            circuitText(d.deviceCircuit));
}

QStringList ComparisonLines(const QList<EntryDifference>& differences, int shown, const ComparedList& with)
{
    if (differences.isEmpty())
        return { QStringLiteral("Die Liste im Zündgerät stimmt mit %1 überein.").arg(with.phrase) };
    const QString entries = differences.size() == 1 ? QStringLiteral("1 Eintrag")
                                                    : QStringLiteral("%1 Einträgen").arg(differences.size());
    QStringList lines {
        QStringLiteral("Die Liste im Zündgerät weicht in %1 von %2 ab:").arg(entries, with.phrase)
    };
    const int listed = shown < 0 ? int(differences.size()) : qMin(shown, int(differences.size()));
    for (int i = 0; i < listed; ++i)
        lines.append(DifferenceLine(differences[i], with.side));
    if (listed < differences.size())
        lines.append(QStringLiteral("… und %1 weitere").arg(differences.size() - listed));
    return lines;
}
