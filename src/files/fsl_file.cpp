#include "fsl_file.h"

#include "system_reason.h"

#include "shotlist/list_views.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringEncoder>

namespace {

constexpr qsizetype ChunkBytes = 4096;
const char* const Codepage = "windows-1252";

// Every character Windows-1252 has, one for each byte.
const QString& codepageRepertoire()
{
    static const QString repertoire = [] {
        QByteArray all(256, '\0');
        for (int i = 0; i < 256; ++i)
            all[i] = char(i);
        QStringDecoder decoder(Codepage);
        return QString(decoder.decode(all));
    }();
    return repertoire;
}

bool inCodepage(QChar c) { return codepageRepertoire().contains(c); }

// Reads the given number of lines, or nullopt if the data ends before or cannot be read.
std::optional<QStringList> readLines(QIODevice& device, int count, const QString& signature)
{
    LineReader reader(device);
    QStringList lines;
    lines.reserve(count);
    while (lines.size() < count) {
        std::optional<QString> line = reader.next();
        if (!line)
            return std::nullopt;
        // Checked at once, so a file that is no list is not read any further.
        if (lines.isEmpty() && *line != signature)
            return std::nullopt;
        lines.append(std::move(*line));
    }
    return lines;
}

} // namespace

LineReader::LineReader(QIODevice& device)
    : m_device(device)
    , m_decoder(Codepage)
{
}

bool LineReader::fill()
{
    if (m_atEnd || m_failed)
        return false;
    const qsizetype old = m_buffer.size();
    m_buffer.resize(old + ChunkBytes);
    const qint64 n = m_device.read(m_buffer.data() + old, ChunkBytes);
    m_buffer.resize(old + qMax<qint64>(n, 0));
    if (n < 0)
        m_failed = true;
    else if (n == 0)
        m_atEnd = true;
    return n > 0;
}

std::optional<QString> LineReader::next()
{
    if (m_failed)
        return std::nullopt;
    m_buffer.remove(0, m_pos);
    m_pos = 0;
    qsizetype scanFrom = 0;
    for (;;) {
        const qsizetype cr = m_buffer.indexOf('\r', scanFrom);
        const qsizetype end = cr >= 0 ? cr : m_buffer.size();
        if (end > MaxLineBytes) {
            m_failed = true;
            return std::nullopt;
        }
        if (cr >= 0) {
            m_pos = cr + 1;
            if (m_pos == m_buffer.size())
                fill();
            if (m_failed)
                return std::nullopt;
            if (m_pos < m_buffer.size() && m_buffer[m_pos] == '\n')
                ++m_pos;
            return QString(m_decoder.decode(QByteArrayView(m_buffer).first(cr)));
        }
        scanFrom = m_buffer.size();
        if (!fill()) {
            if (m_failed || m_buffer.isEmpty())
                return std::nullopt;
            m_pos = m_buffer.size();
            return QString(m_decoder.decode(QByteArrayView(m_buffer)));
        }
    }
}

QString StoredText(QStringView text)
{
    QString stored;
    stored.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        // A character outside the basic plane is one character: one "?".
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        stored += inCodepage(c) ? c : QLatin1Char('?');
    }
    return stored;
}

bool IsStorableLine(QStringView text)
{
    for (QChar c : text) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || !inCodepage(c))
            return false;
    }
    return true;
}

QString StoredComment(QStringView comment)
{
    QString line = comment.toString();
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    for (QChar& c : line) {
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar::LineSeparator
            || c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    }
    return StoredText(line);
}

QByteArray FileLines(const QStringList& lines)
{
    QStringEncoder encoder(Codepage);
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += encoder.encode(StoredText(line));
        bytes += "\r\n";
    }
    return bytes;
}

QByteArray ShotListFileBytes(const QString& signature, const QString& comment, const ShotList& list)
{
    QStringList lines { signature, StoredComment(comment) };
    lines += ComputeStatistics(List1Lines(list)).text.split(QStringLiteral("\r\n"));
    for (int slot = 0; slot < EntryCount; ++slot)
        lines.append(EntryFields(list, slot));
    return FileLines(lines);
}

std::optional<FslContent> ReadShotListFile(QIODevice& device, const QString& signature)
{
    const std::optional<QStringList> lines = readLines(device, FslLineCount, signature);
    if (!lines)
        return std::nullopt;
    FslContent content;
    content.comment = lines->at(1);
    // Nothing in an entry line is checked: missing digits count as none, the separator is skipped.
    for (int slot = 0; slot < EntryCount; ++slot) {
        const QString& line = lines->at(FslHeaderLines + slot);
        content.times[slot] = qint32(HexValue(QStringView(line).left(4)));
        content.circuits[slot] = qint16(HexValue(QStringView(line).mid(5).left(2)));
    }
    return content;
}

namespace {

// A pipe or a device named like a list would block the reader until someone writes to it.
bool isRegularFile(const QString& path) { return QFileInfo(path).isFile(); }

} // namespace

std::optional<FslContent> ReadShotListFile(const QString& path, const QString& signature)
{
    QFile file(path);
    if (!isRegularFile(path) || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return ReadShotListFile(file, signature);
}

std::optional<FslPreview> ReadFslPreview(QIODevice& device, const QString& signature)
{
    const std::optional<QStringList> lines = readLines(device, FslHeaderLines, signature);
    if (!lines)
        return std::nullopt;
    return FslPreview { lines->at(1), lines->mid(2).join(QStringLiteral("\r\n")) };
}

std::optional<FslPreview> ReadFslPreview(const QString& path, const QString& signature)
{
    QFile file(path);
    if (!isRegularFile(path) || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return ReadFslPreview(file, signature);
}

QString ProposeFileName(const QString& folder)
{
    for (int n = 0; n < 1000; ++n) {
        const QString name = QStringLiteral("fw_%1.fsl").arg(n, 3, 10, QLatin1Char('0'));
        if (!QFileInfo::exists(folder + name))
            return name;
    }
    return QStringLiteral("fw_999.fsl");
}

bool SaveBytes(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    // Unbuffered: a buffered QSaveFile loses a short write (disk full) at commit and still succeeds.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        *error = GermanReason(file.errorString());
        return false;
    }
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            *error = GermanReason(file.errorString());
            file.cancelWriting();
            return false;
        }
        done += n;
    }
    if (!file.commit()) {
        *error = GermanReason(file.errorString());
        return false;
    }
    return true;
}
