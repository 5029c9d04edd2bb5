#include "Classes/Framework/Toolkit/OVListEntryView.h"

#include "Classes/Framework/Toolkit/OVDragButton.h"
#include "Classes/Framework/Toolkit/OVListEntryViewDelegate.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/Log.h"

#include <QDebug>
#include <cmath>

OVListEntryView::OVListEntryView(quint64 features, QWidget* parent)
    : pf::View(pf::Rect(0, 0, 349, headHeight), parent), m_features(features)
{
    setupDetailContainer();
}

OVListEntryView::OVListEntryView(quint64 features, DeferSetup, QWidget* parent)
    : pf::View(pf::Rect(0, 0, 349, headHeight), parent), m_features(features)
{}

OVListEntryView::~OVListEntryView() = default;

void OVListEntryView::setupDetailContainer()
{
    const pf::Rect f = frame();
    setFrame(pf::Rect(f.minX(), f.minY(), f.width(), preferredHeight()));
    auto* container = new pf::View(pf::Rect(0, 0, bounds().width(), 0));
    container->setAutoresizingMask(pf::View::WidthSizable | pf::View::HeightSizable);
    addSubview(container);
    m_detailContainer = container;
}

double OVListEntryView::preferredHeight() const
{
    return headHeight + (m_selected && m_detailContainer ? m_detailContainer->frame().height() : 0);
}

void OVListEntryView::setState(int state)
{
    if (state == m_state)
        return;
    m_state = state;
    if (!m_delegate)
        return;
    switch (state) {
    case Closed:
        m_delegate->entryDidClose(this);
        break;
    case Opening:
        m_delegate->entryWillOpen(this);
        break;
    case Open:
        m_delegate->entryDidOpen(this);
        break;
    case Closing:
        m_delegate->entryWillClose(this);
        break;
    default:
        break;
    }
}

void OVListEntryView::setSelected(bool selected)
{
    m_selected = selected;
}

void OVListEntryView::setTitle(const QString& title)
{
    m_title = pf::localized(title, QStringLiteral("Controls"));
    setNeedsDisplay();
}

void OVListEntryView::layoutWillChange()
{
    if (!m_selected && !m_isHovered && m_state != Closed)
        setState(Closing);
    else if ((m_selected || m_isHovered) && m_state != Open)
        setState(Opening);
}

void OVListEntryView::layoutDidChange()
{
    const bool atPreferred = std::lround(frame().height() - preferredHeight()) == 0;
    if (m_selected && atPreferred)
        setState(Open);
    else if (!m_selected && !m_isHovered && atPreferred)
        setState(Closed);
}

void OVListEntryView::enableEntry(bool on)
{
    if (m_delegate)
        m_delegate->listEntryEnableDidChange(this, on);
}

void OVListEntryView::removeEntry()
{
    if (m_delegate)
        m_delegate->removeListEntry(this);
}

void OVListEntryView::dragEntry(QObject* sender)
{
    auto* handle = qobject_cast<OVDragButton*>(sender);
    if (!handle) {
        pf::warning(QStringLiteral("Dragged by something not a OVDragButton"));
        return;
    }
    if (m_delegate)
        m_delegate->dragListEntry(this, handle->lastDragDistance(),
                                  handle->dragState() == OVDragButton::Released);
}

void OVListEntryView::copy()
{
    if (m_delegate)
        m_delegate->copyListEntry(this);
}

void OVListEntryView::paste()
{
    if (m_delegate)
        m_delegate->pasteListEntry(this);
}

void OVListEntryView::needsUpdate(QObject*, bool instant)
{
    if (m_selected && m_delegate)
        m_delegate->listEntryNeedUpdate(this, instant);
}

QString OVListEntryView::description() const
{
    QString own;
    QDebug(&own).nospace() << metaObject()->className() << "(" << static_cast<const void*>(this) << ")";
    return QStringLiteral("%1: %2").arg(own, m_title);
}
