#include "prompter.h"

#include "import_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QRegularExpression>

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

// "csv" for "CSV-Dateien (*.csv)".
QString firstSuffix(const QString& filter)
{
    static const QRegularExpression pattern(QStringLiteral("\\*\\.(\\w+)"));
    return pattern.match(filter).captured(1);
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

std::optional<QString> DialogPrompter::chooseFile(
    FileChoice mode, const QString& title, const QString& start, const QString& filter)
{
    QFileDialog dialog(m_parent, title, start, filter);
    const QString suffix = firstSuffix(filter);
    if (mode == FileChoice::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(suffix);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    QString path = dialog.selectedFiles().constFirst();
    if (path.isEmpty())
        return std::nullopt;
    if (mode == FileChoice::Save && !suffix.isEmpty() && QFileInfo(path).suffix().isEmpty()) {
        // A desktop's own dialog may return the name as typed: its overwrite question did not see the
        // extension added here.
        path += QLatin1Char('.') + suffix;
        if (QFileInfo::exists(path)
            && message(title,
                   QStringLiteral("Datei ") + QDir::toNativeSeparators(path)
                       + QStringLiteral(" überschreiben?"),
                   Buttons::OkCancel, Answer::Ok, Icon::None)
                != Answer::Ok)
            return std::nullopt;
    }
    return path;
}

void DialogPrompter::printPreview(const QString& title, const std::function<void(QPagedPaintDevice&)>& paint)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setDocName(title);
    QPrintPreviewDialog dialog(&printer, m_parent);
    dialog.setWindowTitle(title);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
        [&paint](QPrinter* target) { paint(*target); });
    dialog.exec();
}

std::optional<CsvImport> DialogPrompter::previewImport(
    const QString& title, const QString& file, const CsvImportOptions& options, const CsvEvaluation& evaluate)
{
    ImportDialog dialog(title, file, options, evaluate, m_parent);
    if (dialog.exec() != QDialog::Accepted || !dialog.current().list)
        return std::nullopt;
    return dialog.current();
}
