#include "form1.h"

#include "browser_widgets.h"
#include "files/folder_browser.h"
#include "files/fsl_file.h"
#include "files/list_file.h"
#include "files/settings_file.h"
#include "rehearsal_page.h"
#include "shotlist/stored_text.h"
#include "storable_edits.h"
#include "widgets.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTime>
#include <QTimer>

namespace {

const QString NoFileSelected = QStringLiteral("Keine Datei ausgewählt...");
const QString NotAShotList = QStringLiteral("Diese Datei ist keine gültige Feuerwerks-Schussliste...");
const QString SaveTitle = QStringLiteral("Liste speichern");
const QString AppTitle = QStringLiteral("Kelto");
constexpr int FolderWatchDelayMs = 300;
constexpr int FolderSettleMs = 100;

// The full path for messages, also when the folder is still the working folder.
QString shownPath(const QString& path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

} // namespace

void Form1::setupFiles()
{
    // The browser starts in the working folder without running its handlers: nothing is chosen yet.
    {
        const QSignalBlocker block(Dir1);
        Dir1->setPath(QDir::currentPath());
    }
    Drive1->refresh(Dir1->path());
    listShotListFiles(Dir1->path(), QString());

    connect(Drive1, &QComboBox::currentIndexChanged, this, &Form1::Drive1_Change);
    connect(Dir1, &FolderList::pathChanged, this, &Form1::Dir1_Change);
    connect(File1, &QListWidget::currentRowChanged, this, &Form1::File1_Click);
    for (int i = 0; i < int(Command4.size()); ++i)
        connect(Command4[i], &QPushButton::clicked, this, [this, i] { Command4_Click(i); });
    Drive1->installEventFilter(this);
    Dir1->installEventFilter(this);

    // A burst of changes (a program writing many files) is followed once.
    m_folderSettle = new QTimer(this);
    m_folderSettle->setSingleShot(true);
    m_folderSettle->setInterval(FolderSettleMs);
    connect(m_folderSettle, &QTimer::timeout, this, &Form1::followFolderOnDisk);

    auto* save = new QAction(QStringLiteral("Speichern"), this);
    save->setObjectName(QStringLiteral("SaveAction"));
    save->setShortcut(QKeySequence::Save);
    save->setShortcutContext(Qt::WindowShortcut);
    connect(save, &QAction::triggered, this, &Form1::saveToOwnFile);
    addAction(save);
}

// The folder as it is on disk: a list written by another program shows up without a click. Setting up
// the watch reads the system's mount table, so it starts once the window is up, and catches up then.
void Form1::startFolderWatch()
{
    QTimer::singleShot(FolderWatchDelayMs, this, [this] {
        m_folderWatch = new QFileSystemWatcher(this);
        connect(m_folderWatch, &QFileSystemWatcher::directoryChanged, m_folderSettle,
            qOverload<>(&QTimer::start));
        watchFolder(Dir1->path());
        followFolderOnDisk();
    });
}

void Form1::watchFolder(const QString& folder)
{
    if (!m_folderWatch)
        return;
    const QStringList watched = m_folderWatch->directories();
    if (watched == QStringList { folder })
        return;
    if (!watched.isEmpty())
        m_folderWatch->removePaths(watched);
    if (!folder.isEmpty())
        m_folderWatch->addPath(folder);
}

// Folders and lists that came or went; the selected list keeps its selection while it is there.
void Form1::followFolderOnDisk()
{
    if (!Dir1->reload()) {
        // The open folder itself is gone: the nearest one that is left opens as a click would.
        Dir1->setPath(Dir1->path());
        return;
    }
    const QString selected = File1->currentRow() >= 0 ? File1->currentItem()->text() : QString();
    listShotListFiles(Dir1->path(), selected);
    if (!selected.isEmpty() && File1->currentRow() < 0)
        File1_Click(); // the previewed list is gone
    Command4[0]->setEnabled(File1->currentRow() >= 0);
}

// The saved list selected and previewed, in its folder.
void Form1::showSavedFile(const QString& path)
{
    const QFileInfo file(path);
    if (QDir(file.absolutePath()) != QDir(Dir1->path()))
        Dir1->setPath(file.absolutePath());
    listShotListFiles(Dir1->path(), file.fileName());
    File1_Click();
}

// Strg+S: the list back into its own file with its comment, no questions; a list without a list
// file of its own (new, received, imported from a table) is saved as "Datei speichern" does.
void Form1::saveToOwnFile()
{
    // Typing not yet committed in a field of the editor goes in first, as leaving the field does.
    if (QWidget* field = focusWidget();
        field && (editorFieldIndex(field) >= 0 || field == Combo2 || field == Text3)) {
        field->clearFocus();
        field->setFocus(Qt::OtherFocusReason);
    }
    if (Receiving()) {
        showSaveNotice(QStringLiteral("Nicht gespeichert: Ein Empfang läuft."));
        return;
    }
    const ListMeta& meta = m_document->meta();
    const QString path = meta.sourcePath;
    const bool ownFile = !path.isEmpty() && path.endsWith(QStringLiteral(".fsl"), Qt::CaseInsensitive);
    // A comment the file cannot hold is asked for on the way of "Datei speichern".
    if (!ownFile || !CommentRefusal(meta.comment).isEmpty()) {
        if (List1->count() == EntryCount)
            saveList();
        return;
    }
    const quint64 seen = m_document->revision();
    QString error;
    if (!WriteListFile(path, list(), meta, &error)) {
        reportSaveFailure(path, error);
        return;
    }
    m_document->markSaved(seen, path, meta.comment);
    showSavedFile(path);
    showSaveNotice(
        QStringLiteral("Gespeichert: %1, %2")
            .arg(QFileInfo(path).fileName(), QTime::currentTime().toString(QStringLiteral("HH:mm"))));
}

// On the page in sight, where it tells what happened.
void Form1::showSaveNotice(const QString& text)
{
    switch (SSTab1->currentIndex()) {
    case 0:
        Label19->setText(text);
        break;
    case 1:
        Label11->setText(text);
        Label11->setToolTip(text);
        break;
    case 2:
        showNotice(text);
        break;
    default:
        Rehearsal->showNotice(text);
        break;
    }
}

bool Form1::filterFilesEvent(QObject* watched, QEvent* event)
{
    // Entering the comment box edits the list's comment: it shows that one, said below it.
    if (watched == Text1 && event->type() == QEvent::FocusIn) {
        const Qt::FocusReason reason = static_cast<const QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            if (m_commentShowsPreview)
                showListComment();
            ++m_typingRun;
        }
        return false;
    }
    if (event->type() != QEvent::KeyPress || (watched != Drive1 && watched != Dir1))
        return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    if (watched == Drive1)
        Drive1_KeyPress(13);
    else
        Dir1_KeyPress(13);
    return true;
}

