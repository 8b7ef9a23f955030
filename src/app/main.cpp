#include "command_line.h"
#include "form1.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

void installGermanQtTexts(QTranslator& translator)
{
    // German standard buttons ("Ja", "Nein", "Abbrechen") in message and input boxes.
    if (translator.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&translator);
}

} // namespace

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine commandLine = CommandLine::fromArguments(arguments);
    QTranslator qtTranslator;

    if (!commandLine.window) {
        // Verbs need no display.
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("kelto"));
        QCoreApplication::setApplicationVersion(QStringLiteral(KELTO_VERSION));
        installGermanQtTexts(qtTranslator);
        return RunVerb(commandLine);
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelto"));
    QApplication::setApplicationVersion(QStringLiteral(KELTO_VERSION));
    installGermanQtTexts(qtTranslator);

    Form1 window;
    window.show();
    if (!commandLine.file.isEmpty())
        window.OpenListFile(commandLine.file);
    return QApplication::exec();
}
