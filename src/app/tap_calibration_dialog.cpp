#include "tap_calibration_dialog.h"

#include "music/playback_clock.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

TapCalibrationDialog::TapCalibrationDialog(int currentOffsetMs, QWidget* parent, ClickTrack track)
    : QDialog(parent)
    , m_track(std::move(track))
{
    setObjectName(QStringLiteral("TapCalibrationDialog"));
    setWindowTitle(QStringLiteral("Tippen abgleichen"));

    intro = new QLabel(this);
    intro->setObjectName(QStringLiteral("intro"));
    intro->setWordWrap(true);
    intro->setText(
        QStringLiteral("Kelto spielt %1 Klicks. Tippen Sie zu jedem Klick die Leertaste oder „Tipp“, "
                       "so wie Sie später zur Musik tippen: im Takt dessen, was Sie hören. Kelto "
                       "misst, wie weit Ihre Taps im Mittel neben den Klicks liegen, und zieht das "
                       "von jedem Tap ab.\n\nBisher: %2")
            .arg(m_track.clicksMs.size())
            .arg(TapOffsetText(currentOffsetMs)));
    startButton = new QPushButton(QStringLiteral("Klicks abspielen"), this);
    startButton->setObjectName(QStringLiteral("startButton"));
    tapButton = new QPushButton(QStringLiteral("Tipp"), this);
    tapButton->setObjectName(QStringLiteral("tapButton"));
    tapButton->setEnabled(false);
    tapButton->setMinimumHeight(2 * tapButton->sizeHint().height());
    progress = new QProgressBar(this);
    progress->setObjectName(QStringLiteral("progress"));
    progress->setRange(0, MinCalibrationTaps);
    progress->setFormat(QStringLiteral("%v von %m"));
    progressText = new QLabel(this);
    progressText->setObjectName(QStringLiteral("progressText"));
    resultText = new QLabel(this);
    resultText->setObjectName(QStringLiteral("resultText"));
    resultText->setWordWrap(true);
    resultText->setMinimumHeight(3 * fontMetrics().lineSpacing());
    resultText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    okButton = buttons->button(QDialogButtonBox::Ok);
    okButton->setEnabled(false);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    auto* controls = new QHBoxLayout;
    controls->addWidget(startButton);
    controls->addWidget(tapButton, 1);
    layout->addLayout(controls);
    layout->addWidget(progress);
    layout->addWidget(progressText);
    layout->addWidget(resultText);
    layout->addStretch(1);
    layout->addWidget(buttons);
    setMinimumWidth(440);

    m_clock = new PlaybackClock(this);
    if (m_folder.isValid()) {
        m_wavPath = m_folder.filePath(QStringLiteral("klicks.wav"));
        QFile file(m_wavPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(m_track.wav) != m_track.wav.size())
            m_wavPath.clear();
    }
    if (m_wavPath.isEmpty()) {
        startButton->setEnabled(false);
        resultText->setText(
            QStringLiteral("Die Klicks lassen sich nicht anlegen: kein Platz im temporären Ordner."));
    }

    connect(startButton, &QPushButton::clicked, this, &TapCalibrationDialog::start);
    connect(tapButton, &QPushButton::pressed, this, &TapCalibrationDialog::tap);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_clock, &PlaybackClock::ready, this, [this] {
        if (m_waitingToPlay) {
            m_waitingToPlay = false;
            m_clock->play();
        }
    });
    connect(m_clock, &PlaybackClock::playingChanged, this, [this](bool playing) {
        tapButton->setEnabled(playing);
        if (playing)
            tapButton->setFocus();
    });
    connect(m_clock, &PlaybackClock::ended, this, &TapCalibrationDialog::finish);
    connect(m_clock, &PlaybackClock::failed, this, [this](const QString& reason) {
        m_waitingToPlay = false;
        startButton->setEnabled(true);
        resultText->setText(QStringLiteral("Die Klicks lassen sich nicht abspielen: ") + reason);
    });

    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
    showProgress();
}

TapCalibrationDialog::~TapCalibrationDialog()
{
    m_clock->disconnect(this);
    m_clock->stop();
}

void TapCalibrationDialog::start()
{
    m_taps.clear();
    m_result = TapCalibration();
    okButton->setEnabled(false);
    startButton->setEnabled(false);
    resultText->setText(QStringLiteral("Hören Sie zu und tippen Sie zu jedem Klick."));
    showProgress();
    if (m_clock->source() != m_wavPath) {
        // Played once the player has opened it.
        m_waitingToPlay = true;
        m_clock->setSource(m_wavPath);
        return;
    }
    m_clock->stop();
    m_clock->play();
}

// Stamped the moment the key is handled, as on the page.
void TapCalibrationDialog::tap()
{
    if (!m_clock->isPlaying())
        return;
    m_taps.append(m_clock->position());
    showProgress();
}

void TapCalibrationDialog::showProgress()
{
    const int matched = CalibrateTaps(m_track.clicksMs, m_taps).matched;
    progress->setValue(qMin(matched, MinCalibrationTaps));
    progressText->setText(QStringLiteral("%1 Klicks getippt, %2 nötig").arg(matched).arg(MinCalibrationTaps));
}

void TapCalibrationDialog::finish()
{
    startButton->setText(QStringLiteral("Noch einmal"));
    startButton->setEnabled(true);
    m_result = CalibrateTaps(m_track.clicksMs, m_taps);
    showProgress();
    if (!m_result.ok) {
        resultText->setText(m_result.reason);
        okButton->setEnabled(false);
        return;
    }
    resultText->setText(
        QStringLiteral("%1 (Streuung \u00b1%2 ms über %3 Klicks). „OK“ speichert ihn; er gilt "
                       "für jeden Tap, auch nach dem nächsten Start.")
            .arg(TapOffsetText(m_result.offsetMs))
            .arg(m_result.spreadMs)
            .arg(m_result.matched));
    okButton->setEnabled(true);
    okButton->setFocus();
}

bool TapCalibrationDialog::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::KeyPress || type == QEvent::KeyRelease || type == QEvent::ShortcutOverride)
        && m_clock->isPlaying()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
            // While the clicks play the space bar taps, whatever has the focus; a held key taps once.
            if (type == QEvent::ShortcutOverride)
                event->accept();
            else if (type == QEvent::KeyPress && !key->isAutoRepeat())
                tap();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
