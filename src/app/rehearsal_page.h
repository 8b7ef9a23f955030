#pragma once

#include "effects/catalogue_store.h"
#include "effects/effect_data.h"

#include <QFrame>
#include <QPointer>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class ListDocument;
class PlaybackClock;
class PlayerControls;
class Prompter;
class QBoxLayout;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QSpinBox;
class QTimer;
class WaveformReader;
class WaveformView;
struct Waveform;

// The page "Probelauf": the music under the show. It owns its elements, their handlers, the player
// and the waveform reader, and wires them: the player controls only emit, the picture only paints.
// It changes the list only through the document. The window hosts it as a
// tab and keeps the selection of List2 and of the picture in step through markChosen/showEntry.
class RehearsalPage : public QFrame {
    Q_OBJECT
public:
    RehearsalPage(ListDocument& document, QWidget* parent = nullptr);
    ~RehearsalPage() override;

    void setPrompter(Prompter* prompter) { m_prompter = prompter; }
    // The user's effects offered for tapping beside the list's own; the window keeps it.
    void setCatalogue(CatalogueStore* catalogue);
    // Where "Musik wählen…" starts when the list has no folder of its own.
    void setFolderSource(std::function<QString()> folder) { m_folder = std::move(folder); }
    // Ends the player and every report before the window around the page goes.
    void teardown();

    // The notice under the picture.
    void showNotice(const QString& text) { showMusicNotice(text); }
    // The entry selected elsewhere (List2); -1 for none.
    void showEntry(int slot);

    std::array<QPushButton*, 5> Command6 {}; // "Musik wählen…", "Abspielen"/"Pause", "Stopp", "+", "−"
    QLabel* Label12 = nullptr; // the music: name, length, state
    WaveformView* Picture1 = nullptr;
    QScrollBar* HScroll1 = nullptr;
    QLabel* Label13 = nullptr; // notice under the picture
    QLabel* Label14 = nullptr; // "Showzeit 00:01:23"
    QLabel* Label15 = nullptr; // the next shot
    QLabel* Label16 = nullptr; // "Musikbeginn"
    QLineEdit* Text4 = nullptr; // Musikbeginn in seconds
    QLabel* Label18 = nullptr; // "s"
    QCheckBox* Check1 = nullptr; // "Tippen"
    QComboBox* Combo3 = nullptr; // device of tapped shots
    QLineEdit* Text5 = nullptr; // circuit number to tap from
    QLabel* Label17 = nullptr; // "nächster Kreis: B 05"
    QComboBox* Combo20 = nullptr; // the effect the next taps place; empty: taps mark the ignition
    QLabel* Label30 = nullptr; // the deviation from the beat
    QLabel* Label31 = nullptr; // the stretches with nothing in the sky
    QLabel* Label32 = nullptr; // "Pause ab"
    QSpinBox* Spin20 = nullptr; // seconds from which nothing in the sky counts as a pause
    QPushButton* Command20 = nullptr; // "An die Musik anpassen"
    QPushButton* Command21 = nullptr; // "Besten Musikbeginn finden"
    PlaybackClock* MediaPlayer1 = nullptr;
    WaveformReader* WaveReader1 = nullptr;
    qint64 TapStampMs = 0; // show time of the last tap, to the millisecond

    // Tapping in time with what is heard: the offset subtracted from every tap's music position.
    QPushButton* Command9 = nullptr; // "Tippen abgleichen…"
    QLabel* Label29 = nullptr; // "Abgleich: −140 ms"
    void setTapOffsetMs(int offsetMs);
    int tapOffsetMs() const { return m_tapOffsetMs; }
    // Reads the stored offset; unreadable content is not used, and the notice says so.
    void loadTapOffset(const QString& path);
    void Command9_Click();

    void Command6_Click(int Index);
    void Check1_Click();
    void Combo3_Click();
    void Text4_LostFocus();
    void Text5_LostFocus();
    void Picture1_Click(double Seconds, int Slot);
    void Picture1_KeyDown(int KeyCode);
    void TapShot();
    void Command20_Click();
    void Command21_Click();
    void Spin20_Change();
    void ShowMusic();
    void ShowPlayback();

signals:
    // A mark was chosen in the picture, or the page's own change selected an entry.
    void markChosen(int slot);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildPage();
    void connectPlayer();
    void chooseMusic();
    void loadMusic(const QString& path);
    void showMusicState();
    void showNextCircuit();
    void showMusicNotice(const QString& text);
    void musicListChanged();
    void selectMark(int slot);
    void showEffectNames();
    void showSky();
    void Combo20_Change();
    void tapEffect(qint64 show);
    // The effect for the next taps with its Vorlauf, or the reason it cannot be tapped.
    struct TapEffect {
        QString name; // empty: taps mark the ignition
        std::optional<EffectData> data;
        bool copy = false; // the catalogue's data goes into the list
        QString problem;
    };
    TapEffect effectToTap() const;
    QString selectedMarkText(int slot) const;

    ListDocument& m_document;
    QPointer<CatalogueStore> m_catalogue;
    QStringList m_effectNames;
    Prompter* m_prompter = nullptr;
    PlayerControls* m_controls = nullptr;
    std::function<QString()> m_folder;
    bool m_musicChanging = false; // the page's own change of the list: its selection stays
    QString m_musicShown; // the music the page has loaded
    qint32 m_startShown = 0; // the Musikbeginn the cursor was placed for
    QString m_musicProblem;
    int m_musicPercent = -1;
    std::shared_ptr<const Waveform> m_waveform;
    QTimer* m_playTimer = nullptr;
    int m_tapFrom = 0; // the circuit number taps start from
    quint64 m_deletedAt = 0; // the revision a deletion notice speaks of; 0 for none
    void buildTapCalibration(QBoxLayout* page);
    int m_tapOffsetMs = 0;
    QString m_tapOffsetPath;
};
