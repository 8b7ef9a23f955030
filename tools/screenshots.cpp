// Shows the window and saves a picture of each tab page: kelto-screenshots <folder>
#include "form1.h"

#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QTest>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(folder);
    Form1 window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    const char* names[] = { "page-kommunikation.png", "page-datei.png", "page-bearbeiten.png" };
    for (int page = 0; page < 3; ++page) {
        window.SSTab1->setCurrentIndex(page);
        QTest::qWait(100);
        if (!window.grab().save(QDir(folder).filePath(QLatin1String(names[page]))))
            return 1;
    }
    return 0;
}
