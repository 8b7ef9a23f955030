#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class QAudioOutput;
class QMediaPlayer;

// Plays the music and tells where it is, to the millisecond: the player reports its position only
// every 100 ms or so, so between its reports the position runs on with a monotonic clock.
// The player is made when the first music is set, so a window without music loads no media backend.
class PlaybackClock : public QObject {
    Q_OBJECT
public:
    explicit PlaybackClock(QObject* parent = nullptr);
    ~PlaybackClock() override;

    // Empty path: no music. Stops what plays.
    void setSource(const QString& path);
    QString source() const { return m_source; }

    void play();
    void pause();
    // Back to the start.
    void stop();
    void seek(qint64 positionMs);

    bool isPlaying() const { return m_playing; }
    // Length of the track in ms, 0 while not known.
    qint64 duration() const { return m_duration; }
    // The position now, in ms of the music.
    qint64 position();

signals:
    void playingChanged(bool playing);
    void durationChanged(qint64 durationMs);
    // The music can be played: it was opened and its length is known.
    void ready();
    // The player could not open or play the music; the reason in German.
    void failed(const QString& reason);
    // It played to its end.
    void ended();

private:
    void rebase(qint64 positionMs);
    void makePlayer();

    QMediaPlayer* m_player = nullptr;
    QAudioOutput* m_output = nullptr;
    QString m_source;
    bool m_playing = false;
    // Since the player last said where it is; only while it moves.
    qint64 m_base = 0;
    QElapsedTimer m_sinceBase;
    bool m_moving = false;
    qint64 m_duration = 0;
};
