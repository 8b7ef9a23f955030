#include "shot_list.h"

ShotList ShotList::startup()
{
    ShotList list;
    for (int i = 0; i < SlotCount; ++i) {
        list.times[i] = EmptyTime;
        list.circuits[i] = NoCircuit;
        list.targets[i] = NoTarget;
    }
    list.times[0] = 0;
    return list;
}

void NormalizeList(ShotList& list)
{
    list.times[SentinelSlot] = EmptyTime;
    list.circuits[SentinelSlot] = NoCircuit;
    list.effects[SentinelSlot].clear();
    list.targets[SentinelSlot] = NoTarget;
    // Slot 0 is left as it is; later slots must rise strictly, and anything behind an empty
    // slot is raised above it so that the list ends at its first empty slot.
    for (int i = 1; i < EntryCount; ++i) {
        if (list.times[i] > LastValidTime)
            list.times[i] = EmptyTime;
        else if (list.times[i] <= list.times[i - 1])
            list.times[i] = list.times[i - 1] + 1;
    }
}

namespace {

// The text of a few characters made in place: the formats below run for every line of every
// refresh, file and transfer.
template <int N> QString fixedText(const char16_t (&text)[N])
{
    return QString(reinterpret_cast<const QChar*>(text), N);
}

void putDecimal(char16_t* at, int digits, int value)
{
    for (int i = digits - 1; i >= 0; --i, value /= 10)
        at[i] = char16_t(u'0' + value % 10);
}

void putHex(char16_t* at, int digits, unsigned value)
{
    static const char16_t hex[] = u"0123456789ABCDEF";
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        at[i] = hex[value & 15];
}

} // namespace

QString FormatClock(qint32 t)
{
    if (t > LastValidTime)
        return QStringLiteral("--:--:--");
    const qint32 h = t / 3600;
    const qint32 m = (t - 3600 * h) / 60;
    const qint32 s = t - 3600 * h - 60 * m;
    if (t < 0)
        return QStringLiteral("%1:%2:%3")
            .arg(h, 2, 10, QLatin1Char('0'))
            .arg(m, 2, 10, QLatin1Char('0'))
            .arg(s, 2, 10, QLatin1Char('0'));
    char16_t text[8] = { 0, 0, u':', 0, 0, u':', 0, 0 };
    putDecimal(text, 2, h);
    putDecimal(text + 3, 2, m);
    putDecimal(text + 6, 2, s);
    return fixedText(text);
}

QString CircuitLabel(qint16 c)
{
    char16_t text[3] = { char16_t(65 + c / 32), 0, 0 };
    putDecimal(text + 1, 2, c & 31);
    return fixedText(text);
}

QString Hex2(qint64 x)
{
    char16_t text[2] = {};
    putHex(text, 2, quint8(x));
    return fixedText(text);
}

QString Hex4(qint64 x)
{
    char16_t text[4] = {};
    putHex(text, 4, quint16(x));
    return fixedText(text);
}

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
