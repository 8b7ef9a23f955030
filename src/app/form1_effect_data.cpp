#include "form1.h"

#include "effects/burst_timing.h"

#include "effects/catalogue_difference.h"
#include "effects/catalogue_store.h"
#include "page_anchors.h"
#include "shotlist/commit_notice.h"
#include "widgets.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopedValueRollback>
#include <QStringListModel>
#include <QTimer>

namespace {

constexpr int Twip = 15;
// The row of the caption "Effekt", and the room above it up to the device box.
constexpr int RowTop = 4785 / Twip;
constexpr int RowHeight = 255 / Twip;
// Two lines of the smaller font, from just below the device box down to the field.
constexpr int InfoTop = 4650 / Twip;
constexpr int InfoHeight = 5040 / Twip - InfoTop;
constexpr int ButtonHeight = 375 / Twip;
constexpr int PageRight = (4560 + 4575) / Twip;
const QString TakeCaption = QStringLiteral("Übernehmen");
const QString AddCaption = QStringLiteral("Aufnehmen");

// Wraps its text into as many lines as its height holds, the last one ended in "…" where the text goes
// on, and stands them at its bottom edge, level with the caption beside it; text() stays whole.
class WrappedInfoLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent*) override
    {
        const QRect room = contentsRect();
        const QFontMetrics metrics = fontMetrics();
        const int lineHeight = metrics.lineSpacing();
        const int most = qMax(1, room.height() / lineHeight);
        // Broken after the commas, semicolons and full stops between values, so a value stays with its unit.
        const QStringList parts = text().split(QRegularExpression(QStringLiteral("(?<=[,;.] )")));
        const auto fitted = [&](const QString& text) {
            return metrics.elidedText(text.trimmed(), Qt::ElideRight, room.width());
        };
        QStringList lines;
        QString current;
        for (const QString& part : parts) {
            // The last line takes the rest.
            if (!current.isEmpty() && lines.size() < most - 1
                && metrics.horizontalAdvance(current + part.trimmed()) > room.width()) {
                lines.append(fitted(current));
                current.clear();
            }
            current += part;
        }
        if (!current.isEmpty())
            lines.append(fitted(current));
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        int top = room.bottom() + 1 - int(lines.size()) * lineHeight;
        for (const QString& shown : lines) {
            painter.drawText(
                QRect(room.left(), top, room.width(), lineHeight), Qt::AlignLeft | Qt::AlignVCenter, shown);
            top += lineHeight;
        }
    }
};

} // namespace

