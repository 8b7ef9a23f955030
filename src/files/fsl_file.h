#pragma once

#include "shotlist/shot_list.h"
#include "shotlist/stored_text.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

#include <QList>

#include <optional>
#include <utility>

class QIODevice;

// A shot list file: signature, comment, four lines of statistics, one line per slot 0..169. Kelto's
// additions follow in a block that starts with line 177 "[Kelto]"; every other reader of the format
// stops after line 176.
constexpr int FslHeaderLines = 6;
constexpr int FslLineCount = FslHeaderLines + EntryCount;
inline const QString KeltoBlockTitle = QStringLiteral("[Kelto]");
// More lines than a full block with every key could need are not read.
constexpr int MaxKeltoBlockLines = 4 * EntryCount + 1000;
// No line of a sound file comes near this; a longer one makes the file unreadable rather than
// letting a reader run through a huge file.
constexpr qsizetype MaxLineBytes = 64 * 1024;

// Reads Windows-1252 lines: a line runs to the next CR, an LF right after it belongs to the line end,
// any other LF is an ordinary character. A last line without CR still counts. Reads ahead only a
// small chunk, so a caller that stops early never reads the rest of the device.
class LineReader {
public:
    explicit LineReader(QIODevice& device);

    // The next line, or nullopt at the end of the data or after a failure.
    std::optional<QString> next();
    // Takes the next line if it is exactly this ASCII text; reads no further than it needs to tell.
    bool takeLine(QByteArrayView line);
    bool failed() const { return m_failed; }

private:
    bool fill();

    QIODevice& m_device;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    bool m_atEnd = false;
    bool m_failed = false;
    QStringDecoder m_decoder;
};

// The comment as it is stored: line breaks become blanks, then as StoredText.
QString StoredComment(QStringView comment);
// Lines ended by CR LF, in Windows-1252.
QByteArray FileLines(const QStringList& lines);

// The [Kelto] block besides the effects, which the list carries: KEY=VALUE lines after line 176.
struct KeltoBlock {
    QString music; // "Musik=": as written, relative to the list's folder or absolute
    qint32 musicStartTenths = 0; // "Musikbeginn=" in seconds with a decimal point, e.g. -3.0
    QString origin; // "Quelldatei=": the list a recovery copy was made of (recovery copies only)
    QList<std::pair<QString, QString>> otherKeys; // keys of a newer Kelto, in their order
};

// The whole file; the statistics are computed from the list itself. Without effects and without
// anything in the block it is the 176 lines every reader of the format expects, byte for byte.
QByteArray ShotListFileBytes(
    const QString& signature, const QString& comment, const ShotList& list, const KeltoBlock& block = {});

struct FslContent {
    QString comment;
    // Slots 0..169 as written (not normalised), slot 170 empty; the effects from the block.
    ShotList list = ShotList::startup();
    KeltoBlock block;
    // Line numbers (from 1) of block lines that could not be read and were skipped.
    QList<int> skippedLines;
};

// Reads the 176 lines a list needs, then the [Kelto] block if line 177 starts one. nullopt for a
// wrong first line, a file that ends early or cannot be read; nothing is returned half done.
std::optional<FslContent> ReadShotListFile(QIODevice& device, const QString& signature);
std::optional<FslContent> ReadShotListFile(const QString& path, const QString& signature);

struct FslPreview {
    QString comment;
    QString statistics; // lines 3 to 6 joined by CR LF
};

// Reads the first six lines only; nullopt as for ReadShotListFile.
std::optional<FslPreview> ReadFslPreview(QIODevice& device, const QString& signature);
std::optional<FslPreview> ReadFslPreview(const QString& path, const QString& signature);

// The first free name of fw_000.fsl .. fw_999.fsl in the folder (a folder path with its separator, or
// empty for the working folder); fw_999.fsl when all are taken.
QString ProposeFileName(const QString& folder);

// Replaces the file only once all bytes are on disk; on failure the old file stays and error says why.
bool SaveBytes(const QString& path, const QByteArray& bytes, QString* error);
