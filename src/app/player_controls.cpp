#include "player_controls.h"

#include <QBoxLayout>
#include <QPushButton>

PlayerControls::PlayerControls(QWidget* parent)
    : QWidget(parent)
    , m_play(new QPushButton(QStringLiteral("Abspielen"), this))
    , m_stop(new QPushButton(QStringLiteral("Stopp"), this))
{
    setObjectName(QStringLiteral("PlayerControls"));
    m_play->setObjectName(QStringLiteral("Command6_1"));
    m_play->setFixedSize(110, 28);
    m_stop->setObjectName(QStringLiteral("Command6_2"));
    m_stop->setFixedSize(90, 28);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    row->addWidget(m_play);
    row->addWidget(m_stop);
    // In place before the page is first shown and laid out.
    m_stop->move(m_play->width() + row->spacing(), 0);
    setFixedSize(m_stop->geometry().right() + 1, m_play->height());
    connect(m_play, &QPushButton::clicked, this, [this] { m_playing ? emit pause() : emit play(); });
    connect(m_stop, &QPushButton::clicked, this, &PlayerControls::stop);
}

void PlayerControls::setPlaying(bool playing)
{
    m_playing = playing;
    m_play->setText(playing ? QStringLiteral("Pause") : QStringLiteral("Abspielen"));
}

void PlayerControls::setMusicReady(bool ready)
{
    m_play->setEnabled(ready);
    m_stop->setEnabled(ready);
}
