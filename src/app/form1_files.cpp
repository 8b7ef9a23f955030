#include "form1.h"

void Form1::setupFiles() { }

bool Form1::filterFilesEvent(QObject*, QEvent*)
{
    return false;
}

void Form1::Command4_Click(int) { }
void Form1::ShowFileInfo() { }
void Form1::Drive1_Change() { }
void Form1::Drive1_KeyPress(int) { }
void Form1::Dir1_Change() { }
void Form1::Dir1_KeyPress(int) { }
void Form1::File1_Click() { }

// Start-up step: the remembered folder and port.
void Form1::ApplySettingsFile() { }
