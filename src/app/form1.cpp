#include "form1.h"
#include "files/settings_file.h"

#include "browser_widgets.h"
#include "effects/catalogue_store.h"
#include "effects/effect_catalogue.h"
#include "effects_page.h"
#include "files/list_file.h"
#include "music/tap_calibration.h"
#include "page_anchors.h"
#include "port_box.h"
#include "rehearsal_page.h"
#include "shotlist/duplicates.h"
#include "shotlist/list_views.h"
#include "storable_edits.h"
#include "widgets.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFontDatabase>
#include <QFrame>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// Window coordinates are kept in twips, 15 to a pixel.
constexpr QSize DefaultSize(9495 / 15, 6975 / 15);
constexpr QSize FrameSize(9255 / 15, 6495 / 15);

void placeTw(QWidget* w, int left, int top, int width, int height)
{
    w->setGeometry(left / 15, top / 15, width / 15, height / 15);
}

template <typename T> T* make(QWidget* parent, const QString& name)
{
    auto* w = new T(parent);
    w->setObjectName(name);
    return w;
}

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption)
{
    auto* label = make<QLabel>(parent, name);
    label->setText(caption);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption)
{
    auto* button = make<QPushButton>(parent, name);
    button->setText(caption);
    return button;
}

// Shrinks a box's font until its longest item fits the box's text field: the layout is fixed, and
// some desktop fonts are wider than the one it was drawn for.
void fitFontToItems(QComboBox* box)
{
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.rect = QRect(QPoint(0, 0), box->size());
    const int room = box->style()
                         ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box)
                         .width()
        - 4;
    QFont font = box->font();
    for (qreal size = font.pointSizeF(); size > 6.0; size -= 0.5) {
        font.setPointSizeF(size);
        const QFontMetrics metrics(font);
        int widest = 0;
        for (int i = 0; i < box->count(); ++i)
            widest = qMax(widest, metrics.horizontalAdvance(box->itemText(i)));
        if (widest <= room)
            break;
    }
    box->setFont(font);
}

QFont listFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(9);
    return font;
}


} // namespace

Form1::Form1(std::unique_ptr<Prompter> prompter, QWidget* parent)
    : QWidget(parent)
    , m_document(new ListDocument(this))
    , m_prompter(prompter ? std::move(prompter) : std::make_unique<DialogPrompter>(this))
{
    connect(m_document, &ListDocument::changed, this, &Form1::RefreshLists);
    buildWindow();
    setupEditor();
    setupFiles();
    setupSheet();
    setupLink();
    setupRehearsal();
    connect(SSTab1, &QTabWidget::currentChanged, this, [this] {
        const int previous = m_currentTab;
        m_currentTab = SSTab1->currentIndex();
        SSTab1_Click(previous);
    });
    Form_Load();
    setupEffects();
    Rehearsal->loadTapOffset(TapOffsetFilePath(TempFolder));
}

Form1::~Form1() { Rehearsal->teardown(); }

void Form1::setPrompter(std::unique_ptr<Prompter> prompter)
{
    m_prompter = std::move(prompter);
    Rehearsal->setPrompter(m_prompter.get());
    if (Effects)
        Effects->setPrompter(m_prompter.get());
}

