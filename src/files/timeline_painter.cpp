#include "timeline_painter.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

constexpr int DeviceCount = 8;
constexpr int CircuitsPerDevice = 32;

int entryCount(const ShotList& list)
{
    int count = 0;
    while (count < EntryCount && !list.isEmptyTime(count))
        ++count;
    return count;
}

QColor markColor(const TimelineStyle& style, int slot)
{
    if (slot == style.selectedSlot)
        return style.selectedColor;
    return style.lit[size_t(slot)] ? style.litColor : style.markColor;
}

// Labelled steps of the axis, in seconds.
constexpr qint64 AxisSteps[]
    = { 1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400 };

QString axisLabel(qint64 t, qint64 step, double toSeconds)
{
    const QString sign = t < 0 ? QStringLiteral("\u2212") : QString();
    const qint64 a = std::abs(t);
    const bool hours = toSeconds >= 3600;
    const QLatin1Char zero('0');
    if (step < 60) {
        if (hours) {
            return sign
                + QStringLiteral("%1:%2:%3")
                      .arg(a / 3600)
                      .arg((a / 60) % 60, 2, 10, zero)
                      .arg(a % 60, 2, 10, zero);
        }
        return sign + QStringLiteral("%1:%2").arg(a / 60).arg(a % 60, 2, 10, zero);
    }
    if (!hours)
        return sign + QStringLiteral("%1 min").arg(a / 60);
    return sign + QStringLiteral("%1:%2 h").arg(a / 3600).arg((a / 60) % 60, 2, 10, zero);
}

