#include "rehearsal_page.h"

#include "effects/burst_timing.h"
#include "effects/catalogue_store.h"
#include "music/playback_clock.h"
#include "music/show_time.h"
#include "music/tap_calibration.h"
#include "music/tapping.h"
#include "music/waveform_reader.h"
#include "player_controls.h"
#include "prompter.h"
#include "shotlist/list_document.h"
#include "shotlist/stored_text.h"
#include "tap_calibration_dialog.h"
#include "waveform_view.h"
#include "widgets.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

template <typename T> T* make(QWidget* parent, const QString& name)
{
    auto* w = new T(parent);
    w->setObjectName(name);
    return w;
}

QLabel* makeLine(QWidget* parent, const QString& name)
{
    auto* label = make<QLabel>(parent, name);
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

QHBoxLayout* row(QVBoxLayout* page)
{
    auto* line = new QHBoxLayout;
    line->setSpacing(6);
    page->addLayout(line);
    return line;
}

} // namespace

RehearsalPage::RehearsalPage(ListDocument& document, QWidget* parent)
    : QFrame(parent)
    , m_document(document)
{
    setObjectName(QStringLiteral("Frame1_3"));
    buildPage();
    connectPlayer();

    // The space bar taps anywhere on the page, whichever element has the focus.
    installEventFilter(this);
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);

    Combo3_Click();
    showEffectNames();
    showSky();
    showMusicState();
    ShowPlayback();
}

RehearsalPage::~RehearsalPage() { teardown(); }

