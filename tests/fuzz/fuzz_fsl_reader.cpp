// libFuzzer target: the .fsl line reader, loader and preview, and the settings reader, on any bytes.
#include "files/fsl_file.h"
#include "files/settings_file.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>

namespace {

const QString Signature = QStringLiteral("Feuerwerk-Schussliste Pelorandistrake");

void check(bool condition)
{
    if (!condition)
        std::abort();
}

template <typename Result>
Result readFrom(const QByteArray& bytes, Result (*read)(QIODevice&, const QString&))
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return read(buffer, Signature);
}

void checkLines(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    LineReader reader(buffer);
    qsizetype characters = 0;
    while (std::optional<QString> line = reader.next()) {
        check(!line->contains(QLatin1Char('\r')));
        characters += line->size();
        check(characters <= bytes.size());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    checkLines(bytes);

    const std::optional<FslPreview> preview = readFrom(bytes, &ReadFslPreview);
    const std::optional<FslContent> content = readFrom(bytes, &ReadShotListFile);
    if (content) {
        check(preview && preview->comment == content->comment);
        // What was loaded saves and loads again unchanged, the comment as stored on one line.
        const ShotList& list = content->list;
        for (int slot = 0; slot < EntryCount; ++slot) {
            check(list.times[slot] >= 0 && list.times[slot] <= 65535);
            check(list.circuits[slot] >= 0 && list.circuits[slot] <= 255);
            check(EffectRefusal(list.effects[slot]).isEmpty());
        }
        // The [Kelto] block too: effects, music and the keys of a newer Kelto come back as they went.
        const QByteArray saved = ShotListFileBytes(Signature, content->comment, list, content->block);
        const std::optional<FslContent> again = readFrom(saved, &ReadShotListFile);
        check(again.has_value());
        for (int slot = 0; slot < EntryCount; ++slot) {
            check(again->list.times[slot] == list.times[slot]
                && again->list.circuits[slot] == list.circuits[slot]);
            check(again->list.effects[slot] == list.effects[slot]);
        }
        check(again->block.music == StoredText(content->block.music));
        check(again->block.musicStartTenths == content->block.musicStartTenths);
        check(again->block.otherKeys.size() == content->block.otherKeys.size());
        check(again->skippedLines.isEmpty());
        check(again->comment == StoredComment(content->comment));
    }

    QBuffer settings;
    settings.setData(bytes);
    settings.open(QIODevice::ReadOnly);
    ReadSettingsFile(settings);
    return 0;
}
