#pragma once

#include "files/csv_file.h"
#include "prompter.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

// The preview of a table import: the columns with their roles, a choice per role, the numbering of
// circuits, the entries as they will be stored and every problem. Each choice evaluates the file again;
// "Übernehmen" is enabled only for an import without problems.
class ImportDialog : public QDialog {
    Q_OBJECT
public:
    using Evaluate = std::function<CsvImport(const CsvImportOptions&)>;

    ImportDialog(const QString& title, const QString& file, const CsvImportOptions& options,
        Evaluate evaluate, QWidget* parent = nullptr);

    const CsvImport& current() const { return m_current; }
    CsvImportOptions options() const;

private:
    void fillChoices(const CsvImportOptions& options);
    void reevaluate();
    void showImport();

    Evaluate m_evaluate;
    CsvImport m_current;
    bool m_filling = false;

    QLabel* m_file = nullptr;
    QTableWidget* m_columns = nullptr;
    QComboBox* m_time = nullptr;
    QComboBox* m_device = nullptr;
    QComboBox* m_circuit = nullptr;
    QComboBox* m_effect = nullptr;
    QRadioButton* m_from0 = nullptr;
    QRadioButton* m_from1 = nullptr;
    QCheckBox* m_without = nullptr;
    QLabel* m_rowsTitle = nullptr;
    QTableWidget* m_rows = nullptr;
    QPlainTextEdit* m_report = nullptr;
    QPushButton* m_accept = nullptr;
};

// The preview of a table that is not a list (a catalogue): what it is, its rows as they will be stored and
// every problem. "Übernehmen" is enabled only without problems.
class TablePreviewDialog : public QDialog {
    Q_OBJECT
public:
    // Rows shown; the rest are counted below the table.
    static constexpr int ShownRows = 2000;

    TablePreviewDialog(
        const QString& title, const QString& file, const TablePreview& preview, QWidget* parent = nullptr);
};