// The controls stand in rows around the picture, which takes the room the page has.
void RehearsalPage::buildPage()
{
    Command6[0] = make<QPushButton>(this, QStringLiteral("Command6_0"));
    Command6[0]->setText(QStringLiteral("Musik wählen…"));
    Command6[0]->setMinimumSize(130, 25);
    Label12 = new ElidedLabel(this, Qt::ElideMiddle);
    Label12->setObjectName(QStringLiteral("Label12"));
    Label12->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Picture1 = new WaveformView(m_document, this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    Picture1->setMinimumHeight(150);
    HScroll1 = make<QScrollBar>(this, QStringLiteral("HScroll1"));
    HScroll1->setOrientation(Qt::Horizontal);
    Picture1->attachScrollBar(HScroll1);
    Command6[3] = make<QPushButton>(this, QStringLiteral("Command6_3"));
    Command6[3]->setText(QStringLiteral("+"));
    Command6[3]->setToolTip(QStringLiteral("Vergrößern (+, Strg+Mausrad)"));
    Command6[4] = make<QPushButton>(this, QStringLiteral("Command6_4"));
    Command6[4]->setText(QStringLiteral("\u2212"));
    Command6[4]->setToolTip(QStringLiteral("Verkleinern (\u2212, Strg+Mausrad)"));
    for (int i : { 3, 4 })
        Command6[i]->setFixedSize(27, 23);
    Label13 = make<QLabel>(this, QStringLiteral("Label13"));
    Label13->setWordWrap(true);
    Label13->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label13->setFixedHeight(2 * fontMetrics().lineSpacing() + 4);
    Label13->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);

    m_controls = new PlayerControls(this);
    Command6[1] = m_controls->playButton();
    Command6[2] = m_controls->stopButton();
    Label14 = makeLine(this, QStringLiteral("Label14"));
    QFont clockFont = Label14->font();
    clockFont.setPointSizeF(clockFont.pointSizeF() * 1.3);
    clockFont.setBold(true);
    Label14->setFont(clockFont);
    Label14->setMinimumWidth(
        QFontMetrics(clockFont).horizontalAdvance(QStringLiteral("Showzeit −00:00:00")) + 4);
    Label16 = makeLine(this, QStringLiteral("Label16"));
    Label16->setText(QStringLiteral("Musikbeginn"));
    Label16->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Text4 = make<QLineEdit>(this, QStringLiteral("Text4"));
    Text4->setFixedWidth(66);
    Text4->setToolTip(QStringLiteral("Wo die Musik in der Showzeit beginnt, in Sekunden mit Zehnteln; -3,0: "
                                     "3 s vor dem Start der Sequenz"));
    Label18 = makeLine(this, QStringLiteral("Label18"));
    Label18->setText(QStringLiteral("s"));
    Label15 = new ElidedLabel(this);
    Label15->setObjectName(QStringLiteral("Label15"));
    Label15->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    Check1 = make<QCheckBox>(this, QStringLiteral("Check1"));
    Check1->setText(QStringLiteral("Tippen"));
    Check1->setToolTip(QStringLiteral("Während die Musik spielt, setzt jede Leertaste einen Schuss"));
    Combo3 = make<QComboBox>(this, QStringLiteral("Combo3"));
    for (int device = 0; device < 8; ++device)
        Combo3->addItem(TimelineLaneName(device));
    Text5 = make<QLineEdit>(this, QStringLiteral("Text5"));
    Text5->setFixedWidth(40);
    Text5->setText(QStringLiteral("0"));
    Text5->setToolTip(QStringLiteral("Zündkreis-Nummer, ab der getippt wird"));
    Label17 = new ElidedLabel(this);
    Label17->setObjectName(QStringLiteral("Label17"));
    Label17->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Combo20 = make<QComboBox>(this, QStringLiteral("Combo20"));
    Combo20->setEditable(true);
    Combo20->setInsertPolicy(QComboBox::NoInsert);
    Combo20->setMinimumWidth(150);
    Combo20->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    Combo20->setMinimumContentsLength(14);
    Combo20->lineEdit()->setPlaceholderText(QStringLiteral("Effekt (leer: Zündung)"));
    Combo20->completer()->setCaseSensitivity(Qt::CaseInsensitive);
    Combo20->completer()->setFilterMode(Qt::MatchContains);
    Combo20->completer()->setCompletionMode(QCompleter::PopupCompletion);
    Combo20->setToolTip(
        QStringLiteral("Der Effekt, den die nächsten Taps setzen: getippt wird, wann er zu sehen "
                       "sein soll, gezündet wird um seinen Vorlauf früher. Leer: der Tap "
                       "setzt die Zündung."));

    Label30 = new ElidedLabel(this);
    Label30->setObjectName(QStringLiteral("Label30"));
    Label30->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Label31 = new ElidedLabel(this);
    Label31->setObjectName(QStringLiteral("Label31"));
    Label31->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Label32 = makeLine(this, QStringLiteral("Label32"));
    Label32->setText(QStringLiteral("Pause ab"));
    Label32->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Spin20 = make<QSpinBox>(this, QStringLiteral("Spin20"));
    Spin20->setRange(1, 600);
    Spin20->setValue(int(DefaultSkyGapMs / 1000));
    Spin20->setSuffix(QStringLiteral(" s"));
    Spin20->setToolTip(
        QStringLiteral("Längere Strecken ohne Effekt am Himmel werden schattiert und genannt"));
    Command20 = make<QPushButton>(this, QStringLiteral("Command20"));
    Command20->setText(QStringLiteral("An die Musik anpassen"));
    Command20->setToolTip(
        QStringLiteral("Jeder Eintrag mit Ziel bekommt die Zündsekunde, deren Effekt dem Ziel "
                       "am nächsten liegt"));
    Command21 = make<QPushButton>(this, QStringLiteral("Command21"));
    Command21->setText(QStringLiteral("Besten Musikbeginn finden"));
    Command21->setToolTip(
        QStringLiteral("Probiert jede Zehntelsekunde bis eine Sekunde um den Musikbeginn und "
                       "schlägt den mit der kleinsten Abweichung vor"));

    // Room for the whole text with the style's margins, which the style's own hint may leave short.
    for (QPushButton* button : { Command20, Command21 }) {
        const int margins = 2
            * (button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button)
                + button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button));
        button->setMinimumWidth(button->fontMetrics().horizontalAdvance(button->text()) + margins + 2);
    }

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(8, 8, 8, 8);
    page->setSpacing(4);
    QHBoxLayout* music = row(page);
    music->addWidget(Command6[0]);
    music->addWidget(Label12, 1);
    page->addWidget(Picture1, 1);
    QHBoxLayout* scroll = row(page);
    scroll->setSpacing(2);
    scroll->addWidget(HScroll1, 1);
    scroll->addWidget(Command6[3]);
    scroll->addWidget(Command6[4]);
    // The deviation and the dead air share a row, so the picture keeps its height.
    QHBoxLayout* sky = row(page);
    sky->addWidget(Label30, 1);
    sky->addWidget(Label31, 1);
    sky->addWidget(Label32);
    sky->addWidget(Spin20);
    page->addWidget(Label13);
    QHBoxLayout* play = row(page);
    play->addWidget(m_controls);
    play->addSpacing(6);
    play->addWidget(Label14);
    play->addStretch(1);
    play->addWidget(Label16);
    play->addWidget(Text4);
    play->addWidget(Label18);
    QHBoxLayout* next = row(page);
    next->addWidget(Label15, 1);
    next->addWidget(Command20);
    next->addWidget(Command21);
    QHBoxLayout* tap = row(page);
    tap->addWidget(Check1);
    tap->addWidget(Combo20);
    tap->addWidget(Combo3);
    tap->addWidget(Text5);
    tap->addSpacing(4);
    tap->addWidget(Label17, 1);
    buildTapCalibration(page);

    const QList<QWidget*> order { Command6[0], Picture1, HScroll1, Command6[3], Command6[4], Command20,
        Command21, Spin20, Command6[1], Command6[2], Text4, Check1, Combo20, Combo3, Text5 };
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void RehearsalPage::connectPlayer()
{
    MediaPlayer1 = new PlaybackClock(this);
    WaveReader1 = new WaveformReader(this);
    m_playTimer = new QTimer(this);
    m_playTimer->setTimerType(Qt::PreciseTimer);
    m_playTimer->setInterval(CursorStepMs);
    connect(m_playTimer, &QTimer::timeout, this, &RehearsalPage::ShowPlayback);

    for (int i : { 0, 3, 4 })
        connect(Command6[i], &QPushButton::clicked, this, [this, i] { Command6_Click(i); });
    connect(m_controls, &PlayerControls::play, MediaPlayer1, &PlaybackClock::play);
    connect(m_controls, &PlayerControls::pause, MediaPlayer1, &PlaybackClock::pause);
    connect(m_controls, &PlayerControls::stop, this, [this] { Command6_Click(2); });
    connect(Check1, &QCheckBox::toggled, this, &RehearsalPage::Check1_Click);
    connect(Combo3, &QComboBox::currentIndexChanged, this, &RehearsalPage::Combo3_Click);
    connect(Text4, &QLineEdit::editingFinished, this, &RehearsalPage::Text4_LostFocus);
    connect(Text5, &QLineEdit::editingFinished, this, &RehearsalPage::Text5_LostFocus);
    connect(Combo20->lineEdit(), &QLineEdit::editingFinished, this, &RehearsalPage::Combo20_Change);
    connect(Combo20, &QComboBox::activated, this, &RehearsalPage::Combo20_Change);
    connect(Command20, &QPushButton::clicked, this, &RehearsalPage::Command20_Click);
    connect(Command21, &QPushButton::clicked, this, &RehearsalPage::Command21_Click);
    connect(Spin20, &QSpinBox::valueChanged, this, &RehearsalPage::Spin20_Change);
    connect(Picture1, &WaveformView::clicked, this, &RehearsalPage::Picture1_Click);
    connect(&m_document, &ListDocument::changed, this, &RehearsalPage::musicListChanged);

    connect(MediaPlayer1, &PlaybackClock::playingChanged, this, [this](bool playing) {
        m_controls->setPlaying(playing);
        Picture1->setPlaying(playing);
        if (playing)
            m_playTimer->start();
        else
            m_playTimer->stop();
        ShowPlayback();
    });
    connect(MediaPlayer1, &PlaybackClock::durationChanged, this, [this](qint64 duration) {
        Picture1->setMusic(duration, m_waveform);
        Picture1->showCursor();
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
        Picture1->showCursor();
        showMusicState();
    });
    connect(WaveReader1, &WaveformReader::failed, this, [this](const QString& reason) {
        m_musicProblem = QFileInfo(m_musicShown).fileName() + QStringLiteral(": ") + reason;
        MediaPlayer1->setSource(QString());
        showMusicState();
    });
}

