#pragma once

#include "music/tap_calibration.h"

#include <QDialog>
#include <QTemporaryDir>

class PlaybackClock;
class QLabel;
class QProgressBar;
class QPushButton;

// "Tippen abgleichen…": plays a click track, takes a tap per click (space bar or "Tipp") and shows the
// mean offset. "OK" is enabled only for a calibration that was not refused; what is stored is the
// caller's business.
class TapCalibrationDialog : public QDialog {
    Q_OBJECT
public:
    TapCalibrationDialog(int currentOffsetMs, QWidget* parent = nullptr, ClickTrack track = MakeClickTrack());
    ~TapCalibrationDialog() override;

    PlaybackClock* clock() const { return m_clock; }
    const ClickTrack& track() const { return m_track; }
    const QList<qint64>& taps() const { return m_taps; }
    const TapCalibration& result() const { return m_result; }
    // The offset "OK" stands for.
    int offsetMs() const { return m_result.offsetMs; }

    void start();
    void tap();

    QLabel* intro = nullptr;
    QLabel* progressText = nullptr;
    QProgressBar* progress = nullptr;
    QLabel* resultText = nullptr;
    QPushButton* startButton = nullptr;
    QPushButton* tapButton = nullptr;
    QPushButton* okButton = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void finish();
    void showProgress();

    ClickTrack m_track;
    QTemporaryDir m_folder;
    QString m_wavPath;
    PlaybackClock* m_clock = nullptr;
    QList<qint64> m_taps;
    TapCalibration m_result;
    bool m_waitingToPlay = false;
};
