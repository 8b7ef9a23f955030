#include "form1.h"

#include "effects/catalogue_model.h"
#include "effects/catalogue_store.h"
#include "effects_page.h"

#include "shotlist/commit_notice.h"
#include "shotlist/editor_rules.h"
#include "shotlist/field_number.h"
#include "shotlist/stored_text.h"
#include "storable_edits.h"
#include "widgets.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTextDocument>
#include <utility>

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

const QString InsertTitle = QStringLiteral("Eintrag einfügen");

bool isUndoKey(const QKeyEvent* event)
{
    return event->keyCombination() == QKeyCombination(Qt::CTRL, Qt::Key_Z);
}

bool isRedoKey(const QKeyEvent* event)
{
    return event->keyCombination() == QKeyCombination(Qt::CTRL, Qt::Key_Y)
        || event->keyCombination() == QKeyCombination(Qt::CTRL | Qt::SHIFT, Qt::Key_Z);
}

} // namespace

void Form1::setupEditor()
{
    // Anywhere in the window; a text field with typing of its own to take back goes first.
    auto* undo = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), this);
    connect(undo, &QShortcut::activated, this, &Form1::UndoList);
    auto* redo = new QShortcut(this);
    redo->setKeys({ QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z) });
    connect(redo, &QShortcut::activated, this, &Form1::RedoList);
    Text1->installEventFilter(this);

    // Runs synchronously, also when the program sets the line.
    connect(List2, &QListWidget::currentRowChanged, this, [this] { List2_Click(); });
    for (QLineEdit* field : Text2)
        field->installEventFilter(this);
    Combo2->installEventFilter(this);
    List2->installEventFilter(this);
    // Every line is one line of the fixed font: laying out 170 lines after each commit then needs no
    // text measuring per line (that took two thirds of a commit). Lines with effects are wider;
    // RefreshLists gives the width of the widest to the line the view measures.
    List2->setUniformItemSizes(true);

    Text3->installEventFilter(this);
    auto* effectCheck = new EffectValidator(Text3);
    Text3->setValidator(effectCheck);
    connect(Text3, &QLineEdit::inputRejected, this, [this, effectCheck] {
        const int row = List2->currentRow();
        if (row >= 0 && !effectCheck->refusal().isEmpty())
            showNotice(EffectNotice(row, effectCheck->refusal()));
    });
    // A notice speaks of the last commit; any other change of the list makes it stale.
    connect(m_document, &ListDocument::changed, this, [this] { showNotice(QString()); });

    // The comment box on "Datei" refuses what a list file cannot hold; the reason stays until its text
    // changes. What is typed there is the list's comment.
    if (auto* comment = qobject_cast<CommentBox*>(Text1)) {
        connect(comment, &CommentBox::refused, this, [this](const QString& reason) {
            Label11->setPalette(NoticePalette(Label11));
            Label11->setText(Label11->fontMetrics().elidedText(reason, Qt::ElideRight, Label11->width()));
            Label11->setToolTip(reason);
        });
    }
    connect(Text1->document(), &QTextDocument::contentsChanged, this, [this] {
        showCommentSource();
        commentTyped();
    });
    // Undo, redo, a load or a save change the comment the box shows, unless it shows a preview.
    const auto followComment = [this] {
        if (!m_commentShowsPreview && Text1->toPlainText() != m_document->meta().comment)
            showListComment();
    };
    connect(m_document, &ListDocument::changed, this, followComment);
    connect(m_document, &ListDocument::metaChanged, this, followComment);
    connect(Text3, &QLineEdit::textEdited, this, &Form1::effectTyped);
    // A change from elsewhere (the music page, a receive) leaves no line selected: the fields then show
    // nothing rather than an old line's values. The editor's own changes select their line again.
    connect(m_document, &ListDocument::changed, this, [this] {
        if (!m_committing && List2->currentRow() < 0 && Text2[1]->isEnabled())
            List2_Click();
    });
}