void Form1::buildWindow()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Schusslisteneditor für Feuerwerk-Brenzor"));
    // The default size is the smallest; a larger window gives the room to the lists and the picture.
    setMinimumSize(DefaultSize);
    resize(DefaultSize);

    SSTab1 = make<QTabWidget>(this, QStringLiteral("SSTab1"));
    placeTw(SSTab1, 0, 0, 9495, 6975);
    const QStringList pageNames { QStringLiteral("Kommunikation mit Zündgerät"), QStringLiteral("Datei"),
        QStringLiteral("Bearbeiten der Liste") };
    for (int i = 0; i < 3; ++i) {
        auto* page = new QWidget;
        page->setObjectName(QStringLiteral("Page%1").arg(i));
        SSTab1->addTab(page, pageNames[i]);
        Frame1[i] = make<QFrame>(page, QStringLiteral("Frame1_%1").arg(i));
        placeTw(Frame1[i], 120, 360, 9255, 6495);
    }

    // Level with the tab headers in the top right corner, above the tab control.
    Command1 = makeButton(this, QStringLiteral("Command1"), QStringLiteral("Ende"));
    placeTw(Command1, 8520, 0, 975, 315);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);

    const QFont fixed = listFont();

    // Page 0: device communication.
    QFrame* page0 = Frame1[0];
    Label1 = makeLabel(page0, QStringLiteral("Label1"), QString());
    Label1->setFont(fixed);
    placeTw(Label1, 240, 120, 3135, 375);
    List1 = make<QListWidget>(page0, QStringLiteral("List1"));
    List1->setFont(fixed);
    placeTw(List1, 240, 480, 3135, 5685);
    Combo1 = make<PortBox>(page0, QStringLiteral("Combo1"));
    Combo1->setChoices(PortChoices({}));
    placeTw(Combo1, 6840, 360, 1095, 315);
    fitFontToItems(Combo1);
    Label4 = make<ClickLabel>(page0, QStringLiteral("Label4"));
    Label4->setText(QStringLiteral("Kelto %1").arg(QStringLiteral(KELTO_VERSION)));
    Label4->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label4->setWordWrap(true); // a rejection text is longer than a line
    placeTw(Label4, 5160, 2400, 3375, 1815);
    connect(Label4, &ClickLabel::clicked, this, &Form1::Label4_Click);
    Command2[0] = makeButton(page0, QStringLiteral("Command2_0"), QStringLiteral("Empfang"));
    placeTw(Command2[0], 5160, 4440, 2535, 375);
    Command2[1] = makeButton(page0, QStringLiteral("Command2_1"), QStringLiteral("Senden"));
    placeTw(Command2[1], 5160, 5280, 2535, 375);
    Command2[2] = makeButton(page0, QStringLiteral("Command2_2"), QStringLiteral("Prüfen"));
    placeTw(Command2[2], 5160, 6000, 2535, 375);
    // In the free room between the port and the statistics.
    Label19 = makeLabel(page0, QStringLiteral("Label19"), QString());
    Label19->setPalette(NoticePalette(Label19));
    placeTw(Label19, 5160, 1200, 3375, 495);

    Frame2 = make<QFrame>(page0, QStringLiteral("Frame2"));
    Frame2->setFrameShape(QFrame::Box);
    Frame2->setAutoFillBackground(true);
    placeTw(Frame2, 1800, 3360, 7455, 1695);
    Label2 = makeLabel(Frame2, QStringLiteral("Label2"),
        QStringLiteral("Datenempfang vom Zündgerät über serielle Schnittstelle"));
    Label2->setAutoFillBackground(true);
    QPalette titleStrip = Label2->palette();
    titleStrip.setColor(QPalette::Window, titleStrip.color(QPalette::Active, QPalette::Highlight));
    titleStrip.setColor(QPalette::WindowText, titleStrip.color(QPalette::Active, QPalette::HighlightedText));
    Label2->setPalette(titleStrip);
    placeTw(Label2, 0, 0, 7455, 315);
    Label3 = makeLabel(Frame2, QStringLiteral("Label3"),
        QStringLiteral(
            "Bitte die Datenübertragung am Zündgerät mit dem Menüpunkt \"Save\" im Edit-Menü starten..."));
    placeTw(Label3, 240, 480, 6975, 495);
    Command3 = makeButton(Frame2, QStringLiteral("Command3"), QStringLiteral("Abbruch"));
    placeTw(Command3, 3360, 1080, 2535, 375);
    Frame2->hide();

    // Page 1: files.
    QFrame* page1 = Frame1[1];
    Dir1 = make<FolderList>(page1, QStringLiteral("Dir1"));
    placeTw(Dir1, 120, 120, 3375, 3015);
    File1 = make<QListWidget>(page1, QStringLiteral("File1"));
    placeTw(File1, 120, 3240, 3375, 3015);
    Drive1 = make<DriveBox>(page1, QStringLiteral("Drive1"));
    placeTw(Drive1, 3720, 120, 3375, 315);
    Command4[2] = makeButton(page1, QStringLiteral("Command4_2"), QStringLiteral("Ordner merken"));
    placeTw(Command4[2], 7440, 120, 1695, 315);
    Text1 = make<CommentBox>(page1, QStringLiteral("Text1"));
    Text1->setPlainText(QStringLiteral("Text1"));
    Text1->setTabChangesFocus(true);
    placeTw(Text1, 3720, 720, 5415, 615);
    // In the gap between the comment and the file's figures.
    Label11 = makeLabel(page1, QStringLiteral("Label11"), QString());
    Label11->setWordWrap(false);
    Label11->setPalette(NoticePalette(Label11));
    placeTw(Label11, 3720, 1335, 5415, 225);
    Label5 = makeLabel(page1, QStringLiteral("Label5"), QStringLiteral("Label5"));
    placeTw(Label5, 3720, 1560, 5415, 1095);
    Command4[0] = makeButton(page1, QStringLiteral("Command4_0"), QStringLiteral("Datei laden"));
    placeTw(Command4[0], 5040, 3360, 2895, 495);
    Command4[1] = makeButton(page1, QStringLiteral("Command4_1"), QStringLiteral("Datei speichern"));
    placeTw(Command4[1], 5040, 4200, 2895, 495);
    Command4[3] = makeButton(page1, QStringLiteral("Command4_3"), QStringLiteral("Neuen Ordner anlegen"));
    placeTw(Command4[3], 5040, 5040, 2895, 495);
    Command4[0]->setEnabled(false);
    Command4[1]->setEnabled(false);
    Command4[2]->setEnabled(false);
    // Crew sheet between the preview and the file buttons; the CSV pair below, as wide as Text1.
    Command5[0] = makeButton(page1, QStringLiteral("Command5_0"), QStringLiteral("Schussplan drucken…"));
    placeTw(Command5[0], 5040, 2700, 2895, 375);
    Command5[1] = makeButton(page1, QStringLiteral("Command5_1"), QStringLiteral("CSV exportieren…"));
    placeTw(Command5[1], 3720, 5880, 2640, 375);
    Command5[2] = makeButton(page1, QStringLiteral("Command5_2"), QStringLiteral("CSV importieren…"));
    placeTw(Command5[2], 6495, 5880, 2640, 375);

    // Page 2: list editing. The captions and fields stand closer than the original layout had them,
    // so the effect, the notice and the duplicates fit below them.
    QFrame* page2 = Frame1[2];
    Label7 = makeLabel(page2, QStringLiteral("Label7"), QStringLiteral("Label7"));
    Label7->setFont(fixed);
    placeTw(Label7, 0, 120, 4455, 240);
    List2 = make<QListWidget>(page2, QStringLiteral("List2"));
    List2->setFont(fixed);
    placeTw(List2, 0, 360, 4455, 6135);
    const QStringList captions { QStringLiteral("Eintrag Nummer"),
        QStringLiteral("Sekunden seit der letzten Zündung"),
        QStringLiteral("Sekunden bis zur nächsten Zündung"),
        QStringLiteral("Zündgerät und Zündkreis-Nummer") };
    const QStringList initialTexts { QStringLiteral("go to"), QStringLiteral("Zeit"), QStringLiteral("Zeit"),
        QStringLiteral("Nummer") };
    for (int i = 0; i < 4; ++i) {
        Label6[i] = makeLabel(page2, QStringLiteral("Label6_%1").arg(i), captions[i]);
        placeTw(Label6[i], 5400, 120 + 1200 * i, 3135, 570);
        Text2[i] = make<QLineEdit>(page2, QStringLiteral("Text2_%1").arg(i));
        Text2[i]->setText(initialTexts[i]);
    }
    placeTw(Text2[0], 6480, 720, 975, 285);
    placeTw(Text2[1], 6480, 1920, 975, 285);
    placeTw(Text2[2], 6480, 3120, 975, 285);
    placeTw(Text2[3], 7350, 4320, 975, 285);
    Combo2 = make<QComboBox>(page2, QStringLiteral("Combo2"));
    Combo2->addItems({ QStringLiteral("A (Brenzor)"), QStringLiteral("B (Verteiler)"),
        QStringLiteral("C (Verteiler)"), QStringLiteral("D (Option)"), QStringLiteral("E (Option)"),
        QStringLiteral("F (Option)"), QStringLiteral("G (Option)"), QStringLiteral("H (alle Verteiler)") });
    Combo2->setCurrentIndex(-1);
    placeTw(Combo2, 5640, 4320, 1695, 315);
    fitFontToItems(Combo2);
    Label10 = makeLabel(page2, QStringLiteral("Label10"), QStringLiteral("Effekt"));
    placeTw(Label10, 4560, 4785, 4575, 255);
    Text3 = make<QLineEdit>(page2, QStringLiteral("Text3"));
    placeTw(Text3, 4560, 5040, 4575, 315);
    Label9 = makeLabel(page2, QStringLiteral("Label9"), QString());
    Label9->setPalette(NoticePalette(Label9));
    placeTw(Label9, 4560, 5430, 4575, 675);
    Label8 = makeLabel(page2, QStringLiteral("Label8"), QString());
    Label8->setWordWrap(false);
    placeTw(Label8, 4560, 6120, 4575, 315);

    anchorElements();

    // Keyboard order of the elements that take the focus.
    const QList<QWidget*> focusOrder { Command1, Command2[0], Command2[1], Command2[2], Command3, Combo1,
        Command4[0], Drive1, Dir1, File1, Command4[1], Command4[3], Command5[0], Command5[1], Command5[2],
        Text1, Command4[2], List2, Text2[1], Text2[2], Combo2, Text2[3], Text3, Text2[0], List1 };
    for (int i = 1; i < focusOrder.size(); ++i)
        setTabOrder(focusOrder[i - 1], focusOrder[i]);

    // Built with the last page current; start-up switches to the others.
    SSTab1->setCurrentIndex(2);
    m_currentTab = 2;
}

