#include "form1.h"

#include "music/playback_clock.h"
#include "music/show_time.h"
#include "music/tapping.h"
#include "music/waveform_reader.h"
#include "shotlist/stored_text.h"
#include "waveform_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

// The page is laid out in pixels, inside Frame1(3).
template <typename T>
T* makeOn(QWidget* parent, const QString& name, int left, int top, int width, int height)
{
    auto* w = new T(parent);
    w->setObjectName(name);
    w->setGeometry(left, top, width, height);
    return w;
}

QLabel* makeLine(QWidget* parent, const QString& name, int left, int top, int width, int height)
{
    auto* label = makeOn<QLabel>(parent, name, left, top, width, height);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}

constexpr int CursorStepMs = 25; // 40 cursor steps a second while the music plays
const QString MusicFilter = QStringLiteral("Musikdateien (*.wav *.mp3 *.ogg *.oga *.flac);;Alle Dateien (*)");
const QString MusicTitle = QStringLiteral("Musik wählen");

QString shownPath(const QString& path) { return QDir::toNativeSeparators(path); }

bool isSpace(const QKeyEvent* key)
{
    return key->key() == Qt::Key_Space && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

} // namespace

void Form1::setupMusic()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("Page3"));
    SSTab1->addTab(page, QStringLiteral("Probelauf"));
    Frame1[3] = makeOn<QFrame>(page, QStringLiteral("Frame1_3"), 120 / 15, 360 / 15, 9255 / 15, 6495 / 15);
    QFrame* frame = Frame1[3];

    Command6[0] = makeOn<QPushButton>(frame, QStringLiteral("Command6_0"), 8, 8, 130, 25);
    Command6[0]->setText(QStringLiteral("Musik wählen…"));
    Label12 = makeLine(frame, QStringLiteral("Label12"), 146, 8, 463, 25);
    Picture1 = new WaveformView(*m_document, frame);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(8, 40, 601, 222);
    HScroll1 = makeOn<QScrollBar>(frame, QStringLiteral("HScroll1"), 8, 265, 539, 17);
    HScroll1->setOrientation(Qt::Horizontal);
    Picture1->attachScrollBar(HScroll1);
    Command6[3] = makeOn<QPushButton>(frame, QStringLiteral("Command6_3"), 553, 262, 27, 23);
    Command6[3]->setText(QStringLiteral("+"));
    Command6[3]->setToolTip(QStringLiteral("Vergrößern (+, Strg+Mausrad)"));
    Command6[4] = makeOn<QPushButton>(frame, QStringLiteral("Command6_4"), 582, 262, 27, 23);
    Command6[4]->setText(QStringLiteral("\u2212"));
    Command6[4]->setToolTip(QStringLiteral("Verkleinern (\u2212, Strg+Mausrad)"));
    Label13 = makeOn<QLabel>(frame, QStringLiteral("Label13"), 8, 288, 601, 34);
    Label13->setWordWrap(true);
    Label13->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Command6[1] = makeOn<QPushButton>(frame, QStringLiteral("Command6_1"), 8, 326, 110, 28);
    Command6[1]->setText(QStringLiteral("Abspielen"));
    Command6[2] = makeOn<QPushButton>(frame, QStringLiteral("Command6_2"), 124, 326, 90, 28);
    Command6[2]->setText(QStringLiteral("Stopp"));
    Label14 = makeLine(frame, QStringLiteral("Label14"), 226, 326, 180, 28);
    QFont clockFont = Label14->font();
    clockFont.setPointSizeF(clockFont.pointSizeF() * 1.3);
    clockFont.setBold(true);
    Label14->setFont(clockFont);
    Label16 = makeLine(frame, QStringLiteral("Label16"), 410, 326, 102, 28);
    Label16->setText(QStringLiteral("Musikbeginn"));
    Label16->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Text4 = makeOn<QLineEdit>(frame, QStringLiteral("Text4"), 518, 328, 66, 24);
    Text4->setToolTip(QStringLiteral("Wo die Musik in der Showzeit beginnt, in Sekunden mit Zehnteln; -3,0: "
                                     "3 s vor dem Start der Sequenz"));
    auto* unit = makeLine(frame, QStringLiteral("Label18"), 588, 326, 21, 28);
    unit->setText(QStringLiteral("s"));
    Label15 = makeLine(frame, QStringLiteral("Label15"), 8, 360, 601, 24);

    Check1 = makeOn<QCheckBox>(frame, QStringLiteral("Check1"), 8, 394, 80, 26);
    Check1->setText(QStringLiteral("Tippen"));
    Check1->setToolTip(QStringLiteral("Während die Musik spielt, setzt jede Leertaste einen Schuss"));
    Combo3 = makeOn<QComboBox>(frame, QStringLiteral("Combo3"), 92, 394, 130, 26);
    for (int device = 0; device < 8; ++device)
        Combo3->addItem(TimelineLaneName(device));
    Text5 = makeOn<QLineEdit>(frame, QStringLiteral("Text5"), 228, 395, 40, 24);
    Text5->setText(QStringLiteral("0"));
    Text5->setToolTip(QStringLiteral("Zündkreis-Nummer, ab der getippt wird"));
    Label17 = makeLine(frame, QStringLiteral("Label17"), 276, 394, 333, 26);

    const QList<QWidget*> order { List1, Command6[0], Picture1, HScroll1, Command6[3], Command6[4],
        Command6[1], Command6[2], Text4, Check1, Combo3, Text5 };
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    MediaPlayer1 = new PlaybackClock(this);
    WaveReader1 = new WaveformReader(this);
    m_playTimer = new QTimer(this);
    m_playTimer->setTimerType(Qt::PreciseTimer);
    m_playTimer->setInterval(CursorStepMs);
    connect(m_playTimer, &QTimer::timeout, this, &Form1::ShowPlayback);

    for (int i = 0; i < int(Command6.size()); ++i)
        connect(Command6[i], &QPushButton::clicked, this, [this, i] { Command6_Click(i); });
    connect(Check1, &QCheckBox::toggled, this, &Form1::Check1_Click);
    connect(Combo3, &QComboBox::currentIndexChanged, this, &Form1::Combo3_Click);
    connect(Text4, &QLineEdit::editingFinished, this, &Form1::Text4_LostFocus);
    connect(Text5, &QLineEdit::editingFinished, this, &Form1::Text5_LostFocus);
    connect(Picture1, &WaveformView::clicked, this, &Form1::Picture1_Click);
    connect(m_document, &ListDocument::changed, this, &Form1::musicListChanged);

    connect(MediaPlayer1, &PlaybackClock::playingChanged, this, [this](bool playing) {
        Command6[1]->setText(playing ? QStringLiteral("Pause") : QStringLiteral("Abspielen"));
        Picture1->setPlaying(playing);
        if (playing)
            m_playTimer->start();
        else
            m_playTimer->stop();
        ShowPlayback();
    });
    connect(MediaPlayer1, &PlaybackClock::durationChanged, this, [this](qint64 duration) {
        Picture1->setMusic(duration, m_waveform);
        showMusicState();
    });
    connect(MediaPlayer1, &PlaybackClock::failed, this, [this](const QString& reason) {
        m_musicProblem = QFileInfo(m_musicShown).fileName() + QStringLiteral(": ") + reason;
        showMusicState();
    });
    connect(WaveReader1, &WaveformReader::progress, this, [this](int percent) {
        m_musicPercent = percent;
        showMusicState();
    });
    connect(WaveReader1, &WaveformReader::finished, this, [this](std::shared_ptr<const Waveform> waveform) {
        m_waveform = std::move(waveform);
        m_musicPercent = 100;
        const qint64 duration
            = MediaPlayer1->duration() > 0 ? MediaPlayer1->duration() : m_waveform->durationMs;
        Picture1->setMusic(duration, m_waveform);
        showMusicState();
    });
    connect(WaveReader1, &WaveformReader::failed, this, [this](const QString& reason) {
        m_musicProblem = QFileInfo(m_musicShown).fileName() + QStringLiteral(": ") + reason;
        MediaPlayer1->setSource(QString());
        showMusicState();
    });

    // The space bar taps anywhere on the page, whichever element has the focus.
    frame->installEventFilter(this);
    for (QWidget* w : frame->findChildren<QWidget*>())
        w->installEventFilter(this);

    Combo3_Click();
    showMusicState();
}

