#pragma once

#include <QString>

#include <functional>
#include <memory>

class Form1;
class Prompter;
class QTranslator;
class RecoveryKeeper;
class RecoverySlot;

// German standard buttons ("Ja", "Nein", "Abbrechen") in message and input boxes.
void InstallGermanQtTexts(QTranslator& translator);

// Names the application and installs the German texts; the application object must exist.
void SetUpWindowApplication(QTranslator& translator);

// The window as the program runs it: its recovery slot, held for the whole run, the copy of unsaved
// work kept in it, and the question about a copy that an earlier run of the slot left behind.
class WindowRun {
public:
    // Builds the window (Form_Load runs) and claims the slot; the real boxes without a prompter.
    explicit WindowRun(std::unique_ptr<Prompter> prompter = nullptr);
    ~WindowRun();
    WindowRun(const WindowRun&) = delete;
    WindowRun& operator=(const WindowRun&) = delete;

    Form1& window() { return *m_window; }
    // Null without a slot (the user was told) and before start().
    RecoveryKeeper* keeper() { return m_keeper.get(); }
    // The recovery file of this run; empty without a slot.
    QString recoveryPath() const;

    // Shows the window and opens the list named on the command line, if any; then offers every copy
    // that a run which ended left behind, and from then on keeps this run's copy in its slot.
    void start(const QString& file);

private:
    void waitUntilShown();
    void offerRecovery(const QString& path);
    void reportWriteFailure(const QString& reason);

    std::unique_ptr<Form1> m_window;
    QString m_slotProblem;
    std::unique_ptr<RecoverySlot> m_slot;
    std::unique_ptr<RecoveryKeeper> m_keeper;
};

// The window: start-up, then the list named on the command line (if any); returns the exit code.
// beforeStart runs once the window is built, before it is shown (a test drives the window from there).
int RunWindow(int& argc, char** argv, const QString& file,
    const std::function<void(WindowRun&)>& beforeStart = nullptr);
