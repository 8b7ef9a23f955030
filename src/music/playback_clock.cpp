#include "playback_clock.h"

#include "media_backend.h"

#include <QAudioOutput>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QUrl>

#include <algorithm>

namespace {

QString playerReason(QMediaPlayer::Error error)
{
    switch (error) {
    case QMediaPlayer::ResourceError:
        return QStringLiteral("Die Musik lässt sich nicht öffnen.");
    case QMediaPlayer::FormatError:
        return QStringLiteral("Diese Datei ist keine Musik, die Kelto abspielen kann.");
    case QMediaPlayer::NetworkError:
        return QStringLiteral("Die Musik lässt sich nicht lesen.");
    case QMediaPlayer::AccessDeniedError:
        return QStringLiteral("Kein Zugriff auf die Musik.");
    case QMediaPlayer::NoError:
        break;
    }
    return QStringLiteral("Die Musik lässt sich nicht abspielen.");
}

} // namespace

PlaybackClock::PlaybackClock(QObject* parent)
    : QObject(parent)
{
}

PlaybackClock::~PlaybackClock()
{
    if (m_player)
        m_player->stop();
}

void PlaybackClock::makePlayer()
{
    if (m_player)
        return;
    PrepareMediaBackend();
    m_player = new QMediaPlayer(this);
    m_output = new QAudioOutput(this);
    m_player->setAudioOutput(m_output);
    connect(m_player, &QMediaPlayer::positionChanged, this, [this](qint64 position) {
        // Right after play() or a seek the player may still report where it was before.
        if (m_playing && (m_moving || (position > m_base && position < m_base + 1000)))
            rebase(position);
    });
    connect(m_player, &QMediaPlayer::durationChanged, this, [this](qint64 duration) {
        m_duration = qMax<qint64>(0, duration);
        emit durationChanged(m_duration);
    });
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::LoadedMedia)
            emit ready();
        if (status == QMediaPlayer::EndOfMedia && m_playing) {
            m_playing = false;
            m_moving = false;
            m_base = m_duration;
            emit playingChanged(false);
            emit ended();
        }
    });
    connect(m_player, &QMediaPlayer::errorOccurred, this, [this](QMediaPlayer::Error error, const QString&) {
        if (error == QMediaPlayer::NoError)
            return;
        if (m_playing) {
            m_playing = false;
            m_moving = false;
            emit playingChanged(false);
        }
        emit failed(playerReason(error));
    });
}

void PlaybackClock::setSource(const QString& path)
{
    const bool wasPlaying = m_playing;
    m_playing = false;
    m_moving = false;
    m_base = 0;
    m_duration = 0;
    m_source = path;
    if (!path.isEmpty() || m_player) {
        makePlayer();
        m_player->stop();
        m_player->setSource(
            path.isEmpty() ? QUrl() : QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    }
    if (wasPlaying)
        emit playingChanged(false);
}

void PlaybackClock::play()
{
    if (!m_player || m_source.isEmpty() || m_playing)
        return;
    // Played to the end: from the start again.
    if (m_duration > 0 && m_base >= m_duration) {
        m_base = 0;
        m_player->setPosition(0);
    }
    m_player->play();
    m_playing = true;
    // The position stands until the player reports that it moves.
    m_moving = false;
    emit playingChanged(true);
}

void PlaybackClock::pause()
{
    if (!m_playing)
        return;
    m_player->pause();
    m_base = m_player->position();
    m_playing = false;
    m_moving = false;
    emit playingChanged(false);
}

void PlaybackClock::stop()
{
    const bool wasPlaying = m_playing;
    m_playing = false;
    m_moving = false;
    m_base = 0;
    if (m_player) {
        m_player->pause();
        m_player->setPosition(0);
    }
    if (wasPlaying)
        emit playingChanged(false);
}

void PlaybackClock::seek(qint64 positionMs)
{
    const qint64 target
        = std::clamp<qint64>(positionMs, 0, m_duration > 0 ? m_duration : std::max<qint64>(0, positionMs));
    m_base = target;
    m_moving = false;
    if (m_player)
        m_player->setPosition(target);
}

void PlaybackClock::rebase(qint64 positionMs)
{
    m_base = positionMs;
    m_sinceBase.start();
    m_moving = true;
}

qint64 PlaybackClock::position()
{
    if (!m_playing)
        return m_base;
    if (!m_moving) {
        // Until the first report the player is asked: it starts moving some 40 ms after play().
        const qint64 reported = m_player->position();
        if (reported > m_base && reported < m_base + 1000)
            rebase(reported);
        return m_base;
    }
    const qint64 now = m_base + m_sinceBase.elapsed();
    return m_duration > 0 ? qMin(now, m_duration) : now;
}
