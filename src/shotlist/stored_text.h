#pragma once

#include <QString>
#include <QStringView>

// What a line of a list file can hold: the characters of Windows-1252, no line break.

// True for a character Windows-1252 has.
bool InCodepage(QChar c);
// The text as Windows-1252 can hold it: any other character becomes "?".
QString StoredText(QStringView text);
// True when the text survives a file line unchanged: no line break, only Windows-1252 characters.
bool IsStorableLine(QStringView text);
// The first character a list file cannot hold (a character outside the basic plane whole), or
// empty text when there is none. Line breaks are not looked at.
QString FirstUnstorableCharacter(QStringView text);
// "„→“ (U+2192)": a character named for a message.
QString CharacterName(const QString& character);

// Why the text cannot be an effect (too long, a line break, a character the file cannot hold), in
// German, or empty text when it can.
QString EffectRefusal(QStringView effect);

// Why the text cannot be a list's comment (a line break: the file has one line for it; a character the
// file cannot hold), in German, or empty text when it can. The window and the command line both ask.
QString CommentRefusal(QStringView comment);
