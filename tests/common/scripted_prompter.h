#pragma once

#include "prompter.h"

#include <QList>
#include <QPdfWriter>
#include <QQueue>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>

// Answers message, input and file boxes from queues and records what was asked. A print preview
// paints into a PDF file, one per request, listed in printed.
class ScriptedPrompter : public Prompter {
public:
    struct Asked {
        QString title;
        QString text;
        Buttons buttons = Buttons::Ok;
        Answer defaultButton = Answer::Ok;
        bool isInput = false;
        QString defaultText;
        Icon icon = Icon::None;
        bool isFile = false; // text: the folder or proposed file; defaultText: the filter
        FileChoice fileChoice = FileChoice::Open;
        bool isPrint = false; // text: the PDF file proposed
        QPageLayout pageLayout = QPageLayout();
        QString details = QString(); // the whole report behind a shortened text
        bool isImport = false; // text: the file
    };

    QQueue<Answer> answers;
    QQueue<std::optional<QString>> inputs;
    QQueue<std::optional<QString>> files;
    QList<Asked> asked;
    QStringList printed;
    // The import preview: each call takes one choice, the options the user sets in it (evaluated and
    // accepted when that gives a list, as "Übernehmen" is enabled only then; otherwise cancelled); nullopt
    // cancels. Without a queued choice the preview is accepted as it opens, when it can be.
    QQueue<std::optional<CsvImportOptions>> importChoices;
    // Every evaluation a preview showed, in order.
    QList<CsvImport> previews;
    // Every table preview shown; each is answered from answers (Ok takes it), else taken when it can be.
    QList<TablePreview> tablePreviews;
    // Runs while a box is "open", before its answer: what a nested event loop lets happen meanwhile.
    std::function<void(const Asked&)> whileOpen;

    void setNextAnswer(Answer answer) { answers.enqueue(answer); }
    void setNextInput(std::optional<QString> text) { inputs.enqueue(std::move(text)); }
    // nullopt: the file dialog is cancelled, as it is when nothing is queued.
    void setNextFile(std::optional<QString> path) { files.enqueue(std::move(path)); }

    Answer message(
        const QString& title, const QString& text, Buttons buttons, Answer defaultButton, Icon icon) override
    {
        return answer({ title, text, buttons, defaultButton, false, QString(), icon });
    }

    Answer messageWithDetails(const QString& title, const QString& text, const QString& details,
        Buttons buttons, Answer defaultButton, Icon icon) override
    {
        Asked box { title, text, buttons, defaultButton, false, QString(), icon };
        box.details = details;
        return answer(box);
    }

    std::optional<QString> input(
        const QString& title, const QString& prompt, const QString& defaultText) override
    {
        asked.append({ title, prompt, Buttons::OkCancel, Answer::Ok, true, defaultText });
        if (whileOpen)
            whileOpen(asked.last());
        if (!inputs.isEmpty()) {
            std::optional<QString> answer = inputs.dequeue();
            if (answer && answer->isEmpty())
                return std::nullopt;
            return answer;
        }
        return std::nullopt;
    }

    std::optional<QString> chooseFile(
        FileChoice mode, const QString& title, const QString& start, const QString& filter) override
    {
        Asked box;
        box.title = title;
        box.text = start;
        box.buttons = Buttons::OkCancel;
        box.defaultText = filter;
        box.isFile = true;
        box.fileChoice = mode;
        asked.append(box);
        if (whileOpen)
            whileOpen(asked.last());
        return files.isEmpty() ? std::nullopt : files.dequeue();
    }

    void printPreview(const QString& title, const QPageLayout& layout, const QString& pdfFile,
        const std::function<void(QPagedPaintDevice&)>& paint) override
    {
        Asked box;
        box.title = title;
        box.isPrint = true;
        box.text = pdfFile;
        box.pageLayout = layout;
        asked.append(box);
        if (whileOpen)
            whileOpen(asked.last());
        if (!m_printDir)
            m_printDir = std::make_unique<QTemporaryDir>();
        const QString path = m_printDir->filePath(QStringLiteral("preview-%1.pdf").arg(printed.size() + 1));
        {
            QPdfWriter writer(path);
            writer.setPageLayout(layout);
            writer.setResolution(1200);
            paint(writer);
        }
        printed.append(path);
    }

    std::optional<CsvImport> previewImport(const QString& title, const QString& file,
        const CsvImportOptions& options, const CsvEvaluation& evaluate) override
    {
        Asked box;
        box.title = title;
        box.text = file;
        box.buttons = Buttons::OkCancel;
        box.isImport = true;
        asked.append(box);
        previews.append(evaluate(options));
        if (whileOpen)
            whileOpen(asked.last());
        if (!importChoices.isEmpty()) {
            const std::optional<CsvImportOptions> choice = importChoices.dequeue();
            if (!choice)
                return std::nullopt;
            previews.append(evaluate(*choice));
        }
        if (!previews.last().list)
            return std::nullopt;
        return previews.last();
    }

    bool previewTable(const QString& title, const QString& file, const TablePreview& preview) override
    {
        Asked box;
        box.title = title;
        box.text = file;
        box.buttons = Buttons::OkCancel;
        box.isImport = true;
        asked.append(box);
        tablePreviews.append(preview);
        if (whileOpen)
            whileOpen(asked.last());
        const Answer given = answers.isEmpty() ? Answer::Ok : answers.dequeue();
        return given == Answer::Ok && preview.problems.isEmpty();
    }

private:
    Answer answer(const Asked& box)
    {
        asked.append(box);
        if (whileOpen)
            whileOpen(asked.last());
        if (!answers.isEmpty())
            return answers.dequeue();
        return box.buttons == Buttons::YesNo ? Answer::No
                                             : (box.buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel);
    }

    std::unique_ptr<QTemporaryDir> m_printDir;
};
