#include "effects_page.h"

#include "effects/catalogue_filter.h"
#include "effects/catalogue_store.h"
#include "prompter.h"
#include "shotlist/list_document.h"

#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString ExportTitle = QStringLiteral("Katalog exportieren");
const QString CatalogueTitle = QStringLiteral("Effektkatalog");

template <typename T> T* named(T* widget, const QString& name)
{
    widget->setObjectName(name);
    return widget;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& text)
{
    auto* pushButton = named(new QPushButton(parent), name);
    pushButton->setText(text);
    // The row may not squeeze a button below its text and the style's margins.
    QStyle* style = pushButton->style();
    const int margins = 2
        * (style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, pushButton)
            + style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, pushButton));
    const int textWidth = pushButton->fontMetrics().horizontalAdvance(QString(text).remove(QLatin1Char('&')));
    pushButton->setMinimumWidth(qMax(pushButton->sizeHint().width(), textWidth + margins + 4));
    return pushButton;
}

// In the order of EffectArt and EffectClass.
QStringList artNames()
{
    QStringList names;
    for (int art = 0; art < EffectArtCount; ++art)
        names.append(EffectArtName(EffectArt(art)));
    return names;
}

QStringList classNames()
{
    QStringList names;
    for (int effectClass = 0; effectClass < EffectClassCount; ++effectClass)
        names.append(EffectClassName(EffectClass(effectClass)));
    return names;
}

// Art and Klasse are typed as text; the fixed names are offered while typing.
class NamedValueDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(
        QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        auto* line = qobject_cast<QLineEdit*>(editor);
        if (!line)
            return editor;
        auto* completer
            = new QCompleter(index.column() == CatalogueModel::ArtColumn ? artNames() : classNames(), line);
        completer->setCaseSensitivity(Qt::CaseInsensitive);
        line->setCompleter(completer);
        return editor;
    }
};

} // namespace

EffectsPage::EffectsPage(ListDocument& document, Prompter& prompter, CatalogueStore& store, QWidget* parent)
    : QWidget(parent)
    , m_document(document)
    , m_prompter(&prompter)
    , m_store(store)
    , m_filter(new CatalogueFilter(this))
{
    setObjectName(QStringLiteral("EffectsPage"));
    m_filter->setSourceModel(&m_store.model());
    buildWidgets();
    wire();
    listChanged();
    if (!m_store.loadProblem().isEmpty())
        showMessage(m_store.loadProblem(), true);
}