// While the window is still whole: closing it moves the focus out of the fields, and the player may
// report once more as it stops; neither may reach a window half torn down.
void RehearsalPage::teardown()
{
    if (!m_playTimer)
        return;
    m_playTimer->stop();
    for (QObject* sender :
        std::initializer_list<QObject*> { Text4, Text5, Check1, Combo3, Combo20, Combo20->lineEdit(),
            Command20, Command21, Spin20, Picture1, MediaPlayer1, WaveReader1, m_playTimer })
        sender->disconnect(this);
    if (m_catalogue)
        m_catalogue->model().disconnect(this);
    disconnect(&m_document, &ListDocument::changed, this, &RehearsalPage::musicListChanged);
    m_playTimer = nullptr;
}

bool RehearsalPage::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
        return QFrame::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    // The effect's name may have spaces: typed into its field they are text until the music plays.
    const bool typingEffect
        = (watched == Combo20 || watched == Combo20->lineEdit()) && !MediaPlayer1->isPlaying();
    if (isSpace(key) && Check1->isChecked() && !typingEffect) {
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
    return QFrame::eventFilter(watched, event);
}

void RehearsalPage::showEntry(int slot)
{
    if (slot != Picture1->selectedSlot())
        Picture1->setSelectedSlot(slot);
}

