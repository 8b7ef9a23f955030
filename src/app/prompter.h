#pragma once

#include "files/csv_file.h"

#include <QString>

#include <functional>
#include <optional>

class QPagedPaintDevice;
class QWidget;

// Every box of the window (messages, input, file choice, print preview) goes through this, so tests
// can answer them.
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
    // An empty answer counts as cancelled: returns nullopt for both.
    virtual std::optional<QString> input(
        const QString& title, const QString& prompt, const QString& defaultText)
        = 0;
    // start is a folder or a proposed file; filter as in "CSV-Dateien (*.csv)". A name saved without
    // extension gets the filter's first one. nullopt when cancelled.
    virtual std::optional<QString> chooseFile(
        FileChoice mode, const QString& title, const QString& start, const QString& filter)
        = 0;
    // A4 portrait; paint draws every page onto the device, as often as the preview needs it.
    virtual void printPreview(const QString& title, const std::function<void(QPagedPaintDevice&)>& paint) = 0;

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
};

class DialogPrompter : public Prompter {
public:
    explicit DialogPrompter(QWidget* parent)
        : m_parent(parent)
    {
    }
    Answer message(
        const QString& title, const QString& text, Buttons buttons, Answer defaultButton, Icon icon) override;
    std::optional<QString> input(
        const QString& title, const QString& prompt, const QString& defaultText) override;
    std::optional<QString> chooseFile(
        FileChoice mode, const QString& title, const QString& start, const QString& filter) override;
    void printPreview(const QString& title, const std::function<void(QPagedPaintDevice&)>& paint) override;
    std::optional<CsvImport> previewImport(const QString& title, const QString& file,
        const CsvImportOptions& options, const CsvEvaluation& evaluate) override;

private:
    QWidget* m_parent;
};
