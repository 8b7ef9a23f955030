#include "shot_list.h"

ShotList ShotList::startup()
{
    ShotList list;
    for (int i = 0; i < SlotCount; ++i) {
        list.times[i] = EmptyTime;
        list.circuits[i] = NoCircuit;
    }
    list.times[0] = 0;
    return list;
}

void NormalizeList(ShotList& list)
{
    list.times[SentinelSlot] = EmptyTime;
    list.circuits[SentinelSlot] = NoCircuit;
    list.effects[SentinelSlot].clear();
    // Slot 0 is left as it is; later slots must rise strictly, and anything behind an empty
    // slot is raised above it so that the list ends at its first empty slot.
    for (int i = 1; i < EntryCount; ++i) {
        if (list.times[i] > LastValidTime)
            list.times[i] = EmptyTime;
        else if (list.times[i] <= list.times[i - 1])
            list.times[i] = list.times[i - 1] + 1;
    }
}

QString FormatClock(qint32 t)
{
    if (t > LastValidTime)
        return QStringLiteral("--:--:--");
    const qint32 h = t / 3600;
    const qint32 m = (t - 3600 * h) / 60;
    const qint32 s = t - 3600 * h - 60 * m;
    return QStringLiteral("%1:%2:%3")
        .arg(h, 2, 10, QLatin1Char('0'))
        .arg(m, 2, 10, QLatin1Char('0'))
        .arg(s, 2, 10, QLatin1Char('0'));
}

QString CircuitLabel(qint16 c)
{
    const QChar letter(65 + c / 32);
    return letter + QStringLiteral("%1").arg(c & 31, 2, 10, QLatin1Char('0'));
}

QString Hex2(qint64 x) { return QStringLiteral("%1").arg(quint8(x), 2, 16, QLatin1Char('0')).toUpper(); }

QString Hex4(qint64 x) { return QStringLiteral("%1").arg(quint16(x), 4, 16, QLatin1Char('0')).toUpper(); }

qint64 HexValue(QStringView text)
{
    qint64 value = 0;
    for (QChar ch : text) {
        int digit = 0;
        const char16_t c = ch.unicode();
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else if (c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        value = value * 16 + digit;
    }
    return value;
}

QString EntryFields(const ShotList& list, int slot)
{
    const qint32 t = list.times[slot];
    return Hex4(t > EmptyTime ? EmptyTime : t) + QLatin1Char(' ') + Hex2(list.circuits[slot]);
}