// The picture's selection is also the line of List2.
void RehearsalPage::selectMark(int slot)
{
    Picture1->setSelectedSlot(slot);
    if (slot >= 0)
        emit markChosen(slot);
}

void RehearsalPage::Command6_Click(int Index)
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
void RehearsalPage::chooseMusic()
{
    MediaPlayer1->pause();
    const ListMeta& meta = m_document.meta();
    const QString folder = m_folder ? m_folder() : QString();
    QString start = folder.isEmpty() ? QDir::currentPath() : folder;
    if (!meta.musicPath.isEmpty())
        start = QFileInfo(meta.musicPath).absolutePath();
    else if (!meta.sourcePath.isEmpty())
        start = QFileInfo(meta.sourcePath).absolutePath();
    const quint64 seen = m_document.revision();
    const std::optional<QString> chosen
        = m_prompter->chooseFile(Prompter::FileChoice::Open, MusicTitle, start, MusicFilter);
    if (!chosen)
        return;
    const QString path = QFileInfo(*chosen).absoluteFilePath();
    if (!IsStorableLine(path)) {
        const QString character = FirstUnstorableCharacter(path);
        const QString what = character.isEmpty() ? QStringLiteral("einen Zeilenumbruch")
                                                 : QStringLiteral("das Zeichen ") + CharacterName(character);
        m_prompter->message(MusicTitle,
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
    if (!m_document.setMusic(seen, path))
        showMusicNotice(
            QStringLiteral("Die Liste hat sich geändert, während die Dateiauswahl offen war: Musik nicht "
                           "übernommen."));
}

void RehearsalPage::loadMusic(const QString& path)
{
    m_musicShown = path;
    WaveReader1->cancel();
    m_waveform.reset();
    m_musicProblem.clear();
    m_musicPercent = -1;
    Picture1->setMusic(0, nullptr);
    m_startShown = m_document.meta().musicStartTenths;
    Picture1->setCursorTime(ShowTimeMs(0, m_startShown));
    Picture1->showCursor();
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

void RehearsalPage::ShowMusic()
{
    const ListMeta& meta = m_document.meta();
    if (meta.musicPath != m_musicShown)
        loadMusic(meta.musicPath);
    if (!Text4->hasFocus() || !Text4->isModified())
        Text4->setText(MusicStartText(meta.musicStartTenths));
    Picture1->setMusicStart(meta.musicStartTenths);
    if (meta.musicStartTenths != m_startShown) {
        // Without music the cursor stands where the music would start, as it does at the music's start.
        m_startShown = meta.musicStartTenths;
        if (MediaPlayer1->source().isEmpty())
            Picture1->setCursorTime(ShowTimeMs(0, m_startShown));
    }
}

void RehearsalPage::showMusicState()
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
    Label12->setText(text);
    Label12->setToolTip(m_musicShown.isEmpty() ? QString() : shownPath(m_musicShown));
    m_controls->setMusicReady(hasMusic);
}

void RehearsalPage::musicListChanged()
{
    Picture1->listChanged();
    if (!m_musicChanging)
        Picture1->setSelectedSlot(-1);
    else if (Picture1->selectedSlot() >= 0)
        emit markChosen(Picture1->selectedSlot());
    // A deletion undone (or the list replaced) leaves nothing for its notice to speak of.
    if (m_deletedAt != 0 && m_document.revision() != m_deletedAt) {
        m_deletedAt = 0;
        showMusicNotice(QString());
    }
    ShowMusic();
    showNextCircuit();
    showEffectNames();
    showSky();
    ShowPlayback();
}

void RehearsalPage::ShowPlayback()
{
    const qint32 start = m_document.meta().musicStartTenths;
    const bool music = !MediaPlayer1->source().isEmpty();
    const qint64 show = music ? ShowTimeMs(MediaPlayer1->position(), start) : Picture1->cursorTime();
    Picture1->setCursorTime(show);
    const QString clock = QStringLiteral("Showzeit ") + ShowClock(show);
    if (clock != Label14->text())
        Label14->setText(clock);
    const QString next = NextShotText(m_document.list(), m_document.entryCount(), show);
    if (next != Label15->text())
        Label15->setText(next);
}

void RehearsalPage::showMusicNotice(const QString& text)
{
    m_deletedAt = 0;
    Label13->setText(text);
}

void RehearsalPage::showNextCircuit()
{
    const int device = Combo3->currentIndex();
    Label17->setText(NextCircuitText(
        device, NextFreeCircuit(m_document.list(), m_document.entryCount(), device, m_tapFrom)));
}

void RehearsalPage::Check1_Click()
{
    if (Check1->isChecked() && !Combo20->currentText().trimmed().isEmpty()) {
        Combo20_Change();
        return;
    }
    showMusicNotice(Check1->isChecked() ? QStringLiteral(
                        "Tippen: Während die Musik spielt, setzt jede Leertaste einen Schuss auf die volle "
                        "Sekunde.")
                                        : QString());
}

void RehearsalPage::Combo3_Click()
{
    m_tapFrom = qBound(0, m_tapFrom, CircuitNumbers(Combo3->currentIndex()) - 1);
    Text5->setText(QString::number(m_tapFrom));
    showNextCircuit();
}

void RehearsalPage::Text5_LostFocus()
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

void RehearsalPage::Text4_LostFocus()
{
    const qint32 stored = m_document.meta().musicStartTenths;
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
        m_document.setMusicStart(m_document.revision(), input.tenths);
}

void RehearsalPage::Picture1_Click(double Seconds, int Slot)
{
    if (Slot >= 0) {
        selectMark(Slot);
        QString text
            = QStringLiteral("Eintrag %1 gewählt: ← und → verschieben ihn um eine Sekunde, Entf löscht ihn.")
                  .arg(Slot + 1);
        const QString target = selectedMarkText(Slot);
        if (!target.isEmpty())
            text += QLatin1Char(' ') + target;
        showMusicNotice(text);
        return;
    }
    Picture1->setSelectedSlot(-1);
    const qint64 show = qint64(std::llround(Seconds * 1000));
    if (!MediaPlayer1->source().isEmpty())
        MediaPlayer1->seek(MusicPositionMs(show, m_document.meta().musicStartTenths));
    else
        Picture1->setCursorTime(show);
    ShowPlayback();
}

void RehearsalPage::Picture1_KeyDown(int KeyCode)
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
                                 .arg(FormatClock(m_document.list().times[slot]),
                                     CircuitLabel(m_document.list().circuits[slot]));
        if (m_document.deleteEntry(m_document.revision(), slot)) {
            Picture1->setSelectedSlot(-1);
            showMusicNotice(what + QStringLiteral(" gelöscht – Strg+Z holt ihn zurück."));
            m_deletedAt = m_document.revision();
        }
        return;
    }
    const std::optional<MoveOutcome> outcome
        = m_document.moveEntry(m_document.revision(), slot, KeyCode == Qt::Key_Left ? -1 : 1);
    if (!outcome)
        return;
    QString text = MoveNotice(*outcome, m_document.list(), slot);
    const QString target = selectedMarkText(slot);
    if (!target.isEmpty())
        text += QLatin1Char(' ') + target;
    showMusicNotice(text);
}

