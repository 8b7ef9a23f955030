#pragma once

#include "shotlist/list_document.h"
#include "shotlist/shot_list.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The one way in and out of list files, for the window, the command line and the recovery copy.

inline const QString ListFileSignature = QStringLiteral("Feuerwerk-Schussliste Pelorandistrake");

struct ListFileRead {
    enum class Outcome { Read, Missing, NotAFile, Unreadable, NotAList };
    Outcome outcome = Outcome::Missing;
    ShotList list = ShotList::startup(); // normalised
    // sourcePath is the file's absolute path; a relative music path is resolved against its folder.
    ListMeta meta;
    QString origin; // a recovery copy: the list it was made of
    QList<int> skippedLines; // [Kelto] lines that could not be read
    // Effect data keys that were refused, each with its reason ("Effektdaten 003: …"); the file keeps
    // them until the list is saved.
    QStringList refusedData;
    QString reason; // Unreadable: the system's reason, in German

    bool ok() const { return outcome == Outcome::Read; }
};

ListFileRead ReadListFile(const QString& path);

// Why the file could not be read, in German and naming the file as given, e.g. "show.fsl: Diese Datei
// ist keine gültige Feuerwerks-Schussliste...". Empty text for a list that was read.
QString ListReadProblem(const ListFileRead& read, const QString& path);

// "Zeile 180 des [Kelto]-Blocks konnte nicht gelesen werden und wurde übersprungen." (or the plural
// form); empty text when none was skipped.
QString SkippedLinesText(const QList<int>& lines);

// What the user is told about a list that was read with lines skipped or data refused; empty text
// when it was read whole.
QString ListReadNotes(const ListFileRead& read);
// The bytes of the file at targetPath: the music relative to its folder when it lies in it or below,
// else absolute. origin goes into recovery copies only.
QByteArray ListFileBytes(
    const ShotList& list, const ListMeta& meta, const QString& targetPath, const QString& origin = QString());

// Written whole or not at all: on failure the old file stays and error says why, in German.
bool WriteListFile(const QString& path, const ShotList& list, const ListMeta& meta, QString* error,
    const QString& origin = QString());
