#include "waveform_view.h"

#include "shotlist/list_document.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr int WaveHeight = 64; // the waveform band above the lanes
constexpr int LeastWaveHeight = 32; // lanes with room for their numbers go before a taller band
constexpr double NumberGap = 1;
constexpr double LeastMarkHalfHeight = 2.5;
constexpr int Margin = 4;
constexpr double MaxPixelsPerSecond = 200; // two pixels per peak
constexpr double ZoomStep = 1.5;
constexpr qint64 LitMs = 700; // a mark stays lit this long after the cursor passed it
constexpr double TickLength = 5;
const QColor WaveColor(70, 110, 160);
const QColor OutsideMusic(236, 236, 236);
const QColor CursorColor(210, 0, 0);
const QColor GapColor(255, 215, 120, 90); // nothing in the sky
const QColor DurationColor(240, 140, 30, 150); // the effect's Dauer
const QColor PrefireColor(120, 120, 120); // ignition to burst
const QColor TargetColor(0, 150, 60); // the tapped moment

QString musicLaneName() { return QStringLiteral("Musik"); }

} // namespace

WaveformView::WaveformView(const ListDocument& document, QWidget* parent)
    : QWidget(parent)
    , m_document(document)
{
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    listChanged();
}

TimelineStyle WaveformView::style() const
{
    TimelineStyle style;
    style.laneFont = laneFont();
    style.numberFont = font();
    style.numberFont.setPointSizeF(7); // as m_numberHeight measures it
    style.nameWidth = m_nameWidth;
    style.nameGap = Margin;
    const double laneH = lanesRect().height() / m_laneCount;
    // Short marks where that leaves a row of numbers above and below them.
    const double besideNumbers = laneH / 2 - NumberGap - m_numberHeight;
    style.markHalfHeight = besideNumbers >= LeastMarkHalfHeight ? std::min(6.0, besideNumbers)
                                                                : std::clamp(laneH / 2 - 2, 2.0, 6.0);
    style.numberGap = NumberGap;
    style.markWidth = 1.5;
    style.selectedMarkWidth = 3;
    style.lineWidth = 1;
    style.gridWidth = 1;
    style.tickLength = TickLength;
    style.minorTickLength = 3;
    style.labelSpacing = 10;
    style.selectedSlot = m_selected;
    style.seenSeconds.reserve(m_marks.size());
    for (const SkyMark& mark : m_marks)
        style.seenSeconds.append(mark.seenMs() / 1000.0);
    if (m_playing) {
        for (const SkyMark& mark : m_marks) {
            const int slot = mark.slot;
            const qint64 since = m_cursorMs - mark.seenMs();
            if (since >= 0 && since < LitMs)
                style.lit.set(size_t(slot));
        }
    }
    return style;
}

double WaveformView::plotLeft() const { return Margin + m_nameWidth + Margin; }

QFont WaveformView::laneFont() const
{
    QFont f = font();
    f.setPointSizeF(7.5);
    return f;
}

// As TimelineAxisHeight measures it for style().
double WaveformView::axisHeight() const { return TickLength + QFontMetricsF(laneFont(), this).height(); }

QRectF WaveformView::plotRect() const
{
    const double axis = axisHeight();
    const double left = plotLeft();
    return QRectF(left, Margin, std::max(1.0, width() - Margin - left),
        std::max(1.0, height() - Margin - axis - Margin));
}

// The waveform band gives up height, down to a least one, while the lanes lack room for numbers.
double WaveformView::waveBandHeight() const
{
    const double room = height() - 2 * Margin - axisHeight() - 2;
    const double numbers = m_laneCount * 2 * (LeastMarkHalfHeight + NumberGap + m_numberHeight);
    // A tall picture gives the music a fifth of its height.
    const double most = std::min<double>(std::max<double>(WaveHeight, room / 5), room / 2);
    return std::clamp(room - numbers, std::min<double>(LeastWaveHeight, most), std::max(1.0, most));
}

QRectF WaveformView::waveRect() const
{
    const QRectF plot = plotRect();
    return QRectF(plot.left(), plot.top(), plot.width(), waveBandHeight());
}

QRectF WaveformView::lanesRect() const
{
    const double axis = axisHeight();
    const double left = plotLeft();
    const double top = Margin + waveBandHeight() + 2;
    return QRectF(
        left, top, std::max(1.0, width() - Margin - left), std::max(1.0, height() - Margin - axis - top));
}