// Stamped the moment the key is handled: the player's position runs on by the clock between its reports.
void RehearsalPage::TapShot()
{
    if (!MediaPlayer1->isPlaying()) {
        showMusicNotice(QStringLiteral("Tippen geht nur, während die Musik spielt: erst „Abspielen“."));
        return;
    }
    const qint64 heard = MediaPlayer1->position() - m_tapOffsetMs;
    const qint64 show = ShowTimeMs(heard, m_document.meta().musicStartTenths);
    TapStampMs = show;
    if (!Combo20->currentText().trimmed().isEmpty()) {
        tapEffect(show);
        return;
    }
    const qint64 second = TapSecond(show);
    const int device = Combo3->currentIndex();
    const std::optional<int> number
        = NextFreeCircuit(m_document.list(), m_document.entryCount(), device, m_tapFrom);
    if (!number) {
        showMusicNotice(NoFreeCircuitNotice(device, second));
        return;
    }
    const QScopedValueRollback<bool> own(m_musicChanging, true);
    int row = -1;
    const qint32 at = qint32(std::clamp<qint64>(second, -1, LastValidTime + 1));
    const std::optional<TapOutcome> outcome
        = m_document.tapEntry(m_document.revision(), at, qint16(device * 32 + *number), &row);
    if (!outcome)
        return;
    if (*outcome == TapOutcome::Added)
        selectMark(row);
    showMusicNotice(TapNotice(*outcome, m_document.list(), row, second));
}

