#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>

class QWidget;

// Elements placed for a container's default size keep that place at the default size; as the
// container grows, each takes its share of the extra width and height: a list grows, a button
// moves with its edge. Below the default size nothing moves.
class PageAnchors : public QObject {
    Q_OBJECT
public:
    // Shares of the extra width (left, width) and height (top, height), 0 to 1.
    struct Share {
        double left = 0;
        double top = 0;
        double width = 0;
        double height = 0;
    };
    static constexpr Share Grows { 0, 0, 1, 1 };
    static constexpr Share MovesRight { 1, 0, 0, 0 };
    static constexpr Share MovesDown { 0, 1, 0, 0 };
    static constexpr Share MovesRightDown { 1, 1, 0, 0 };

    PageAnchors(QWidget* container, QSize defaultSize);

    // The element's geometry now is its place at the default size.
    void add(QWidget* element, Share share);
    // A new place at the default size (the frames follow the row of tabs once it is measured).
    void setDefaultPlace(QWidget* element, const QRect& place);
    void apply();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Anchor {
        QPointer<QWidget> element;
        QRect place;
        Share share;
    };
    QWidget* m_container;
    QSize m_defaultSize;
    QList<Anchor> m_anchors;
};