void Form1::Command4_Click(int Index)
{
    switch (Index) {
    case 0:
        loadSelectedFile();
        break;
    case 1:
        saveList();
        break;
    case 2:
        rememberFolder();
        break;
    case 3:
        createFolder();
        break;
    }
}

void Form1::ShowFileInfo()
{
    if (File1->currentRow() < 0) {
        showListComment();
        Label5->setText(NoFileSelected);
        return;
    }
    const QString name = File1->currentItem()->text();
    const std::optional<FslPreview> preview = ReadFslPreview(CurrentFolder + name, FileSignature);
    if (preview) {
        Command4[0]->setEnabled(true);
        showPreviewComment(preview->comment, name);
        Label5->setText(preview->statistics);
    } else {
        showPreviewComment(NotAShotList, name);
        Label5->clear(); // no figures of the file shown before
        Command4[0]->setEnabled(false);
    }
}

// Text1 shows one of two things, and Label11 says which: the comment of the list in the editor, typed
// into the list as it is typed, or a previewed file's, read only. Entering the box shows the list's.
void Form1::showListComment()
{
    m_commentShowsPreview = false;
    m_previewName.clear();
    Text1->setReadOnly(false);
    if (Text1->toPlainText() != m_document->meta().comment) {
        const QScopedValueRollback<bool> setting(m_settingComment, true);
        Text1->setPlainText(m_document->meta().comment);
    }
    Text1->setToolTip(QStringLiteral("Der Kommentar der Liste im Editor; er wird mit ihr gespeichert."));
    showCommentSource();
}