void RehearsalPage::setCatalogue(CatalogueStore* catalogue)
{
    if (m_catalogue)
        m_catalogue->model().disconnect(this);
    m_catalogue = catalogue;
    if (m_catalogue)
        connect(
            &m_catalogue->model(), &CatalogueModel::catalogueChanged, this, &RehearsalPage::showEffectNames);
    showEffectNames();
}

// The catalogue's names and the list's own, in one order; the text being typed stays.
void RehearsalPage::showEffectNames()
{
    QStringList names;
    if (m_catalogue) {
        for (const EffectData& effect : m_catalogue->model().catalogue().effects())
            names.append(effect.name);
    }
    const ShotList& list = m_document.list();
    for (int slot = 0; slot < m_document.entryCount(); ++slot) {
        if (!list.effects[slot].trimmed().isEmpty())
            names.append(list.effects[slot].trimmed());
    }
    for (const QString& name : m_document.meta().effectData.keys())
        names.append(name);
    names.sort(Qt::CaseInsensitive);
    names.removeDuplicates();
    if (names == m_effectNames)
        return;
    m_effectNames = names;
    const QString typed = Combo20->currentText();
    const QSignalBlocker quiet(Combo20);
    Combo20->clear();
    Combo20->addItems(names);
    Combo20->setCurrentIndex(-1);
    Combo20->setEditText(typed);
}

void RehearsalPage::showSky()
{
    const QList<SkyMark>& marks = Picture1->skyMarks();
    const std::optional<DeviationSummary> summary = Deviations(marks);
    Label30->setText(summary ? DeviationText(*summary) : QStringLiteral("Keine Einträge mit Ziel."));
    Label30->setToolTip(Label30->text());
    const QString gaps = SkyGapsText(Picture1->skyGaps());
    const bool anySeen = std::any_of(marks.begin(), marks.end(), [](const SkyMark&) { return true; });
    Label31->setText(!gaps.isEmpty() ? gaps
            : anySeen ? QStringLiteral("Keine Pause im Himmel über %1 s.").arg(Spin20->value())
                      : QString());
    Label31->setToolTip(gaps);
}

void RehearsalPage::Spin20_Change()
{
    Picture1->setGapThreshold(qint64(Spin20->value()) * 1000);
    showSky();
}

QString RehearsalPage::selectedMarkText(int slot) const
{
    const QList<SkyMark>& marks = Picture1->skyMarks();
    if (slot < 0 || slot >= marks.size())
        return QString();
    const QString target = TargetText(marks[slot]);
    return target.isEmpty() ? QString() : target + QLatin1Char('.');
}

RehearsalPage::TapEffect RehearsalPage::effectToTap() const
{
    TapEffect tap;
    tap.name = Combo20->currentText().trimmed();
    if (tap.name.isEmpty())
        return tap;
    const QString refusal = EffectRefusal(tap.name);
    if (!refusal.isEmpty()) {
        tap.problem = refusal;
        return tap;
    }
    const EffectDataMap& own = m_document.meta().effectData;
    const auto listed = own.constFind(tap.name);
    if (listed != own.constEnd()) {
        if (!listed->prefireTenths)
            tap.problem = QStringLiteral("Die Liste kennt für „%1“ keinen Vorlauf: erst im Reiter „Effekte“ "
                                         "eintragen, oder das Effektfeld leeren und die Zündung tippen.")
                              .arg(tap.name);
        else
            tap.data = *listed;
        return tap;
    }
    const EffectData* known = m_catalogue ? m_catalogue->model().catalogue().find(tap.name) : nullptr;
    if (known && known->prefireTenths) {
        tap.data = *known;
        tap.copy = true;
        return tap;
    }
    if (known) {
        tap.problem = QStringLiteral("Der Katalog kennt für „%1“ keinen Vorlauf: erst im Reiter „Effekte“ "
                                     "eintragen, oder das Effektfeld leeren und die Zündung tippen.")
                          .arg(tap.name);
        return tap;
    }
    const EffectData* similar
        = m_catalogue ? m_catalogue->model().catalogue().findIgnoringCase(tap.name) : nullptr;
    tap.problem = similar
        ? QStringLiteral("„%1“ steht weder in der Liste noch im Katalog – gemeint „%2“?")
              .arg(tap.name, similar->name)
        : QStringLiteral(
            "„%1“ steht weder in der Liste noch im Katalog: ohne Vorlauf kann der Effekt nicht auf den "
            "Takt gesetzt werden.")
              .arg(tap.name);
    return tap;
}

