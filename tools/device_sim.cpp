// A stand-in for the firing device on the far end of a serial line or pseudo-terminal (Linux).
// It prints what the editor sends and, on command, sends a list of 170 records (1530 characters).
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int Records = 170;
constexpr int RecordLength = 9;
constexpr int ListLength = Records * RecordLength;

const char* const Usage = R"(Commands (standard input, one a line):
  list [FILE]   send a list of 1530 characters: the demo list, or the entries "TTTT CC"
                found in FILE (the last 170 of them; a .fsl file will do)
  back          send back the last 170 records received from the editor
  raw TEXT      send TEXT as it is
  chunk N       characters per write (default: all at once)
  gap MS        pause between two writes in milliseconds (default 0)
  baud B        pace the writes like a line at B baud, 10 bits a character (0: off)
  filler XYZ    the characters at offsets 4, 7 and 8 of every record (default " \r\n")
  lower on|off  hexadecimal digits in lower case
  quit          end (so does the end of the input)
TEXT and XYZ take the escapes \r \n \t \\ and \xHH.
Output, one line each: "ready DEVICE"; "rx MS TEXT" for every chunk received, MS milliseconds
after the start, bytes outside printable ASCII as \xHH and "\" as \\; "sent N FIRST_NS LAST_NS"
when a send is done (monotonic clock of its first and last write); "closed REASON" at the end.)";

struct Entry {
    int time = 0xFFFF;
    int circuit = 0xFF;
};

void say(const QByteArray& line)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

qint64 monotonicNs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

QByteArray unescape(const QByteArray& text)
{
    QByteArray out;
    for (int i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\\' || i + 1 >= text.size()) {
            out += c;
            continue;
        }
        const char e = text[++i];
        if (e == 'r')
            out += '\r';
        else if (e == 'n')
            out += '\n';
        else if (e == 't')
            out += '\t';
        else if (e == 'x' && i + 2 < text.size()) {
            bool ok = false;
            const int value = text.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                out += char(value);
                i += 2;
            } else {
                out += "\\x";
            }
        } else {
            out += e;
        }
    }
    return out;
}

QByteArray escape(const QByteArray& bytes)
{
    QByteArray out;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\\')
            out += "\\\\";
        else if (u >= 0x20 && u < 0x7F)
            out += c;
        else
            out += "\\x" + QByteArray::number(u, 16).rightJustified(2, '0');
    }
    return out;
}

QList<Entry> demoList()
{
    const Entry show[] = { { 0, 0 }, { 5, 1 }, { 10, 2 }, { 12, 33 }, { 20, 34 }, { 30, 64 }, { 45, 65 },
        { 60, 224 }, { 90, 3 }, { 120, 4 } };
    QList<Entry> list(Records);
    for (int i = 0; i < int(std::size(show)); ++i)
        list[i] = show[i];
    return list;
}

// The last 170 entries "TTTT CC" of a text, in order; missing ones are empty.
QList<Entry> entriesIn(const QByteArray& text, int step)
{
    QList<Entry> found;
    static const QRegularExpression entry(QStringLiteral("^([0-9A-Fa-f]{4}) ([0-9A-Fa-f]{2})"));
    if (step == 0) {
        for (const QByteArray& line : text.split('\n')) {
            const auto match = entry.match(QString::fromLatin1(line));
            if (match.hasMatch())
                found.append({ match.captured(1).toInt(nullptr, 16), match.captured(2).toInt(nullptr, 16) });
        }
    } else {
        for (int at = 0; at + step <= text.size(); at += step) {
            const auto match = entry.match(QString::fromLatin1(text.mid(at, step)));
            found.append(match.hasMatch()
                    ? Entry { match.captured(1).toInt(nullptr, 16), match.captured(2).toInt(nullptr, 16) }
                    : Entry {});
        }
    }
    if (found.size() > Records)
        found = found.mid(found.size() - Records);
    found.resize(Records);
    return found;
}

