#include "form1.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelto"));
    QApplication::setApplicationVersion(QStringLiteral(KELTO_VERSION));

    // German standard buttons ("Ja", "Nein", "Abbrechen") in message and input boxes.
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    Form1 window;
    window.show();
    return QApplication::exec();
}
