#include "window_start.h"

#include "form1.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

void InstallGermanQtTexts(QTranslator& translator)
{
    if (translator.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&translator);
}

int RunWindow(int& argc, char** argv, const QString& file)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelto"));
    QApplication::setApplicationVersion(QStringLiteral(KELTO_VERSION));
    QTranslator qtTranslator;
    InstallGermanQtTexts(qtTranslator);

    Form1 window;
    window.show();
    if (!file.isEmpty())
        window.OpenListFile(file);
    return QApplication::exec();
}
