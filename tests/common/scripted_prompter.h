#pragma once

#include "prompter.h"

#include <QList>
#include <QQueue>
#include <QString>

#include <functional>

// Answers message and input boxes from a queue and records what was asked.
class ScriptedPrompter : public Prompter {
public:
    struct Asked {
        QString title;
        QString text;
        Buttons buttons = Buttons::Ok;
        Answer defaultButton = Answer::Ok;
        bool isInput = false;
        QString defaultText;
    };

    QQueue<Answer> answers;
    QQueue<std::optional<QString>> inputs;
    QList<Asked> asked;
    // Runs while a box is "open", before its answer: what a nested event loop lets happen meanwhile.
    std::function<void(const Asked&)> whileOpen;

    void setNextAnswer(Answer answer) { answers.enqueue(answer); }
    void setNextInput(std::optional<QString> text) { inputs.enqueue(std::move(text)); }

    Answer message(
        const QString& title, const QString& text, Buttons buttons, Answer defaultButton, Icon) override
    {
        asked.append({ title, text, buttons, defaultButton, false, QString() });
        if (whileOpen)
            whileOpen(asked.last());
        if (!answers.isEmpty())
            return answers.dequeue();
        return buttons == Buttons::YesNo ? Answer::No
                                         : (buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel);
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
};
