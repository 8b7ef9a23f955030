#include "import_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Item data of a role's choices.
constexpr int Automatic = -2;
constexpr int Absent = -1;

QTableWidget* newTable(const QString& name, const QStringList& headers)
{
    auto* table = new QTableWidget(0, int(headers.size()));
    table->setObjectName(name);
    table->setHorizontalHeaderLabels(headers);
    table->verticalHeader()->setVisible(false);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->setWordWrap(false);
    // Whole texts, a scroll bar when they are wider than the table.
    table->setTextElideMode(Qt::ElideNone);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    return table;
}

void setCell(QTableWidget* table, int row, int column, const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setToolTip(text);
    table->setItem(row, column, item);
}

QComboBox* newChoice(const QString& name)
{
    auto* box = new QComboBox;
    box->setObjectName(name);
    // Long column names must not widen the dialog beyond the screen.
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(24);
    return box;
}

CsvColumnChoice choiceOf(const QComboBox* box)
{
    const int code = box->currentData().toInt();
    if (code == Automatic)
        return CsvColumnChoice::automatic();
    if (code == Absent)
        return CsvColumnChoice::absent();
    return CsvColumnChoice::at(code);
}

} // namespace

ImportDialog::ImportDialog(const QString& title, const QString& file, const CsvImportOptions& options,
    Evaluate evaluate, QWidget* parent)
    : QDialog(parent)
    , m_evaluate(std::move(evaluate))
{
    setObjectName(QStringLiteral("ImportDialog"));
    setWindowTitle(title);

    m_file = new QLabel(QStringLiteral("Datei: %1").arg(file));
    m_file->setObjectName(QStringLiteral("ImportFile"));
    m_file->setWordWrap(true);
    m_file->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_columns = newTable(QStringLiteral("ImportColumns"), { "Spalte", "Name", "Rolle", "Hinweis" });
    auto* columnsBox = new QGroupBox(QStringLiteral("Spalten der Datei"));
    (new QVBoxLayout(columnsBox))->addWidget(m_columns);

    m_time = newChoice(QStringLiteral("ImportTime"));
    m_device = newChoice(QStringLiteral("ImportDevice"));
    m_circuit = newChoice(QStringLiteral("ImportCircuit"));
    m_effect = newChoice(QStringLiteral("ImportEffect"));
    m_from0 = new QRadioButton(QStringLiteral("Kreise ab 0"));
    m_from0->setObjectName(QStringLiteral("ImportFrom0"));
    m_from1 = new QRadioButton(QStringLiteral("Kreise ab 1"));
    m_from1->setObjectName(QStringLiteral("ImportFrom1"));
    m_without = new QCheckBox(QStringLiteral("Liste ohne Zündkreise"));
    m_without->setObjectName(QStringLiteral("ImportWithoutCircuits"));
    auto* choicesBox = new QGroupBox(QStringLiteral("Zuordnung"));
    auto* choices = new QFormLayout(choicesBox);
    choices->addRow(QStringLiteral("Zeit:"), m_time);
    choices->addRow(QStringLiteral("Zündgerät:"), m_device);
    choices->addRow(QStringLiteral("Kreis:"), m_circuit);
    choices->addRow(QStringLiteral("Effekt:"), m_effect);
    auto* numbering = new QHBoxLayout;
    numbering->addWidget(m_from0);
    numbering->addWidget(m_from1);
    numbering->addStretch();
    choices->addRow(numbering);
    choices->addRow(m_without);

    auto* top = new QHBoxLayout;
    top->addWidget(columnsBox, 3);
    top->addWidget(choicesBox, 2);

    m_rows
        = newTable(QStringLiteral("ImportRows"), { "Nr", "Zeit", "Zündkreis", "Effekt", "Zeile der Datei" });
    auto* rowsBox = new QGroupBox;
    auto* rowsLayout = new QVBoxLayout(rowsBox);
    m_rowsTitle = new QLabel;
    m_rowsTitle->setWordWrap(true);
    rowsLayout->addWidget(m_rowsTitle);
    rowsLayout->addWidget(m_rows);

    m_report = new QPlainTextEdit;
    m_report->setObjectName(QStringLiteral("ImportReport"));
    m_report->setReadOnly(true);
    m_report->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    auto* reportBox = new QGroupBox(QStringLiteral("Bericht"));
    (new QVBoxLayout(reportBox))->addWidget(m_report);

    auto* buttons = new QDialogButtonBox;
    m_accept = buttons->addButton(QStringLiteral("Übernehmen"), QDialogButtonBox::AcceptRole);
    m_accept->setObjectName(QStringLiteral("ImportAccept"));
    QPushButton* cancel = buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("ImportCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (m_current.list)
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_file);
    layout->addLayout(top, 3);
    layout->addWidget(rowsBox, 3);
    layout->addWidget(reportBox, 2);
    layout->addWidget(buttons);

    m_current = m_evaluate(options);
    fillChoices(options);
    showImport();

    for (QComboBox* box : { m_time, m_device, m_circuit, m_effect })
        connect(box, &QComboBox::currentIndexChanged, this, &ImportDialog::reevaluate);
    connect(m_from1, &QRadioButton::toggled, this, &ImportDialog::reevaluate);
    connect(m_without, &QCheckBox::toggled, this, &ImportDialog::reevaluate);

    const QRect screen = QGuiApplication::primaryScreen()
        ? QGuiApplication::primaryScreen()->availableGeometry()
        : QRect(0, 0, 1024, 768);
    resize(std::min(1000, screen.width() * 9 / 10), std::min(760, screen.height() * 9 / 10));
}

