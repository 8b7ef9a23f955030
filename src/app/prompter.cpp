#include "prompter.h"

#include "files/pdf_file.h"
#include "import_dialog.h"

#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPaintEngine>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QScreen>
#include <QTextLayout>
#include <QtMath>

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

// A box's text, wrapped between words and, where one word is wider than the line (a long path),
// inside it. QLabel wraps only between words: a long one runs out of the box and is cut off.
class BoxText : public QWidget {
public:
    BoxText(const QString& text, QWidget* parent)
        : QWidget(parent)
        , m_text(text)
    {
        setObjectName(QStringLiteral("BoxText"));
        setAccessibleName(text);
        QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
    }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return layOut(width, nullptr); }
    QSize sizeHint() const override
    {
        const int width = lineWidth();
        return { width, heightForWidth(width) };
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        layOut(width(), &painter);
    }

private:
    // The widest line as it stands, but no wider than a message box's text usually is.
    int lineWidth() const
    {
        constexpr int Widest = 440;
        const QFontMetrics metrics(font());
        int widest = 0;
        for (const QString& line : m_text.split(QLatin1Char('\n')))
            widest = qMax(widest, metrics.horizontalAdvance(line));
        const int screenHalf = screen() ? screen()->availableGeometry().width() / 2 : Widest;
        return qMin(widest + 1, qMin(Widest, screenHalf));
    }

    // The height of the text at this width; drawn too when there is a painter.
    int layOut(int width, QPainter* painter) const
    {
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        qreal y = 0;
        for (const QString& paragraph : m_text.split(QLatin1Char('\n'))) {
            QTextLayout layout(paragraph, font());
            layout.setTextOption(option);
            layout.beginLayout();
            for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
                line.setLineWidth(width);
                line.setPosition(QPointF(0, y));
                y += line.height();
            }
            layout.endLayout();
            if (painter)
                layout.draw(painter, QPointF(0, 0));
        }
        return qCeil(y);
    }

    QString m_text;
};

// A message box sizes itself to at most the screen's width (again at every layout request) and wraps
// a long word (a path) anywhere once it needs to; its frame then still lies beyond the screen's edge.
// Narrower by the frame, the text wraps a little earlier and stays as given.
class FittingMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override
    {
        QMessageBox::showEvent(event);
        fitScreen();
    }
    bool event(QEvent* event) override
    {
        const bool done = QMessageBox::event(event);
        if (event->type() == QEvent::LayoutRequest && isVisible())
            fitScreen();
        return done;
    }

private:
    void fitScreen()
    {
        const QScreen* shownOn = screen();
        if (!shownOn)
            return;
        constexpr int LeastFrame = 16;
        const QSize frame = frameGeometry().size() - size();
        const int widest = shownOn->availableGeometry().width() - qMax(frame.width(), LeastFrame);
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
    if (!details.isEmpty())
        box.setDetailedText(details);
    box.setDefaultButton(standardButton(defaultButton));
    // The box keeps its text (Strg+C copies it); what shows it is a text that can wrap a long word.
    // Last, as setting the details lays the box out anew.
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    const int at = grid && label ? grid->indexOf(label) : -1;
    if (at >= 0) {
        int row = 0;
        int column = 0;
        int rows = 1;
        int columns = 1;
        grid->getItemPosition(at, &row, &column, &rows, &columns);
        label->hide();
        grid->addWidget(new BoxText(text, &box), row, column, rows, columns);
    }
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

void DialogPrompter::printPreview(const QString& title, const QPageLayout& layout, const QString& pdfFile,
    const std::function<void(QPagedPaintDevice&)>& paint)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(layout);
    printer.setDocName(title);
    // The print dialog proposes this name for "print to file"; the output stays the printer's.
    const QPrinter::OutputFormat format = printer.outputFormat();
    printer.setOutputFileName(pdfFile);
    printer.setOutputFormat(format);
    QPrintPreviewDialog dialog(&printer, m_parent);
    dialog.setWindowTitle(title);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&](QPrinter* target) {
        // Printing to a PDF file would go through QPdfWriter's unchecked stream: a full disk leaves a
        // cut-off file. That file is made in memory and written whole or not at all; the preview
        // draws through an engine of its own and is left alone.
        const bool toPdfFile = target->outputFormat() == QPrinter::PdfFormat
            && !target->outputFileName().isEmpty() && target->paintEngine()
            && target->paintEngine()->type() == QPaintEngine::Pdf;
        if (!toPdfFile) {
            paint(*target);
            return;
        }
        const PdfPaper paper { target->pageLayout(), target->resolution(), title };
        QString error;
        if (!WritePdf(
                target->outputFileName(), paper,
                [&paint](QPagedPaintDevice& device) {
                    paint(device);
                    return true;
                },
                &error))
            message(title,
                QStringLiteral("Die Datei %1 konnte nicht geschrieben werden.\n\nGrund: %2")
                    .arg(QDir::toNativeSeparators(target->outputFileName()), error),
                Buttons::Ok, Answer::Ok, Icon::Critical);
    });
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

bool DialogPrompter::previewTable(const QString& title, const QString& file, const TablePreview& preview)
{
    TablePreviewDialog dialog(title, file, preview, m_parent);
    return dialog.exec() == QDialog::Accepted && preview.problems.isEmpty();
}