// The caption "Effekt" keeps its place and takes only its width; beside it, above the field, what the
// list carries for the selected entry's effect and how it stands to the catalogue.
void Form1::setupEffectData()
{
    QFrame* page = Frame1[2];
    PageAnchors* anchors = m_anchors[3];
    const int captionWidth = Label10->fontMetrics().horizontalAdvance(Label10->text()) + 6;
    const QRect caption(Label10->x(), RowTop, captionWidth, RowHeight);
    Label10->setGeometry(caption);
    anchors->setDefaultPlace(Label10, caption);

    // One row beside the caption: the text takes the room the button leaves.
    auto* row = new QWidget(page);
    row->setObjectName(QStringLiteral("EffectDataRow"));
    row->setGeometry(caption.right() + 5, InfoTop, PageRight - caption.right() - 5, InfoHeight);
    anchors->add(row, PageAnchors::MovesRight);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(5);
    EffectInfo = new WrappedInfoLabel(row);
    EffectInfo->setObjectName(QStringLiteral("EffectInfo"));
    QFont smaller = EffectInfo->font();
    smaller.setPointSizeF(smaller.pointSizeF() - 1);
    EffectInfo->setFont(smaller);
    EffectInfo->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    layout->addWidget(EffectInfo, 1);
    CatalogueButton = new QPushButton(row);
    CatalogueButton->setObjectName(QStringLiteral("CatalogueButton"));
    int buttonWidth = 0;
    for (const QString& caption : { TakeCaption, AddCaption }) {
        CatalogueButton->setText(caption);
        buttonWidth = qMax(buttonWidth, CatalogueButton->sizeHint().width() + 8);
    }
    CatalogueButton->setFixedSize(buttonWidth, ButtonHeight);
    CatalogueButton->hide();
    layout->addWidget(CatalogueButton, 0, Qt::AlignTop);
    connect(CatalogueButton, &QPushButton::clicked, this, &Form1::catalogueButtonClicked);
    setTabOrder(Text3, CatalogueButton);
    setTabOrder(CatalogueButton, Text2[0]);

    m_completionNames = new QStringListModel(this);
    EffectCompleter = new QCompleter(m_completionNames, this);
    EffectCompleter->setObjectName(QStringLiteral("EffectCompleter"));
    EffectCompleter->setCaseSensitivity(Qt::CaseInsensitive);
    EffectCompleter->setModelSorting(QCompleter::CaseInsensitivelySortedModel);
    EffectCompleter->setCompletionMode(QCompleter::PopupCompletion);
    EffectCompleter->setMaxVisibleItems(12);
    Text3->setCompleter(EffectCompleter);
    // After the completer's own filter, so it sees Enter first.
    EffectCompleter->popup()->installEventFilter(this);
    // After the field has taken the name: the choice is the name with its data.
    connect(EffectCompleter, qOverload<const QString&>(&QCompleter::activated), this,
        &Form1::chooseFromCatalogue);

    CatalogueModel& model = Catalogue->model();
    connect(&model, &CatalogueModel::catalogueChanged, this, [this] {
        refreshCompletionNames();
        showEffectInfo();
    });
    connect(&model, &QAbstractItemModel::modelReset, this, [this] {
        refreshCompletionNames();
        showEffectInfo();
    });
    refreshCompletionNames();
    showEffectInfo();
}

void Form1::refreshCompletionNames()
{
    m_completionNames->setStringList(CompletionNames(Catalogue->model().catalogue()));
}

// Where the window shows the data of the selected entry's effect; the full text is the tool tip.
void Form1::showEffectInfo()
{
    if (!EffectInfo)
        return;
    const int row = List2->currentRow();
    const CatalogueComparison comparison = row >= 0 ? CompareWithCatalogue(list().effects[row],
                                               m_document->meta().effectData, Catalogue->model().catalogue())
                                                    : CatalogueComparison();
    // Names offered for a line no longer shown are not offered any more.
    if (row < 0 && EffectCompleter->popup()->isVisible())
        EffectCompleter->popup()->hide();
    const CatalogueMatch match = comparison.match;
    const bool take = match == CatalogueMatch::Differs || match == CatalogueMatch::CatalogueOnly;
    const bool add = match == CatalogueMatch::ListOnly;
    // The button that goes leaves the focus in the field it belongs to.
    if (CatalogueButton->hasFocus() && !take && !add)
        Text3->setFocus(Qt::OtherFocusReason);
    CatalogueButton->setText(add ? AddCaption : TakeCaption);
    CatalogueButton->setToolTip(add
            ? QStringLiteral("„%1“ mit den Daten der Liste in den Katalog aufnehmen").arg(comparison.name)
            : QStringLiteral("Katalogwerte übernehmen: für jeden Schuss mit „%1“").arg(comparison.name));
    CatalogueButton->setVisible(take || add);
    const bool notice = take || add || match == CatalogueMatch::OtherCase;
    EffectInfo->setPalette(notice ? NoticePalette(Label10) : Label10->palette());
    // The tapped target and how far the burst lies from it come first: one short line.
    const QString target = row >= 0 ? EntryTargetText(list(), row, m_document->meta().effectData,
                                          m_document->meta().musicStartTenths)
                                    : QString();
    const QString compared = comparison.text();
    // ". " lets the target take the first line and the comparison the second.
    const QString text = target.isEmpty() ? compared
        : compared.isEmpty()              ? target
                                          : target + QStringLiteral(". ") + compared;
    EffectInfo->setText(text);
    QString tip = text;
    if (match == CatalogueMatch::Differs || match == CatalogueMatch::OtherCase) {
        if (comparison.listData)
            tip += QStringLiteral("\nListe: ") + EffectDataSummary(*comparison.listData);
    }
    if (match == CatalogueMatch::Differs)
        tip += QStringLiteral("\nKatalog: ") + EffectDataSummary(*comparison.catalogueData);
    EffectInfo->setToolTip(tip);
}

