// Shows the window with a small demo show and saves a picture of each tab page:
//   kelto-screenshots <folder>
#include "files/fsl_file.h"
#include "form1.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

ShotList demoShow(int entries)
{
    ShotList list = ShotList::startup();
    const int gaps[] = { 5, 12, 3, 30, 8, 10, 7, 15, 4, 60, 2, 9, 20, 6 };
    for (int k = 0; k < entries; ++k) {
        list.times[k] = k == 0 ? 0 : list.times[k - 1] + gaps[(k - 1) % 14];
        list.circuits[k] = qint16((k % 3) * 32 + k);
    }
    return list;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString out = QDir().absoluteFilePath(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
    QDir().mkpath(out);

    // A show folder with a few lists, opened as the current folder.
    QTemporaryDir home;
    const QString shows = home.filePath(QStringLiteral("Feuerwerk/Silvester"));
    QDir().mkpath(shows);
    QDir().mkpath(home.filePath(QStringLiteral("Feuerwerk/Sommerfest")));
    const QString signature = QStringLiteral("Feuerwerk-Schussliste Pelorandistrake");
    const QStringList comments { QStringLiteral("Probe Hafenbecken"), QStringLiteral("Silvester 2026 – Hafen, Teil 1"),
        QStringLiteral("Silvester 2026 – Hafen, Finale") };
    for (int i = 0; i < comments.size(); ++i) {
        const QByteArray bytes = ShotListFileBytes(signature, comments[i], demoShow(8 + 10 * i));
        SaveBytes(QDir(shows).filePath(QStringLiteral("fw_%1.fsl").arg(i, 3, 10, QLatin1Char('0'))), bytes, nullptr);
    }
    QDir::setCurrent(shows);
    // No remembered folder of the user's own in the pictures.
    qputenv("temp", QFile::encodeName(home.path()));

    Form1 window;
    // One circuit fired twice, as the editing page points it out.
    ShotList shown = demoShow(28);
    shown.circuits[9] = shown.circuits[4];
    // What the crew loads on some of them.
    const char* effects[] = { "Vulkan gold", "Kometen rot 50 mm", "", "Bombe 75 mm Chrysantheme", "",
        "Feuertopf grün", "Fächer 5 Schuss silber", "" };
    for (int k = 0; k < 8; ++k)
        shown.effects[k] = QString::fromUtf8(effects[k]);
    window.document().reset(shown);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    const char* names[] = { "page-kommunikation.png", "page-datei.png", "page-bearbeiten.png" };
    for (int page = 0; page < 3; ++page) {
        window.SSTab1->setCurrentIndex(page);
        if (page == 1)
            window.File1->setCurrentRow(window.File1->count() - 1);
        if (page == 2)
            window.List2->setCurrentRow(6);
        QTest::qWait(100);
        if (!window.grab().save(QDir(out).filePath(QLatin1String(names[page]))))
            return 1;
    }
    // A receive in progress: the transfer frame over the page, the count above the list.
    window.SSTab1->setCurrentIndex(0);
    window.List1->clear();
    window.Label1->setText(QStringLiteral("612 / 68,"));
    window.Frame2->show();
    QTest::qWait(100);
    if (!window.grab().save(QDir(out).filePath(QStringLiteral("receiving.png"))))
        return 1;
    return 0;
}
