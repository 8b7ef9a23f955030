#include "form1.h"

#include "shotlist/editor_rules.h"
#include "shotlist/field_number.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScopedValueRollback>

namespace {

constexpr int EnterKey = 13;

// Switching to another program and opening a drop-down or a menu move the focus without leaving
// the element: no commit on the way out, no new entry on the way back. The combo box also hands
// the focus to its open drop-down list with an ordinary reason.
bool isWindowOrPopupSwitch(const QEvent* event)
{
    const Qt::FocusReason reason = static_cast<const QFocusEvent*>(event)->reason();
    return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason
        || QApplication::activePopupWidget() != nullptr;
}

// The character a key types; Enter is 13, keys that type nothing give 0.
int keyAscii(const QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return EnterKey;
    // Tab moves the focus; it types nothing.
    if (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab)
        return 0;
    const QString text = event->text();
    return text.isEmpty() ? 0 : text.at(0).unicode();
}

// A clamped value replaces the typed one in the field.
void showClamped(QLineEdit* field, double value, double clamped)
{
    if (clamped != value)
        field->setText(QString::number(clamped));
}

} // namespace

void Form1::setupEditor()
{
    // Runs synchronously, also when the program sets the line.
    connect(List2, &QListWidget::currentRowChanged, this, [this] { List2_Click(); });
    for (QLineEdit* field : Text2)
        field->installEventFilter(this);
    Combo2->installEventFilter(this);
    List2->installEventFilter(this);
    // All lines are one line of the fixed font and fit the width: laying out 170 lines after each
    // commit then needs no text measuring per line (that took two thirds of a commit).
    List2->setUniformItemSizes(true);
}

int Form1::editorFieldIndex(const QObject* watched) const
{
    for (int i = 0; i < int(Text2.size()); ++i) {
        if (watched == Text2[i])
            return i;
    }
    return -1;
}

// Qt makes the new element the focus widget before the old one's FocusOut, and sends the new one
// its FocusIn only if it still has the focus afterwards. A commit running in that FocusOut may
// move the focus again or open the question box, so an element that got no FocusIn of its own
// must not commit on its FocusOut.
bool Form1::filterEditorEvent(QObject* watched, QEvent* event)
{
    const int field = editorFieldIndex(watched);
    const bool combo = watched == Combo2;
    if (field < 0 && !combo && watched != List2)
        return false;

    switch (event->type()) {
    case QEvent::FocusIn:
        if (m_committing)
            break; // the real FocusIn follows the commit if the element keeps the focus
        if (field >= 0 && !m_fieldEntered[field]) {
            m_fieldEntered[field] = true;
            Text2_GotFocus(field);
        } else if (combo) {
            m_comboEntered = true;
        }
        break;
    case QEvent::FocusOut:
        if (isWindowOrPopupSwitch(event))
            break;
        if (field >= 0 && m_fieldEntered[field]) {
            m_fieldEntered[field] = false;
            const QScopedValueRollback<bool> committing(m_committing, true);
            Text2_LostFocus(field);
        } else if (combo && m_comboEntered) {
            m_comboEntered = false;
            Combo2_LostFocus();
        }
        break;
    case QEvent::KeyPress: {
        // Before the control, so the caption shows the text as it was; the key still reaches it.
        const int key = keyAscii(static_cast<const QKeyEvent*>(event));
        if (key == 0)
            break;
        if (field >= 0)
            Text2_KeyPress(field, key);
        else if (combo)
            Combo2_KeyPress(key);
        else
            List2_KeyPress(key);
        break;
    }
    default:
        break;
    }
    return false;
}