void WaveformView::listChanged()
{
    QList<int> lanes = TimelineLanes(m_document.list());
    m_laneCount = std::max<int>(1, int(lanes.size()));
    QFont numbers = font();
    numbers.setPointSizeF(7);
    m_numberHeight = QFontMetricsF(numbers, this).height();
    m_nameWidth = std::max(TimelineNameWidth(this, lanes, laneFont()),
        QFontMetricsF(laneFont(), this).horizontalAdvance(musicLaneName()));
    if (m_selected >= m_document.entryCount())
        m_selected = -1;
    refreshMarks();
    updateRange();
    update();
}

void WaveformView::refreshMarks()
{
    const ListMeta& meta = m_document.meta();
    m_marks = SkyMarks(m_document.list(), m_document.entryCount(), meta.effectData, meta.musicStartTenths);
    m_gaps = SkyGaps(m_marks, m_gapThresholdMs);
}

void WaveformView::setGapThreshold(qint64 ms)
{
    if (ms == m_gapThresholdMs)
        return;
    m_gapThresholdMs = ms;
    m_gaps = SkyGaps(m_marks, m_gapThresholdMs);
    update();
}

void WaveformView::setMusic(qint64 durationMs, std::shared_ptr<const Waveform> waveform)
{
    m_durationMs = std::max<qint64>(0, durationMs);
    m_waveform = std::move(waveform);
    m_waveKey.clear();
    updateRange();
    update();
}

void WaveformView::setMusicStart(qint32 tenths)
{
    if (qint64(tenths) * 100 == m_musicStartMs)
        return;
    m_musicStartMs = qint64(tenths) * 100;
    m_waveKey.clear();
    refreshMarks();
    updateRange();
    update();
}

// The sequence's start, the music and every shot lie in the range; a little room after the last one.
void WaveformView::updateRange()
{
    const int entries = m_document.entryCount();
    const ShotList& list = m_document.list();
    double from = 0;
    double to = entries > 0 ? list.times[entries - 1] + 5.0 : 0.0;
    for (const SkyMark& mark : m_marks)
        to = std::max(
            to, (std::max(mark.seenMs() + mark.durationMs, mark.targetMs.value_or(0))) / 1000.0 + 2.0);
    if (m_durationMs > 0) {
        from = std::min(from, m_musicStartMs / 1000.0);
        to = std::max(to, (m_musicStartMs + m_durationMs) / 1000.0);
    }
    to = std::max(to, from + 10.0);
    m_rangeFrom = std::floor(from);
    m_rangeTo = std::ceil(to);
    setViewFrom(m_viewFrom);
    updateScrollBar();
}

double WaveformView::pixelsPerSecond() const
{
    const double fit = plotRect().width() / (m_rangeTo - m_rangeFrom);
    return std::min(std::max(fit, MaxPixelsPerSecond), fit * m_zoom);
}

double WaveformView::viewTo() const { return m_viewFrom + plotRect().width() / pixelsPerSecond(); }

double WaveformView::xOf(double seconds) const
{
    return plotRect().left() + (seconds - m_viewFrom) * pixelsPerSecond();
}

void WaveformView::setViewFrom(double seconds)
{
    const double span = plotRect().width() / pixelsPerSecond();
    m_viewFrom = std::clamp(seconds, m_rangeFrom, std::max(m_rangeFrom, m_rangeTo - span));
}

void WaveformView::attachScrollBar(QScrollBar* bar)
{
    m_scrollBar = bar;
    connect(bar, &QScrollBar::valueChanged, this, [this](int value) {
        if (m_settingScroll)
            return;
        setViewFrom(m_rangeFrom + value / pixelsPerSecond());
        update();
    });
    updateScrollBar();
}

void WaveformView::updateScrollBar()
{
    if (!m_scrollBar)
        return;
    const double pps = pixelsPerSecond();
    const int page = int(plotRect().width());
    const int total = int(std::ceil((m_rangeTo - m_rangeFrom) * pps));
    m_settingScroll = true;
    m_scrollBar->setRange(0, std::max(0, total - page));
    m_scrollBar->setPageStep(page);
    m_scrollBar->setSingleStep(std::max(1, page / 10));
    m_scrollBar->setValue(int(std::lround((m_viewFrom - m_rangeFrom) * pps)));
    m_settingScroll = false;
}

