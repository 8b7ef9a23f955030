#pragma once

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

// Notices of what the program did with the user's input stand out from the captions.
inline QPalette NoticePalette(const QWidget* label)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(160, 40, 0));
    return palette;
}

// A label that reports clicks, like the statistics label.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            emit clicked();
        QLabel::mouseReleaseEvent(event);
    }
};

// A one-line label that ends its text in "…" where it is narrower than the text: text() stays whole.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr, Qt::TextElideMode mode = Qt::ElideRight)
        : QLabel(parent)
        , m_mode(mode)
    {
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    QSize minimumSizeHint() const override { return QSize(0, QLabel::minimumSizeHint().height()); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QRect room = contentsRect();
        const QString shown = fontMetrics().elidedText(text(), m_mode, room.width());
        style()->drawItemText(
            &painter, room, int(alignment()), palette(), isEnabled(), shown, foregroundRole());
    }

private:
    Qt::TextElideMode m_mode;
};