// While the window is still whole: closing it moves the focus out of the fields, and the player may
// report once more as it stops; neither may reach a window half torn down.
void Form1::teardownMusic()
{
    m_playTimer->stop();
    for (QObject* sender : std::initializer_list<QObject*> {
             Text4, Text5, Check1, Combo3, Picture1, MediaPlayer1, WaveReader1, m_playTimer })
        sender->disconnect(this);
    disconnect(m_document, &ListDocument::changed, this, &Form1::musicListChanged);
}

bool Form1::filterMusicEvent(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || !Frame1[3] || (widget != Frame1[3] && !Frame1[3]->isAncestorOf(widget)))
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (isSpace(key) && Check1->isChecked()) {
        // Taken before the focused button, box or field sees it; a held key taps once.
        if (type == QEvent::ShortcutOverride)
            event->accept();
        else if (type == QEvent::KeyPress && !key->isAutoRepeat())
            TapShot();
        return true;
    }
    if (watched == Picture1 && type == QEvent::KeyPress) {
        const int code = key->key();
        if (code == Qt::Key_Left || code == Qt::Key_Right || code == Qt::Key_Delete || code == Qt::Key_Plus
            || code == Qt::Key_Minus || code == Qt::Key_Equal) {
            Picture1_KeyDown(code);
            return true;
        }
    }
    return false;
}