void WaveformView::zoomAround(double factor, double x)
{
    const double pps = pixelsPerSecond();
    const double anchor = m_viewFrom + (x - plotRect().left()) / pps;
    const double fit = plotRect().width() / (m_rangeTo - m_rangeFrom);
    const double maxZoom = std::max(1.0, MaxPixelsPerSecond / fit);
    m_zoom = std::clamp(m_zoom * factor, 1.0, maxZoom);
    setViewFrom(anchor - (x - plotRect().left()) / pixelsPerSecond());
    m_waveKey.clear();
    updateScrollBar();
    update();
}

void WaveformView::zoomIn()
{
    zoomAround(ZoomStep, std::clamp(xOf(m_cursorMs / 1000.0), plotRect().left(), plotRect().right()));
}

void WaveformView::zoomOut()
{
    zoomAround(1 / ZoomStep, std::clamp(xOf(m_cursorMs / 1000.0), plotRect().left(), plotRect().right()));
}

void WaveformView::setCursorTime(qint64 showMs)
{
    if (showMs == m_cursorMs)
        return;
    m_cursorMs = showMs;
    ++m_cursorMoves;
    if (m_playing)
        followCursor();
    update();
}

void WaveformView::showCursor()
{
    const double t = m_cursorMs / 1000.0;
    if (t >= m_viewFrom && t <= viewTo())
        return;
    setViewFrom(t - (viewTo() - m_viewFrom) * 0.05);
    updateScrollBar();
    update();
}

// A page on as the cursor leaves the part in sight.
void WaveformView::followCursor()
{
    const double t = m_cursorMs / 1000.0;
    if (t >= m_viewFrom && t <= viewTo())
        return;
    const double span = viewTo() - m_viewFrom;
    const double before = m_viewFrom;
    setViewFrom(t - span * 0.05);
    if (m_viewFrom != before) {
        updateScrollBar();
    }
}

void WaveformView::setPlaying(bool playing)
{
    m_playing = playing;
    if (playing)
        followCursor();
    update();
}

void WaveformView::setSelectedSlot(int slot)
{
    m_selected = slot >= 0 && slot < m_document.entryCount() ? slot : -1;
    update();
}

void WaveformView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_waveKey.clear();
    setViewFrom(m_viewFrom);
    updateScrollBar();
}

// The waveform of the part in sight, one column of peaks per pixel; made again only when the part
// or the music changes, not for every cursor step.
const QImage& WaveformView::waveImage()
{
    const QRectF rect = waveRect();
    const QSize size(int(rect.width()), int(rect.height()));
    const QString key = QStringLiteral("%1 %2 %3 %4x%5 %6")
                            .arg(m_viewFrom, 0, 'g', 12)
                            .arg(pixelsPerSecond(), 0, 'g', 12)
                            .arg(m_musicStartMs)
                            .arg(size.width())
                            .arg(size.height())
                            .arg(quintptr(m_waveform.get()));
    if (key == m_waveKey)
        return m_waveImage;
    m_waveKey = key;
    m_waveImage = QImage(size, QImage::Format_ARGB32_Premultiplied);
    m_waveImage.fill(Qt::transparent);
    if (!m_waveform || m_waveform->peaks.empty() || size.isEmpty())
        return m_waveImage;
    // Written as pixels: a column is a run of rows, and drawing 2000 lines costs more than the picture.
    uchar* const bits = m_waveImage.bits();
    const qsizetype stride = m_waveImage.bytesPerLine();
    const QRgb color = WaveColor.rgba();
    const std::vector<Peak>& peaks = m_waveform->peaks;
    const double pps = pixelsPerSecond();
    const double perPeak = Waveform::PeakMs / 1000.0;
    const double middle = size.height() / 2.0;
    const double half = size.height() / 2.0 - 1;
    for (int x = 0; x < size.width(); ++x) {
        const double t0 = m_viewFrom + x / pps - m_musicStartMs / 1000.0;
        const double t1 = t0 + 1 / pps;
        qint64 first = qint64(std::floor(t0 / perPeak));
        qint64 last = std::max(first + 1, qint64(std::floor(t1 / perPeak)));
        first = std::max<qint64>(first, 0);
        last = std::min<qint64>(last, qint64(peaks.size()));
        if (first >= last)
            continue;
        int low = 32767;
        int high = -32767;
        for (qint64 i = first; i < last; ++i) {
            low = std::min<int>(low, peaks[size_t(i)].low);
            high = std::max<int>(high, peaks[size_t(i)].high);
        }
        const double yHigh = middle - high / 32767.0 * half;
        const double yLow = std::max(middle - low / 32767.0 * half, yHigh + 1);
        const int top = std::clamp(int(std::lround(yHigh)), 0, size.height() - 1);
        const int bottom = std::clamp(int(std::lround(yLow)), top, size.height() - 1);
        for (int y = top; y <= bottom; ++y)
            reinterpret_cast<QRgb*>(bits + y * stride)[x] = color;
    }
    return m_waveImage;
}

