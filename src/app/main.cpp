#include "cli/command_line.h"
#include "window_start.h"

#include <QCoreApplication>
#include <QTranslator>

#include <csignal>

int main(int argc, char* argv[])
{
    // A file-size limit makes a write fail (EFBIG), which is reported, instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    const CommandLine commandLine = CommandLine::fromArgv(argc, argv);
    if (commandLine.window)
        return RunWindow(argc, argv, commandLine.file);

    const std::unique_ptr<QCoreApplication> app = MakeVerbApplication(argc, argv, commandLine);
    QTranslator qtTexts;
    InstallGermanQtTexts(qtTexts);
    return RunVerb(commandLine);
}
