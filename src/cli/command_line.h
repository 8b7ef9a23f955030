#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QCoreApplication;

// What the command line asks for: the window (with an optional list file), or a verb that runs
// without a display ("check", "send", "receive", "verify", "ports", "print", "export", "material", "import").
struct CommandLine {
    QStringList arguments; // as given, the program first
    bool window = true;
    QString file; // the list to open in the window
    bool paints = false; // the verb draws (print): it needs fonts, still no display
    // Why an argument is refused before anything runs (it does not decode without loss), or empty.
    QString refusal;

    static CommandLine fromArguments(const QStringList& arguments);
    // The program's own arguments as the system hands them over, in its 8-bit encoding.
    static CommandLine fromArgv(int argc, const char* const* argv);
};

// The application object a verb runs under: no display; fonts for one that draws. Qt's own
// diagnostics are kept off stderr from here on.
std::unique_ptr<QCoreApplication> MakeVerbApplication(int& argc, char** argv, const CommandLine& commandLine);

// Runs a verb (or prints help) under the running application; returns the exit code.
int RunVerb(const CommandLine& commandLine);