void Form1::Command6_Click(int Index)
{
    switch (Index) {
    case 0:
        chooseMusic();
        break;
    case 1:
        if (MediaPlayer1->isPlaying())
            MediaPlayer1->pause();
        else
            MediaPlayer1->play();
        break;
    case 2:
        MediaPlayer1->stop();
        ShowPlayback();
        break;
    case 3:
        Picture1->zoomIn();
        break;
    case 4:
        Picture1->zoomOut();
        break;
    }
}

// Opens the file box, so the music pauses first: no box while it plays.
void Form1::chooseMusic()
{
    MediaPlayer1->pause();
    const ListMeta& meta = m_document->meta();
    QString start = CurrentFolder.isEmpty() ? QDir::currentPath() : CurrentFolder;
    if (!meta.musicPath.isEmpty())
        start = QFileInfo(meta.musicPath).absolutePath();
    else if (!meta.sourcePath.isEmpty())
        start = QFileInfo(meta.sourcePath).absolutePath();
    const quint64 seen = m_document->revision();
    const std::optional<QString> chosen
        = prompter().chooseFile(Prompter::FileChoice::Open, MusicTitle, start, MusicFilter);
    if (!chosen)
        return;
    const QString path = QFileInfo(*chosen).absoluteFilePath();
    if (!IsStorableLine(path)) {
        const QString character = FirstUnstorableCharacter(path);
        const QString what = character.isEmpty() ? QStringLiteral("einen Zeilenumbruch")
                                                 : QStringLiteral("das Zeichen ") + CharacterName(character);
        prompter().message(MusicTitle,
            QStringLiteral(
                "Der Pfad %1 enthält %2: das kann eine Listendatei nicht speichern. Bitte die Musik "
                "umbenennen oder in einen anderen Ordner legen.")
                .arg(shownPath(path), what),
            Prompter::Buttons::Ok, Prompter::Answer::Ok, Prompter::Icon::Warning);
        return;
    }
    if (path == meta.musicPath) {
        // The same file again: read it anew (it may have been missing or changed).
        loadMusic(path);
        return;
    }
    // A list replaced while the box was open keeps its own music.
    if (!m_document->setMusic(seen, path))
        showMusicNotice(
            QStringLiteral("Die Liste hat sich geändert, während die Dateiauswahl offen war: Musik nicht "
                           "übernommen."));
}

void Form1::loadMusic(const QString& path)
{
    m_musicShown = path;
    WaveReader1->cancel();
    m_waveform.reset();
    m_musicProblem.clear();
    m_musicPercent = -1;
    Picture1->setMusic(0, nullptr);
    if (!path.isEmpty() && !QFileInfo(path).isFile()) {
        m_musicProblem = QStringLiteral("Musik nicht gefunden: ") + shownPath(path);
        MediaPlayer1->setSource(QString());
    } else {
        MediaPlayer1->setSource(path);
        if (!path.isEmpty())
            WaveReader1->read(path);
    }
    showMusicState();
    ShowPlayback();
}

