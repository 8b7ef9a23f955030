#pragma once

#include "device_sim.h"
#include "form1.h"
#include "link/transfer_engine.h"
#include "pty_pair.h"
#include "scripted_prompter.h"

#include <QComboBox>
#include <QFrame>
#include <QListWidget>
#include <QPushButton>
#include <QSerialPort>
#include <QTabWidget>

#include <memory>

// A window whose COMn is one end of a pseudo-terminal pair, with the device simulator on the other end.
struct LinkRig {
    PtyPair pty;
    std::unique_ptr<SimDriver> sim;
    ScriptedPrompter* prompter = nullptr;
    std::unique_ptr<Form1> window;

    bool start(int port = 1, const QStringList& simOptions = {})
    {
        if (!pty.isReady())
            return false;
        qputenv(qPrintable(QStringLiteral("KELTO_COM%1").arg(port)), QFile::encodeName(pty.editorEnd()));
        sim = std::make_unique<SimDriver>(pty.deviceEnd(), simOptions);
        auto scripted = std::make_unique<ScriptedPrompter>();
        prompter = scripted.get();
        window = std::make_unique<Form1>(std::move(scripted));
        window->Combo1->setCurrentIndex(port - 1);
        window->SSTab1->setCurrentIndex(0);
        return sim->waitReady();
    }

    // A send carries one record per line of List1: fewer lines make a short send.
    void keepList1Lines(int lines)
    {
        while (window->List1->count() > lines)
            delete window->List1->takeItem(window->List1->count() - 1);
    }

    bool isIdle() const
    {
        // The buttons as their own page has them, whichever page is shown.
        const QWidget* page = window->Frame1[0];
        return !window->MSComm1->isOpen() && window->Command2[0]->isEnabledTo(page)
            && window->Command2[1]->isEnabledTo(page) && window->Command2[2]->isEnabledTo(page)
            && window->Frame2->isHidden() && !window->Receiving();
    }
};
