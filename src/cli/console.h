#pragma once

#include <QString>

#include <functional>
#include <memory>

class QSocketNotifier;

// What a verb tells the user: results on stdout, messages and progress on stderr.
void Say(const QString& line);
void Complain(const QString& line);
void WriteOut(const QString& text);
// Progress that rewrites one line on a terminal; elsewhere only what `always` asks for.
void Progress(const QString& text, bool always);
void EndProgress();

// Qt's own diagnostics are English and meant for developers: they stay off a verb's stderr unless
// KELTO_QT_MESSAGES is set. Call before the application object is made.
void KeepQtMessagesOff();

// Strg+C (and a plain kill) ends the event loop from a socket notifier, never from inside the handler.
class InterruptWatch {
public:
    explicit InterruptWatch(std::function<void()> onInterrupt);
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::function<void()> m_onInterrupt;
};
