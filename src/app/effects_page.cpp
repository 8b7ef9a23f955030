#include "effects_page.h"

#include "effects/catalogue_filter.h"
#include "effects/catalogue_import.h"
#include "effects/catalogue_store.h"
#include "prompter.h"
#include "shotlist/list_document.h"

#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString ImportTitle = QStringLiteral("Katalog importieren");
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
    // A wide window leaves no empty strip right of the table.
    header->setStretchLastSection(true);

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
    m_importButton = button(this, QStringLiteral("importButton"), QStringLiteral("Katalog &importieren…"));
    m_exportButton = button(this, QStringLiteral("exportButton"), QStringLiteral("Katalog &exportieren…"));
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(m_newButton);
    buttonRow->addWidget(m_deleteButton);
    buttonRow->addSpacing(16);
    buttonRow->addWidget(m_undoButton);
    buttonRow->addWidget(m_redoButton);
    buttonRow->addStretch(1);
    // The file buttons get a row of their own: beside the others they do not fit the default size.
    auto* fileRow = new QHBoxLayout;
    fileRow->addStretch(1);
    fileRow->addWidget(m_importButton);
    fileRow->addWidget(m_exportButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filterRow);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_messageLabel);
    layout->addWidget(m_stockLabel);
    layout->addLayout(buttonRow);
    layout->addLayout(fileRow);
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
    connect(m_importButton, &QPushButton::clicked, this, &EffectsPage::importCatalogue);
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

// The rows of a table as the catalogue will hold them, with what each does to it.
static TablePreview catalogueImportPreview(const CatalogueImportTable& table, const CatalogueImportPlan& plan)
{
    TablePreview preview;
    preview.problems = table.problems + plan.problems;
    if (!preview.problems.isEmpty())
        return preview;
    preview.summary = CatalogueImportSummary(table, plan);
    preview.header
        = QStringList { QStringLiteral("Zeile"), QStringLiteral("Übernahme"), QStringLiteral("Name") };
    for (const EffectColumn column : table.fields)
        preview.header.append(EffectColumnLabel(column));
    QHash<QString, QString> changes;
    for (const auto& [before, after] : plan.updated)
        changes.insert(before.name, QStringLiteral("ändert: ") + CatalogueChangeText(before, after));
    QSet<QString> added;
    for (const EffectData& data : plan.added)
        added.insert(data.name);
    for (qsizetype i = 0; i < table.effects.size(); ++i) {
        const EffectData& data = table.effects[i];
        QStringList cells { QString::number(table.lines[i]),
            added.contains(data.name) ? QStringLiteral("neu")
                                      : changes.value(data.name, QStringLiteral("unverändert")),
            data.name };
        for (const EffectColumn column : table.fields) {
            if (column == EffectColumn::Art)
                cells.append(data.art ? EffectArtName(*data.art) : QString());
            else if (column == EffectColumn::Class)
                cells.append(data.effectClass ? EffectClassName(*data.effectClass) : QString());
            else if (const std::optional<qint32>& value = EffectNumber(data, EffectFieldOf(column)))
                cells.append(EffectValueText(EffectFieldOf(column), *value));
            else
                cells.append(QString());
        }
        preview.rows.append(cells);
    }
    return preview;
}

void EffectsPage::importCatalogue()
{
    const QString folder = m_document.meta().sourcePath.isEmpty()
        ? QDir::homePath()
        : QFileInfo(m_document.meta().sourcePath).absolutePath();
    const std::optional<QString> path = m_prompter->chooseFile(Prompter::FileChoice::Open, ImportTitle,
        folder, QStringLiteral("Tabellen (*.csv *.txt *.tsv);;Alle Dateien (*)"));
    if (!path)
        return;
    const QString shown = QDir::toNativeSeparators(*path);
    const CatalogueImportTable table = ReadCatalogueImportFile(*path);
    CatalogueModel& model = m_store.model();
    const CatalogueImportPlan plan = PlanCatalogueImport(model.catalogue(), table);
    const TablePreview preview = catalogueImportPreview(table, plan);
    if (!m_prompter->previewTable(ImportTitle, shown, preview) || !table.ok() || !plan.ok())
        return;
    // The catalogue may have changed behind the preview: what is taken is planned against it as it is now.
    const CatalogueImportPlan now = PlanCatalogueImport(model.catalogue(), table);
    if (!now.ok())
        return;
    bool update = false;
    if (!now.updated.isEmpty()) {
        QStringList lines;
        for (const auto& [before, after] : now.updated)
            lines.append(QStringLiteral("„%1“: %2").arg(before.name, CatalogueChangeText(before, after)));
        const QString head = now.updated.size() == 1
            ? QStringLiteral("Die Tabelle ändert einen Artikel, der schon im Katalog steht:\n\n")
            : QStringLiteral("Die Tabelle ändert %1 Artikel, die schon im Katalog stehen:\n\n")
                  .arg(now.updated.size());
        const QString tail = now.added.isEmpty()
            ? QStringLiteral("\n\nSollen sie geändert werden?")
            : QStringLiteral(
                "\n\nSollen sie geändert werden? Die %1 neuen Artikel werden in jedem Fall hinzugefügt.")
                  .arg(now.added.size());
        const BoxReport report = ListedReport(head, lines, tail);
        update = m_prompter->messageWithDetails(ImportTitle, report.text, report.details,
                     Prompter::Buttons::YesNo, Prompter::Answer::No, Prompter::Icon::Information)
            == Prompter::Answer::Yes;
    }
    const EffectCatalogue& target = update ? now.withUpdated : now.withAdded;
    const QString name = QFileInfo(*path).fileName();
    if (!model.replaceCatalogue(target, QStringLiteral("Katalog aus %1 importieren").arg(name))) {
        showMessage(QStringLiteral("Aus %1 wurde nichts übernommen: der Katalog hat diese Artikel schon so.")
                        .arg(name),
            false);
        return;
    }
    showMessage(QStringLiteral("Aus %1 übernommen: %2, %3 geändert.")
                    .arg(name, NewArticlesText(int(now.added.size())))
                    .arg(update ? now.updated.size() : 0),
        false);
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