void Form1::showPreviewComment(const QString& text, const QString& fileName)
{
    m_commentShowsPreview = true;
    m_previewName = fileName;
    Text1->setReadOnly(true);
    {
        const QScopedValueRollback<bool> setting(m_settingComment, true);
        Text1->setPlainText(text);
    }
    Text1->setToolTip(QStringLiteral("Vorschau von %1. Ein Klick in das Feld zeigt den Kommentar der Liste im "
                                     "Editor.")
                          .arg(fileName));
    showCommentSource();
}

void Form1::showCommentSource()
{
    const QString source = m_commentShowsPreview
        ? QStringLiteral("Kommentar von %1 (Vorschau)").arg(m_previewName)
        : QStringLiteral("Kommentar der Liste im Editor");
    // Said quietly; a refusal of the box stands out in the notice colour.
    QPalette quiet = Label11->palette();
    quiet.setColor(QPalette::WindowText, palette().color(QPalette::Disabled, QPalette::WindowText));
    Label11->setPalette(quiet);
    Label11->setText(Label11->fontMetrics().elidedText(source, Qt::ElideMiddle, Label11->width()));
    Label11->setToolTip(m_commentShowsPreview
            ? source + QStringLiteral(": ein Klick in das Feld zeigt den Kommentar der Liste im Editor.")
            : source);
}

// What is typed into the box is the list's comment: one undo step for a run of typing.
void Form1::commentTyped()
{
    if (m_settingComment || m_commentShowsPreview)
        return;
    const QString text = Text1->toPlainText();
    if (text == m_document->meta().comment)
        return;
    if (!m_document->setComment(m_document->revision(), text, m_typingRun)) {
        // The box refuses what the file cannot hold before it is inserted; anything else shows as stored.
        const QScopedValueRollback<bool> setting(m_settingComment, true);
        Text1->setPlainText(m_document->meta().comment);
        Text1->moveCursor(QTextCursor::End);
    }
}

bool Form1::ConfirmReplace()
{
    if (m_document->isSaved())
        return true;
    const int shots = m_document->entryCount();
    const QString count = shots == 1 ? QStringLiteral("1 Schuss") : QStringLiteral("%1 Schüsse").arg(shots);
    const QString when = m_document->lastChanged().toString(QStringLiteral("HH:mm"));
    return prompter().message(AppTitle,
               QStringLiteral("Die Liste im Editor ist nicht gespeichert (%1, zuletzt geändert um %2).\n\n"
                              "Trotzdem ersetzen?")
                   .arg(count, when),
               Prompter::Buttons::YesNo, Prompter::Answer::No, Prompter::Icon::Warning)
        == Prompter::Answer::Yes;
}

void Form1::Drive1_Change() { Dir1->setPath(Drive1->folderOnDrive()); }

void Form1::Drive1_KeyPress(int KeyAscii)
{
    if (KeyAscii != 13)
        return;
    // The highlighted drive is the current one while the list is closed; Enter opens it again.
    Drive1_Change();
    Dir1->setFocus();
}

void Form1::Dir1_Change()
{
    showListComment();
    Label5->setText(NoFileSelected);
    const QString folder = Dir1->path();
    listShotListFiles(folder, QString());
    CurrentFolder = FolderWithSeparator(folder);
    watchFolder(folder);
    Drive1->noteFolder(folder);
    Command4[0]->setEnabled(File1->count() > 0);
    Command4[1]->setEnabled(List1->count() == EntryCount);
    Command4[2]->setEnabled(true);
    selectLastFile();
}

void Form1::Dir1_KeyPress(int KeyAscii)
{
    if (KeyAscii != 13)
        return;
    Dir1->setPath(Dir1->highlightedPath());
    File1->setFocus();
    File1_Click();
}

void Form1::File1_Click()
{
    Command4[0]->setEnabled(File1->currentRow() >= 0);
    Command4[1]->setEnabled(List1->count() == EntryCount);
    ShowFileInfo();
}