void Form1::ShowMusic()
{
    const ListMeta& meta = m_document->meta();
    if (meta.musicPath != m_musicShown)
        loadMusic(meta.musicPath);
    if (!Text4->hasFocus() || !Text4->isModified())
        Text4->setText(MusicStartText(meta.musicStartTenths));
    Picture1->setMusicStart(meta.musicStartTenths);
}

void Form1::showMusicState()
{
    QString text;
    const bool hasMusic = !m_musicShown.isEmpty() && m_musicProblem.isEmpty();
    if (m_musicShown.isEmpty()) {
        text = QStringLiteral("Keine Musik gewählt.");
    } else if (!m_musicProblem.isEmpty()) {
        text = m_musicProblem;
    } else {
        text = QFileInfo(m_musicShown).fileName();
        const qint64 length = MediaPlayer1->duration() > 0 ? MediaPlayer1->duration()
                                                           : (m_waveform ? m_waveform->durationMs : 0);
        if (length > 0)
            text += QStringLiteral("   ") + TrackLength(length);
        if (!m_waveform)
            text += m_musicPercent >= 0 ? QStringLiteral("   wird gelesen … %1 %").arg(m_musicPercent)
                                        : QStringLiteral("   wird gelesen …");
    }
    Label12->setText(Label12->fontMetrics().elidedText(text, Qt::ElideMiddle, Label12->width()));
    Label12->setToolTip(m_musicShown.isEmpty() ? QString() : shownPath(m_musicShown));
    Command6[1]->setEnabled(hasMusic);
    Command6[2]->setEnabled(hasMusic);
}

void Form1::musicListChanged()
{
    Picture1->listChanged();
    if (!m_musicChanging)
        Picture1->setSelectedSlot(-1);
    ShowMusic();
    showNextCircuit();
    ShowPlayback();
}

void Form1::ShowPlayback()
{
    const qint32 start = m_document->meta().musicStartTenths;
    const bool music = !MediaPlayer1->source().isEmpty();
    const qint64 show = music ? ShowTimeMs(MediaPlayer1->position(), start) : Picture1->cursorTime();
    Picture1->setCursorTime(show);
    const QString clock = QStringLiteral("Showzeit ") + ShowClock(show);
    if (clock != Label14->text())
        Label14->setText(clock);
    const QString next = NextShotText(list(), m_document->entryCount(), show);
    if (next != Label15->text())
        Label15->setText(next);
}

void Form1::showMusicNotice(const QString& text) { Label13->setText(text); }

void Form1::showNextCircuit()
{
    const int device = Combo3->currentIndex();
    Label17->setText(
        NextCircuitText(device, NextFreeCircuit(list(), m_document->entryCount(), device, m_tapFrom)));
}

void Form1::Check1_Click()
{
    showMusicNotice(Check1->isChecked() ? QStringLiteral(
                        "Tippen: Während die Musik spielt, setzt jede Leertaste einen Schuss auf die volle "
                        "Sekunde.")
                                        : QString());
}

void Form1::Combo3_Click()
{
    m_tapFrom = qBound(0, m_tapFrom, CircuitNumbers(Combo3->currentIndex()) - 1);
    Text5->setText(QString::number(m_tapFrom));
    showNextCircuit();
}

void Form1::Text5_LostFocus()
{
    bool ok = false;
    const int typed = Text5->text().trimmed().toInt(&ok);
    const int last = CircuitNumbers(Combo3->currentIndex()) - 1;
    if (!ok) {
        showMusicNotice(QStringLiteral("„%1“ ist keine Zündkreis-Nummer: getippt wird weiter ab %2.")
                            .arg(Text5->text())
                            .arg(m_tapFrom));
    } else if (typed < 0 || typed > last) {
        m_tapFrom = qBound(0, typed, last);
        showMusicNotice(QStringLiteral("Zündkreis-Nummern gehen von 0 bis %1: getippt wird ab %2.")
                            .arg(last)
                            .arg(m_tapFrom));
    } else {
        m_tapFrom = typed;
    }
    Text5->setText(QString::number(m_tapFrom));
    showNextCircuit();
}

