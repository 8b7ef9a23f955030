#pragma once

#include "form1.h"

// Puts a list into the window's document as a new list without history, as tests set them up.
template <typename Edit> void EditList(Form1& w, Edit edit)
{
    ShotList list = w.list();
    edit(list);
    w.document().reset(list);
}
