#include "form1.h"

void Form1::setupEditor() { }

bool Form1::filterEditorEvent(QObject*, QEvent*)
{
    return false;
}

void Form1::List2_Click() { }
void Form1::List2_KeyPress(int) { }
void Form1::Text2_GotFocus(int) { }
void Form1::Text2_KeyPress(int, int) { }
void Form1::Text2_LostFocus(int) { }
void Form1::Combo2_KeyPress(int) { }
void Form1::Combo2_LostFocus() { }
