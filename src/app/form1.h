#pragma once

#include "port_box.h"
#include "prompter.h"
#include "shotlist/list_document.h"
#include "shotlist/shot_list.h"

#include <QWidget>

#include <array>
#include <memory>

class ClickLabel;
class DriveBox;
class FolderList;
class QComboBox;
class QCompleter;
class QStringListModel;
class QFileSystemWatcher;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTimer;
class PageAnchors;
class CatalogueStore;
class EffectsPage;
class RehearsalPage;
class TransferEngine;
struct LinkFailure;

// The editor's one window. It owns all state; the handlers keep the names of the elements they serve.
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(std::unique_ptr<Prompter> prompter = nullptr, QWidget* parent = nullptr);
    ~Form1() override;

    void setPrompter(std::unique_ptr<Prompter> prompter);
    Prompter& prompter() { return *m_prompter; }

    // The list and its history; the window shows it and keeps no copy.
    ListDocument& document() { return *m_document; }
    const ListDocument& document() const { return *m_document; }
    const ShotList& list() const { return m_document->list(); }

    // State of the window.
    QString FileSignature;
    QString TempFolder;
    QString CurrentFolder;
    // A receive (or the receive of a check) is running: the port's phase, not a copy of it.
    bool Receiving() const;
    // The characters of the current or last receive, as the transfer engine holds them.
    const QByteArray& ReceiveBuffer() const;
    std::array<QString, 5> SavedFieldText;

    // Elements directly in the window.
    QPushButton* Command1 = nullptr;
    QTabWidget* SSTab1 = nullptr;
    std::array<QFrame*, 4> Frame1 {};

    // "Kommunikation mit Zündgerät"
    QLabel* Label1 = nullptr;
    QListWidget* List1 = nullptr;
    PortBox* Combo1 = nullptr; // COM1 .. COM8, then the serial ports present
    ClickLabel* Label4 = nullptr;
    std::array<QPushButton*, 3> Command2 {}; // "Empfang", "Senden", "Prüfen"
    QFrame* Frame2 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* Command3 = nullptr;
    QLabel* Label19 = nullptr; // what Strg+S did
    TransferEngine* MSComm1 = nullptr; // the port to the firing device

    // "Datei"
    FolderList* Dir1 = nullptr;
    QListWidget* File1 = nullptr;
    DriveBox* Drive1 = nullptr;
    QPlainTextEdit* Text1 = nullptr;
    QLabel* Label5 = nullptr;
    std::array<QPushButton*, 4> Command4 {};
    std::array<QPushButton*, 3> Command5 {}; // crew sheet, CSV export, CSV import

    // "Bearbeiten der Liste"
    QLabel* Label7 = nullptr;
    QListWidget* List2 = nullptr;
    std::array<QLabel*, 4> Label6 {};
    std::array<QLineEdit*, 4> Text2 {};
    QComboBox* Combo2 = nullptr;
    QLabel* Label8 = nullptr; // circuits used twice
    QLabel* Label9 = nullptr; // what the last commit stored, when it is not what was typed
    QLabel* Label10 = nullptr; // "Effekt"
    QLineEdit* Text3 = nullptr; // the effect of the selected entry
    QLabel* Label11 = nullptr; // why the comment box refused a character
    // The selected entry's effect data as the list carries it, against the catalogue's.
    QLabel* EffectInfo = nullptr;
    // "Übernehmen": the catalogue's data for every shot with the name; "Aufnehmen": the list's data as a
    // new article of the catalogue. Hidden when neither is offered.
    QPushButton* CatalogueButton = nullptr;
    QCompleter* EffectCompleter = nullptr; // the catalogue's names for Text3

    // "Probelauf": a page of its own; Frame1[3] is the same widget.
    RehearsalPage* Rehearsal = nullptr;
    // "Effekte": the user's effect catalogue, kept beside the recovery copy.
    CatalogueStore* Catalogue = nullptr;
    EffectsPage* Effects = nullptr;

    // Shell
    void Form_Load();
    void SSTab1_Click(int PreviousTab);
    void Command1_Click();

    // Lists and statistics
    void RefreshLists();
    void Label4_Click();

    // Entry editor
    void List2_Click();
    void List2_KeyPress(int KeyAscii);
    void Text2_GotFocus(int Index);
    void Text2_KeyPress(int Index, int KeyAscii);
    void Text2_LostFocus(int Index);
    void Combo2_KeyPress(int KeyAscii);
    void Combo2_LostFocus();
    void List2_KeyDown(int KeyCode);
    void UndoList();
    void RedoList();
    void Text3_GotFocus();
    void Text3_KeyPress(int KeyAscii);
    void Text3_LostFocus();

    // Files and folders
    void Command4_Click(int Index);
    void ShowFileInfo();
    void Drive1_Change();
    void Drive1_KeyPress(int KeyAscii);
    void Dir1_Change();
    void Dir1_KeyPress(int KeyAscii);
    void File1_Click();
    void ApplySettingsFile();
    void OpenListFile(const QString& path);
    // A copy of unsaved work from a run that ended: one step, not saved, shown on the editing page.
    // False when it was refused or changed nothing.
    bool RestoreList(const ShotList& restored, const ListMeta& meta);
    // Before a list replaces the one in the editor: true when that one is saved or the user agrees
    // to replace its unsaved work.
    bool ConfirmReplace();
    // Whether Text1 shows a previewed file's comment (read only) rather than the list's own.
    bool CommentShowsPreview() const { return m_commentShowsPreview; }

    // Crew sheet and CSV tables
    void Command5_Click(int Index);

    // Device link
    void Command2_Click(int Index);
    void Command3_Click();
    void MSComm1_OnComm();
    void ParseReceivedList();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildWindow();
    void anchorElements();
    void setupRehearsal();
    void setupEffects();
    void placeFrames();

    // Each page's handlers wire themselves up and filter the events of their own elements.
    void setupEditor();
    bool filterEditorEvent(QObject* watched, QEvent* event);
    int editorFieldIndex(const QObject* watched) const;
    void selectLine(int row);
    void showTouchedLine(int row, int shown);
    void clearEditorFields();
    void afterCommit(quint64 seen, bool changed, int row);
    void showReplacedList();
    void showDuplicates();
    bool filterUndoKeys(QObject* watched, QEvent* event);
    QString shownFieldText(int Index, int row) const;
    int storedDevice(int row) const;
    void commitCircuit(int row, quint64 seen, const QString& typed, bool emptied);
    void storeChosenDevice();
    bool commitEffect();
    void effectTyped();
    void showReservedSlotNotice(int row);
    void showNotice(const QString& text);
    // Effect data of the selected entry: the completer, the comparison with the catalogue.
    void setupEffectData();
    void refreshCompletionNames();
    void showEffectInfo();
    void chooseFromCatalogue(const QString& name);
    void showStoredEffect();
    void takeCatalogueValues();
    void addToCatalogue();
    void catalogueButtonClicked();
    QStringListModel* m_completionNames = nullptr;
    // The step the last run of typing in the effect field made: a choice from the completer replaces it.
    quint64 m_typedRevision = 0;
    quint64 m_typedRun = 0;
    int m_typedRow = -1;
    void fitList2Width(const QStringList& lines);
    // The revision of the list when the selected line and the fields were last filled.
    quint64 m_shownRevision = 0;
    // A field counts as entered from a FocusIn until its next leave; focus changes made while a
    // commit runs (the question box, the rules' own moves) are not entries.
    std::array<bool, 4> m_fieldEntered {};
    bool m_comboEntered = false;
    bool m_effectEntered = false;
    bool m_pressGaveFocus = false;
    bool m_committing = false;
    // Each entry into the effect or comment box starts a run of typing: one undo step.
    quint64 m_typingRun = 0;
    bool m_effectTyping = false;

    void setupFiles();
    bool filterFilesEvent(QObject* watched, QEvent* event);
    void loadSelectedFile();
    void loadListFile(const QString& path, const QString& name);
    void saveList();
    void rememberFolder();
    void createFolder();
    void listShotListFiles(const QString& folder, const QString& selected);
    void selectLastFile();
    bool acceptName(const QString& name);
    void reportSaveFailure(const QString& path, const QString& reason);
    void showListComment();
    void showPreviewComment(const QString& text, const QString& fileName);
    void showCommentSource();
    void commentTyped();
    bool m_commentShowsPreview = true; // the caption "Text1" until the first preview or list
    bool m_settingComment = false;
    QString m_previewName;
    void saveToOwnFile();
    void showSaveNotice(const QString& text);
    void showSavedFile(const QString& path);
    void startFolderWatch();
    void watchFolder(const QString& folder);
    void followFolderOnDisk();
    QFileSystemWatcher* m_folderWatch = nullptr;
    QTimer* m_folderSettle = nullptr;

    void setupSheet();
    void printCrewSheet();
    void exportCsv();
    void importCsv();
    QString csvDialogStart(const QString& proposal) const;

    void setupLink();
    bool openLinkPort();
    void sendList();
    void endReceive();
    void setTransferButtonsEnabled(bool enabled);
    void returnToIdle();
    void linkLost(const LinkFailure& failure);
    void showPortDevice();
    void refreshPortBox();
    QString m_portText;
    QString m_portDevice;

    ListDocument* m_document = nullptr;
    std::unique_ptr<Prompter> m_prompter;
    bool m_framesPlaced = false;
    QList<PageAnchors*> m_anchors; // the window's, then those of the three first pages
    int m_currentTab = 0;
};
