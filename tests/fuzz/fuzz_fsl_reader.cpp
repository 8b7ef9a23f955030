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
        ShotList list = ShotList::startup();
        for (int slot = 0; slot < EntryCount; ++slot) {
            check(content->times[slot] >= 0 && content->times[slot] <= 65535);
            check(content->circuits[slot] >= 0 && content->circuits[slot] <= 255);
            list.times[slot] = content->times[slot];
            list.circuits[slot] = content->circuits[slot];
        }
        const QByteArray saved = ShotListFileBytes(Signature, content->comment, list);
        const std::optional<FslContent> again = readFrom(saved, &ReadShotListFile);
        check(again && again->times == content->times && again->circuits == content->circuits);
        check(again->comment == StoredComment(content->comment));
    }

    QBuffer settings;
    settings.setData(bytes);
    settings.open(QIODevice::ReadOnly);
    ReadSettingsFile(settings);
    return 0;
}
