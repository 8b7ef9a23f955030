#include "wire_format.h"

QByteArray OutgoingRecord(const ShotList& list, int slot)
{
    return (EntryFields(list, slot) + QLatin1Char(';')).toLatin1();
}

bool DecodeReceivedList(QByteArrayView received, ShotList& list)
{
    if (received.size() != ReceivedListLength)
        return false;
    const QString text = QString::fromLatin1(received);
    const QStringView view(text);
    for (int k = 0; k < EntryCount; ++k) {
        const int offset = k * IncomingRecordLength;
        list.times[k] = qint32(HexValue(view.mid(offset, 4)));
        list.circuits[k] = qint16(HexValue(view.mid(offset + 5, 2)));
    }
    return true;
}

std::optional<ShotList> ReceivedList(QByteArrayView received)
{
    ShotList list = ShotList::startup();
    if (!DecodeReceivedList(received, list))
        return std::nullopt;
    NormalizeList(list);
    return list;
}

ReceiveStep AppendReceived(QByteArray& buffer, QByteArrayView chunk)
{
    buffer.append(chunk);
    return { buffer.size(), buffer.size() == ReceivedListLength };
}

QString ReceiveProgressText(qsizetype received, const QLocale& locale)
{
    // received / 9 rounded to tenths; 10n/9 never ends in exactly one half, so no tie to break.
    const qint64 tenths = (20 * qint64(received) + 9) / 18;
    const qint64 whole = tenths / 10;
    const qint64 tenth = tenths % 10;
    QString records = whole > 0 ? QString::number(whole) : QString();
    records += locale.decimalPoint();
    if (tenth != 0)
        records += QString::number(tenth);
    return QString::number(received) + QStringLiteral(" / ") + records;
}