CsvImportOptions ImportDialog::options() const
{
    CsvImportOptions options;
    options.time = choiceOf(m_time);
    options.device = choiceOf(m_device);
    options.circuit = choiceOf(m_circuit);
    options.effect = choiceOf(m_effect);
    options.circuitsFrom = m_from1->isChecked() ? 1 : 0;
    options.withoutCircuits = m_without->isChecked();
    return options;
}

void ImportDialog::fillChoices(const CsvImportOptions& options)
{
    m_filling = true;
    const auto fill
        = [&](QComboBox* box, const CsvColumnChoice& choice, bool absent, const QString& absentText) {
              box->addItem(QStringLiteral("automatisch"), Automatic);
              if (absent)
                  box->addItem(absentText, Absent);
              for (int i = 0; i < m_current.columns.size(); ++i)
                  box->addItem(QStringLiteral("Spalte %1 „%2“").arg(i + 1).arg(m_current.columns[i].name), i);
              int code = Automatic;
              if (choice.kind == CsvColumnChoice::Kind::Absent && absent)
                  code = Absent;
              else if (choice.kind == CsvColumnChoice::Kind::Index)
                  code = choice.index;
              else if (choice.kind == CsvColumnChoice::Kind::Name) {
                  for (int i = 0; i < m_current.columns.size(); ++i) {
                      if (m_current.columns[i].name.compare(choice.name, Qt::CaseInsensitive) == 0)
                          code = i;
                  }
              }
              box->setCurrentIndex(std::max(0, box->findData(code)));
          };
    fill(m_time, options.time, false, QString());
    fill(m_device, options.device, true, QStringLiteral("keine (Kreise wie „B05“)"));
    fill(m_circuit, options.circuit, false, QString());
    fill(m_effect, options.effect, true, QStringLiteral("keine"));
    (options.circuitsFrom == 1 ? m_from1 : m_from0)->setChecked(true);
    m_without->setChecked(options.withoutCircuits);
    m_filling = false;
}

void ImportDialog::reevaluate()
{
    if (m_filling)
        return;
    m_current = m_evaluate(options());
    showImport();
}