void Form1::Text4_LostFocus()
{
    const qint32 stored = m_document->meta().musicStartTenths;
    const MusicStartInput input = ReadMusicStart(Text4->text());
    switch (input.kind) {
    case MusicStartInput::Kind::NotANumber:
        showMusicNotice(QStringLiteral("„%1“ ist keine Zahl: Musikbeginn bleibt %2 s.")
                            .arg(Text4->text(), MusicStartText(stored)));
        Text4->setText(MusicStartText(stored));
        return;
    case MusicStartInput::Kind::Rounded:
        showMusicNotice(QStringLiteral("Musikbeginn auf Zehntelsekunden gerundet: %1 s.")
                            .arg(MusicStartText(input.tenths)));
        break;
    case MusicStartInput::Kind::Clamped:
        showMusicNotice(QStringLiteral("Musikbeginn begrenzt auf %1 s.").arg(MusicStartText(input.tenths)));
        break;
    case MusicStartInput::Kind::Exact:
        break;
    }
    Text4->setText(MusicStartText(input.tenths));
    Text4->setModified(false);
    if (input.tenths != stored)
        m_document->setMusicStart(m_document->revision(), input.tenths);
}

void Form1::Picture1_Click(double Seconds, int Slot)
{
    if (Slot >= 0) {
        Picture1->setSelectedSlot(Slot);
        showMusicNotice(
            QStringLiteral("Eintrag %1 gewählt: ← und → verschieben ihn um eine Sekunde, Entf löscht ihn.")
                .arg(Slot + 1));
        return;
    }
    Picture1->setSelectedSlot(-1);
    const qint64 show = qint64(std::llround(Seconds * 1000));
    if (!MediaPlayer1->source().isEmpty())
        MediaPlayer1->seek(MusicPositionMs(show, m_document->meta().musicStartTenths));
    else
        Picture1->setCursorTime(show);
    ShowPlayback();
}

void Form1::Picture1_KeyDown(int KeyCode)
{
    if (KeyCode == Qt::Key_Plus || KeyCode == Qt::Key_Equal) {
        Picture1->zoomIn();
        return;
    }
    if (KeyCode == Qt::Key_Minus) {
        Picture1->zoomOut();
        return;
    }
    const int slot = Picture1->selectedSlot();
    if (slot < 0) {
        showMusicNotice(
            QStringLiteral("Erst eine Marke anklicken: ← und → verschieben sie, Entf löscht sie."));
        return;
    }
    const QScopedValueRollback<bool> own(m_musicChanging, true);
    if (KeyCode == Qt::Key_Delete) {
        const QString what = QStringLiteral("Eintrag %1 (%2, %3)")
                                 .arg(slot + 1)
                                 .arg(FormatClock(list().times[slot]), CircuitLabel(list().circuits[slot]));
        if (m_document->deleteEntry(m_document->revision(), slot)) {
            Picture1->setSelectedSlot(-1);
            showMusicNotice(what + QStringLiteral(" gelöscht – Strg+Z holt ihn zurück."));
        }
        return;
    }
    const std::optional<MoveOutcome> outcome
        = m_document->moveEntry(m_document->revision(), slot, KeyCode == Qt::Key_Left ? -1 : 1);
    if (outcome)
        showMusicNotice(MoveNotice(*outcome, list(), slot));
}

// Stamped the moment the key is handled: the player's position runs on by the clock between its reports.
void Form1::TapShot()
{
    if (!MediaPlayer1->isPlaying()) {
        showMusicNotice(QStringLiteral("Tippen geht nur, während die Musik spielt: erst „Abspielen“."));
        return;
    }
    const qint64 show = ShowTimeMs(MediaPlayer1->position(), m_document->meta().musicStartTenths);
    TapStampMs = show;
    const qint64 second = TapSecond(show);
    const int device = Combo3->currentIndex();
    const std::optional<int> number = NextFreeCircuit(list(), m_document->entryCount(), device, m_tapFrom);
    if (!number) {
        showMusicNotice(NoFreeCircuitNotice(device, second));
        return;
    }
    const QScopedValueRollback<bool> own(m_musicChanging, true);
    int row = -1;
    const qint32 at = qint32(std::clamp<qint64>(second, -1, LastValidTime + 1));
    const std::optional<TapOutcome> outcome
        = m_document->tapEntry(m_document->revision(), at, qint16(device * 32 + *number), &row);
    if (!outcome)
        return;
    if (*outcome == TapOutcome::Added)
        Picture1->setSelectedSlot(row);
    showMusicNotice(TapNotice(*outcome, list(), row, second));
}