// Says at once what the next taps will do, so a wrong name shows before the music runs.
void RehearsalPage::Combo20_Change()
{
    const TapEffect tap = effectToTap();
    if (tap.name.isEmpty()) {
        if (Check1->isChecked())
            showMusicNotice(
                QStringLiteral("Tippen: Während die Musik spielt, setzt jede Leertaste einen Schuss "
                               "auf die volle Sekunde."));
        return;
    }
    if (!tap.problem.isEmpty()) {
        showMusicNotice(tap.problem);
        return;
    }
    showMusicNotice(
        QStringLiteral("Getippt wird „%1“ (Vorlauf %2 s): jeder Tap setzt den Effekt, gezündet wird "
                       "um den Vorlauf früher.")
            .arg(tap.name, MusicStartText(*tap.data->prefireTenths)));
}

void RehearsalPage::tapEffect(qint64 show)
{
    const TapEffect tap = effectToTap();
    if (!tap.problem.isEmpty()) {
        showMusicNotice(tap.problem);
        return;
    }
    const qint32 start = m_document.meta().musicStartTenths;
    const qint64 second = IgnitionForBurst(show, qint64(*tap.data->prefireTenths) * 100);
    const int device = Combo3->currentIndex();
    const std::optional<int> number
        = NextFreeCircuit(m_document.list(), m_document.entryCount(), device, m_tapFrom);
    if (!number) {
        showMusicNotice(NoFreeCircuitNotice(device, second));
        return;
    }
    const QScopedValueRollback<bool> own(m_musicChanging, true);
    int row = -1;
    const qint32 at = qint32(std::clamp<qint64>(second, -1, LastValidTime + 1));
    const std::optional<TapOutcome> outcome = m_document.tapEffect(m_document.revision(), at,
        qint16(device * 32 + *number), *tap.data, tap.copy, TargetMusicMs(show, start), &row);
    if (!outcome)
        return;
    if (*outcome != TapOutcome::Added) {
        showMusicNotice(
            QStringLiteral("„%1“ mit Vorlauf %2 s: ").arg(tap.name, MusicStartText(*tap.data->prefireTenths))
            + TapNotice(*outcome, m_document.list(), row, second));
        return;
    }
    selectMark(row);
    const QList<SkyMark> marks = SkyMarks(m_document.list(), m_document.entryCount(),
        m_document.meta().effectData, m_document.meta().musicStartTenths);
    showMusicNotice(TappedEffectText(m_document.list(), row, marks[row], tap.copy));
}

// Moves entries only within the document, as a tap does: safe while the music plays.
void RehearsalPage::Command20_Click()
{
    const ListMeta& meta = m_document.meta();
    const int count = m_document.entryCount();
    const QList<SkyMark> marks = SkyMarks(m_document.list(), count, meta.effectData, meta.musicStartTenths);
    if (!Deviations(marks)) {
        showMusicNotice(QStringLiteral("Kein Eintrag hat ein Ziel: erst mit einem gewählten Effekt tippen."));
        return;
    }
    const AlignPlan plan = AlignToTargets(m_document.list(), count, meta.effectData, meta.musicStartTenths);
    const QScopedValueRollback<bool> own(m_musicChanging, true);
    if (plan.moved > 0)
        m_document.rearrange(
            m_document.revision(), plan.list, meta.musicStartTenths, QStringLiteral("An die Musik anpassen"));
    showMusicNotice(AlignText(plan));
}

