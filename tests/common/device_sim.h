#pragma once

#include <QCoreApplication>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <QtCore/qtestsupport_core.h>

#include <functional>

// Drives the firing-device simulator (kelto-device-sim) on one end of a pseudo-terminal pair and
// collects what it reports: every chunk the editor sent, with its arrival time.
class SimDriver {
public:
    struct Chunk {
        double ms = 0;
        QByteArray bytes;
    };

    static QString program()
    {
        const QString configured = qEnvironmentVariable("KELTO_SIMULATOR");
        if (!configured.isEmpty())
            return configured;
        return QCoreApplication::applicationDirPath() + QStringLiteral("/../tools/kelto-device-sim");
    }

    explicit SimDriver(const QString& device, const QStringList& options = {})
    {
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] { collect(); });
        m_process.start(program(), options + QStringList { device });
    }
    ~SimDriver()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }
    SimDriver(const SimDriver&) = delete;
    SimDriver& operator=(const SimDriver&) = delete;

    bool waitReady(int timeoutMs = 10000)
    {
        return QTest::qWaitFor([this] { return m_ready; }, timeoutMs);
    }
    void command(const QByteArray& line) { m_process.write(line + '\n'); }
    // Sends a command and waits until the simulator has written all it queued.
    bool send(const QByteArray& line, int timeoutMs = 10000)
    {
        const int before = m_sends;
        command(line);
        return QTest::qWaitFor([&] { return m_sends > before; }, timeoutMs);
    }
    bool waitForReceived(qsizetype bytes, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return m_received.size() >= bytes; }, timeoutMs);
    }

    const QByteArray& received() const { return m_received; }
    int finishedSends() const { return m_sends; }
    const QList<Chunk>& chunks() const { return m_chunks; }
    // Monotonic clock (ns) of the last write of the last finished send.
    qint64 lastSendEndNs() const { return m_lastSendEndNs; }
    qint64 lastSendStartNs() const { return m_lastSendStartNs; }
    QByteArray log() const { return m_log; }
    // Called with each chunk as it is reported, inside whatever event loop is running.
    std::function<void(const Chunk&)> onChunk;

    static QByteArray unescape(const QByteArray& text)
    {
        QByteArray out;
        for (int i = 0; i < text.size(); ++i) {
            if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
                out += '\\';
                ++i;
            } else if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
                out += char(text.mid(i + 2, 2).toInt(nullptr, 16));
                i += 3;
            } else {
                out += text[i];
            }
        }
        return out;
    }

private:
    void collect()
    {
        m_pending += m_process.readAllStandardOutput();
        int end;
        while ((end = m_pending.indexOf('\n')) >= 0) {
            const QByteArray line = m_pending.left(end);
            m_pending.remove(0, end + 1);
            m_log += line + '\n';
            if (line.startsWith("ready ")) {
                m_ready = true;
            } else if (line.startsWith("rx ")) {
                const int space = line.indexOf(' ', 3);
                const Chunk chunk { line.mid(3, space - 3).toDouble(), unescape(line.mid(space + 1)) };
                m_received += chunk.bytes;
                m_chunks.append(chunk);
                if (onChunk)
                    onChunk(chunk);
            } else if (line.startsWith("sent ")) {
                const QList<QByteArray> parts = line.split(' ');
                m_lastSendStartNs = parts.value(2).toLongLong();
                m_lastSendEndNs = parts.value(3).toLongLong();
                ++m_sends;
            }
        }
    }

    QProcess m_process;
    QByteArray m_pending;
    QByteArray m_log;
    QByteArray m_received;
    QList<Chunk> m_chunks;
    bool m_ready = false;
    int m_sends = 0;
    qint64 m_lastSendStartNs = 0;
    qint64 m_lastSendEndNs = 0;
};
