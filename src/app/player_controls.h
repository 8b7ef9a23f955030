#pragma once

#include <QWidget>

class QPushButton;

// "Abspielen"/"Pause" and "Stopp" of the page "Probelauf": they say what the user asks for and show
// the state they are given; they know no player.
class PlayerControls : public QWidget {
    Q_OBJECT
public:
    explicit PlayerControls(QWidget* parent = nullptr);

    QPushButton* playButton() const { return m_play; }
    QPushButton* stopButton() const { return m_stop; }
    // While the music plays the first button reads "Pause".
    void setPlaying(bool playing);
    // Without music to play both are off.
    void setMusicReady(bool ready);

signals:
    void play();
    void pause();
    void stop();

private:
    QPushButton* m_play;
    QPushButton* m_stop;
    bool m_playing = false;
};
