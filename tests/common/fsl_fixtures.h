#pragma once

#include "shotlist/shot_list.h"

#include <QByteArrayList>

// List files written out by hand as bytes (Windows-1252, CRLF).

inline const QByteArray StartupStats
    = "Anzahl Eintr\xE4ge: 170\r\nAnzahl Sch\xFCsse: 1\r\nZeitdauer : 00:00:00\r\nnoch frei: 169\r\n";

inline QByteArray FslHead(const QByteArray& comment, const QByteArray& stats = StartupStats)
{
    return "Feuerwerk-Schussliste Pelorandistrake\r\n" + comment + "\r\n" + stats;
}

// The given entry lines first, empty slots for the rest.
inline QByteArray FslEntries(const QByteArrayList& first = {}, int total = EntryCount)
{
    QByteArray bytes;
    for (int i = 0; i < total; ++i)
        bytes += (i < first.size() ? first[i] : QByteArray("FFFF FF")) + "\r\n";
    return bytes;
}
