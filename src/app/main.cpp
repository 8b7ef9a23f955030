#include "command_line.h"
#include "window_start.h"

#include <QGuiApplication>
#include <QTranslator>

#include <memory>

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine commandLine = CommandLine::fromArguments(arguments);
    if (commandLine.window)
        return RunWindow(argc, argv, commandLine.file);

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
    QTranslator qtTranslator;
    InstallGermanQtTexts(qtTranslator);
    return RunVerb(commandLine);
}
