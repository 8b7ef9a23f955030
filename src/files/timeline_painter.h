#pragma once

#include "shotlist/shot_list.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <bitset>

class QPainter;
class QPaintDevice;

// The show on a time axis: one lane per device in use (A..H), then one lane for the entries
// without circuit, each entry a mark at its show time with its number where the number fits.
// Drawn the same way on paper (crew sheet) and on screen (music page).

constexpr int TimelineNoCircuitLane = 8;

// How the timeline looks. Lengths are in the painter's device pixels: paper callers convert from
// millimetres, widgets pass screen pixels. Fonts are measured on the device painted on.
struct TimelineStyle {
    QFont laneFont; // lane names and axis labels
    QFont numberFont; // entry numbers beside the marks
    double nameWidth = 0; // lane names stand in this width left of the plot; 0 draws no names
    double nameGap = 4; // between the names and the plot
    double markHalfHeight = 6; // a mark reaches this far above and below the lane's middle
    double markWidth = 1.5;
    double selectedMarkWidth = 3;
    double numberGap = 1; // between the end of a mark and its number
    double numberSpacing = 3; // at least this between two numbers of one row
    double lineWidth = 0.5; // lane lines, axis and ticks
    double gridWidth = 0.5; // the vertical line of a labelled tick across the lanes
    double tickLength = 6; // labelled ticks below the axis
    double minorTickLength = 3;
    double minorTickSpacing = 6; // unlabelled ticks only where they stay this far apart
    double labelSpacing = 8; // at least this between two axis labels
    double minimumStepSeconds = 1; // the labelled step of the axis is never shorter
    QColor markColor = Qt::black;
    QColor litColor = QColor(220, 80, 0);
    QColor selectedColor = QColor(0, 90, 200);
    QColor laneLineColor = QColor(150, 150, 150);
    QColor gridColor = QColor(190, 190, 190);
    QColor textColor = Qt::black;
    std::bitset<SlotCount> lit; // slots whose marks and numbers are drawn in litColor
    int selectedSlot = -1; // drawn in selectedColor with selectedMarkWidth; -1 for none
    bool numbers = true; // numbers beside the marks where they fit
    // Where each slot's mark stands, in show seconds (the moment its effect is seen); slots beyond its
    // size stand at their ignition.
    QList<double> seenSeconds;
};

struct TimelineMark {
    int slot = -1;
    int lane = 0; // as in TimelineLanes
    QPointF centre; // middle of the mark
    QRectF number; // where its number stands; empty when it has none
};

// Neighbouring marks of one lane where numbers are missing, with the numbered mark on either side:
// a legend that lists these slots in order makes every mark of the stretch findable.
struct TimelineStretch {
    int lane = 0;
    QList<int> entrySlots; // in time order
    double fromSeconds = 0;
    double toSeconds = 0;
};

struct TimelineDrawn {
    QList<int> lanes; // top to bottom
    QList<TimelineMark> marks; // lane by lane, in time order; only the marks within the time window
    // Lane by lane, in time order; empty when every number fits or numbers are not drawn.
    QList<TimelineStretch> unnumbered;
};

// Lanes in use: device indices 0..7 in order, then TimelineNoCircuitLane if any entry has no circuit.
QList<int> TimelineLanes(const ShotList& list);
// "B (Verteiler)", or "ohne Kreis" for the lane of the entries without circuit.
QString TimelineLaneName(int lane);
int TimelineLaneOf(qint16 circuit);
// Widest lane name, for TimelineStyle::nameWidth.
double TimelineNameWidth(const QPaintDevice* device, const QList<int>& lanes, const QFont& font);

// Show time (seconds, fractions allowed) to x in the plot and back; fromSeconds lies on plot.left(),
// toSeconds on plot.right().
double TimelineX(const QRectF& plot, double fromSeconds, double toSeconds, double seconds);
double TimelineSeconds(const QRectF& plot, double fromSeconds, double toSeconds, double x);

// Where everything goes, without drawing: the lanes divide plot.height() evenly.
TimelineDrawn LayoutTimelineLanes(const QPaintDevice* device, const ShotList& list, const QRectF& plot,
    double fromSeconds, double toSeconds, const TimelineStyle& style);

// Draws the lanes (names left of plot.left(), lane lines, a mark per entry whose show time lies in
// [fromSeconds, toSeconds], its number where it fits) and returns what was drawn where.
TimelineDrawn PaintTimelineLanes(QPainter& painter, const ShotList& list, const QRectF& plot,
    double fromSeconds, double toSeconds, const TimelineStyle& style);

// Height of the axis below the plot: ticks and labels.
double TimelineAxisHeight(const QPaintDevice* device, const TimelineStyle& style);

// The time axis along plot.bottom(): a line, ticks with labels ("0:30", "5 min", "1:30 h") as far
// apart as the labels need, unlabelled ticks between them, and a grid line across the plot for
// each labelled tick. Draw it before the lanes so the marks stay on top.
void PaintTimelineAxis(
    QPainter& painter, const QRectF& plot, double fromSeconds, double toSeconds, const TimelineStyle& style);

// The slot whose mark lies nearest to point, at most tolerance away horizontally and within its
// lane; -1 if none.
int TimelineSlotAt(const TimelineDrawn& drawn, const QRectF& plot, QPointF point, double tolerance);
