#include "Platform/UI/TrackingArea.h"

#include "Platform/UI/Responder.h"
#include "Platform/UI/View.h"

#include <QObject>

namespace pf {

TrackingArea::TrackingArea(const Rect& rect, unsigned options, Responder* owner, const QVariantMap& userInfo)
    : m_rect(rect.standardized()), m_options(options), m_owner(owner),
      m_ownerIsObject(dynamic_cast<QObject*>(owner)), m_ownerObject(dynamic_cast<QObject*>(owner)),
      m_userInfo(userInfo)
{
    static quint64 nextSerial = 1;
    m_serial = nextSerial++;
}

Responder* TrackingArea::owner() const
{
    // An owner that was a QObject and is gone is no owner any more.
    if (m_ownerIsObject && m_ownerObject.isNull())
        return nullptr;
    return m_owner;
}

View* TrackingArea::view() const
{
    return m_view.data();
}

} // namespace pf