// Refused while the music plays: a new Musikbeginn moves the show clock under the running music, and the
// question would stand while the show goes on.
void RehearsalPage::Command21_Click()
{
    if (MediaPlayer1->isPlaying()) {
        showMusicNotice(QStringLiteral("Erst „Pause“: ein neuer Musikbeginn verschiebt die Showzeit der "
                                       "laufenden Musik."));
        return;
    }
    const quint64 seen = m_document.revision();
    const ListMeta& meta = m_document.meta();
    const qint32 today = meta.musicStartTenths;
    const std::optional<MusicStartProposal> best
        = BestMusicStart(m_document.list(), m_document.entryCount(), meta.effectData, today);
    if (!best) {
        showMusicNotice(QStringLiteral("Kein Eintrag hat ein Ziel: ohne getippte Effekte gibt es keinen "
                                       "Musikbeginn, der sie näher an den Takt bringt."));
        return;
    }
    const QString figures
        = QStringLiteral("größte Abweichung %1 s statt %2 s, im Mittel %3 s statt %4 s")
              .arg(AbsSecondsText(best->after.maxAbsMs), AbsSecondsText(best->before.maxAbsMs),
                  AbsSecondsText(best->after.meanAbsMs), AbsSecondsText(best->before.meanAbsMs));
    const QString leftText = best->plan.leftInPlace.isEmpty() && best->plan.outOfRange.isEmpty()
        ? QString()
        : QLatin1Char(' ') + AlignText(best->plan);
    const bool sameStart = best->startTenths == today;
    if (sameStart && best->plan.moved == 0) {
        showMusicNotice(
            QStringLiteral("Musikbeginn %1 s ist schon der beste: %2.")
                .arg(MusicStartText(today),
                    QStringLiteral("größte Abweichung %1 s, im Mittel %2 s")
                        .arg(AbsSecondsText(best->before.maxAbsMs), AbsSecondsText(best->before.meanAbsMs))));
        return;
    }
    const QString question
        = (sameStart ? QStringLiteral("Musikbeginn bleibt %1 s, Einträge angepasst: %2.")
                           .arg(MusicStartText(today), figures)
                     : QStringLiteral("Musikbeginn %1 s statt %2 s: %3.")
                           .arg(MusicStartText(best->startTenths), MusicStartText(today), figures))
        + leftText + QStringLiteral(" Übernehmen?");
    const Prompter::Answer answer = m_prompter->message(QStringLiteral("Besten Musikbeginn finden"), question,
        Prompter::Buttons::YesNo, Prompter::Answer::Yes, Prompter::Icon::Information);
    if (answer != Prompter::Answer::Yes) {
        showMusicNotice(QStringLiteral("Musikbeginn und Einträge bleiben, wie sie waren."));
        return;
    }
    const QScopedValueRollback<bool> own(m_musicChanging, true);
    if (!m_document.rearrange(
            seen, best->plan.list, best->startTenths, QStringLiteral("Besten Musikbeginn übernehmen"))) {
        showMusicNotice(
            QStringLiteral("Die Liste hat sich geändert, während die Frage offen war: nichts übernommen."));
        return;
    }
    showMusicNotice(QStringLiteral("Musikbeginn %1 s übernommen. ").arg(MusicStartText(best->startTenths))
        + AlignText(best->plan));
}

// Tapping in time with what is heard.
void RehearsalPage::buildTapCalibration(QBoxLayout* page)
{
    auto* row = new QHBoxLayout;
    page->addLayout(row);
    Command9 = make<QPushButton>(this, QStringLiteral("Command9"));
    Command9->setText(QStringLiteral("Tippen abgleichen…"));
    Command9->setToolTip(QStringLiteral("Klicks abspielen und mittippen: Kelto misst, wie spät Sie hören und "
                                        "tippen, und zieht es von jedem Tap ab"));
    Command9->setMinimumWidth(Command9->fontMetrics().horizontalAdvance(Command9->text()) + 24);
    Label29 = makeLine(this, QStringLiteral("Label29"));
    row->addWidget(Command9);
    row->addWidget(Label29, 1);
    connect(Command9, &QPushButton::clicked, this, &RehearsalPage::Command9_Click);
    setTapOffsetMs(0);
}

void RehearsalPage::setTapOffsetMs(int offsetMs)
{
    m_tapOffsetMs = offsetMs;
    Label29->setText(TapOffsetText(offsetMs));
}

void RehearsalPage::loadTapOffset(const QString& path)
{
    m_tapOffsetPath = path;
    const StoredTapOffset stored = ReadTapOffset(path);
    setTapOffsetMs(stored.offsetMs);
    if (!stored.problem.isEmpty())
        showMusicNotice(
            stored.problem + QStringLiteral(" (") + QDir::toNativeSeparators(path) + QLatin1Char(')'));
}

// The music pauses while the clicks play; "Abbrechen" keeps the offset as it was.
void RehearsalPage::Command9_Click()
{
    if (MediaPlayer1->isPlaying())
        MediaPlayer1->pause();
    TapCalibrationDialog box(m_tapOffsetMs, this);
    if (box.exec() != QDialog::Accepted || !box.result().ok)
        return;
    const int offset = box.offsetMs();
    setTapOffsetMs(offset);
    const QString problem = m_tapOffsetPath.isEmpty() ? QString() : WriteTapOffset(m_tapOffsetPath, offset);
    if (problem.isEmpty())
        showMusicNotice(TapOffsetText(offset) + QStringLiteral(" gespeichert; er gilt für jeden Tap."));
    else
        showMusicNotice(problem + QStringLiteral(" Er gilt nur bis zum Ende dieses Laufs."));
}
