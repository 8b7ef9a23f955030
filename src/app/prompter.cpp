#include "prompter.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLayout>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QScreen>

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

// A message box sizes itself to at most the screen's width, and wraps a long word (a path) anywhere
// once it needs to; its frame then still lies beyond the screen's edge. Narrower by the frame, the
// text wraps a little earlier and stays as given.
class FittingMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override
    {
        QMessageBox::showEvent(event);
        const QScreen* shownOn = screen();
        if (!shownOn)
            return;
        const QRect room = shownOn->availableGeometry();
        constexpr int LeastFrame = 16;
        const QSize frame = frameGeometry().size() - size();
        const int widest = room.width() - qMax(frame.width(), LeastFrame);
        if (width() <= widest)
            return;
        const int height = layout() && layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(widest)
                                                                     : this->height();
        setFixedSize(widest, height);
    }
};

// "csv" for "CSV-Dateien (*.csv)".
QString firstSuffix(const QString& filter)
{
    static const QRegularExpression pattern(QStringLiteral("\\*\\.(\\w+)"));
    return pattern.match(filter).captured(1);
}

} // namespace

BoxReport ListedReport(const QString& head, const QStringList& lines, const QString& tail, int shown)
{
    if (lines.size() <= shown)
        return { head + lines.join(QLatin1Char('\n')) + tail, QString() };
    const QString listed = lines.mid(0, shown).join(QLatin1Char('\n'))
        + QStringLiteral("\n… und %1 weitere").arg(lines.size() - shown);
    return { head + listed + tail, head + lines.join(QLatin1Char('\n')) + tail };
}

Prompter::Answer DialogPrompter::message(
    const QString& title, const QString& text, Buttons buttons, Answer defaultButton, Icon icon)
{
    return messageWithDetails(title, text, QString(), buttons, defaultButton, icon);
}

Prompter::Answer DialogPrompter::messageWithDetails(const QString& title, const QString& text,
    const QString& details, Buttons buttons, Answer defaultButton, Icon icon)
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
    FittingMessageBox box(messageIcon(icon), title, text, standard, m_parent);
    box.setTextFormat(Qt::PlainText);
    // Selectable text can be copied; it also lets the box wrap a long word.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (!details.isEmpty())
        box.setDetailedText(details);
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
