#pragma once

#include <QElapsedTimer>

class QObject;

// Lets the event loop run until `deadlineNs` on `clock` (a monotonic clock) has passed, sleeping in
// between instead of polling the clock. Returns false when the wait was cut short: the application is
// quitting (its event loops were told to exit) or `guard` was destroyed meanwhile.
bool PauseUntil(const QElapsedTimer& clock, qint64 deadlineNs, QObject* guard = nullptr);