// Where each element of the three pages goes as the window grows: the lists, the comment box and
// the preview take the room, the buttons and fields keep their size and move with their edge.
void Form1::anchorElements()
{
    using S = PageAnchors::Share;
    auto* window = new PageAnchors(this, DefaultSize);
    m_anchors.append(window);
    window->add(SSTab1, PageAnchors::Grows);
    window->add(Command1, PageAnchors::MovesRight);

    auto* page0 = new PageAnchors(Frame1[0], FrameSize);
    m_anchors.append(page0);
    page0->add(Label1, S { 0, 0, 1, 0 });
    page0->add(List1, PageAnchors::Grows);
    page0->add(Combo1, PageAnchors::MovesRight);
    page0->add(Label4, PageAnchors::MovesRight);
    page0->add(Label19, PageAnchors::MovesRight);
    for (QPushButton* button : Command2)
        page0->add(button, PageAnchors::MovesRightDown);
    // The transfer frame stands in the middle of the page.
    page0->add(Frame2, S { 0.5, 0.5, 0, 0 });

    // Left the folder and file lists, each half of the extra height; right the comment and the
    // preview, with the buttons in between level with the file list.
    constexpr double Lists = 1.0 / 3;
    auto* page1 = new PageAnchors(Frame1[1], FrameSize);
    m_anchors.append(page1);
    page1->add(Dir1, S { 0, 0, Lists, 0.5 });
    page1->add(File1, S { 0, 0.5, Lists, 0.5 });
    page1->add(Drive1, S { Lists, 0, 0, 0 });
    page1->add(Command4[2], PageAnchors::MovesRight);
    page1->add(Text1, S { Lists, 0, 1 - Lists, 0.25 });
    page1->add(Label11, S { Lists, 0.25, 1 - Lists, 0 });
    page1->add(Label5, S { Lists, 0.25, 1 - Lists, 0 });
    const double middle = Lists + (1 - Lists) / 2;
    page1->add(Command5[0], S { middle, 0.25, 0, 0 });
    for (int i : { 0, 1, 3 })
        page1->add(Command4[i], S { middle, 0.5, 0, 0 });
    page1->add(Command5[1], S { Lists, 1, 0, 0 });
    page1->add(Command5[2], PageAnchors::MovesRightDown);

    auto* page2 = new PageAnchors(Frame1[2], FrameSize);
    m_anchors.append(page2);
    page2->add(Label7, S { 0, 0, 1, 0 });
    page2->add(List2, PageAnchors::Grows);
    for (QWidget* w : std::initializer_list<QWidget*> { Label6[0], Label6[1], Label6[2], Label6[3], Text2[0],
             Text2[1], Text2[2], Text2[3], Combo2, Label10, Text3, Label9 })
        page2->add(w, PageAnchors::MovesRight);
    page2->add(Label8, PageAnchors::MovesRightDown);
}

