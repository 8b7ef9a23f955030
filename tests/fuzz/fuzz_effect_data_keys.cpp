// libFuzzer target: the effect data of a list file's [Kelto] block, as KEY=VALUE lines in Windows-1252;
// what is read is valid, every key is either read, refused or handed back, and the data a list of
// those names carries is written and read back unchanged. The entries' targets likewise.
#include "effects/list_effect_data.h"
#include "fuzz_check.h"

#include <QStringDecoder>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QStringDecoder decoder("windows-1252");
    const QString text = decoder.decode(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    KeltoKeys keys;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals > 0)
            keys.append({ line.left(equals), line.mid(equals + 1) });
    }
    const EffectDataDecode decoded = DecodeEffectDataKeys(keys);
    check(decoded.data.size() + decoded.otherKeys.size() + decoded.problems.size() == keys.size());
    check(decoded.data.size() <= EntryCount);

    ShotList list = ShotList::startup();
    int slot = 0;
    for (auto it = decoded.data.cbegin(); it != decoded.data.cend(); ++it, ++slot) {
        check(it.key() == it->name && EffectDataProblems(*it).isEmpty() && !it->stock);
        list.effects[slot] = it.key();
    }
    const KeltoKeys written = EffectDataKeys(list, decoded.data);
    check(written.size() == decoded.data.size());
    const EffectDataDecode again = DecodeEffectDataKeys(written);
    check(again.problems.isEmpty() && again.otherKeys.isEmpty() && again.data == decoded.data);

    // Targets on a list of ten entries.
    ShotList timed = ShotList::startup();
    for (int i = 0; i < 10; ++i)
        timed.times[i] = i;
    const TargetDecode targets = DecodeTargetKeys(decoded.otherKeys, timed);
    check(targets.otherKeys.size() + targets.problems.size() <= decoded.otherKeys.size());
    for (int i = 10; i < SlotCount; ++i)
        check(timed.targets[i] == NoTarget);
    ShotList back = ShotList::startup();
    for (int i = 0; i < 10; ++i)
        back.times[i] = i;
    const TargetDecode readBack = DecodeTargetKeys(TargetKeys(timed), back);
    check(readBack.problems.isEmpty() && readBack.otherKeys.isEmpty());
    for (int i = 0; i < SlotCount; ++i)
        check(back.targets[i] == timed.targets[i]);
    return 0;
}
