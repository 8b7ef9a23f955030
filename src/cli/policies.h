#pragma once

#include "shotlist/stored_text.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The rules every verb follows, each in one place.

// --timeout: a plain decimal number of seconds, with a point or a comma, from 0.1 to 86400; nullopt
// for anything else ("nan", "1e3", "0.0001", "-5", "").
std::optional<qint64> TimeoutMs(const QString& text);
QString TimeoutRefusal(const QString& text);

// A file a verb writes and the files it reads.
struct OutputTarget {
    QString path;
    QStringList inputs;
    bool force = false;
};

// Why the verb must not write there, or empty text. Never onto a file the verb reads (links followed),
// --force or not; an existing file only with --force; not onto a folder or into a folder that is not there.
QString OutputRefusal(const OutputTarget& target);

// The rule checked once more right before, then the format's own checked, atomic writer (which says
// why it failed). Returns the exit code, having told the user.
int WriteOutput(const OutputTarget& target, const std::function<bool(QString* error)>& write);

struct ShotList;

// What the window asks before a send, the command line refuses unless --force: circuits fired by more
// than one entry, and a list in which no entry fires a circuit. Empty text when neither.
QString SendRefusal(const ShotList& list, const QString& file);