void Form1::setupRehearsal()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("Page3"));
    SSTab1->addTab(page, QStringLiteral("Probelauf"));
    Rehearsal = new RehearsalPage(*m_document, page);
    // Laid out when first shown: measuring its elements before would only slow the start.
    Rehearsal->setGeometry(QRect(QPoint(120 / 15, 360 / 15), FrameSize));
    Rehearsal->setPrompter(m_prompter.get());
    Rehearsal->setFolderSource([this] { return CurrentFolder; });
    Frame1[3] = Rehearsal;
    setTabOrder(List1, Rehearsal->Command6[0]);
    // The mark chosen in the picture is the line of List2, and the other way round.
    connect(Rehearsal, &RehearsalPage::markChosen, this, [this](int slot) {
        if (List2->currentRow() != slot)
            List2->setCurrentRow(slot);
    });
    connect(List2, &QListWidget::currentRowChanged, Rehearsal, &RehearsalPage::showEntry);
}

// After "Probelauf"; its catalogue file lies beside the recovery copy, so it is read once the settings
// folder is known.
void Form1::setupEffects()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("Page4"));
    Catalogue = new CatalogueStore(CatalogueFilePath(TempFolder), this);
    Effects = new EffectsPage(*m_document, *m_prompter, *Catalogue, page);
    Rehearsal->setCatalogue(Catalogue);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(120 / 15, 120 / 15, 120 / 15, 120 / 15);
    layout->addWidget(Effects);
    SSTab1->addTab(page, QStringLiteral("Effekte"));
    setupEffectData();
}