void ImportDialog::showImport()
{
    const bool circuits = !m_without->isChecked();
    for (QWidget* widget : std::initializer_list<QWidget*> { m_device, m_circuit, m_from0, m_from1 })
        widget->setEnabled(circuits);

    m_columns->setRowCount(int(m_current.columns.size()));
    for (int i = 0; i < m_current.columns.size(); ++i) {
        const CsvColumn& column = m_current.columns[i];
        setCell(m_columns, i, 0, QString::number(i + 1));
        setCell(m_columns, i, 1, column.name);
        setCell(m_columns, i, 2, CsvRoleName(column.role));
        setCell(m_columns, i, 3, column.note);
    }

    const bool taken = m_current.list.has_value();
    m_rowsTitle->setText(taken
            ? QStringLiteral("So werden die Einträge gespeichert:")
            : QStringLiteral("Lesbare Zeilen – übernommen wird nichts, solange der Bericht "
                             "Fehler nennt:"));
    m_rows->setRowCount(int(m_current.rows.size()));
    for (int i = 0; i < m_current.rows.size(); ++i) {
        const CsvRow& row = m_current.rows[i];
        setCell(m_rows, i, 0, QStringLiteral("%1").arg(i + 1, 3, 10, QLatin1Char('0')));
        setCell(m_rows, i, 1, FormatClock(row.time));
        setCell(m_rows, i, 2, row.circuit == NoCircuit ? QStringLiteral("---") : CircuitLabel(row.circuit));
        setCell(m_rows, i, 3, row.effect);
        setCell(m_rows, i, 4, QString::number(row.line));
    }

    if (taken)
        m_report->setPlainText(
            QStringLiteral("Die Datei wird so übernommen:\n") + CsvSummaryLines(m_current).join('\n'));
    else
        m_report->setPlainText(
            QStringLiteral("Nicht übernommen – wählen Sie die Spalten oder berichtigen Sie die "
                           "Datei:\n")
            + m_current.problems.join('\n'));
    m_accept->setEnabled(taken);
    m_accept->setDefault(taken);
}

TablePreviewDialog::TablePreviewDialog(
    const QString& title, const QString& file, const TablePreview& preview, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(title);
    auto* fileLabel = new QLabel(QStringLiteral("Datei: %1").arg(file), this);
    fileLabel->setObjectName(QStringLiteral("fileLabel"));
    fileLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* summary = new QLabel(preview.summary.join(QLatin1Char('\n')), this);
    summary->setObjectName(QStringLiteral("summaryLabel"));
    summary->setWordWrap(true);
    summary->setTextInteractionFlags(Qt::TextSelectableByMouse);

    QTableWidget* rows = newTable(QStringLiteral("previewRows"), preview.header);
    rows->setParent(this);
    const int shown = int(std::min<qsizetype>(preview.rows.size(), ShownRows));
    rows->setRowCount(shown);
    for (int row = 0; row < shown; ++row) {
        const QStringList& cells = preview.rows[row];
        for (int column = 0; column < cells.size() && column < preview.header.size(); ++column)
            rows->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
    auto* more = new QLabel(QStringLiteral("… und %1 weitere Zeilen").arg(preview.rows.size() - shown), this);
    more->setVisible(preview.rows.size() > shown);

    auto* report = new QPlainTextEdit(this);
    report->setObjectName(QStringLiteral("problemReport"));
    report->setReadOnly(true);
    report->setPlainText(preview.problems.isEmpty() ? QString()
                                                    : QStringLiteral("Die Datei wird nicht übernommen:\n")
                + preview.problems.join(QLatin1Char('\n')));
    report->setVisible(!preview.problems.isEmpty());
    rows->setVisible(preview.problems.isEmpty());

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* accept = buttons->button(QDialogButtonBox::Ok);
    accept->setObjectName(QStringLiteral("acceptButton"));
    accept->setText(QStringLiteral("Übernehmen"));
    accept->setEnabled(preview.problems.isEmpty());
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fileLabel);
    layout->addWidget(summary);
    layout->addWidget(rows, 1);
    layout->addWidget(more);
    layout->addWidget(report, 1);
    layout->addWidget(buttons);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        resize(std::min(900, screen->availableGeometry().width() * 9 / 10),
            std::min(600, screen->availableGeometry().height() * 9 / 10));
}