void Form1::List2_Click()
{
    const int k = List2->currentRow();
    Label6[0]->setText(QStringLiteral("Eintrag Nummer\r\n%1 / %2").arg(ShotCount).arg(EntryCount));
    Text2[0]->setText(QString::number(k + 1));
    const bool selected = k >= 0;
    if (selected) {
        Text2[1]->setText(QString::number(SinceValue(shotList, k)));
        Text2[2]->setText(QString::number(UntilValue(shotList, k)));
        Text2[3]->setText(QString::number(shotList.circuits[k] & 31));
        Combo2->setCurrentIndex(shotList.circuits[k] / 32);
        // Reaching the list by keyboard makes a line current without highlighting it.
        List2->item(k)->setSelected(true);
    }
    for (QLineEdit* entryField : Text2)
        entryField->setEnabled(selected);
    // A field that keeps the focus while the line changes (the device box hands the focus to the
    // circuit number before a click selects another line) compares against the new line's text.
    for (int i = 0; i < int(Text2.size()); ++i) {
        if (selected && m_fieldEntered[i] && Text2[i]->hasFocus())
            Text2_GotFocus(i);
    }
}

void Form1::List2_KeyPress(int KeyAscii)
{
    if (KeyAscii == EnterKey && List2->currentRow() >= 0)
        Text2[2]->setFocus();
}

void Form1::Text2_GotFocus(int Index)
{
    QLineEdit* field = Text2[Index];
    field->setSelection(0, field->text().length());
    SavedFieldText[Index] = field->text();
}

void Form1::Text2_KeyPress(int Index, int KeyAscii)
{
    const QString text = Text2[Index]->text();
    setWindowTitle(QString::number(text.length()) + QStringLiteral(" >") + text + QStringLiteral("<"));
    if (KeyAscii != EnterKey)
        return;
    QWidget* const next[] = { Text2[1], Text2[2], Combo2, List2 };
    next[Index]->setFocus();
}

void Form1::Text2_LostFocus(int Index)
{
    QLineEdit* field = Text2[Index];
    const double typed = LeadingNumber(field->text());
    field->setText(CanonicalText(typed));
    if (field->text() == SavedFieldText[Index])
        return;
    const double value = CanonicalValue(typed);
    const int row = List2->currentRow();

    if (Index == 0) {
        showClamped(field, value, ClampEntryNumber(value));
        selectLine(EntryNumberLine(value));
        List2->setFocus();
        return;
    }
    // Without a selected line (a receive refreshed the lists meanwhile) there is no entry to change.
    if (row < 0)
        return;

    switch (Index) {
    case 1:
        showClamped(field, value, ClampSince(value));
        ApplySince(shotList, row, ShotCount, value, FieldValue(SavedFieldText[1]));
        refreshAndSelect(row);
        break;
    case 2: {
        const double until = ClampUntil(value);
        showClamped(field, value, until);
        if (until < 1) {
            const Prompter::Answer answer = prompter().message(QStringLiteral("Feuerwerksequenz beenden"),
                QStringLiteral("Rest der Liste löschen?"), Prompter::Buttons::YesNo, Prompter::Answer::Yes);
            if (answer == Prompter::Answer::Yes)
                DeleteRest(shotList, row, ShotCount);
        } else {
            ApplyUntil(shotList, row, ShotCount, until, FieldValue(SavedFieldText[2]));
        }
        refreshAndSelect(row);
        break;
    }
    case 3:
        showClamped(field, value, ClampCircuitNumber(value));
        ApplyCircuit(shotList, row, Combo2->currentIndex(), value);
        refreshAndSelect(row);
        if (row < List2->count() - 1)
            selectLine(row + 1);
        break;
    default:
        break;
    }
}

void Form1::Combo2_KeyPress(int KeyAscii)
{
    if (KeyAscii == EnterKey)
        Combo2_LostFocus();
}

void Form1::Combo2_LostFocus()
{
    // A disabled field takes no focus: then it stays where the user put it.
    Text2[3]->setFocus();
}

// Row selection runs also for the line already selected, so the fields show the stored values.
void Form1::selectLine(int row)
{
    if (List2->currentRow() == row)
        List2_Click();
    else
        List2->setCurrentRow(row);
}

void Form1::refreshAndSelect(int row)
{
    RefreshLists();
    selectLine(row);
}