void EffectsPage::buildWidgets()
{
    m_nameFilter = named(new QLineEdit(this), QStringLiteral("nameFilter"));
    m_nameFilter->setPlaceholderText(QStringLiteral("Name enthält …"));
    m_nameFilter->setClearButtonEnabled(true);
    m_artFilter = named(new QComboBox(this), QStringLiteral("artFilter"));
    m_artFilter->addItem(QStringLiteral("Alle Arten"), -1);
    const QStringList arts = artNames();
    for (int art = 0; art < arts.size(); ++art)
        m_artFilter->addItem(arts[art], art);
    m_classFilter = named(new QComboBox(this), QStringLiteral("classFilter"));
    m_classFilter->addItem(QStringLiteral("Alle Klassen"), -1);
    const QStringList classes = classNames();
    for (int effectClass = 0; effectClass < classes.size(); ++effectClass)
        m_classFilter->addItem(classes[effectClass], effectClass);

    auto* filterRow = new QHBoxLayout;
    auto* nameLabel = new QLabel(QStringLiteral("&Suchen:"), this);
    nameLabel->setBuddy(m_nameFilter);
    auto* artLabel = new QLabel(QStringLiteral("&Art:"), this);
    artLabel->setBuddy(m_artFilter);
    auto* classLabel = new QLabel(QStringLiteral("&Klasse:"), this);
    classLabel->setBuddy(m_classFilter);
    filterRow->addWidget(nameLabel);
    filterRow->addWidget(m_nameFilter, 1);
    filterRow->addWidget(artLabel);
    filterRow->addWidget(m_artFilter);
    filterRow->addWidget(classLabel);
    filterRow->addWidget(m_classFilter);

    m_view = named(new QTableView(this), QStringLiteral("catalogueView"));
    m_view->setModel(m_filter);
    m_view->setSortingEnabled(true);
    m_view->sortByColumn(CatalogueModel::NameColumn, Qt::AscendingOrder);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
        | QAbstractItemView::AnyKeyPressed);
    m_view->setAlternatingRowColors(true);
    m_view->verticalHeader()->hide();
    auto* namedValues = new NamedValueDelegate(m_view);
    m_view->setItemDelegateForColumn(CatalogueModel::ArtColumn, namedValues);
    m_view->setItemDelegateForColumn(CatalogueModel::ClassColumn, namedValues);
    m_view->setWordWrap(false);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 8);
    // The headers carry their units: two lines ("Kaliber" over "(mm)") keep the columns narrow, set once
    // rather than measured on every change of a long catalogue.
    QHeaderView* header = m_view->horizontalHeader();
    header->setDefaultAlignment(Qt::Alignment(int(Qt::AlignCenter) | int(Qt::TextWordWrap)));
    header->setSectionResizeMode(QHeaderView::Interactive);
    const QFontMetrics metrics = header->fontMetrics();
    for (int column = 0; column < CatalogueModel::ColumnCount; ++column) {
        int width = metrics.horizontalAdvance(QStringLiteral("Römisches Licht"));
        if (column != CatalogueModel::ArtColumn) {
            width = metrics.horizontalAdvance(QStringLiteral("12345,5"));
            const QString text = m_store.model().headerData(column, Qt::Horizontal).toString();
            for (const QString& word : text.split(QLatin1Char(' ')))
                width = std::max(width, metrics.horizontalAdvance(word));
        }
        header->resizeSection(column, width + 24);
    }
    header->resizeSection(CatalogueModel::NameColumn, metrics.horizontalAdvance(QLatin1Char('x')) * 26);
    header->setFixedHeight(2 * metrics.lineSpacing() + 10);

    m_messageLabel = named(new QLabel(this), QStringLiteral("messageLabel"));
    m_messageLabel->setWordWrap(true);
    m_messageLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_messageLabel->hide();
    m_stockLabel = named(new QLabel(this), QStringLiteral("stockLabel"));
    m_stockLabel->setWordWrap(true);
    m_stockLabel->setStyleSheet(QStringLiteral("color: %1;").arg(CatalogueModel::ShortfallText.name()));
    m_stockLabel->hide();

    m_newButton = button(this, QStringLiteral("newEffectButton"), QStringLiteral("&Neuer Effekt"));
    m_deleteButton = button(this, QStringLiteral("deleteEffectButton"), QStringLiteral("&Löschen"));
    m_undoButton = button(this, QStringLiteral("undoButton"), QStringLiteral("&Rückgängig"));
    m_redoButton = button(this, QStringLiteral("redoButton"), QStringLiteral("&Wiederholen"));
    m_exportButton = button(this, QStringLiteral("exportButton"), QStringLiteral("Katalog &exportieren…"));
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(m_newButton);
    buttonRow->addWidget(m_deleteButton);
    buttonRow->addSpacing(16);
    buttonRow->addWidget(m_undoButton);
    buttonRow->addWidget(m_redoButton);
    buttonRow->addStretch(1);
    buttonRow->addWidget(m_exportButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filterRow);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_messageLabel);
    layout->addWidget(m_stockLabel);
    layout->addLayout(buttonRow);
}

void EffectsPage::wire()
{
    CatalogueModel& model = m_store.model();
    QUndoStack& stack = model.undoStack();
    connect(m_nameFilter, &QLineEdit::textChanged, this, &EffectsPage::applyFilters);
    connect(m_artFilter, &QComboBox::currentIndexChanged, this, &EffectsPage::applyFilters);
    connect(m_classFilter, &QComboBox::currentIndexChanged, this, &EffectsPage::applyFilters);
    connect(m_newButton, &QPushButton::clicked, this, &EffectsPage::addEffect);
    connect(m_deleteButton, &QPushButton::clicked, this, &EffectsPage::deleteSelected);
    connect(m_undoButton, &QPushButton::clicked, &stack, &QUndoStack::undo);
    connect(m_redoButton, &QPushButton::clicked, &stack, &QUndoStack::redo);
    connect(m_exportButton, &QPushButton::clicked, this, &EffectsPage::exportCatalogue);

    m_undoButton->setEnabled(stack.canUndo());
    m_redoButton->setEnabled(stack.canRedo());
    connect(&stack, &QUndoStack::canUndoChanged, m_undoButton, &QWidget::setEnabled);
    connect(&stack, &QUndoStack::canRedoChanged, m_redoButton, &QWidget::setEnabled);
    connect(&stack, &QUndoStack::undoTextChanged, m_undoButton, &QWidget::setToolTip);
    connect(&stack, &QUndoStack::redoTextChanged, m_redoButton, &QWidget::setToolTip);
    // A message is about the step before: the next one clears it.
    connect(&stack, &QUndoStack::indexChanged, this, [this] { showMessage(QString(), false); });

    connect(
        &model, &CatalogueModel::refused, this, [this](const QString& reason) { showMessage(reason, true); });
    connect(&model, &CatalogueModel::noted, this, [this](const QString& text) { showMessage(text, false); });
    connect(&model, &CatalogueModel::catalogueChanged, this, &EffectsPage::updateStockLabel);
    connect(&m_document, &ListDocument::changed, this, &EffectsPage::listChanged);

    connect(&m_store, &CatalogueStore::writeFailed, this, [this](const QString& reason) {
        showMessage(reason, true);
        if (!m_lastWriteFailed)
            m_prompter->message(
                CatalogueTitle, reason, Prompter::Buttons::Ok, Prompter::Answer::Ok, Prompter::Icon::Warning);
        m_lastWriteFailed = true;
    });
    connect(&m_store, &CatalogueStore::written, this, [this] { m_lastWriteFailed = false; });
}

