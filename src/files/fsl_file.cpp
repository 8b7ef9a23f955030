#include "fsl_file.h"

#include "system_reason.h"

#include "shotlist/list_document.h"
#include "shotlist/list_views.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QStringEncoder>

#include <algorithm>

namespace {

constexpr qsizetype ChunkBytes = 4096;
const char* const Codepage = "windows-1252";

// Reads the given number of lines, or nullopt if the data ends before or cannot be read.
std::optional<QStringList> readLines(LineReader& reader, int count, const QString& signature)
{
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

bool LineReader::takeLine(QByteArrayView line)
{
    if (m_failed)
        return false;
    m_buffer.remove(0, m_pos);
    m_pos = 0;
    while (m_buffer.size() < line.size() + 2 && fill()) { }
    if (m_failed || !m_buffer.startsWith(line))
        return false;
    const qsizetype end = line.size();
    if (end < m_buffer.size() && m_buffer[end] != '\r')
        return false;
    m_pos = end < m_buffer.size() ? end + 1 : end;
    if (m_pos < m_buffer.size() && m_buffer[m_pos] == '\n')
        ++m_pos;
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

namespace {

const QString EffectKey = QStringLiteral("Effekt ");
const QString MusicKey = QStringLiteral("Musik");
const QString MusicStartKey = QStringLiteral("Musikbeginn");
const QString OriginKey = QStringLiteral("Quelldatei");
// "-3.0", "12", "+0.5": seconds with at most one decimal, a point as separator.
std::optional<qint32> readTenths(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^([+-]?)(\\d{1,6})(?:\\.(\\d))?$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const qint32 magnitude
        = match.captured(2).toInt() * 10 + (match.hasCaptured(3) ? match.captured(3).toInt() : 0);
    if (magnitude > MusicStartLimitTenths)
        return std::nullopt;
    return match.captured(1) == QLatin1String("-") ? -magnitude : magnitude;
}

// The slot of "Effekt NNN" (001 .. 170), or -1.
int effectSlot(const QString& key)
{
    if (!key.startsWith(EffectKey) || key.size() != EffectKey.size() + 3)
        return -1;
    bool ok = false;
    const int number = key.mid(EffectKey.size()).toInt(&ok);
    const bool digits
        = std::all_of(key.begin() + EffectKey.size(), key.end(), [](QChar c) { return c.isDigit(); });
    return ok && digits && number >= 1 && number <= EntryCount ? number - 1 : -1;
}

QStringList blockLines(const ShotList& list, const KeltoBlock& block)
{
    QStringList lines;
    if (!block.music.isEmpty())
        lines.append(MusicKey + QLatin1Char('=') + block.music);
    if (!block.music.isEmpty() || block.musicStartTenths != 0)
        lines.append(MusicStartKey + QLatin1Char('=') + TenthsText(block.musicStartTenths, QLatin1Char('.')));
    if (!block.origin.isEmpty())
        lines.append(OriginKey + QLatin1Char('=') + block.origin);
    for (int slot = 0; slot < EntryCount; ++slot) {
        if (!list.effects[slot].isEmpty())
            lines.append(QStringLiteral("%1%2=%3")
                             .arg(EffectKey)
                             .arg(slot + 1, 3, 10, QLatin1Char('0'))
                             .arg(list.effects[slot]));
    }
    for (const auto& [key, value] : block.otherKeys)
        lines.append(key + QLatin1Char('=') + value);
    if (!lines.isEmpty())
        lines.prepend(KeltoBlockTitle);
    return lines;
}

// Reads the block's lines into content; a line that cannot be read is skipped and noted.
void readBlock(LineReader& reader, FslContent& content)
{
    QSet<QString> seen;
    for (int number = FslLineCount + 2;; ++number) {
        std::optional<QString> line = reader.next();
        if (!line) {
            if (reader.failed())
                content.skippedLines.append(number); // an overlong line, or the file could not be read on
            return;
        }
        if (number > FslLineCount + 1 + MaxKeltoBlockLines) {
            content.skippedLines.append(number); // and whatever follows: never read
            return;
        }
        if (line->isEmpty())
            continue;
        const qsizetype equals = line->indexOf(QLatin1Char('='));
        const QString key = equals > 0 ? line->left(equals) : QString();
        const QString value = equals > 0 ? line->mid(equals + 1) : QString();
        bool read = !key.isEmpty() && !seen.contains(key);
        if (read) {
            const int slot = effectSlot(key);
            if (slot >= 0) {
                read = EffectRefusal(value).isEmpty();
                if (read)
                    content.list.effects[slot] = value.trimmed();
            } else if (key.startsWith(EffectKey)) {
                read = false;
            } else if (key == MusicKey) {
                content.block.music = value;
            } else if (key == MusicStartKey) {
                const std::optional<qint32> tenths = readTenths(value);
                read = tenths.has_value();
                if (read)
                    content.block.musicStartTenths = *tenths;
            } else if (key == OriginKey) {
                content.block.origin = value;
            } else {
                content.block.otherKeys.append({ key, value });
            }
        }
        if (read)
            seen.insert(key);
        else
            content.skippedLines.append(number);
    }
}

} // namespace

QByteArray ShotListFileBytes(
    const QString& signature, const QString& comment, const ShotList& list, const KeltoBlock& block)
{
    QStringList lines { signature, StoredComment(comment) };
    lines += ComputeStatistics(List1Lines(list)).text.split(QStringLiteral("\r\n"));
    for (int slot = 0; slot < EntryCount; ++slot)
        lines.append(EntryFields(list, slot));
    lines += blockLines(list, block);
    return FileLines(lines);
}

std::optional<FslContent> ReadShotListFile(QIODevice& device, const QString& signature)
{
    LineReader reader(device);
    const std::optional<QStringList> lines = readLines(reader, FslLineCount, signature);
    if (!lines)
        return std::nullopt;
    FslContent content;
    content.comment = lines->at(1);
    // Nothing in an entry line is checked: missing digits count as none, the separator is skipped.
    for (int slot = 0; slot < EntryCount; ++slot) {
        const QString& line = lines->at(FslHeaderLines + slot);
        content.list.times[slot] = qint32(HexValue(QStringView(line).left(4)));
        content.list.circuits[slot] = qint16(HexValue(QStringView(line).mid(5).left(2)));
    }
    // Whatever follows the entries never makes the list unreadable.
    if (reader.takeLine(KeltoBlockTitle.toLatin1()))
        readBlock(reader, content);
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
    LineReader reader(device);
    const std::optional<QStringList> lines = readLines(reader, FslHeaderLines, signature);
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
