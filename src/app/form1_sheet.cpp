#include "form1.h"

#include "effects/catalogue_store.h"
#include "files/crew_sheet.h"
#include "files/csv_file.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

namespace {

const QString CsvFilter = QStringLiteral("CSV-Dateien (*.csv)");
const QString ImportTitle = QStringLiteral("CSV importieren");

QString shownPath(const QString& path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

} // namespace

void Form1::setupSheet()
{
    for (int i = 0; i < int(Command5.size()); ++i)
        connect(Command5[i], &QPushButton::clicked, this, [this, i] { Command5_Click(i); });
}

void Form1::Command5_Click(int Index)
{
    switch (Index) {
    case 0:
        printCrewSheet();
        break;
    case 1:
        exportCsv();
        break;
    case 2:
        importCsv();
        break;
    }
}

// The folder of the file page, or the working folder before one was opened; with a proposed name.
QString Form1::csvDialogStart(const QString& proposal) const
{
    const QString folder = CurrentFolder.isEmpty() ? QDir::currentPath() : CurrentFolder;
    return proposal.isEmpty() ? folder : QDir(folder).filePath(proposal);
}

void Form1::printCrewSheet()
{
    // The preview repaints on every zoom or page setup change: always the list and the stock of the
    // moment of the click.
    const CrewSheet sheet = CrewSheetFor(list(), m_document->meta(), QDateTime::currentDateTime(),
        Catalogue ? &Catalogue->model().catalogue() : nullptr);
    // Beside the list, named after it; a new list in the folder of the file page.
    const QFileInfo source(m_document->meta().sourcePath);
    const QString pdfFile = source.fileName().isEmpty()
        ? csvDialogStart(QStringLiteral("Schussplan.pdf"))
        : source.absoluteDir().filePath(source.completeBaseName() + QStringLiteral(".pdf"));
    prompter().printPreview(QStringLiteral("Schussplan"), CrewSheetPageLayout(), pdfFile,
        [sheet](QPagedPaintDevice& device) { PaintCrewSheet(device, sheet); });
}

void Form1::exportCsv()
{
    // The list as it was when the user asked: a receive may replace it while the dialog is up.
    const ShotList meant = list();
    const EffectDataMap data = m_document->meta().effectData;
    const QString name = m_document->name();
    const QString proposal
        = name.isEmpty() ? QString() : QFileInfo(name).completeBaseName() + QStringLiteral(".csv");
    const std::optional<QString> path = prompter().chooseFile(
        Prompter::FileChoice::Save, QStringLiteral("CSV exportieren"), csvDialogStart(proposal), CsvFilter);
    if (!path)
        return;
    QString error;
    if (!WriteShotListCsv(*path, meant, data, &error))
        reportSaveFailure(*path, error);
}

void Form1::importCsv()
{
    // The list the user replaces: a receive may replace it while the file dialog or the preview is up.
    const quint64 seen = m_document->revision();
    const std::optional<QString> path = prompter().chooseFile(
        Prompter::FileChoice::Open, ImportTitle, csvDialogStart(QString()), CsvFilter);
    if (!path)
        return;
    const CsvFileBytes file = ReadCsvFile(*path);
    if (!file.bytes) {
        prompter().message(ImportTitle,
            QStringLiteral("Die Datei %1 wurde nicht übernommen:\n\n").arg(shownPath(*path)) + file.problem,
            Prompter::Buttons::Ok, Prompter::Answer::Ok, Prompter::Icon::Warning);
        return;
    }
    const QByteArray bytes = *file.bytes;
    const std::optional<CsvImport> imported
        = prompter().previewImport(ImportTitle, shownPath(*path), CsvImportOptions(),
            [bytes](const CsvImportOptions& options) { return ReadShotListCsv(bytes, options); });
    if (!imported || !imported->list)
        return;
    const auto refuseStale = [this] {
        prompter().message(ImportTitle,
            QStringLiteral(
                "Die Liste wurde inzwischen ersetzt (Empfang). Der Import wurde nicht übernommen."),
            Prompter::Buttons::Ok, Prompter::Answer::Ok, Prompter::Icon::Warning);
    };
    if (m_document->revision() != seen) {
        refuseStale();
        return;
    }
    if (!ConfirmReplace())
        return;
    // As after loading a list file; a table holds no comment, so the comment names its source.
    const QString name = QFileInfo(*path).fileName();
    ListMeta meta;
    meta.sourcePath = QFileInfo(*path).absoluteFilePath();
    meta.comment = QStringLiteral("Import aus ") + name;
    meta.effectData = imported->effectData;
    const quint64 before = m_document->revision();
    if (!m_document->replace(seen, *imported->list, meta,
            QStringLiteral("CSV-Datei %1 importieren").arg(name), ListDocument::Saved::Yes)) {
        refuseStale();
        return;
    }
    SSTab1->setCurrentIndex(0);
    if (m_document->revision() == before)
        RefreshLists();
    showReplacedList();
}
