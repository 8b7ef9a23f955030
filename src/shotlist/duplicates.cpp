#include "duplicates.h"

#include <algorithm>

namespace {

constexpr int DeviceB = 1;
constexpr int DeviceC = 2;
constexpr int DeviceH = 7;
constexpr int CircuitsPerDevice = 32;

qint16 codeOf(int device, int number) { return qint16(device * CircuitsPerDevice + number); }

} // namespace

int CountEntries(const ShotList& list)
{
    int n = 0;
    while (n < EntryCount && !list.isEmptyTime(n))
        ++n;
    return n;
}

bool HasAnyCircuit(const ShotList& list)
{
    const int entries = CountEntries(list);
    for (int slot = 0; slot < entries; ++slot) {
        if (list.circuits[slot] != NoCircuit)
            return true;
    }
    return false;
}

QList<int> ReservedSlots(const ShotList& list)
{
    QList<int> reserved;
    for (int slot = CountEntries(list); slot < EntryCount; ++slot) {
        if (list.circuits[slot] != NoCircuit || !list.effects[slot].isEmpty())
            reserved.append(slot);
    }
    return reserved;
}

QList<DuplicateCircuit> FindDuplicateCircuits(const ShotList& list)
{
    // Entries per stored code; code 255 (no circuit) fires nothing.
    QList<int> byCode[256];
    const int entries = CountEntries(list);
    for (int slot = 0; slot < entries; ++slot) {
        const int code = list.circuits[slot];
        if (code >= 0 && code < NoCircuit)
            byCode[code].append(slot);
    }

    QList<DuplicateCircuit> groups;
    for (int code = 0; code < NoCircuit; ++code) {
        const int device = code / CircuitsPerDevice;
        const int number = code % CircuitsPerDevice;
        QList<int> members = byCode[code];
        if (members.isEmpty())
            continue;
        if (device == DeviceB || device == DeviceC) {
            members += byCode[codeOf(DeviceH, number)];
            std::sort(members.begin(), members.end());
        } else if (device == DeviceH
            && (!byCode[codeOf(DeviceB, number)].isEmpty() || !byCode[codeOf(DeviceC, number)].isEmpty())) {
            continue; // already named with B n or C n
        }
        if (members.size() >= 2)
            groups.append({ qint16(code), members });
    }
    return groups;
}

QList<int> DuplicateSlots(const QList<DuplicateCircuit>& groups)
{
    QList<int> members;
    for (const DuplicateCircuit& group : groups)
        members += group.members;
    std::sort(members.begin(), members.end());
    members.erase(std::unique(members.begin(), members.end()), members.end());
    return members;
}

QStringList DuplicateGroupLines(const QList<DuplicateCircuit>& groups)
{
    QStringList lines;
    for (const DuplicateCircuit& group : groups) {
        QStringList numbers;
        for (int slot : group.members)
            numbers.append(QString::number(slot + 1));
        lines.append(CircuitLabel(group.code) + QStringLiteral(" (Nr. ") + numbers.join(QStringLiteral(", "))
            + QLatin1Char(')'));
    }
    return lines;
}

QString DuplicateText(const QList<DuplicateCircuit>& groups)
{
    if (groups.isEmpty())
        return QString();
    return QStringLiteral("Doppelt belegt: ") + DuplicateGroupLines(groups).join(QStringLiteral("; "));
}