void Form1::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const QSize extra = (size() - DefaultSize).expandedTo(QSize(0, 0));
    for (QFrame* frame : Frame1)
        frame->resize(FrameSize + extra);
    // A hidden page gets its resize event first when shown: its elements are placed now.
    for (PageAnchors* anchors : m_anchors)
        anchors->apply();
}

void Form1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_framesPlaced) {
        placeFrames();
        startFolderWatch();
    }
}

// Frame positions count from the tab control's corner; the pages start below the row of tabs,
// which may be a little taller here than the layout assumes: then the frame starts at the page's top.
void Form1::placeFrames()
{
    const QPoint pageOrigin = SSTab1->widget(0)->parentWidget()->mapTo(SSTab1, QPoint(0, 0));
    for (QFrame* frame : Frame1) {
        const QPoint wanted = QPoint(120 / 15, 360 / 15) - pageOrigin;
        frame->move(qMax(0, wanted.x()), qMax(0, wanted.y()));
    }
    m_framesPlaced = true;
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (filterUndoKeys(watched, event))
        return true;
    if (filterEditorEvent(watched, event))
        return true;
    if (filterFilesEvent(watched, event))
        return true;
    return QWidget::eventFilter(watched, event);
}

void Form1::Form_Load()
{
    FileSignature = ListFileSignature;
    SSTab1->setCurrentIndex(0);
    Combo1->setCurrentIndex(0);
    TempFolder = SettingsFolder();
    Command4[2]->setToolTip(QStringLiteral("Inidatei: ") + TempFolder + QStringLiteral("kelto.ini"));
    SSTab1->setCurrentIndex(1);
    QCoreApplication::processEvents();
    ApplySettingsFile();
    m_document->reset(ShotList::startup()); // refreshes the lists
}

