#include "Classes/Editor/OVLoupeHost.h"

#include "Classes/Editor/OVLoupeArtwork.h"

using pf::Rect;

OVLoupeHost::OVLoupeHost(const Rect& frame, std::function<Rect()> extent)
    : pf::LayerHostView(frame), m_extent(std::move(extent))
{}

void OVLoupeHost::layerTreeDidChange(const Rect& dirty)
{
    const Rect now = m_extent();
    if (now.isInfinite() || !OVLoupeArtwork::isFinite(now)) {
        m_last = Rect::null();
        setNeedsDisplay();
        return;
    }
    if (!dirty.isInfinite() && !dirty.isNull() && now == m_last) {
        const Rect part = dirty.intersected(now);
        if (!part.isNull() && !part.isEmpty())
            setNeedsDisplayInRect(part.integral().insetBy(-2, -2));
        return;
    }
    Rect area = dirty.isInfinite() ? now : dirty.united(now);
    if (!m_last.isNull())
        area = area.united(m_last);
    m_last = now;
    // Antialiased edges reach a pixel out.
    setNeedsDisplayInRect(area.integral().insetBy(-2, -2));
}