void Form1::ApplySettingsFile()
{
    const QString path = TempFolder + SettingsFileName;
    if (!QFileInfo::exists(path))
        return;
    const std::optional<RememberedSettings> settings = ReadSettingsFile(path);
    if (!settings)
        return;
    // Each part that can be applied is: a folder that is gone keeps the port; a port that is unknown or
    // not present keeps COM1 and the folder.
    const int port = ChoiceForSetting(Combo1->choices(), settings->port);
    if (!settings->folder.isEmpty() && QFileInfo(settings->folder).isDir()) {
        // Another drive runs Drive1_Change; the folder itself follows.
        const int drive = Drive1->indexOfDriveOf(settings->folder);
        if (drive >= 0)
            Drive1->setCurrentIndex(drive);
        Dir1->setPath(settings->folder);
    }
    if (port >= 0)
        Combo1->setCurrentIndex(port);
    selectLastFile();
}

// Lists the folder's shot lists without running the click handler; keeps a selected name if it is still
// there.
void Form1::listShotListFiles(const QString& folder, const QString& selected)
{
    const QSignalBlocker block(File1);
    File1->clear();
    File1->addItems(ShotListFileNames(folder));
    const QList<QListWidgetItem*> found = File1->findItems(selected, Qt::MatchExactly);
    File1->setCurrentRow(selected.isEmpty() || found.isEmpty() ? -1 : File1->row(found.first()));
}

// The greatest name is selected and previewed, if the folder holds any list.
void Form1::selectLastFile()
{
    if (File1->count() == 0)
        return;
    {
        const QSignalBlocker block(File1);
        File1->setCurrentRow(File1->count() - 1);
    }
    File1_Click();
}

bool Form1::acceptName(const QString& name)
{
    if (IsPlainName(name))
        return true;
    prompter().message(AppTitle,
        QStringLiteral(
            "Der Name \"%1\" ist nicht zulässig.\n\nEr muss eine Datei oder einen Ordner direkt im "
            "aktuellen Ordner bezeichnen: kein \"/\" oder \"\\\" darin, nicht \".\" oder \"..\".")
            .arg(name),
        Prompter::Buttons::Ok, Prompter::Answer::Ok, Prompter::Icon::Warning);
    return false;
}

void Form1::reportSaveFailure(const QString& path, const QString& reason)
{
    prompter().message(AppTitle,
        QStringLiteral("Die Datei %1 konnte nicht geschrieben werden.\n\nGrund: %2")
            .arg(shownPath(path), reason),
        Prompter::Buttons::Ok, Prompter::Answer::Ok, Prompter::Icon::Critical);
}

void Form1::loadSelectedFile()
{
    const QString name = File1->currentRow() >= 0 ? File1->currentItem()->text() : QString();
    loadListFile(CurrentFolder + name, name);
}

// A list named on the command line: its folder is opened and the file chosen as on "Datei", then
// loaded as "Datei laden" does; the page "Kommunikation mit Zündgerät" shows the outcome.
void Form1::OpenListFile(const QString& path)
{
    const QFileInfo file(path);
    if (file.absoluteDir().exists())
        Dir1->setPath(file.absolutePath());
    const QList<QListWidgetItem*> found = File1->findItems(file.fileName(), Qt::MatchExactly);
    if (!found.isEmpty())
        File1->setCurrentItem(found.first());
    loadListFile(file.absoluteFilePath(), file.fileName());
    SSTab1->setCurrentIndex(0);
}

void Form1::loadListFile(const QString& path, const QString& name)
{
    if (name.isEmpty() || !QFileInfo::exists(path)) {
        prompter().message(shownPath(path), QStringLiteral("Datei nicht gefunden..."), Prompter::Buttons::Ok,
            Prompter::Answer::Ok);
        return;
    }
    // The whole list is read before anything changes.
    const ListFileRead read = ReadListFile(path);
    if (!read.ok()) {
        Label4->setText(NotAShotList);
        Command4[0]->setEnabled(false);
        return;
    }
    if (!ConfirmReplace())
        return;
    SSTab1->setCurrentIndex(0);
    const quint64 before = m_document->revision();
    m_document->replace(
        before, read.list, read.meta, QStringLiteral("Datei %1 laden").arg(name), ListDocument::Saved::Yes);
    if (m_document->revision() == before)
        RefreshLists();
    showReplacedList();
    if (const QString notes = ListReadNotes(read); !notes.isEmpty())
        prompter().message(AppTitle,
            QStringLiteral("Die Liste %1 ist geladen.\n\n").arg(shownPath(path)) + notes,
            Prompter::Buttons::Ok, Prompter::Answer::Ok, Prompter::Icon::Warning);
}

