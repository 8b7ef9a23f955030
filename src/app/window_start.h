#pragma once

#include <QString>

class QTranslator;

// German standard buttons ("Ja", "Nein", "Abbrechen") in message and input boxes.
void InstallGermanQtTexts(QTranslator& translator);

// The window: start-up, then the list named on the command line (if any); returns the exit code.
int RunWindow(int& argc, char** argv, const QString& file);