void drawLine(QPainter& painter, QPointF a, QPointF b, double width, const QColor& color)
{
    painter.setPen(QPen(color, width, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(a, b);
}

} // namespace

int TimelineLaneOf(qint16 circuit)
{
    return circuit >= 0 && circuit < NoCircuit ? circuit / CircuitsPerDevice : TimelineNoCircuitLane;
}

QList<int> TimelineLanes(const ShotList& list)
{
    bool used[DeviceCount + 1] = {};
    const int entries = entryCount(list);
    for (int slot = 0; slot < entries; ++slot)
        used[TimelineLaneOf(list.circuits[slot])] = true;
    QList<int> lanes;
    for (int lane = 0; lane <= TimelineNoCircuitLane; ++lane) {
        if (used[lane])
            lanes.append(lane);
    }
    return lanes;
}

QString TimelineLaneName(int lane)
{
    static const char* const names[DeviceCount] = { "A (Brenzor)", "B (Verteiler)", "C (Verteiler)",
        "D (Option)", "E (Option)", "F (Option)", "G (Option)", "H (alle Verteiler)" };
    if (lane == TimelineNoCircuitLane)
        return QStringLiteral("ohne Kreis");
    return lane >= 0 && lane < DeviceCount ? QString::fromUtf8(names[lane]) : QString();
}

double TimelineNameWidth(const QPaintDevice* device, const QList<int>& lanes, const QFont& font)
{
    const QFontMetricsF metrics(font, device);
    double width = 0;
    for (int lane : lanes)
        width = std::max(width, metrics.horizontalAdvance(TimelineLaneName(lane)));
    return width;
}

double TimelineX(const QRectF& plot, double fromSeconds, double toSeconds, double seconds)
{
    const double span = toSeconds - fromSeconds;
    if (!(span > 0))
        return plot.left();
    return plot.left() + plot.width() * (seconds - fromSeconds) / span;
}

double TimelineSeconds(const QRectF& plot, double fromSeconds, double toSeconds, double x)
{
    if (!(plot.width() > 0))
        return fromSeconds;
    return fromSeconds + (toSeconds - fromSeconds) * (x - plot.left()) / plot.width();
}

namespace {

// The selected mark always has its number: in its row above the mark, the numbers it would cover
// giving way, or beside the mark where the lane has no room for rows of numbers.
void placeSelectedNumber(TimelineDrawn& drawn, int firstMark, const QRectF& plot, double mid, bool numbers,
    const QFontMetricsF& metrics, const TimelineStyle& style)
{
    if (style.selectedSlot < 0 || !style.numbers)
        return;
    for (int i = firstMark; i < drawn.marks.size(); ++i) {
        TimelineMark& mark = drawn.marks[i];
        if (mark.slot != style.selectedSlot || !mark.number.isEmpty())
            continue;
        const double w = metrics.horizontalAdvance(QString::number(mark.slot + 1));
        const double h = metrics.height();
        if (numbers) {
            const double left = std::max(plot.left(), std::min(mark.centre.x() - w / 2, plot.right() - w));
            mark.number = QRectF(left, mid - style.markHalfHeight - style.numberGap - h, w, h);
        } else {
            const double beside = mark.centre.x() + style.selectedMarkWidth / 2 + style.numberGap;
            const double left = beside + w <= plot.right()
                ? beside
                : mark.centre.x() - style.selectedMarkWidth / 2 - style.numberGap - w;
            mark.number = QRectF(left, mid - h / 2, w, h);
        }
        const QRectF room = mark.number.adjusted(-style.numberSpacing, 0, style.numberSpacing, 0);
        for (int k = firstMark; k < drawn.marks.size(); ++k) {
            if (k != i && drawn.marks[k].number.intersects(room))
                drawn.marks[k].number = QRectF();
        }
        return;
    }
}

} // namespace

namespace {

double markSeconds(const ShotList& list, const TimelineStyle& style, int slot)
{
    return slot < style.seenSeconds.size() ? style.seenSeconds[slot] : double(list.times[slot]);
}

} // namespace

TimelineDrawn LayoutTimelineLanes(const QPaintDevice* device, const ShotList& list, const QRectF& plot,
    double fromSeconds, double toSeconds, const TimelineStyle& style)
{
    TimelineDrawn drawn;
    drawn.lanes = TimelineLanes(list);
    if (drawn.lanes.isEmpty())
        return drawn;
    const QFontMetricsF metrics(style.numberFont, device);
    const double numberH = metrics.height();
    const double laneH = plot.height() / drawn.lanes.size();
    // Numbers only where a row above and one below the mark fit into the lane.
    const bool numbers = style.numbers && laneH / 2 >= style.markHalfHeight + style.numberGap + numberH;
    const int entries = entryCount(list);

    for (int row = 0; row < drawn.lanes.size(); ++row) {
        const int lane = drawn.lanes[row];
        const double mid = plot.top() + (row + 0.5) * laneH;
        QList<int> laneSlots;
        for (int slot = 0; slot < entries; ++slot) {
            const double t = markSeconds(list, style, slot);
            if (TimelineLaneOf(list.circuits[slot]) == lane && t >= fromSeconds && t <= toSeconds)
                laneSlots.append(slot);
        }
        std::stable_sort(laneSlots.begin(), laneSlots.end(),
            [&](int a, int b) { return markSeconds(list, style, a) < markSeconds(list, style, b); });

        const int firstMark = int(drawn.marks.size());
        double rowEnd[2] = { -1e300, -1e300 }; // numbers above and below the marks
        for (int slot : laneSlots) {
            TimelineMark mark;
            mark.slot = slot;
            mark.lane = lane;
            mark.centre
                = QPointF(TimelineX(plot, fromSeconds, toSeconds, markSeconds(list, style, slot)), mid);
            if (numbers) {
                const double w = metrics.horizontalAdvance(QString::number(slot + 1));
                const double left
                    = std::max(plot.left(), std::min(mark.centre.x() - w / 2, plot.right() - w));
                for (int r = 0; r < 2; ++r) {
                    if (left < rowEnd[r] + style.numberSpacing)
                        continue;
                    const double y = r == 0 ? mid - style.markHalfHeight - style.numberGap - numberH
                                            : mid + style.markHalfHeight + style.numberGap;
                    mark.number = QRectF(left, y, w, numberH);
                    rowEnd[r] = left + w;
                    break;
                }
            }
            drawn.marks.append(mark);
        }
        placeSelectedNumber(drawn, firstMark, plot, mid, numbers, metrics, style);

        // Runs of marks without number, each with its numbered neighbours; runs at most one numbered
        // mark apart merge, so a crowded stretch is one entry of a legend, not many.
        if (!style.numbers)
            continue;
        const int lastMark = int(drawn.marks.size()) - 1;
        int stretchEnd = -1;
        for (int i = firstMark; i <= lastMark; ++i) {
            if (!drawn.marks[i].number.isEmpty())
                continue;
            int begin = i > firstMark ? i - 1 : i;
            int end = i;
            while (end < lastMark && drawn.marks[end + 1].number.isEmpty())
                ++end;
            if (end < lastMark)
                ++end;
            if (stretchEnd >= 0 && begin <= stretchEnd + 2)
                begin = stretchEnd + 1;
            else
                drawn.unnumbered.append({ lane, {}, 0, 0 });
            TimelineStretch& stretch = drawn.unnumbered.last();
            for (int k = begin; k <= end; ++k)
                stretch.entrySlots.append(drawn.marks[k].slot);
            stretch.fromSeconds = markSeconds(list, style, stretch.entrySlots.first());
            stretch.toSeconds = markSeconds(list, style, stretch.entrySlots.last());
            stretchEnd = end;
            i = end;
        }
    }
    return drawn;
}

TimelineDrawn PaintTimelineLanes(QPainter& painter, const ShotList& list, const QRectF& plot,
    double fromSeconds, double toSeconds, const TimelineStyle& style)
{
    const TimelineDrawn drawn
        = LayoutTimelineLanes(painter.device(), list, plot, fromSeconds, toSeconds, style);
    if (drawn.lanes.isEmpty())
        return drawn;
    painter.save();
    const double laneH = plot.height() / drawn.lanes.size();
    const QFontMetricsF nameMetrics(style.laneFont, painter.device());
    for (int row = 0; row < drawn.lanes.size(); ++row) {
        const double top = plot.top() + row * laneH;
        if (style.nameWidth > 0) {
            painter.setPen(style.textColor);
            painter.setFont(style.laneFont);
            const QRectF nameRect(plot.left() - style.nameGap - style.nameWidth, top, style.nameWidth, laneH);
            painter.drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter,
                nameMetrics.elidedText(TimelineLaneName(drawn.lanes[row]), Qt::ElideRight, style.nameWidth));
        }
        drawLine(painter, QPointF(plot.left(), top), QPointF(plot.right(), top), style.lineWidth,
            style.laneLineColor);
    }
    painter.setFont(style.numberFont);
    for (const TimelineMark& mark : drawn.marks) {
        const QColor color = markColor(style, mark.slot);
        const double width = mark.slot == style.selectedSlot ? style.selectedMarkWidth : style.markWidth;
        drawLine(painter, mark.centre - QPointF(0, style.markHalfHeight),
            mark.centre + QPointF(0, style.markHalfHeight), width, color);
        if (!mark.number.isEmpty()) {
            painter.setPen(color);
            // A little wider than measured, so rounding on the device never drops a digit.
            painter.drawText(mark.number.adjusted(0, 0, mark.number.height() / 4, 0),
                Qt::AlignLeft | Qt::AlignVCenter, QString::number(mark.slot + 1));
        }
    }
    painter.restore();
    return drawn;
}

