// Feeds the receive path chunk by chunk, as port notifications would, and decodes a completed list.
// Input: repeated [chunk size byte][that many characters].
#include "link/wire_format.h"
#include "shotlist/list_views.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool isHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

// Where every digit position holds a hexadecimal digit, the record goes out again as it came in.
void checkDecoded(const QByteArray& received, const ShotList& list)
{
    for (int k = 0; k < EntryCount; ++k) {
        const QByteArray record = received.mid(k * IncomingRecordLength, IncomingRecordLength);
        check(list.times[k] >= 0 && list.times[k] <= 0xFFFF);
        check(list.circuits[k] >= 0 && list.circuits[k] <= 0xFF);
        const QByteArray time = record.left(4);
        const QByteArray circuit = record.mid(5, 2);
        if (std::all_of(time.begin(), time.end(), isHex))
            check(Hex4(list.times[k]).toLatin1() == time.toUpper());
        if (std::all_of(circuit.begin(), circuit.end(), isHex))
            check(Hex2(list.circuits[k]).toLatin1() == circuit.toUpper());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QLocale comma(QLocale::German, QLocale::Germany);
    static const QLocale point(QLocale::C);
    QByteArray buffer;
    size_t at = 0;
    while (at < size) {
        const size_t wanted = data[at++];
        const size_t taken = std::min(wanted, size - at);
        const QByteArrayView chunk(reinterpret_cast<const char*>(data + at), qsizetype(taken));
        at += taken;
        const qsizetype before = buffer.size();
        const ReceiveStep step = AppendReceived(buffer, chunk);
        check(step.count == before + qsizetype(taken) && step.count == buffer.size());
        check(step.complete == (step.count == ReceivedListLength));
        const QString progress = ReceiveProgressText(step.count, comma);
        check(progress.startsWith(QString::number(step.count) + QStringLiteral(" / "))
            && progress.contains(','));
        check(ReceiveProgressText(step.count, point) == QString(progress).replace(',', '.'));

        ShotList list = ShotList::startup();
        if (!step.complete) {
            check(!DecodeReceivedList(buffer, list));
            continue;
        }
        // Completion ends the receive: decode, refresh, and send the list on again.
        check(DecodeReceivedList(buffer, list));
        checkDecoded(buffer, list);
        NormalizeList(list);
        const QStringList lines = List1Lines(list);
        check(lines.size() == EntryCount);
        const Statistics stats = ComputeStatistics(lines);
        check(stats.entries >= 0 && stats.entries <= EntryCount);
        for (int k = 0; k < EntryCount; ++k) {
            const QByteArray record = OutgoingRecord(list, k);
            check(record.size() == OutgoingRecordLength && record[4] == ' ' && record[7] == ';');
            // The statistics read from the list lines agree with the table: entries end at the first empty
            // slot.
            check((k < stats.entries) == !list.isEmptyTime(k));
        }
        break;
    }
    return 0;
}
