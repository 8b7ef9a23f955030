#include "prompter.h"

#include <QInputDialog>
#include <QMessageBox>

namespace {

QMessageBox::StandardButton standardButton(Prompter::Answer answer)
{
    switch (answer) {
    case Prompter::Answer::Ok:
        return QMessageBox::Ok;
    case Prompter::Answer::Cancel:
        return QMessageBox::Cancel;
    case Prompter::Answer::Yes:
        return QMessageBox::Yes;
    case Prompter::Answer::No:
        return QMessageBox::No;
    }
    return QMessageBox::NoButton;
}

QMessageBox::Icon messageIcon(Prompter::Icon icon)
{
    switch (icon) {
    case Prompter::Icon::Information:
        return QMessageBox::Information;
    case Prompter::Icon::Warning:
        return QMessageBox::Warning;
    case Prompter::Icon::Critical:
        return QMessageBox::Critical;
    case Prompter::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// A box grows with its longest word; a long path is one word. Break opportunities (zero width spaces)
// after its separators keep the box within the screen.
QString breakableText(const QString& text)
{
    constexpr int LongWord = 40;
    QString out;
    out.reserve(text.size() + text.size() / 8);
    int run = 0;
    for (const QChar c : text) {
        out += c;
        run = c.isSpace() ? 0 : run + 1;
        const bool separator = c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char('_')
            || c == QLatin1Char('-') || c == QLatin1Char('.');
        if ((separator && run >= LongWord / 2) || run >= LongWord) {
            out += QChar(0x200B);
            run = 0;
        }
    }
    return out;
}

} // namespace

Prompter::Answer DialogPrompter::message(
    const QString& title, const QString& text, Buttons buttons, Answer defaultButton, Icon icon)
{
    QMessageBox::StandardButtons standard;
    switch (buttons) {
    case Buttons::Ok:
        standard = QMessageBox::Ok;
        break;
    case Buttons::OkCancel:
        standard = QMessageBox::Ok | QMessageBox::Cancel;
        break;
    case Buttons::YesNo:
        standard = QMessageBox::Yes | QMessageBox::No;
        break;
    }
    QMessageBox box(messageIcon(icon), title, breakableText(text), standard, m_parent);
    box.setDefaultButton(standardButton(defaultButton));
    switch (box.exec()) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        // Closing the box without a choice is never a yes.
        return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
}

std::optional<QString> DialogPrompter::input(
    const QString& title, const QString& prompt, const QString& defaultText)
{
    bool ok = false;
    const QString answer
        = QInputDialog::getText(m_parent, title, prompt, QLineEdit::Normal, defaultText, &ok);
    if (!ok || answer.isEmpty())
        return std::nullopt;
    return answer;
}
