#pragma once

#include <QPlainTextEdit>
#include <QValidator>

// Input that a list file must hold: what it cannot hold is refused as typed or pasted, with a reason,
// instead of turning into "?" when the file is written.

// An effect field: a change that makes no storable effect (a character outside Windows-1252, a line
// break, more than 60 characters) is refused as a whole; refusal() says why.
class EffectValidator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
    QString refusal() const { return m_refusal; }

private:
    mutable QString m_refusal;
};

// The comment box: typed, pasted, dropped or composed text that the file's one comment line cannot
// hold (a character outside Windows-1252, a line break) is not inserted; refused() says why.
class CommentBox : public QPlainTextEdit {
    Q_OBJECT
public:
    using QPlainTextEdit::QPlainTextEdit;

signals:
    void refused(const QString& reason);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    bool refuse(const QString& text);
};
