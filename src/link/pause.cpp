#include "pause.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>

bool PauseUntil(const QElapsedTimer& clock, qint64 deadlineNs, QObject* guard)
{
    const QPointer<QObject> alive(guard);
    for (;;) {
        const qint64 remainingNs = deadlineNs - clock.nsecsElapsed();
        if (remainingNs <= 0)
            return true;
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        // A coarse timer may fire up to 5 % early; the clock check above catches any remainder.
        timer.setTimerType(Qt::PreciseTimer);
        bool fired = false;
        QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
            fired = true;
            loop.quit();
        });
        if (guard)
            QObject::connect(guard, &QObject::destroyed, &loop, &QEventLoop::quit);
        timer.start(int((remainingNs + 999'999) / 1'000'000));
        loop.exec();
        if (!fired || (guard && !alive))
            return false;
    }
}
