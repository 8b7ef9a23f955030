#pragma once

#include <QString>
#include <QStringView>

// The one list in memory: slots 0..169 are entries 1..170, slot 170 is an always-empty sentinel.
constexpr int EntryCount = 170;
constexpr int SlotCount = EntryCount + 1;
constexpr int SentinelSlot = EntryCount;
constexpr qint32 LastValidTime = 65279; // 18:07:59
constexpr qint32 EmptyTime = 65535;
constexpr qint16 NoCircuit = 255;
// An effect is what the crew loads on an entry's circuit ("Kometen rot 50 mm"): one line, at most
// this many characters, all of them characters a list file (Windows-1252) can hold.
constexpr int EffectMaxLength = 60;
// An entry without a tapped target.
constexpr qint32 NoTarget = -1;

struct ShotList {
    qint32 times[SlotCount];
    qint16 circuits[SlotCount];
    // Empty for an entry without effect. An effect belongs to its entry: it moves when the entry
    // moves to another slot, and stays with its slot as the circuit does when only times change.
    QString effects[SlotCount];
    // When the entry's effect should be seen, in milliseconds of the music (tapped), or NoTarget. It
    // moves with its entry like the effect and stays when only the entry's time changes.
    qint32 targets[SlotCount];

    // Entry 1 at 0 s without circuit, everything else empty.
    static ShotList startup();
    bool isEmptyTime(int slot) const { return times[slot] > LastValidTime; }
};

void NormalizeList(ShotList& list);

QString FormatClock(qint32 t);
QString CircuitLabel(qint16 c);
QString Hex2(qint64 x);
QString Hex4(qint64 x);
// Any character that is not a hexadecimal digit counts as 0.
qint64 HexValue(QStringView text);

// "TTTT CC" as stored in files and sent on the wire. A time above 65535 (a valid time pushed
// behind an empty slot) is empty too and is written as FFFF, never as its wrapped low 16 bits.
QString EntryFields(const ShotList& list, int slot);
