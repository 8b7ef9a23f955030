#pragma once

#include "effects/burst_timing.h"
#include "files/timeline_painter.h"
#include "music/waveform.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <memory>

class ListDocument;
class QScrollBar;

// The picture of the page "Probelauf": the music's waveform over the show's lanes (drawn as on the
// crew sheet), the time axis and the cursor, all in show time. The whole track fits the width; zoom
// (Strg+wheel, zoomIn/zoomOut) and the attached scroll bar show a part of it.
class WaveformView : public QWidget {
    Q_OBJECT
public:
    explicit WaveformView(const ListDocument& document, QWidget* parent = nullptr);

    // The list changed: lanes and range follow.
    void listChanged();
    // The music's length and its waveform (null while it is read, or without music).
    void setMusic(qint64 durationMs, std::shared_ptr<const Waveform> waveform);
    void setMusicStart(qint32 tenths);
    void setCursorTime(qint64 showMs);
    // Brings the cursor into sight when it is outside the part shown.
    void showCursor();
    qint64 cursorTime() const { return m_cursorMs; }
    // While playing, a mark lights up as the cursor passes it, and the view follows the cursor.
    void setPlaying(bool playing);
    void setSelectedSlot(int slot);
    int selectedSlot() const { return m_selected; }
    void attachScrollBar(QScrollBar* bar);

    // Around the cursor when it is in sight, else around the middle.
    void zoomIn();
    void zoomOut();
    double pixelsPerSecond() const;
    // Show time in seconds of the whole picture and of the part in sight.
    double rangeFrom() const { return m_rangeFrom; }
    double rangeTo() const { return m_rangeTo; }
    double viewFrom() const { return m_viewFrom; }
    double viewTo() const;
    // Where a show time is drawn, and the rectangle of the lanes.
    double xOf(double seconds) const;
    QRectF lanesRect() const;
    // The marks and numbers as the picture draws them now.
    TimelineDrawn drawnLanes() const;
    // Each entry where the audience sees it, and the stretches with nothing in the sky that are
    // longer than the threshold (shaded).
    const QList<SkyMark>& skyMarks() const { return m_marks; }
    const QList<SkyGap>& skyGaps() const { return m_gaps; }
    void setGapThreshold(qint64 ms);
    qint64 gapThreshold() const { return m_gapThresholdMs; }
    // How often the picture was painted and the cursor moved (benchmarks).
    int paintCount() const { return m_paints; }
    int cursorMoves() const { return m_cursorMoves; }

signals:
    // A click: the show time under the pointer, and the slot of the mark clicked, or -1.
    void clicked(double seconds, int slot);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    TimelineStyle style() const;
    void refreshMarks();
    void paintSky(QPainter& painter, const QRectF& lanes, const QList<int>& laneRows, double markHalfHeight);
    void paintTargets(
        QPainter& painter, const QRectF& lanes, const QList<int>& laneRows, double markHalfHeight);
    QFont laneFont() const;
    double axisHeight() const;
    double waveBandHeight() const;
    QString toolTipAt(QPointF point) const;
    QRectF plotRect() const; // waveform band and lanes
    QRectF waveRect() const;
    double plotLeft() const;
    void updateRange();
    void zoomAround(double factor, double x);
    void setViewFrom(double seconds);
    void updateScrollBar();
    void followCursor();
    const QImage& waveImage();

    const ListDocument& m_document;
    std::shared_ptr<const Waveform> m_waveform;
    qint64 m_durationMs = 0;
    qint64 m_musicStartMs = 0;
    qint64 m_cursorMs = 0;
    bool m_playing = false;
    int m_selected = -1;
    double m_rangeFrom = 0;
    double m_rangeTo = 60;
    double m_viewFrom = 0;
    double m_zoom = 1; // times the scale at which the whole range fits
    double m_nameWidth = 0;
    int m_laneCount = 1;
    double m_numberHeight = 0;
    QPointer<QScrollBar> m_scrollBar;
    bool m_settingScroll = false;
    QImage m_waveImage;
    QString m_waveKey;
    QList<SkyMark> m_marks;
    QList<SkyGap> m_gaps;
    qint64 m_gapThresholdMs = DefaultSkyGapMs;
    int m_paints = 0;
    int m_cursorMoves = 0;
};
