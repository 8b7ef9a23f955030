#pragma once

#include "files/csv_file.h"

#include <QPageLayout>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QPagedPaintDevice;
class QWidget;

// Every box of the window (messages, input, file choice, print preview) goes through this, so tests
// can answer them.
// What a table import other than a list's brings: lines about the table, the rows as they will be
// stored (header and cells) and every problem, with which nothing can be taken.
struct TablePreview {
    QStringList summary;
    QStringList header;
    QList<QStringList> rows;
    QStringList problems;
};

class Prompter {
public:
    enum class Buttons { Ok, OkCancel, YesNo };
    enum class Answer { Ok, Cancel, Yes, No };
    enum class Icon { None, Information, Warning, Critical };
    enum class FileChoice { Open, Save };

    virtual ~Prompter() = default;

    virtual Answer message(const QString& title, const QString& text, Buttons buttons, Answer defaultButton,
        Icon icon = Icon::None)
        = 0;
    // A box whose text is the short form of a long report (ListedReport): details hold the whole,
    // behind the box's details button. Without details it is message().
    virtual Answer messageWithDetails(const QString& title, const QString& text, const QString& details,
        Buttons buttons, Answer defaultButton, Icon icon = Icon::None)
    {
        Q_UNUSED(details);
        return message(title, text, buttons, defaultButton, icon);
    }
    // An empty answer counts as cancelled: returns nullopt for both.
    virtual std::optional<QString> input(
        const QString& title, const QString& prompt, const QString& defaultText)
        = 0;
    // start is a folder or a proposed file; filter as in "CSV-Dateien (*.csv)". A name saved without
    // extension gets the filter's first one. nullopt when cancelled.
    virtual std::optional<QString> chooseFile(
        FileChoice mode, const QString& title, const QString& start, const QString& filter)
        = 0;
    // On pages of the layout; paint draws every page onto the device, as often as the preview needs it.
    // pdfFile is the file proposed when the user prints to a PDF file.
    virtual void printPreview(const QString& title, const QPageLayout& layout, const QString& pdfFile,
        const std::function<void(QPagedPaintDevice&)>& paint)
        = 0;

    using CsvEvaluation = std::function<CsvImport(const CsvImportOptions&)>;
    // The preview of a table import: shows what evaluate gives for the options, lets the user change them
    // (each change evaluates again) and returns the import accepted with "Übernehmen", always one with a
    // list; nullopt when cancelled. file is the path as shown. Without a preview of its own, a prompter
    // cancels.
    virtual std::optional<CsvImport> previewImport(const QString& title, const QString& file,
        const CsvImportOptions& options, const CsvEvaluation& evaluate)
    {
        Q_UNUSED(title);
        Q_UNUSED(file);
        Q_UNUSED(options);
        Q_UNUSED(evaluate);
        return std::nullopt;
    }
    // The preview of a table: true for "Übernehmen", which is offered only without problems. Without a
    // preview of its own, a prompter cancels.
    virtual bool previewTable(const QString& title, const QString& file, const TablePreview& preview)
    {
        Q_UNUSED(title);
        Q_UNUSED(file);
        Q_UNUSED(preview);
        return false;
    }
};

// How many lines of a report a box shows: more would push its buttons off the screen.
constexpr int ReportLinesShown = 20;

struct BoxReport {
    QString text;
    QString details; // empty when every line is in the text
};

// head, then at most `shown` of the lines followed by "… und N weitere", then tail (lines joined by
// line breaks; head and tail bring their own). The details hold head, all lines and tail when some
// were left out.
BoxReport ListedReport(const QString& head, const QStringList& lines, const QString& tail = QString(),
    int shown = ReportLinesShown);

class DialogPrompter : public Prompter {
public:
    explicit DialogPrompter(QWidget* parent)
        : m_parent(parent)
    {
    }
    Answer message(
        const QString& title, const QString& text, Buttons buttons, Answer defaultButton, Icon icon) override;
    Answer messageWithDetails(const QString& title, const QString& text, const QString& details,
        Buttons buttons, Answer defaultButton, Icon icon) override;
    std::optional<QString> input(
        const QString& title, const QString& prompt, const QString& defaultText) override;
    std::optional<QString> chooseFile(
        FileChoice mode, const QString& title, const QString& start, const QString& filter) override;
    void printPreview(const QString& title, const QPageLayout& layout, const QString& pdfFile,
        const std::function<void(QPagedPaintDevice&)>& paint) override;
    std::optional<CsvImport> previewImport(const QString& title, const QString& file,
        const CsvImportOptions& options, const CsvEvaluation& evaluate) override;
    bool previewTable(const QString& title, const QString& file, const TablePreview& preview) override;

private:
    QWidget* m_parent;
};
