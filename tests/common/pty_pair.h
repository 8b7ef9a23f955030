#pragma once

#include <QByteArray>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QtCore/qtestsupport_core.h>

// Two connected pseudo-terminals made by socat: the editor opens one end, the device simulator the other.
// Stopping socat hangs up both ends, as a pulled USB adapter would.
class PtyPair {
public:
    PtyPair() { start(); }
    ~PtyPair() { stop(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool isReady() const { return m_ready; }
    QString editorEnd() const { return m_dir.filePath(QStringLiteral("A")); }
    QString deviceEnd() const { return m_dir.filePath(QStringLiteral("B")); }
    QByteArray log() const { return m_log; }

    void stop()
    {
        m_ready = false;
        if (m_socat.state() == QProcess::NotRunning)
            return;
        m_socat.terminate();
        if (!m_socat.waitForFinished(3000)) {
            m_socat.kill();
            m_socat.waitForFinished(3000);
        }
    }

private:
    void start()
    {
        if (!m_dir.isValid())
            return;
        m_socat.start(QStringLiteral("socat"),
            { QStringLiteral("-d"), QStringLiteral("-d"),
                QStringLiteral("pty,raw,echo=0,link=") + editorEnd(),
                QStringLiteral("pty,raw,echo=0,link=") + deviceEnd() });
        if (!m_socat.waitForStarted(5000))
            return;
        // Both links exist and socat relays once it reports its transfer loop.
        m_ready = QTest::qWaitFor(
            [this] {
                m_log += m_socat.readAllStandardError();
                return QFileInfo::exists(editorEnd()) && QFileInfo::exists(deviceEnd())
                    && m_log.contains("starting data transfer loop");
            },
            10000);
    }

    QTemporaryDir m_dir;
    QProcess m_socat;
    QByteArray m_log;
    bool m_ready = false;
};
