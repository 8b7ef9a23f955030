#include "command_line.h"
#include "form1.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

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
        // Verbs need no display; one that draws needs fonts, which the offscreen platform has.
        std::unique_ptr<QCoreApplication> app;
        if (commandLine.paints) {
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
            app = std::make_unique<QGuiApplication>(argc, argv);
        } else {
            app = std::make_unique<QCoreApplication>(argc, argv);
        }
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