class DeviceSim : public QObject {
public:
    bool start(const QString& device, const QString& recordFile)
    {
        m_fd = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_fd < 0) {
            say("closed " + QByteArray(std::strerror(errno)));
            return false;
        }
        termios line {};
        if (tcgetattr(m_fd, &line) == 0) {
            cfmakeraw(&line);
            cfsetspeed(&line, B9600);
            line.c_cflag |= CLOCAL | CREAD;
            tcsetattr(m_fd, TCSANOW, &line);
        }
        if (!recordFile.isEmpty()) {
            m_record.setFileName(recordFile);
            if (!m_record.open(QIODevice::WriteOnly | QIODevice::Append)) {
                say("closed cannot write " + QFile::encodeName(recordFile));
                return false;
            }
        }
        m_clock.start();
        m_lineNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_lineNotifier, &QSocketNotifier::activated, this, [this] { readLine(); });
        m_inputNotifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
        connect(m_inputNotifier, &QSocketNotifier::activated, this, [this] { readCommands(); });
        m_sendTimer.setSingleShot(true);
        m_sendTimer.setTimerType(Qt::PreciseTimer);
        connect(&m_sendTimer, &QTimer::timeout, this, [this] { writeNextChunk(); });
        say("ready " + QFile::encodeName(device));
        return true;
    }

    int chunk = ListLength;
    int gapMs = 0;
    int baud = 0;
    QByteArray filler = " \r\n";
    bool lower = false;

