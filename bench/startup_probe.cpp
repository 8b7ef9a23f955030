// Measures start-up to the first shown window and the peak memory of a start.
#include "form1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

int main(int argc, char* argv[])
{
    QElapsedTimer clock;
    clock.start();
    QApplication app(argc, argv);
    Form1 window;
    window.show();
    QTimer::singleShot(0, &app, [&] {
        const qint64 shownMs = clock.elapsed();
        struct rusage usage { };
        getrusage(RUSAGE_SELF, &usage);
        std::printf("start-up to first shown window: %lld ms\npeak RSS: %.1f MB\n",
            static_cast<long long>(shownMs), usage.ru_maxrss / 1024.0);
        QApplication::quit();
    });
    return QApplication::exec();
}
