#include "console.h"

#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

void write(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

bool stderrIsTerminal()
{
    static const bool terminal = ::isatty(STDERR_FILENO) == 1;
    return terminal;
}

int s_pipe[2] = { -1, -1 };
struct sigaction s_oldInt { };
struct sigaction s_oldTerm { };

void notice(int)
{
    const char mark = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(s_pipe[1], &mark, 1);
}

} // namespace

void Say(const QString& line) { write(stdout, line + QLatin1Char('\n')); }
void Complain(const QString& line) { write(stderr, line + QLatin1Char('\n')); }
void WriteOut(const QString& text) { write(stdout, text); }

void Progress(const QString& text, bool always)
{
    if (stderrIsTerminal())
        write(stderr, QLatin1Char('\r') + text);
    else if (always)
        Complain(text);
}

void EndProgress()
{
    if (stderrIsTerminal())
        write(stderr, QStringLiteral("\n"));
}

void KeepQtMessagesOff()
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtFatalMsg || qEnvironmentVariableIsSet("KELTO_QT_MESSAGES"))
            write(stderr, message + QLatin1Char('\n'));
    });
}

InterruptWatch::InterruptWatch(std::function<void()> onInterrupt)
    : m_onInterrupt(std::move(onInterrupt))
{
    if (::pipe(s_pipe) != 0)
        return;
    for (int fd : s_pipe)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    m_notifier = std::make_unique<QSocketNotifier>(s_pipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] {
        char drained[16];
        while (::read(s_pipe[0], drained, sizeof drained) > 0) { }
        m_onInterrupt();
    });
    struct sigaction action { };
    action.sa_handler = &notice;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &s_oldInt);
    ::sigaction(SIGTERM, &action, &s_oldTerm);
}

InterruptWatch::~InterruptWatch()
{
    if (!m_notifier)
        return;
    ::sigaction(SIGINT, &s_oldInt, nullptr);
    ::sigaction(SIGTERM, &s_oldTerm, nullptr);
    m_notifier.reset();
    ::close(s_pipe[0]);
    ::close(s_pipe[1]);
    s_pipe[0] = s_pipe[1] = -1;
}
