#include "Classes/Framework/Toolkit/OVLayoutTranslationView.h"

#include <QResizeEvent>
#include <QWidget>
#include <cmath>

OVLayoutTranslationView::OVLayoutTranslationView(const pf::Rect& frame, QWidget* parent)
    : View(frame, parent), m_pinned(frame.size)
{}

void OVLayoutTranslationView::setActive(bool active)
{
    m_active = active;
    if (m_active) {
        applyPin();
    } else {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
}

void OVLayoutTranslationView::applyPin()
{
    const QSize size(int(std::lround(m_pinned.width)), int(std::lround(m_pinned.height)));
    setMinimumSize(size);
    setMaximumSize(size);
    updateGeometry();
}

void OVLayoutTranslationView::setFrameAndPin(const pf::Rect& frame)
{
    m_pinned = frame.size;
    if (m_active)
        applyPin();
    setFrame(frame);
}

void OVLayoutTranslationView::resizeEvent(QResizeEvent* event)
{
    View::resizeEvent(event);
    // Whoever set the frame, the pinned size follows it.
    m_pinned = frame().size;
}

void OVLayoutTranslationView::resizeWithOldSuperviewSize(pf::Size oldSuperviewSize)
{
    if (!m_active) {
        View::resizeWithOldSuperviewSize(oldSuperviewSize);
        return;
    }
    QWidget* parent = parentWidget();
    if (!parent)
        return;
    const pf::Size newSize =
        superview() ? superview()->bounds().size : pf::Size(parent->width(), parent->height());
    setFrameAndPin(autoresizedFrame(frame(), autoresizingMask(), oldSuperviewSize, newSize));
}