void EffectsPage::tellLoadProblem()
{
    if (m_loadProblemTold || m_store.loadProblem().isEmpty())
        return;
    m_loadProblemTold = true;
    m_prompter->message(CatalogueTitle, m_store.loadProblem(), Prompter::Buttons::Ok, Prompter::Answer::Ok,
        Prompter::Icon::Warning);
}

void EffectsPage::applyFilters()
{
    m_filter->setNameFilter(m_nameFilter->text());
    const int art = m_artFilter->currentData().toInt();
    m_filter->setArtFilter(art < 0 ? std::nullopt : std::optional<EffectArt>(EffectArt(art)));
    const int effectClass = m_classFilter->currentData().toInt();
    m_filter->setClassFilter(
        effectClass < 0 ? std::nullopt : std::optional<EffectClass>(EffectClass(effectClass)));
}

void EffectsPage::clearFilters()
{
    m_nameFilter->clear();
    m_artFilter->setCurrentIndex(0);
    m_classFilter->setCurrentIndex(0);
}

void EffectsPage::addEffect()
{
    CatalogueModel& model = m_store.model();
    const int row = model.addEffect();
    if (row < 0)
        return;
    QModelIndex index = m_filter->mapFromSource(model.index(row, CatalogueModel::NameColumn));
    if (!index.isValid()) {
        // The new article matches no filter: show it rather than add it out of sight.
        clearFilters();
        index = m_filter->mapFromSource(model.index(row, CatalogueModel::NameColumn));
    }
    m_view->setCurrentIndex(index);
    m_view->scrollTo(index);
    m_view->edit(index);
}

void EffectsPage::deleteSelected()
{
    QList<int> rows;
    for (const QModelIndex& index : m_view->selectionModel()->selectedRows())
        rows.append(m_filter->mapToSource(index).row());
    if (rows.isEmpty()) {
        showMessage(QStringLiteral("Zum Löschen zuerst einen Effekt in der Tabelle wählen."), true);
        return;
    }
    m_store.model().removeEffects(rows);
}

void EffectsPage::exportCatalogue()
{
    const QString folder = m_document.meta().sourcePath.isEmpty()
        ? QDir::homePath()
        : QFileInfo(m_document.meta().sourcePath).absolutePath();
    const std::optional<QString> path = m_prompter->chooseFile(Prompter::FileChoice::Save, ExportTitle,
        QDir(folder).filePath(CatalogueFileName), QStringLiteral("CSV-Dateien (*.csv)"));
    if (!path)
        return;
    QString error;
    if (!WriteCatalogueFile(*path, m_store.model().catalogue(), &error)) {
        const QString text = QStringLiteral("Der Katalog wurde nicht nach %1 exportiert: %2")
                                 .arg(QDir::toNativeSeparators(*path), error);
        showMessage(text, true);
        m_prompter->message(
            ExportTitle, text, Prompter::Buttons::Ok, Prompter::Answer::Ok, Prompter::Icon::Critical);
        return;
    }
    showMessage(QStringLiteral("Katalog mit %1 Effekten nach %2 exportiert.")
                    .arg(m_store.model().catalogue().size())
                    .arg(QDir::toNativeSeparators(*path)),
        false);
}

void EffectsPage::listChanged()
{
    m_store.model().setList(m_document.list(), m_document.entryCount());
    updateStockLabel();
}

void EffectsPage::showMessage(const QString& text, bool problem)
{
    m_messageLabel->setText(text);
    m_messageLabel->setStyleSheet(
        problem ? QStringLiteral("color: %1;").arg(CatalogueModel::ShortfallText.name()) : QString());
    m_messageLabel->setVisible(!text.isEmpty());
}

void EffectsPage::updateStockLabel()
{
    const QStringList warnings = m_store.model().stockWarnings();
    if (warnings.isEmpty()) {
        m_stockLabel->clear();
        m_stockLabel->hide();
        return;
    }
    constexpr int Shown = 5;
    QString text = QStringLiteral("Bestand reicht nicht für die Liste: ")
        + warnings.mid(0, Shown).join(QStringLiteral("; "));
    if (warnings.size() > Shown)
        text += QStringLiteral(" … und %1 weitere").arg(warnings.size() - Shown);
    m_stockLabel->setText(text + QLatin1Char('.'));
    m_stockLabel->show();
}
