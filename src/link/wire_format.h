#pragma once

#include "shotlist/shot_list.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QLocale>
#include <QString>

#include <optional>

// What passes over the line to and from the firing device: 8-character records out,
// one 1530-character list (170 records of 9 characters) in.
constexpr int OutgoingRecordLength = 8;
constexpr int IncomingRecordLength = 9;
constexpr int ReceivedListLength = EntryCount * IncomingRecordLength;

// "TTTT CC;" for one slot.
QByteArray OutgoingRecord(const ShotList& list, int slot);

// Writes slots 0..169 from a complete received list: time from the first four characters of each
// record, circuit from the sixth and seventh; the rest of a record is not looked at. Anything but
// exactly 1530 characters is refused and leaves the list as it is.
bool DecodeReceivedList(QByteArrayView received, ShotList& list);

// The list a complete receive stands for, as the editor takes it: a new list, normalised, without
// effects (the device keeps none). nullopt for anything but exactly 1530 characters.
std::optional<ShotList> ReceivedList(QByteArrayView received);

struct ReceiveStep {
    qsizetype count = 0; // characters collected so far
    bool complete = false; // this chunk brought the count to exactly 1530
};

// Adds one notification's characters to the receive buffer. A count that passes 1530 without
// landing on it never completes.
ReceiveStep AppendReceived(QByteArray& buffer, QByteArrayView chunk);

// "n / r": the count and the count of records as "###.#" in the locale's notation, e.g.
// "10 / 1,1", "9 / 1," and "1 / ,1" with a decimal comma.
QString ReceiveProgressText(qsizetype received, const QLocale& locale);
