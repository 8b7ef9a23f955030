#include "page_anchors.h"

#include <QEvent>
#include <QWidget>

#include <cmath>

PageAnchors::PageAnchors(QWidget* container, QSize defaultSize)
    : QObject(container)
    , m_container(container)
    , m_defaultSize(defaultSize)
{
    container->installEventFilter(this);
}

void PageAnchors::add(QWidget* element, Share share)
{
    m_anchors.append({ element, element->geometry(), share });
}

void PageAnchors::setDefaultPlace(QWidget* element, const QRect& place)
{
    for (Anchor& anchor : m_anchors) {
        if (anchor.element == element)
            anchor.place = place;
    }
    apply();
}

void PageAnchors::apply()
{
    const int dx = std::max(0, m_container->width() - m_defaultSize.width());
    const int dy = std::max(0, m_container->height() - m_defaultSize.height());
    // Rounded once per edge, so neighbours that share an edge keep sharing it.
    const auto part = [](int extra, double share) { return int(std::lround(extra * share)); };
    for (const Anchor& anchor : m_anchors) {
        if (!anchor.element)
            continue;
        const Share& s = anchor.share;
        const int left = anchor.place.left() + part(dx, s.left);
        const int top = anchor.place.top() + part(dy, s.top);
        const int right = anchor.place.left() + anchor.place.width() + part(dx, s.left + s.width);
        const int bottom = anchor.place.top() + anchor.place.height() + part(dy, s.top + s.height);
        const QRect wanted(left, top, right - left, bottom - top);
        if (anchor.element->geometry() != wanted)
            anchor.element->setGeometry(wanted);
    }
}

bool PageAnchors::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_container && event->type() == QEvent::Resize)
        apply();
    return QObject::eventFilter(watched, event);
}
