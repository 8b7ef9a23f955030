#pragma once

#include "shotlist/shot_list.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

#include <array>
#include <optional>

class QIODevice;

// A shot list file: signature, comment, four lines of statistics, one line per slot 0..169.
constexpr int FslHeaderLines = 6;
constexpr int FslLineCount = FslHeaderLines + EntryCount;
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

// The text as Windows-1252 can hold it: any other character becomes "?".
QString StoredText(QStringView text);
// True when the text survives a file line unchanged: no line break, only Windows-1252 characters.
bool IsStorableLine(QStringView text);
// The comment as it is stored: line breaks become blanks, then as StoredText.
QString StoredComment(QStringView comment);
// Lines ended by CR LF, in Windows-1252.
QByteArray FileLines(const QStringList& lines);

// The whole file; the statistics are computed from the list itself.
QByteArray ShotListFileBytes(const QString& signature, const QString& comment, const ShotList& list);

struct FslContent {
    QString comment;
    std::array<qint32, EntryCount> times {};
    std::array<qint16, EntryCount> circuits {};
};

// Reads exactly the 176 lines a list needs. nullopt for a wrong first line, a file that ends early or
// cannot be read; nothing is returned half done.
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