void WaveformView::paintEvent(QPaintEvent*)
{
    ++m_paints;
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    const TimelineStyle look = style();
    const QRectF plot = plotRect();
    const QRectF wave = waveRect();
    const QRectF lanes = lanesRect();
    const double from = m_viewFrom;
    const double to = viewTo();

    // The music's stretch in the waveform band; grey where there is none.
    painter.fillRect(wave, OutsideMusic);
    if (m_durationMs > 0) {
        const double x0 = std::clamp(xOf(m_musicStartMs / 1000.0), wave.left(), wave.right());
        const double x1
            = std::clamp(xOf((m_musicStartMs + m_durationMs) / 1000.0), wave.left(), wave.right());
        painter.fillRect(QRectF(x0, wave.top(), x1 - x0, wave.height()), palette().color(QPalette::Base));
    }
    painter.setPen(look.textColor);
    painter.setFont(look.laneFont);
    painter.drawText(QRectF(Margin, wave.top(), m_nameWidth, wave.height()), Qt::AlignLeft | Qt::AlignVCenter,
        musicLaneName());

    painter.save();
    painter.setClipRect(plot.adjusted(-1, -1, 1, axisHeight()));
    PaintTimelineAxis(painter, QRectF(plot.left(), plot.top(), plot.width(), plot.height()), from, to, look);
    painter.restore();
    painter.drawImage(wave.topLeft(), waveImage());
    const QList<int> laneRows = TimelineLanes(m_document.list());
    painter.save();
    painter.setClipRect(lanes.adjusted(-1, -1, 1, 1));
    paintSky(painter, lanes, laneRows, look.markHalfHeight);
    painter.restore();
    PaintTimelineLanes(painter, m_document.list(), lanes, from, to, look);
    painter.save();
    painter.setClipRect(lanes.adjusted(-1, -1, 1, 1));
    paintTargets(painter, lanes, laneRows, look.markHalfHeight);
    painter.restore();

    const double x = xOf(m_cursorMs / 1000.0);
    if (x >= plot.left() - 1 && x <= plot.right() + 1) {
        painter.setPen(QPen(CursorColor, 1.5));
        painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

// Dead air shaded across the lanes; for shots with a Vorlauf a thin line from the ignition to the burst
// and their Dauer as a bar. Under the marks.
void WaveformView::paintSky(
    QPainter& painter, const QRectF& lanes, const QList<int>& laneRows, double markHalfHeight)
{
    const double from = m_viewFrom;
    const double to = viewTo();
    for (const SkyGap& gap : m_gaps) {
        if (gap.toMs / 1000.0 < from || gap.fromMs / 1000.0 > to)
            continue;
        const double x0 = std::max(lanes.left(), xOf(gap.fromMs / 1000.0));
        const double x1 = std::min(lanes.right(), xOf(gap.toMs / 1000.0));
        painter.fillRect(QRectF(x0, lanes.top(), x1 - x0, lanes.height()), GapColor);
    }
    if (laneRows.isEmpty())
        return;
    const ShotList& list = m_document.list();
    const double laneH = lanes.height() / laneRows.size();
    const double barHalf = std::max(1.5, markHalfHeight * 0.6);
    painter.setPen(QPen(PrefireColor, 1));
    for (const SkyMark& mark : m_marks) {
        if (!mark.burstMs)
            continue;
        const double seen = mark.seenMs() / 1000.0;
        const double ignition = mark.ignitionMs / 1000.0;
        const double end = seen + mark.durationMs / 1000.0;
        if (std::max(end, seen) < from || std::min(ignition, seen) > to)
            continue;
        const int row = int(laneRows.indexOf(TimelineLaneOf(list.circuits[mark.slot])));
        const double mid = lanes.top() + (row + 0.5) * laneH;
        const double xi = xOf(ignition);
        const double xs = xOf(seen);
        if (mark.durationMs > 0)
            painter.fillRect(QRectF(xs, mid - barHalf, xOf(end) - xs, 2 * barHalf), DurationColor);
        painter.drawLine(QPointF(xi, mid), QPointF(xs, mid));
        painter.drawLine(QPointF(xi, mid - 2), QPointF(xi, mid + 2));
    }
}

// The tapped moment as a short tick above the lane's middle, beside the mark that should meet it.
void WaveformView::paintTargets(
    QPainter& painter, const QRectF& lanes, const QList<int>& laneRows, double markHalfHeight)
{
    if (laneRows.isEmpty())
        return;
    const ShotList& list = m_document.list();
    const double laneH = lanes.height() / laneRows.size();
    const double from = m_viewFrom;
    const double to = viewTo();
    painter.setPen(QPen(TargetColor, 2));
    for (const SkyMark& mark : m_marks) {
        if (!mark.targetMs)
            continue;
        const double t = *mark.targetMs / 1000.0;
        if (t < from || t > to)
            continue;
        const int row = int(laneRows.indexOf(TimelineLaneOf(list.circuits[mark.slot])));
        const double mid = lanes.top() + (row + 0.5) * laneH;
        const double x = xOf(t);
        painter.drawLine(QPointF(x, mid - markHalfHeight - 2), QPointF(x, mid - markHalfHeight / 3));
    }
}

void WaveformView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    const QPointF at = event->position();
    const QRectF plot = plotRect();
    if (at.x() < plot.left() - 2 || at.x() > plot.right() + 2)
        return;
    const double seconds
        = m_viewFrom + (std::clamp(at.x(), plot.left(), plot.right()) - plot.left()) / pixelsPerSecond();
    const TimelineDrawn drawn = drawnLanes();
    const int slot = TimelineSlotAt(drawn, lanesRect(), at, 4);
    emit clicked(seconds, slot);
}

TimelineDrawn WaveformView::drawnLanes() const
{
    return LayoutTimelineLanes(this, m_document.list(), lanesRect(), m_viewFrom, viewTo(), style());
}

bool WaveformView::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const QString text = toolTipAt(help->pos());
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(help->globalPos(), text, this);
    }
    return true;
}

