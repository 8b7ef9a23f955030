#pragma once

#include <QString>

#include <optional>

class QWidget;

// Every message and input box of the window goes through this, so tests can answer them.
class Prompter {
public:
    enum class Buttons { Ok, OkCancel, YesNo };
    enum class Answer { Ok, Cancel, Yes, No };
    enum class Icon { None, Information, Warning, Critical };

    virtual ~Prompter() = default;

    virtual Answer message(const QString& title, const QString& text, Buttons buttons, Answer defaultButton,
        Icon icon = Icon::None)
        = 0;
    // An empty answer counts as cancelled: returns nullopt for both.
    virtual std::optional<QString> input(
        const QString& title, const QString& prompt, const QString& defaultText)
        = 0;
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

private:
    QWidget* m_parent;
};
