#pragma once

#include <QString>
#include <QStringList>

// What the command line asks for: the window (with an optional list file), or a verb that runs
// without a display ("check", "send", "receive", "verify", "print", "export", "import").
struct CommandLine {
    QStringList arguments; // as given, the program first
    bool window = true;
    QString file; // the list to open in the window
    bool paints = false; // the verb draws (print): it needs fonts, still no display

    static CommandLine fromArguments(const QStringList& arguments);
};

// Runs a verb (or prints help) under the running QCoreApplication; returns the exit code.
int RunVerb(const CommandLine& commandLine);