void Form1::SSTab1_Click(int PreviousTab)
{
    Q_UNUSED(PreviousTab);
    const int current = SSTab1->currentIndex();
    for (int i = 0; i < int(Frame1.size()); ++i)
        Frame1[i]->setEnabled(i == current);
    if (current == 1) {
        Command4[1]->setEnabled(List1->count() == EntryCount);
    } else if (current == 2) {
        const bool selected = List2->currentRow() >= 0;
        for (QLineEdit* field : Text2)
            field->setEnabled(selected);
        Text3->setEnabled(selected);
    }
}

// The close button ends the program as "Ende" does: the field being edited is left first, so what was
// typed there is stored.
void Form1::closeEvent(QCloseEvent* event)
{
    if (QWidget* focused = QApplication::focusWidget(); focused && isAncestorOf(focused))
        focused->clearFocus();
    QWidget::closeEvent(event);
}

void Form1::Command1_Click()
{
    close();
    QCoreApplication::quit();
}

// The document keeps the list normalised; this rebuilds what shows it.
void Form1::RefreshLists()
{
    const ShotList& shotList = list();
    {
        // Rebuilding leaves List2 without a selection and must not run its click handler.
        const QSignalBlocker block1(List1);
        const QSignalBlocker block2(List2);
        List1->clear();
        List2->clear();
        List1->addItems(List1Lines(shotList));
        const QStringList lines2 = List2Lines(shotList);
        List2->addItems(lines2);
        List2->setCurrentRow(-1);
        fitList2Width(lines2);
    }
    Label1->setText(List1Header);
    Label7->setText(List2Header);
    showDuplicates();
    Label4_Click();
}

// With uniform item sizes the view takes the size of every line from the last one. As narrow as one
// pixel, every line is as wide as the view: a long effect ends in "…", and its line's tool tip
// shows the whole effect.
void Form1::fitList2Width(const QStringList& lines)
{
    if (lines.isEmpty() || List2->count() != lines.size())
        return;
    const int last = int(lines.size()) - 1;
    const QSize own = List2->sizeHintForIndex(List2->model()->index(last, 0));
    List2->item(last)->setSizeHint(QSize(1, own.height()));
    const ShotList& shown = list();
    for (int slot = 0; slot < EntryCount && slot < lines.size(); ++slot) {
        if (!shown.effects[slot].isEmpty())
            List2->item(slot)->setToolTip(shown.effects[slot]);
    }
}

// The lines that fire a circuit another line fires too are marked; their text stays.
void Form1::showDuplicates()
{
    const QList<DuplicateCircuit> groups = FindDuplicateCircuits(list());
    for (int slot : DuplicateSlots(groups))
        List2->item(slot)->setBackground(QColor(255, 205, 150));
    const QString text = DuplicateText(groups);
    Label8->setText(Label8->fontMetrics().elidedText(text, Qt::ElideRight, Label8->width()));
    Label8->setToolTip(text);
}

// The statistics as List1 shows the list: while a receive has emptied it, they read 0.
void Form1::Label4_Click()
{
    QStringList lines;
    lines.reserve(List1->count());
    for (int i = 0; i < List1->count(); ++i)
        lines.append(List1->item(i)->text());
    Label4->setText(ComputeStatistics(lines).text);
}