// Over a stretch too dense for its numbers: the numbers of the stretch; over a mark: its entry.
QString WaveformView::toolTipAt(QPointF point) const
{
    const QRectF lanes = lanesRect();
    if (!lanes.contains(point))
        return QString();
    const TimelineDrawn drawn = drawnLanes();
    const int row
        = int((point.y() - lanes.top()) / (lanes.height() / std::max<qsizetype>(1, drawn.lanes.size())));
    const ShotList& list = m_document.list();
    for (const TimelineStretch& stretch : drawn.unnumbered) {
        if (drawn.lanes.indexOf(stretch.lane) != row)
            continue;
        if (point.x() < xOf(stretch.fromSeconds) - 4 || point.x() > xOf(stretch.toSeconds) + 4)
            continue;
        QStringList numbers;
        for (int slot : stretch.entrySlots)
            numbers.append(QString::number(slot + 1));
        return QStringLiteral("Nr. %1\n%2 bis %3")
            .arg(numbers.join(QStringLiteral(", ")), FormatClock(qint32(stretch.fromSeconds)),
                FormatClock(qint32(stretch.toSeconds)));
    }
    const int slot = TimelineSlotAt(drawn, lanes, point, 4);
    if (slot < 0)
        return QString();
    QString text = QStringLiteral("Nr. %1  %2  %3")
                       .arg(slot + 1, 3, 10, QLatin1Char('0'))
                       .arg(FormatClock(list.times[slot]), CircuitLabel(list.circuits[slot]));
    if (!list.effects[slot].isEmpty())
        text += QStringLiteral("  ") + list.effects[slot];
    if (slot < m_marks.size()) {
        const SkyMark& mark = m_marks[slot];
        if (mark.burstMs)
            text += QStringLiteral("\nEffekt bei ") + ShowClockTenths(*mark.burstMs);
        const QString target = TargetText(mark);
        if (!target.isEmpty())
            text += QStringLiteral("\n") + target;
    }
    return text;
}

void WaveformView::wheelEvent(QWheelEvent* event)
{
    const QPoint delta = event->angleDelta();
    if (event->modifiers() & Qt::ControlModifier) {
        if (delta.y() != 0)
            zoomAround(delta.y() > 0 ? ZoomStep : 1 / ZoomStep, event->position().x());
        event->accept();
        return;
    }
    // Up and down, or sideways, scroll along the time.
    const int steps = delta.x() != 0 ? delta.x() : delta.y();
    if (steps != 0) {
        setViewFrom(m_viewFrom - steps / 120.0 * plotRect().width() / 8 / pixelsPerSecond());
        updateScrollBar();
        update();
    }
    event->accept();
}