// A name chosen in the completer: the entry gets it with the catalogue's data, one step. The prefix
// typed before is in the list already as the step of this run of typing; the choice takes its place.
void Form1::chooseFromCatalogue(const QString& name)
{
    const int row = List2->currentRow();
    const EffectData* article = Catalogue->model().catalogue().find(name);
    if (row < 0 || !article) {
        showStoredEffect();
        return;
    }
    if (row > m_document->entryCount()) {
        showNotice(ReservedEffectNotice(row, m_document->entryCount()));
        selectLine(row);
        return;
    }
    // The list changed since the line was shown (replaced while the list of names was open).
    if (m_shownRevision != m_document->revision()) {
        showStoredEffect();
        return;
    }
    const EffectData data = *article;
    bool applied = false;
    {
        const QScopedValueRollback<bool> committing(m_committing, true);
        const bool typedStep = m_typedRevision == m_document->revision() && m_typedRun == m_typingRun
            && m_typedRow == row && m_document->undoStack().canUndo();
        if (typedStep)
            m_document->undo();
        applied = m_document->chooseEffect(m_document->revision(), row, data);
        if (!applied && typedStep)
            m_document->redo();
        selectLine(row);
    }
    m_typedRun = 0;
    // Typing on in the field is a new step; leaving it stores nothing more.
    ++m_typingRun;
    SavedFieldText[4] = list().effects[row];
    Text3->setText(list().effects[row]);
    showNotice(applied ? QString() : QStringLiteral("„%1“ ist nicht übernommen.").arg(data.name));
}

// The field takes the completer's name after the choice is handled: a refused one goes again.
void Form1::showStoredEffect()
{
    QTimer::singleShot(0, this, [this] {
        const int row = List2->currentRow();
        if (!m_effectTyping)
            Text3->setText(row >= 0 ? list().effects[row] : QString());
    });
}

void Form1::catalogueButtonClicked()
{
    if (CatalogueButton->text() == AddCaption)
        addToCatalogue();
    else
        takeCatalogueValues();
}

// The catalogue's data for every shot with the selected entry's effect, one step.
void Form1::takeCatalogueValues()
{
    const int row = List2->currentRow();
    if (row < 0)
        return;
    const quint64 seen = m_shownRevision;
    const QString name = list().effects[row];
    const EffectData* article = Catalogue->model().catalogue().find(name);
    if (!article)
        return;
    const bool applied
        = m_document->setEffectData(seen, { *article }, QStringLiteral("Katalogwerte für „%1“").arg(name));
    if (!applied && m_document->revision() != seen)
        return;
    afterCommit(seen, applied, row);
}

// The list's data for the selected entry's effect as a new article: a step of the catalogue, taken back
// on "Effekte".
void Form1::addToCatalogue()
{
    const int row = List2->currentRow();
    if (row < 0 || m_shownRevision != m_document->revision())
        return;
    const QString name = list().effects[row];
    const auto found = m_document->meta().effectData.constFind(name);
    if (found == m_document->meta().effectData.constEnd())
        return;
    const QString refusal = Catalogue->model().addEffect(*found);
    showNotice(refusal.isEmpty() ? QStringLiteral("„%1“ ist in den Katalog aufgenommen.").arg(name)
                                 : QStringLiteral("„%1“ ist nicht aufgenommen: %2").arg(name, refusal));
}
