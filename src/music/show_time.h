#pragma once

#include "shotlist/list_document.h"
#include "shotlist/shot_list.h"

#include <QString>

// Show time is the firing clock's time: music position + Musikbeginn. All times in milliseconds.

qint64 ShowTimeMs(qint64 musicPositionMs, qint32 musicStartTenths);
qint64 MusicPositionMs(qint64 showTimeMs, qint32 musicStartTenths);

// The whole second a tap at this show time stands for: the nearest one, a half second rounds up.
qint64 TapSecond(qint64 showTimeMs);

// "00:01:23", and "−00:00:03" before the sequence starts: whole seconds, rounded down, so the clock
// turns to 00:00:00 as the sequence starts.
QString ShowClock(qint64 showTimeMs);

// The length of a track: "03:25", "1:02:03" from an hour on; seconds rounded down.
QString TrackLength(qint64 ms);

// Musikbeginn as the page shows it: "-3,0", "12,5", "0,0".
QString MusicStartText(qint32 tenths);

struct MusicStartInput {
    enum class Kind { Exact, Rounded, Clamped, NotANumber };
    Kind kind = Kind::NotANumber;
    qint32 tenths = 0; // Exact, Rounded, Clamped: the value to store
};

// Seconds as typed: "-3", "−3,0", "+2.5"; comma or point. More than one decimal is rounded to tenths
// (halves away from zero), a value beyond MusicStartLimitTenths clamped to it.
MusicStartInput ReadMusicStart(const QString& text);

// The first entry whose time lies after showTimeMs, or -1.
int NextShotSlot(const ShotList& list, int shotCount, qint64 showTimeMs);

// "nächster Schuss: Nr. 012  B05  Kometen rot in 3 s" (the seconds rounded up); "nächster Schuss: –"
// when none follows.
QString NextShotText(const ShotList& list, int shotCount, qint64 showTimeMs);
