#include "burst_timing.h"

#include "shotlist/list_document.h"

#include <QHash>

#include <algorithm>
#include <limits>
#include <numeric>

namespace {

qint64 floorDiv(qint64 a, qint64 b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// "01:12", "1:02:03" from an hour on; seconds rounded down.
QString clockText(qint64 ms)
{
    const qint64 seconds = floorDiv(ms, 1000);
    const qint64 magnitude = seconds < 0 ? -seconds : seconds;
    const QString sign = seconds < 0 ? QStringLiteral("−") : QString();
    if (magnitude >= 3600)
        return sign
            + QStringLiteral("%1:%2:%3")
                  .arg(magnitude / 3600)
                  .arg(magnitude / 60 % 60, 2, 10, QLatin1Char('0'))
                  .arg(magnitude % 60, 2, 10, QLatin1Char('0'));
    return sign
        + QStringLiteral("%1:%2")
              .arg(magnitude / 60, 2, 10, QLatin1Char('0'))
              .arg(magnitude % 60, 2, 10, QLatin1Char('0'));
}

// Seconds with two decimals from ms, halves away from zero: "0,21".
QString secondsText(qint64 ms)
{
    const qint64 magnitude = ms < 0 ? -ms : ms;
    const qint64 hundredths = (magnitude + 5) / 10;
    return QStringLiteral("%1,%2").arg(hundredths / 100).arg(hundredths % 100, 2, 10, QLatin1Char('0'));
}

QString numbersText(const QList<int>& numbers)
{
    QStringList parts;
    for (int number : numbers)
        parts.append(QString::number(number));
    return QStringLiteral("Nr. ") + parts.join(QStringLiteral(", "));
}

} // namespace

std::optional<qint64> SkyMark::deviationMs() const
{
    if (!targetMs)
        return std::nullopt;
    return seenMs() - *targetMs;
}

qint64 TargetShowMs(qint32 targetMusicMs, qint32 musicStartTenths)
{
    return qint64(targetMusicMs) + qint64(musicStartTenths) * 100;
}

qint32 TargetMusicMs(qint64 showMs, qint32 musicStartTenths)
{
    const qint64 music = showMs - qint64(musicStartTenths) * 100;
    if (music < 0 || music > std::numeric_limits<qint32>::max())
        return NoTarget;
    return qint32(music);
}

qint64 PrefireMs(const ShotList& list, int slot, const EffectDataMap& data)
{
    const QString& name = list.effects[slot];
    if (name.isEmpty())
        return 0;
    const auto found = data.constFind(name);
    if (found == data.constEnd() || !found->prefireTenths)
        return 0;
    return qint64(*found->prefireTenths) * 100;
}

qint64 IgnitionForBurst(qint64 showMs, qint64 prefireMs) { return floorDiv(showMs - prefireMs + 500, 1000); }

QList<SkyMark> SkyMarks(
    const ShotList& list, int entryCount, const EffectDataMap& data, qint32 musicStartTenths)
{
    QList<SkyMark> marks;
    marks.reserve(entryCount);
    for (int slot = 0; slot < entryCount && slot < EntryCount; ++slot) {
        SkyMark mark;
        mark.slot = slot;
        mark.ignitionMs = qint64(list.times[slot]) * 1000;
        if (!list.effects[slot].isEmpty()) {
            const auto found = data.constFind(list.effects[slot]);
            if (found != data.constEnd()) {
                if (found->prefireTenths)
                    mark.burstMs = mark.ignitionMs + qint64(*found->prefireTenths) * 100;
                if (found->durationTenths)
                    mark.durationMs = qint64(*found->durationTenths) * 100;
            }
        }
        if (list.targets[slot] != NoTarget)
            mark.targetMs = TargetShowMs(list.targets[slot], musicStartTenths);
        marks.append(mark);
    }
    return marks;
}

QList<SkyGap> SkyGaps(const QList<SkyMark>& marks, qint64 thresholdMs)
{
    std::vector<std::pair<qint64, qint64>> spans;
    spans.reserve(size_t(marks.size()));
    for (const SkyMark& mark : marks)
        spans.emplace_back(mark.seenMs(), mark.seenMs() + mark.durationMs);
    std::sort(spans.begin(), spans.end());
    QList<SkyGap> gaps;
    if (spans.empty())
        return gaps;
    qint64 coveredUntil = spans.front().second;
    for (const auto& [from, to] : spans) {
        if (from - coveredUntil > thresholdMs)
            gaps.append({ coveredUntil, from });
        coveredUntil = std::max(coveredUntil, to);
    }
    return gaps;
}

QString SkyGapsText(const QList<SkyGap>& gaps)
{
    if (gaps.isEmpty())
        return QString();
    QStringList parts;
    for (const SkyGap& gap : gaps)
        parts.append(clockText(gap.fromMs) + QStringLiteral("–") + clockText(gap.toMs));
    return QStringLiteral("Pause im Himmel: ") + parts.join(QStringLiteral(", "));
}

std::optional<DeviationSummary> Deviations(const QList<SkyMark>& marks)
{
    DeviationSummary summary;
    for (const SkyMark& mark : marks) {
        const std::optional<qint64> deviation = mark.deviationMs();
        if (!deviation)
            continue;
        const qint64 magnitude = *deviation < 0 ? -*deviation : *deviation;
        ++summary.count;
        summary.sumAbsMs += magnitude;
        if (magnitude > summary.maxAbsMs || summary.maxSlot < 0) {
            summary.maxAbsMs = magnitude;
            summary.maxSlot = mark.slot;
        }
    }
    if (summary.count == 0)
        return std::nullopt;
    summary.meanAbsMs = (summary.sumAbsMs + summary.count / 2) / summary.count;
    return summary;
}

QString DeviationText(const DeviationSummary& summary)
{
    return QStringLiteral("Abweichung vom Takt: im Mittel %1 s, höchstens %2 s (Nr. %3)")
        .arg(secondsText(summary.meanAbsMs), secondsText(summary.maxAbsMs))
        .arg(summary.maxSlot + 1);
}

QString DeviationValueText(qint64 ms)
{
    const QString magnitude = secondsText(ms);
    if (magnitude == QStringLiteral("0,00"))
        return QStringLiteral("0,00 s");
    return (ms < 0 ? QStringLiteral("−") : QStringLiteral("+")) + magnitude + QStringLiteral(" s");
}

QString EntryTargetText(const ShotList& list, int slot, const EffectDataMap& data, qint32 musicStartTenths)
{
    if (slot < 0 || slot >= EntryCount || list.targets[slot] == NoTarget || list.isEmptyTime(slot))
        return QString();
    const qint64 target = TargetShowMs(list.targets[slot], musicStartTenths);
    const qint64 seen = qint64(list.times[slot]) * 1000 + PrefireMs(list, slot, data);
    const qint64 tenths = floorDiv(target + 50, 100);
    return QStringLiteral("Ziel %1,%2 · Abweichung %3")
        .arg(clockText(tenths * 100))
        .arg(((tenths % 10) + 10) % 10)
        .arg(DeviationValueText(seen - target));
}

AlignPlan AlignToTargets(const ShotList& list, int entryCount, const EffectDataMap& data, qint32 musicStartTenths)
{
    AlignPlan plan;
    plan.list = list;
    const int count = std::clamp(entryCount, 0, int(EntryCount));
    // The second each entry would take; entries that cannot move keep theirs.
    std::vector<qint64> proposed(static_cast<size_t>(count));
    std::vector<bool> moves(size_t(count), false);
    for (int slot = 0; slot < count; ++slot) {
        proposed[size_t(slot)] = list.times[slot];
        if (list.targets[slot] == NoTarget)
            continue;
        const qint64 second = IgnitionForBurst(
            TargetShowMs(list.targets[slot], musicStartTenths), PrefireMs(list, slot, data));
        if (second < 0 || second > LastValidTime) {
            plan.outOfRange.append(slot + 1);
            continue;
        }
        if (second != list.times[slot]) {
            proposed[size_t(slot)] = second;
            moves[size_t(slot)] = true;
        }
    }
    // Whoever would share a second with another entry stays; that may free or block others in turn,
    // so until nothing collides. Each round sends at least one entry back.
    std::vector<bool> left(size_t(count), false);
    for (bool collided = true; collided;) {
        collided = false;
        QHash<qint64, int> users;
        for (int slot = 0; slot < count; ++slot)
            ++users[proposed[size_t(slot)]];
        for (int slot = 0; slot < count; ++slot) {
            if (moves[size_t(slot)] && users.value(proposed[size_t(slot)]) > 1) {
                moves[size_t(slot)] = false;
                left[size_t(slot)] = true;
                proposed[size_t(slot)] = list.times[slot];
                collided = true;
            }
        }
    }
    for (int slot = 0; slot < count; ++slot) {
        if (left[size_t(slot)])
            plan.leftInPlace.append(slot + 1);
        if (moves[size_t(slot)])
            ++plan.moved;
    }
    if (plan.moved == 0)
        return plan;
    // The entries in their new time order, each with its circuit, effect and target.
    std::vector<int> order(static_cast<size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(
        order.begin(), order.end(), [&](int a, int b) { return proposed[size_t(a)] < proposed[size_t(b)]; });
    for (int i = 0; i < count; ++i) {
        const int from = order[size_t(i)];
        plan.list.times[i] = qint32(proposed[size_t(from)]);
        plan.list.circuits[i] = list.circuits[from];
        plan.list.effects[i] = list.effects[from];
        plan.list.targets[i] = list.targets[from];
    }
    return plan;
}

QString AlignText(const AlignPlan& plan)
{
    QStringList parts;
    parts.append(plan.moved == 1 ? QStringLiteral("1 Eintrag angepasst.")
                                 : QStringLiteral("%1 Einträge angepasst.").arg(plan.moved));
    if (!plan.leftInPlace.isEmpty())
        parts.append(QStringLiteral("Nicht verschoben, weil die Sekunde schon besetzt wäre: %1.")
                         .arg(numbersText(plan.leftInPlace)));
    if (!plan.outOfRange.isEmpty())
        parts.append(QStringLiteral("Nicht verschoben, weil die Zündung vor 0 oder nach 18:07:59 läge: %1.")
                         .arg(numbersText(plan.outOfRange)));
    return parts.join(QLatin1Char(' '));
}

std::optional<MusicStartProposal> BestMusicStart(
    const ShotList& list, int entryCount, const EffectDataMap& data, qint32 musicStartTenths)
{
    const std::optional<DeviationSummary> before
        = Deviations(SkyMarks(list, entryCount, data, musicStartTenths));
    if (!before)
        return std::nullopt;
    std::optional<MusicStartProposal> best;
    const qint32 from = std::max(musicStartTenths - 10, -MusicStartLimitTenths);
    const qint32 to = std::min(musicStartTenths + 10, MusicStartLimitTenths);
    for (qint32 start = from; start <= to; ++start) {
        AlignPlan plan = AlignToTargets(list, entryCount, data, start);
        const std::optional<DeviationSummary> after
            = Deviations(SkyMarks(plan.list, entryCount, data, start));
        if (!after)
            continue;
        const auto distance
            = [&](qint32 s) { return s < musicStartTenths ? musicStartTenths - s : s - musicStartTenths; };
        const bool better = !best || after->maxAbsMs < best->after.maxAbsMs
            || (after->maxAbsMs == best->after.maxAbsMs
                && (after->sumAbsMs < best->after.sumAbsMs
                    || (after->sumAbsMs == best->after.sumAbsMs
                        && distance(start) < distance(best->startTenths))));
        if (better)
            best = MusicStartProposal { start, *before, *after, std::move(plan) };
    }
    return best;
}

QString ShowClockTenths(qint64 ms)
{
    const qint64 magnitude = ms < 0 ? -ms : ms;
    const qint64 tenths = (magnitude + 50) / 100;
    const qint64 seconds = tenths / 10;
    return (ms < 0 && tenths > 0 ? QStringLiteral("−") : QString())
        + QStringLiteral("%1:%2:%3,%4")
              .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
              .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
              .arg(seconds % 60, 2, 10, QLatin1Char('0'))
              .arg(tenths % 10);
}

QString TargetText(const SkyMark& mark)
{
    if (!mark.targetMs)
        return QString();
    QString text = QStringLiteral("Ziel ") + ShowClockTenths(*mark.targetMs);
    if (mark.burstMs)
        text += QStringLiteral(", Abweichung ") + DeviationValueText(*mark.deviationMs());
    return text;
}

QString TappedEffectText(const ShotList& list, int row, const SkyMark& mark, bool dataCopied)
{
    QString text = QStringLiteral("Eintrag %1 auf %2 getippt, %3: Zündung %4, Effekt bei %5")
                       .arg(row + 1)
                       .arg(CircuitLabel(list.circuits[row]), list.effects[row],
                           ShowClockTenths(mark.ignitionMs).chopped(2), ShowClockTenths(mark.seenMs()));
    if (mark.targetMs)
        text += QStringLiteral(" (Ziel %1)").arg(ShowClockTenths(*mark.targetMs));
    else
        text += QStringLiteral(" (kein Ziel: der Takt liegt vor der Musik)");
    text += QLatin1Char('.');
    if (dataCopied)
        text += QStringLiteral(" Vorlauf und Dauer aus dem Katalog in die Liste übernommen.");
    return text;
}

QString AbsSecondsText(qint64 ms) { return secondsText(ms); }