double TimelineAxisHeight(const QPaintDevice* device, const TimelineStyle& style)
{
    return style.tickLength + QFontMetricsF(style.laneFont, device).height();
}

void PaintTimelineAxis(
    QPainter& painter, const QRectF& plot, double fromSeconds, double toSeconds, const TimelineStyle& style)
{
    if (!(toSeconds > fromSeconds) || !(plot.width() > 0))
        return;
    painter.save();
    const QFontMetricsF metrics(style.laneFont, painter.device());
    const double perSecond = plot.width() / (toSeconds - fromSeconds);
    const double y = plot.bottom();

    // The widest label decides how far apart labelled ticks must be.
    const qint64 extreme
        = qint64(std::max(std::abs(std::floor(fromSeconds)), std::abs(std::ceil(toSeconds))));
    qint64 step = AxisSteps[std::size(AxisSteps) - 1];
    for (qint64 candidate : AxisSteps) {
        if (candidate < style.minimumStepSeconds)
            continue;
        const double room = std::max(metrics.horizontalAdvance(axisLabel(-extreme, candidate, toSeconds)),
                                metrics.horizontalAdvance(axisLabel(extreme, candidate, toSeconds)))
            + style.labelSpacing;
        if (candidate * perSecond >= room) {
            step = candidate;
            break;
        }
    }
    qint64 minor = step;
    for (qint64 candidate : AxisSteps) {
        if (candidate < step && step % candidate == 0 && candidate * perSecond >= style.minorTickSpacing) {
            minor = candidate;
            break;
        }
    }
    const auto ticks = [&](qint64 every, auto draw) {
        for (qint64 k = qint64(std::ceil(fromSeconds / every)); k * every <= toSeconds; ++k)
            draw(k * every, TimelineX(plot, fromSeconds, toSeconds, double(k * every)));
    };
    ticks(minor, [&](qint64, double x) {
        drawLine(
            painter, QPointF(x, y), QPointF(x, y + style.minorTickLength), style.lineWidth, style.textColor);
    });
    painter.setFont(style.laneFont);
    double labelEnd = -1e300;
    ticks(step, [&](qint64 t, double x) {
        drawLine(painter, QPointF(x, plot.top()), QPointF(x, y), style.gridWidth, style.gridColor);
        drawLine(painter, QPointF(x, y), QPointF(x, y + style.tickLength), style.lineWidth, style.textColor);
        const QString label = axisLabel(t, step, toSeconds);
        const double w = metrics.horizontalAdvance(label);
        const double left = std::max(plot.left(), std::min(x - w / 2, plot.right() - w));
        if (left >= labelEnd + style.labelSpacing / 2) {
            painter.setPen(style.textColor);
            painter.drawText(QRectF(left, y + style.tickLength, w + metrics.height() / 4, metrics.height()),
                Qt::AlignLeft | Qt::AlignVCenter, label);
            labelEnd = left + w;
        }
    });
    drawLine(painter, QPointF(plot.left(), y), QPointF(plot.right(), y), style.lineWidth, style.textColor);
    painter.restore();
}

int TimelineSlotAt(const TimelineDrawn& drawn, const QRectF& plot, QPointF point, double tolerance)
{
    if (drawn.lanes.isEmpty())
        return -1;
    const double laneH = plot.height() / drawn.lanes.size();
    int best = -1;
    double bestDistance = tolerance;
    for (const TimelineMark& mark : drawn.marks) {
        const double distance = std::abs(mark.centre.x() - point.x());
        if (std::abs(mark.centre.y() - point.y()) <= laneH / 2 && distance <= bestDistance) {
            best = mark.slot;
            bestDistance = distance;
        }
    }
    return best;
}