private:
    void finish(const QByteArray& reason)
    {
        say("closed " + reason);
        QCoreApplication::quit();
    }

    void readLine()
    {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n > 0) {
                const QByteArray bytes(buffer, int(n));
                m_received += bytes;
                if (m_record.isOpen()) {
                    m_record.write(bytes);
                    m_record.flush();
                }
                say("rx " + QByteArray::number(m_clock.nsecsElapsed() / 1e6, 'f', 3) + ' ' + escape(bytes));
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                return;
            m_lineNotifier->setEnabled(false);
            finish(n == 0 ? QByteArray("end of line") : QByteArray(std::strerror(errno)));
            return;
        }
    }

    void readCommands()
    {
        char buffer[4096];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            m_inputNotifier->setEnabled(false);
            // Let a send in progress finish before leaving.
            m_quitWhenSent = true;
            if (!m_sendTimer.isActive() && m_pending.isEmpty())
                finish("end of input");
            return;
        }
        m_input.append(buffer, int(n));
        int end;
        while ((end = m_input.indexOf('\n')) >= 0) {
            QByteArray command = m_input.left(end);
            m_input.remove(0, end + 1);
            if (command.endsWith('\r'))
                command.chop(1);
            run(command);
        }
    }

    void run(const QByteArray& command)
    {
        const int space = command.indexOf(' ');
        const QByteArray word = space < 0 ? command : command.left(space);
        const QByteArray rest = space < 0 ? QByteArray() : command.mid(space + 1);
        if (word == "list") {
            QList<Entry> list = demoList();
            if (!rest.isEmpty()) {
                QFile file(QFile::decodeName(rest));
                if (!file.open(QIODevice::ReadOnly)) {
                    say("error cannot read " + rest);
                    return;
                }
                list = entriesIn(file.readAll(), 0);
            }
            send(encode(list));
        } else if (word == "back") {
            send(encode(entriesIn(m_received, 8)));
        } else if (word == "raw") {
            send(unescape(rest));
        } else if (word == "chunk") {
            chunk = qMax(1, rest.toInt());
        } else if (word == "gap") {
            gapMs = qMax(0, rest.toInt());
        } else if (word == "baud") {
            baud = qMax(0, rest.toInt());
        } else if (word == "filler") {
            const QByteArray value = unescape(rest);
            if (value.size() == 3)
                filler = value;
            else
                say("error filler needs exactly three characters");
        } else if (word == "lower") {
            lower = rest == "on";
        } else if (word == "quit") {
            finish("quit");
        } else if (!word.isEmpty()) {
            say("error unknown command " + word);
        }
    }

    QByteArray encode(const QList<Entry>& list) const
    {
        QByteArray out;
        for (const Entry& e : list) {
            QByteArray time = QByteArray::number(e.time, 16).rightJustified(4, '0').right(4);
            QByteArray circuit = QByteArray::number(e.circuit, 16).rightJustified(2, '0').right(2);
            if (!lower) {
                time = time.toUpper();
                circuit = circuit.toUpper();
            }
            out += time + filler[0] + circuit + filler[1] + filler[2];
        }
        return out;
    }

    void send(const QByteArray& bytes)
    {
        for (int at = 0; at < bytes.size(); at += chunk)
            m_pending.append(bytes.mid(at, chunk));
        if (!m_sendTimer.isActive())
            writeNextChunk();
    }

    void writeNextChunk()
    {
        if (m_pending.isEmpty())
            return;
        const QByteArray piece = m_pending.takeFirst();
        if (m_sentBytes == 0)
            m_firstWriteNs = monotonicNs();
        writeAll(piece);
        m_lastWriteNs = monotonicNs();
        m_sentBytes += piece.size();
        if (m_pending.isEmpty()) {
            say("sent " + QByteArray::number(m_sentBytes) + ' ' + QByteArray::number(m_firstWriteNs) + ' '
                + QByteArray::number(m_lastWriteNs));
            m_sentBytes = 0;
            if (m_quitWhenSent)
                finish("end of input");
            return;
        }
        qint64 waitNs = qint64(gapMs) * 1'000'000;
        if (baud > 0) {
            // Where a line at this speed would be after the characters written so far.
            const qint64 dueNs = m_firstWriteNs + m_sentBytes * 10'000'000'000LL / baud;
            waitNs = dueNs - monotonicNs();
        }
        m_sendTimer.start(int(qMax<qint64>(0, waitNs) / 1'000'000));
    }

    void writeAll(const QByteArray& bytes)
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (n > 0) {
                done += n;
            } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                pollfd wait { m_fd, POLLOUT, 0 };
                ::poll(&wait, 1, 100);
            } else {
                say("error " + QByteArray(std::strerror(errno)));
                return;
            }
        }
    }

    int m_fd = -1;
    QFile m_record;
    QElapsedTimer m_clock;
    QSocketNotifier* m_lineNotifier = nullptr;
    QSocketNotifier* m_inputNotifier = nullptr;
    QByteArray m_input;
    QByteArray m_received;
    QList<QByteArray> m_pending;
    qint64 m_sentBytes = 0;
    qint64 m_firstWriteNs = 0;
    qint64 m_lastWriteNs = 0;
    QTimer m_sendTimer;
    bool m_quitWhenSent = false;
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelto-device-sim"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Firing-device simulator: prints what the editor sends and sends lists on command.\n\n")
        + QString::fromLatin1(Usage));
    parser.addHelpOption();
    parser.addPositionalArgument(
        QStringLiteral("device"), QStringLiteral("the device end, e.g. /tmp/kelto/B"));
    const QCommandLineOption record(QStringLiteral("record"),
        QStringLiteral("Also append the received bytes to FILE."), QStringLiteral("FILE"));
    const QCommandLineOption chunk(
        QStringLiteral("chunk"), QStringLiteral("Characters per write."), QStringLiteral("N"));
    const QCommandLineOption gap(
        QStringLiteral("gap"), QStringLiteral("Pause between writes."), QStringLiteral("MS"));
    const QCommandLineOption baud(
        QStringLiteral("baud"), QStringLiteral("Pace writes like a line at B baud."), QStringLiteral("B"));
    const QCommandLineOption filler(QStringLiteral("filler"),
        QStringLiteral("Characters at offsets 4, 7 and 8 of a record."), QStringLiteral("XYZ"));
    const QCommandLineOption lower(QStringLiteral("lower"), QStringLiteral("Lower-case hexadecimal digits."));
    parser.addOptions({ record, chunk, gap, baud, filler, lower });
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);

    DeviceSim sim;
    if (parser.isSet(chunk))
        sim.chunk = qMax(1, parser.value(chunk).toInt());
    if (parser.isSet(gap))
        sim.gapMs = qMax(0, parser.value(gap).toInt());
    if (parser.isSet(baud))
        sim.baud = qMax(0, parser.value(baud).toInt());
    if (parser.isSet(filler)) {
        const QByteArray value = unescape(parser.value(filler).toLatin1());
        if (value.size() != 3)
            parser.showHelp(2);
        sim.filler = value;
    }
    sim.lower = parser.isSet(lower);
    if (!sim.start(parser.positionalArguments().constFirst(), parser.value(record)))
        return 1;
    return QCoreApplication::exec();
}