void Form1::saveList()
{
    // The list as it was when the user asked: a receive may replace it while the boxes below are up.
    quint64 seen = m_document->revision();
    const ShotList meant = list();
    ListMeta meta = m_document->meta();
    // The list's own comment, never a previewed file's.
    std::optional<QString> comment
        = prompter().input(SaveTitle, QStringLiteral("Kommentar zur Liste:"), meta.comment);
    // A comment the file cannot hold (a character it lacks, a line break) is asked for again.
    for (QString reason; comment && !(reason = CommentRefusal(*comment)).isEmpty();) {
        prompter().message(SaveTitle, reason + QStringLiteral("\n\nBitte den Kommentar ändern."),
            Prompter::Buttons::Ok, Prompter::Answer::Ok, Prompter::Icon::Warning);
        comment = prompter().input(SaveTitle, QStringLiteral("Kommentar zur Liste:"), *comment);
    }
    if (!comment)
        return;
    // The answer is the list's comment from now on, also if no file is written.
    if (*comment != meta.comment && m_document->setComment(seen, *comment))
        seen = m_document->revision();
    meta.comment = *comment;
    showListComment();

    const QString proposal = ProposeFileName(CurrentFolder);
    const std::optional<QString> answer
        = prompter().input(SaveTitle, QStringLiteral("Dateiname (ohne Erweiterung!):"), proposal.left(6));
    if (!answer || !acceptName(*answer))
        return;
    const QString fileName = *answer + QStringLiteral(".fsl");
    const QString path = CurrentFolder + fileName;
    if (QFileInfo::exists(path)
        && prompter().message(AppTitle,
               QStringLiteral("Datei ") + shownPath(path) + QStringLiteral(" überschreiben?"),
               Prompter::Buttons::OkCancel, Prompter::Answer::Ok)
            != Prompter::Answer::Ok)
        return;

    QString error;
    if (!WriteListFile(path, meant, meta, &error)) {
        reportSaveFailure(path, error);
        return;
    }
    // A list that replaced the saved one meanwhile keeps its own name and is not the file's.
    m_document->markSaved(seen, QFileInfo(path).absoluteFilePath(), meta.comment);
    showSavedFile(path);
}

void Form1::rememberFolder()
{
    const QString path = TempFolder + SettingsFileName;
    if (CurrentFolder.isEmpty() || !IsStorableLine(CurrentFolder)) {
        prompter().message(AppTitle,
            QStringLiteral("Der Ordner %1 kann nicht gemerkt werden: Die Inidatei %2 kann nur Namen aus "
                           "westeuropäischen Zeichen (Windows-1252) aufnehmen.")
                .arg(CurrentFolder, path),
            Prompter::Buttons::Ok, Prompter::Answer::Ok, Prompter::Icon::Warning);
        return;
    }
    QString error;
    if (!SaveBytes(path, SettingsFileBytes({ CurrentFolder, PortSetting(Combo1->currentChoice()) }), &error))
        reportSaveFailure(path, error);
}

void Form1::createFolder()
{
    if (CurrentFolder.isEmpty())
        CurrentFolder = Dir1->path();
    CurrentFolder = FolderWithSeparator(CurrentFolder);
    const std::optional<QString> name = prompter().input(QStringLiteral("Neuer Ordner in ") + CurrentFolder,
        QStringLiteral("Ordnername:"), QStringLiteral("listen"));
    if (!name || !acceptName(*name))
        return;
    const QString folder = CurrentFolder + *name;
    QString error;
    if (QFileInfo(folder).isDir()) {
        prompter().message(AppTitle, QStringLiteral("Der Ordner %1 existiert bereits.").arg(folder),
            Prompter::Buttons::Ok, Prompter::Answer::Ok, Prompter::Icon::Warning);
        return;
    }
    if (!CreateFolder(folder, &error)) {
        prompter().message(AppTitle,
            QStringLiteral("Der Ordner %1 konnte nicht angelegt werden.\n\nGrund: %2").arg(folder, error),
            Prompter::Buttons::Ok, Prompter::Answer::Ok, Prompter::Icon::Critical);
        return;
    }
    Dir1->setPath(folder);
}
