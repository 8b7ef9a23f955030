#include "storable_edits.h"

#include "shotlist/stored_text.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>

QValidator::State EffectValidator::validate(QString& input, int& pos) const
{
    Q_UNUSED(pos);
    m_refusal = EffectRefusal(input);
    return m_refusal.isEmpty() ? Acceptable : Invalid;
}

// The rule is the command line's (CommentRefusal); the reason is short, for the line below the box.
bool CommentBox::refuse(const QString& text)
{
    if (CommentRefusal(text).isEmpty())
        return false;
    const QString character = FirstUnstorableCharacter(text);
    emit refused(character.isEmpty()
            ? QStringLiteral("Eine Listendatei hat für den Kommentar nur eine Zeile.")
            : CharacterName(character) + QStringLiteral(" kann eine Listendatei nicht speichern."));
    return true;
}

void CommentBox::keyPressEvent(QKeyEvent* event)
{
    // Enter types a line break; in a read-only box it types nothing.
    const bool lineBreak = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!isReadOnly() && refuse(lineBreak ? QStringLiteral("\n") : event->text())) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void CommentBox::inputMethodEvent(QInputMethodEvent* event)
{
    if (!refuse(event->commitString())) {
        QPlainTextEdit::inputMethodEvent(event);
        return;
    }
    // The composition goes on; only the committed text is dropped.
    QInputMethodEvent kept(event->preeditString(), event->attributes());
    kept.setCommitString(QString(), event->replacementStart(), event->replacementLength());
    QPlainTextEdit::inputMethodEvent(&kept);
}

void CommentBox::insertFromMimeData(const QMimeData* source)
{
    if (source && refuse(source->text()))
        return;
    QPlainTextEdit::insertFromMimeData(source);
}
