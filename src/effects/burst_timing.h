#pragma once

#include "effect_data.h"

#include "shotlist/shot_list.h"

#include <QList>
#include <QString>

#include <optional>

// When the audience sees each shot: ignition + Vorlauf, for Dauer; and how far that lies from the
// moment tapped to the music. All times are show times in milliseconds unless named otherwise.

struct SkyMark {
    int slot = 0;
    qint64 ignitionMs = 0;
    std::optional<qint64> burstMs; // ignition + Vorlauf, when the list's data has the Vorlauf
    qint64 durationMs = 0; // Dauer when known
    std::optional<qint64> targetMs; // the tapped target in show time

    // Where the picture puts the shot: its burst, or its ignition without a Vorlauf.
    qint64 seenMs() const { return burstMs.value_or(ignitionMs); }
    // seen − target: negative when the effect comes early.
    std::optional<qint64> deviationMs() const;
};

// Show time of a target kept in music time.
qint64 TargetShowMs(qint32 targetMusicMs, qint32 musicStartTenths);
// Music time of a tap at showMs, to keep with the entry; NoTarget when it lies before the music or
// beyond what a target holds.
qint32 TargetMusicMs(qint64 showMs, qint32 musicStartTenths);
// The Vorlauf of the entry's effect in ms; 0 when the list has no Vorlauf for it.
qint64 PrefireMs(const ShotList& list, int slot, const EffectDataMap& data);
// The ignition second whose burst lies nearest showMs (a half second rounds up), before range checks.
qint64 IgnitionForBurst(qint64 showMs, qint64 prefireMs);

// One mark per entry, in the list's order.
QList<SkyMark> SkyMarks(
    const ShotList& list, int entryCount, const EffectDataMap& data, qint32 musicStartTenths);

struct SkyGap {
    qint64 fromMs = 0;
    qint64 toMs = 0;
};
constexpr qint64 DefaultSkyGapMs = 3000;
// Stretches longer than thresholdMs between the first effect seen and the end of the last in which
// nothing is in the sky: a shot without Dauer counts as a moment.
QList<SkyGap> SkyGaps(const QList<SkyMark>& marks, qint64 thresholdMs = DefaultSkyGapMs);
// "Pause im Himmel: 01:12–01:17, 02:03–02:08"; empty text without gaps.
QString SkyGapsText(const QList<SkyGap>& gaps);

struct DeviationSummary {
    int count = 0; // entries with a target
    qint64 meanAbsMs = 0; // rounded to ms
    qint64 maxAbsMs = 0;
    int maxSlot = -1; // the first entry with the largest deviation
    qint64 sumAbsMs = 0; // exact, for comparing
};
// nullopt when no entry has a target.
std::optional<DeviationSummary> Deviations(const QList<SkyMark>& marks);
// "Abweichung vom Takt: im Mittel 0,21 s, höchstens 0,48 s (Nr. 17)".
QString DeviationText(const DeviationSummary& summary);
// "+0,32 s", "−0,05 s", "0,00 s".
QString DeviationValueText(qint64 ms);
// For the entry on slot: "Ziel 01:13,4 · Abweichung +0,21 s"; empty text without a target.
QString EntryTargetText(const ShotList& list, int slot, const EffectDataMap& data, qint32 musicStartTenths);

struct AlignPlan {
    ShotList list; // the aligned list, entries in time order with everything they carry
    int moved = 0; // entries given another second
    QList<int> leftInPlace; // entry numbers (from 1, before aligning) that would have taken a taken second
    QList<int> outOfRange; // entry numbers whose burst cannot be reached within 0 .. 18:07:59
};
// Every entry with a target gets the ignition second that puts its burst nearest the target, for
// the list's Vorlauf and this Musikbeginn. Entries that would take the same second as another one
// stay where they are.
AlignPlan AlignToTargets(
    const ShotList& list, int entryCount, const EffectDataMap& data, qint32 musicStartTenths);
// "3 Einträge angepasst. Nicht verschoben, weil die Sekunde besetzt wäre: Nr. 4, 9." etc.
QString AlignText(const AlignPlan& plan);

struct MusicStartProposal {
    qint32 startTenths = 0;
    DeviationSummary before; // today's start, today's list
    DeviationSummary after; // the proposed start, aligned
    AlignPlan plan; // the alignment for the proposed start
};
// Tries every tenth within one second of musicStartTenths (within the music start's limits), aligns
// for each and takes the smallest largest deviation, then the smallest mean, then the start nearest
// today's. nullopt when no entry has a target.
std::optional<MusicStartProposal> BestMusicStart(
    const ShotList& list, int entryCount, const EffectDataMap& data, qint32 musicStartTenths);

// A show time to the tenth: "00:01:13,2" (rounded to the nearest tenth, "−" before the start).
QString ShowClockTenths(qint64 ms);
// "Ziel 00:01:13,4, Abweichung +0,32 s"; "Ziel 00:01:13,4" without a burst known; empty without a
// target.
QString TargetText(const SkyMark& mark);
// What a tapped effect became: "Eintrag 12 auf B05 getippt, Bombe 75 mm: Zündung 00:01:10, Effekt bei
// 00:01:13,2 (Ziel 00:01:13,4)." and whether the catalogue's data came into the list.
QString TappedEffectText(const ShotList& list, int row, const SkyMark& mark, bool dataCopied);
// A length in seconds with two decimals, without sign: "0,48".
QString AbsSecondsText(qint64 ms);