// The editor's number fields take Strg+Z and Strg+Y for themselves. While a field has no typing of its
// own to take back or bring back, the keys go on to the list.
bool Form1::filterUndoKeys(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::ShortcutOverride)
        return false;
    const auto* key = static_cast<const QKeyEvent*>(event);
    const bool undo = isUndoKey(key);
    const bool redo = isRedoKey(key);
    if (!undo && !redo)
        return false;
    if (auto* field = qobject_cast<QLineEdit*>(watched); field && editorFieldIndex(field) >= 0)
        return undo ? !field->isUndoAvailable() : !field->isRedoAvailable();
    // What is typed into the effect and the comment box is in the list already: the list takes the keys.
    if (watched == Text3 || watched == Text1)
        return true;
    return false;
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
    // Enter while the catalogue's names are offered but none is picked stores what is typed and goes on,
    // as it does without them.
    if (EffectCompleter && watched == EffectCompleter->popup()) {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<const QKeyEvent*>(event)->key();
        if ((key != Qt::Key_Return && key != Qt::Key_Enter)
            || EffectCompleter->popup()->currentIndex().isValid())
            return false;
        EffectCompleter->popup()->hide();
        Text3_KeyPress(EnterKey);
        return true;
    }
    const int field = editorFieldIndex(watched);
    const bool combo = watched == Combo2;
    const bool effect = watched == Text3;
    if (field < 0 && !combo && !effect && watched != List2)
        return false;

    switch (event->type()) {
    case QEvent::MouseButtonPress:
        // A click into a field selects its whole text, as entering it by keyboard does: the press that
        // gave the focus does not place the caret.
        if (field >= 0 && static_cast<const QMouseEvent*>(event)->button() == Qt::LeftButton) {
            if (std::exchange(m_pressGaveFocus, false))
                return true;
            if (!Text2[field]->hasFocus()) {
                Text2[field]->setFocus(Qt::MouseFocusReason);
                return true;
            }
        }
        break;
    case QEvent::FocusIn:
        m_pressGaveFocus = field >= 0
            && static_cast<const QFocusEvent*>(event)->reason() == Qt::MouseFocusReason
            && (QGuiApplication::mouseButtons() & Qt::LeftButton);
        if (m_committing)
            break; // the real FocusIn follows the commit if the element keeps the focus
        if (field >= 0 && !m_fieldEntered[field]) {
            m_fieldEntered[field] = true;
            Text2_GotFocus(field);
        } else if (combo) {
            m_comboEntered = true;
        } else if (effect && !m_effectEntered) {
            m_effectEntered = true;
            Text3_GotFocus();
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
            const QScopedValueRollback<bool> committing(m_committing, true);
            Combo2_LostFocus();
        } else if (effect && m_effectEntered) {
            m_effectEntered = false;
            const QScopedValueRollback<bool> committing(m_committing, true);
            Text3_LostFocus();
        }
        break;
    case QEvent::KeyPress: {
        if (watched == List2) {
            const int code = static_cast<const QKeyEvent*>(event)->key();
            if (code == Qt::Key_Insert || code == Qt::Key_Delete) {
                List2_KeyDown(code);
                return true;
            }
        }
        // Before the control, so the caption shows the text as it was; the key still reaches it.
        const int key = keyAscii(static_cast<const QKeyEvent*>(event));
        if (key == 0)
            break;
        if (field >= 0)
            Text2_KeyPress(field, key);
        else if (effect)
            Text3_KeyPress(key);
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
    m_shownRevision = m_document->revision();
    Label6[0]->setText(
        QStringLiteral("Eintrag Nummer\r\n%1 / %2").arg(m_document->entryCount()).arg(EntryCount));
    Text2[0]->setText(QString::number(k + 1));
    const bool selected = k >= 0;
    if (selected) {
        for (int i = 1; i < int(Text2.size()); ++i)
            Text2[i]->setText(shownFieldText(i, k));
        // An entry without circuit shows no device and no number: H31 would be a real circuit.
        Combo2->setCurrentIndex(storedDevice(k));
        // While the effect is typed, the field is what the list holds (but for blanks around it).
        if (!m_effectTyping)
            Text3->setText(list().effects[k]);
        // Reaching the list by keyboard makes a line current without highlighting it.
        List2->item(k)->setSelected(true);
        if (Label9->text().isEmpty())
            showReservedSlotNotice(k);
    } else {
        clearEditorFields();
    }
    for (QLineEdit* entryField : Text2)
        entryField->setEnabled(selected);
    Text3->setEnabled(selected);
    Combo2->setEnabled(selected);
    // A field that keeps the focus while the line changes (the device box hands the focus to the
    // circuit number before a click selects another line) compares against the new line's text.
    for (int i = 0; i < int(Text2.size()); ++i) {
        if (selected && m_fieldEntered[i] && Text2[i]->hasFocus())
            Text2_GotFocus(i);
    }
    if (selected && m_effectEntered && Text3->hasFocus() && !m_effectTyping)
        Text3_GotFocus();
    showEffectInfo();
}

// Without a selected line the fields show nothing: no greyed field keeps an old line's values.
void Form1::clearEditorFields()
{
    for (int i = 1; i < int(Text2.size()); ++i)
        Text2[i]->clear();
    Combo2->setCurrentIndex(-1);
    if (!m_effectTyping)
        Text3->clear();
}

// A slot further down than the first empty one holds a circuit or an effect that no entry fires yet.
void Form1::showReservedSlotNotice(int row)
{
    if (row <= m_document->entryCount() || row >= EntryCount)
        return;
    const qint16 code = list().circuits[row];
    if (code == NoCircuit)
        return;
    showNotice(ReservedCircuitNotice(row, code, m_document->entryCount()));
}

QString Form1::shownFieldText(int Index, int row) const
{
    const ShotList& shown = list();
    switch (Index) {
    case 0:
        return QString::number(row + 1);
    case 1:
        return QString::number(SinceValue(shown, row));
    case 2:
        return QString::number(UntilValue(shown, row));
    default:
        return shown.circuits[row] == NoCircuit ? QString() : QString::number(shown.circuits[row] & 31);
    }
}

int Form1::storedDevice(int row) const
{
    const qint16 code = list().circuits[row];
    return code == NoCircuit ? -1 : code / 32;
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
    const QString typed = field->text();
    const int row = List2->currentRow();
    const quint64 seen = m_shownRevision;
    // An emptied field holds no number the user typed: nothing is stored for it, and it shows the
    // stored value again.
    const bool emptied = typed.trimmed().isEmpty();
    if (emptied && row >= 0)
        field->setText(shownFieldText(Index, row));
    if (Index == 3) {
        commitCircuit(row, seen, typed, emptied);
        return;
    }
    if (emptied)
        return;
    const double typedValue = LeadingNumber(typed);
    field->setText(CanonicalText(typedValue));
    if (field->text() == SavedFieldText[Index])
        return;
    const double value = CanonicalValue(typedValue);

    if (Index == 0) {
        const int line = EntryNumberLine(value);
        showClamped(field, value, ClampEntryNumber(value));
        selectLine(line);
        List2->setFocus();
        showNotice(EntryNumberNotice(typed, line));
        return;
    }
    // Without a selected line (a receive refreshed the lists meanwhile) there is no entry to change.
    if (row < 0)
        return;

    const ShotList before = list();
    const int countBefore = m_document->entryCount();
    bool applied = false;
    GapField gap = GapField::Since;
    if (Index == 1) {
        showClamped(field, value, ClampSince(value));
        applied = m_document->applySince(seen, row, value, FieldValue(SavedFieldText[1]));
    } else {
        gap = GapField::Until;
        showClamped(field, value, ClampUntil(value));
        if (UntilSeconds(value) < 1) {
            const Prompter::Answer answer = prompter().message(QStringLiteral("Feuerwerksequenz beenden"),
                QStringLiteral("Rest der Liste löschen?"), Prompter::Buttons::YesNo, Prompter::Answer::Yes);
            // The document refuses the deletion when the list was replaced while the box was up.
            afterCommit(seen, answer == Prompter::Answer::Yes && m_document->deleteRest(seen, row), row);
            showNotice(QString());
            return;
        }
        applied = m_document->applyUntil(seen, row, value, FieldValue(SavedFieldText[2]));
    }
    // Refused as stale: the list was replaced meanwhile and shows no line.
    if (!applied && m_document->revision() != seen)
        return;
    afterCommit(seen, applied, row);
    showNotice(GapNotice(gap, typed, row, before, countBefore, list(), m_document->entryCount()));
}

// The circuit of row from the device box and the number typed; an emptied number keeps the stored one
// for a device chosen anew.
void Form1::commitCircuit(int row, quint64 seen, const QString& typed, bool emptied)
{
    QLineEdit* field = Text2[3];
    if (row < 0) {
        if (!emptied)
            field->setText(CanonicalText(LeadingNumber(typed)));
        return;
    }
    const qint16 code = list().circuits[row];
    const int device = Combo2->currentIndex();
    const bool deviceChanged = device != storedDevice(row);
    QString number = typed;
    if (emptied) {
        if (!deviceChanged)
            return;
        if (code == NoCircuit) {
            showNotice(NoCircuitNumberNotice(row, device));
            selectLine(row);
            return;
        }
        number = QString::number(code & 31);
    } else {
        field->setText(CanonicalText(LeadingNumber(typed)));
        if (field->text() == SavedFieldText[3] && !deviceChanged)
            return;
    }
    if (device < 0) {
        showNotice(NoDeviceNotice(row));
        selectLine(row);
        return;
    }
    const double value = FieldValue(number);
    showClamped(field, value, ClampCircuitNumber(value));
    const bool applied = m_document->applyCircuit(seen, row, device, value);
    if (!applied && m_document->revision() != seen)
        return;
    afterCommit(seen, applied, row);
    const QString notice = CircuitNotice(number, row, device, list().circuits[row]);
    const QString reserved = row > m_document->entryCount()
        ? ReservedCircuitNotice(row, list().circuits[row], m_document->entryCount())
        : QString();
    showNotice(
        notice.isEmpty() || reserved.isEmpty() ? notice + reserved : notice + QLatin1Char(' ') + reserved);
    // Enter goes on to the next line. A click or Tab into another field of the editor edits the entry that
    // was shown when the user left this one.
    QWidget* next = QApplication::focusWidget();
    const bool staysInEditor = next == Text3 || next == Combo2 || editorFieldIndex(next) >= 0;
    if (row < List2->count() - 1 && !staysInEditor)
        selectLine(row + 1);
}

// Enter goes on to the circuit number (a disabled field takes no focus: then it stays); Tab does so
// by the keyboard order.
void Form1::Combo2_KeyPress(int KeyAscii)
{
    if (KeyAscii == EnterKey)
        Text2[3]->setFocus();
}

// The focus goes where the user put it. On to the circuit number the device goes along, and that
// field's commit stores both; anywhere else the device chosen is stored now with the number shown.
void Form1::Combo2_LostFocus()
{
    if (QApplication::focusWidget() != Text2[3])
        storeChosenDevice();
}

void Form1::storeChosenDevice()
{
    const int row = List2->currentRow();
    const int device = Combo2->currentIndex();
    if (row < 0 || device < 0 || device == storedDevice(row))
        return;
    const quint64 seen = m_shownRevision;
    const qint16 code = list().circuits[row];
    if (code == NoCircuit) {
        showNotice(NoCircuitNumberNotice(row, device));
        selectLine(row);
        return;
    }
    const QString number = QString::number(code & 31);
    const bool applied = m_document->applyCircuit(seen, row, device, code & 31);
    if (!applied && m_document->revision() != seen)
        return;
    afterCommit(seen, applied, row);
    showNotice(CircuitNotice(number, row, device, list().circuits[row]));
}

void Form1::Text3_GotFocus()
{
    Text3->selectAll();
    SavedFieldText[4] = Text3->text();
    ++m_typingRun;
}

// The effect is stored as it is typed, so a crash or the close button loses none of it; a run of typing
// in the field is one undo step. The field keeps the caret and what it shows.
void Form1::effectTyped()
{
    const int row = List2->currentRow();
    if (row < 0)
        return;
    const QString typed = Text3->text();
    if (!EffectRefusal(typed).isEmpty())
        return; // the validator has said why
    if (row > m_document->entryCount()) {
        showNotice(ReservedEffectNotice(row, m_document->entryCount()));
        const QSignalBlocker block(Text3);
        Text3->setText(list().effects[row]);
        return;
    }
    const quint64 seen = m_shownRevision;
    bool applied = false;
    {
        const QScopedValueRollback<bool> typing(m_effectTyping, true);
        const QScopedValueRollback<bool> committing(m_committing, true);
        applied = m_document->setEffect(seen, row, typed, m_typingRun);
        if (applied) {
            m_typedRevision = m_document->revision();
            m_typedRun = m_typingRun;
            m_typedRow = row;
            selectLine(row);
        }
    }
    if (applied)
        showNotice(QString());
}

// Enter stores the effect and goes on to the next line's, the focus staying here: the effects of a
// show are typed one after the other.
void Form1::Text3_KeyPress(int KeyAscii)
{
    if (KeyAscii != EnterKey)
        return;
    const int row = List2->currentRow();
    bool stored = false;
    {
        const QScopedValueRollback<bool> committing(m_committing, true);
        stored = commitEffect();
    }
    if (stored && row < List2->count() - 1)
        selectLine(row + 1);
}

void Form1::Text3_LostFocus() { commitEffect(); }

// False when there is no line, the text cannot be an effect or the list was replaced meanwhile.
bool Form1::commitEffect()
{
    const int row = List2->currentRow();
    if (row < 0)
        return false;
    const QString typed = Text3->text();
    if (typed == SavedFieldText[4])
        return true;
    const quint64 seen = m_shownRevision;
    const QString refusal = EffectRefusal(typed);
    if (!refusal.isEmpty()) {
        showNotice(EffectNotice(row, refusal + QStringLiteral(" Der Effekt ist nicht gespeichert.")));
        return false;
    }
    if (row > m_document->entryCount() && typed.trimmed() != list().effects[row]) {
        showNotice(ReservedEffectNotice(row, m_document->entryCount()));
        selectLine(row);
        return false;
    }
    const bool applied = m_document->setEffect(seen, row, typed);
    if (!applied && m_document->revision() != seen)
        return false;
    afterCommit(seen, applied, row);
    showNotice(QString());
    return true;
}

// Below the fields until the next commit; a long one is also the label's tool tip.
void Form1::showNotice(const QString& text)
{
    Label9->setText(text);
    Label9->setToolTip(text);
}

// Row selection runs also for the line already selected, so the fields show the stored values.
void Form1::selectLine(int row)
{
    if (List2->currentRow() == row)
        List2_Click();
    else
        List2->setCurrentRow(row);
}

// The lists follow the document already; the line is selected again, so the fields show what is stored.
// A list replaced meanwhile (a receive that completed while a box was up) has no such line.
void Form1::afterCommit(quint64 seen, bool changed, int row)
{
    if (!changed && m_document->revision() != seen)
        return;
    selectLine(row);
}

// A list replaced as a whole shows no selected line: the fields have nothing to edit.
void Form1::showReplacedList()
{
    for (QLineEdit* field : Text2)
        field->setEnabled(false);
    Text3->setEnabled(false);
    Combo2->setEnabled(false);
    clearEditorFields();
    showEffectInfo();
    showListComment();
    Label6[0]->setText(
        QStringLiteral("Eintrag Nummer\r\n%1 / %2").arg(m_document->entryCount()).arg(EntryCount));
}

void Form1::List2_KeyDown(int KeyCode)
{
    const int row = List2->currentRow();
    if (row < 0)
        return;
    if (KeyCode == Qt::Key_Delete) {
        if (m_document->deleteEntry(m_shownRevision, row))
            selectLine(row);
        return;
    }
    if (KeyCode != Qt::Key_Insert)
        return;
    QString refusal;
    switch (m_document->insertEntry(m_shownRevision, row)) {
    case ListDocument::InsertResult::Inserted:
        selectLine(row);
        return;
    case ListDocument::InsertResult::NothingToDo:
    case ListDocument::InsertResult::Stale:
        return;
    case ListDocument::InsertResult::ListFull:
        refusal = QStringLiteral("Die Liste ist voll: Alle %1 Einträge sind belegt.").arg(EntryCount);
        break;
    case ListDocument::InsertResult::NoFreeSecond:
        refusal = row == 0
            ? QStringLiteral("Vor Eintrag 1 (%1) ist keine volle Sekunde frei.")
                  .arg(FormatClock(list().times[0]))
            : QStringLiteral("Zwischen Eintrag %1 und Eintrag %2 ist keine volle Sekunde frei.")
                  .arg(row)
                  .arg(row + 1);
        break;
    }
    prompter().message(
        InsertTitle, refusal, Prompter::Buttons::Ok, Prompter::Answer::Ok, Prompter::Icon::Information);
}

// The line is selected again right after the step: the field with the focus keeps it meanwhile.
void Form1::UndoList()
{
    // On "Effekte" the keys take back the catalogue's steps.
    if (Effects && SSTab1->currentWidget() == Effects->parentWidget()) {
        Catalogue->model().undoStack().undo();
        return;
    }
    const int shown = List2->currentRow();
    const QScopedValueRollback<bool> committing(m_committing, true);
    showTouchedLine(m_document->undo(), shown);
}

void Form1::RedoList()
{
    if (Effects && SSTab1->currentWidget() == Effects->parentWidget()) {
        Catalogue->model().undoStack().redo();
        return;
    }
    const int shown = List2->currentRow();
    const QScopedValueRollback<bool> committing(m_committing, true);
    showTouchedLine(m_document->redo(), shown);
}

// After undo or redo the line the step touched is selected and shown, with its stored values; a step
// that touched no line (the music, the comment) leaves the line that was selected, shown anew.
void Form1::showTouchedLine(int row, int shown)
{
    if (row < 0)
        row = shown;
    if (row < 0) {
        List2_Click();
        return;
    }
    selectLine(row);
    List2->scrollToItem(List2->item(row));
    List1->setCurrentRow(row);
}
