#include "Classes/Editor/OVHoverView.h"

#include "Classes/Editor/OVHoverViewDelegate.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/TrackingArea.h"

namespace {

QImage imageNamedOrAtPath(const QString& name)
{
    const QImage named = pf::NamedImage::image(name);
    return named.isNull() ? QImage(name) : named;
}

} // namespace

QString OVHoverView::hoverNameFor(const QString& name)
{
    // The extension is what follows the last dot of the last path component; a name without one gets
    // none (a trailing dot would name a file that does not exist).
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= slash + 1)
        return name + QStringLiteral("Hovered");
    return name.left(dot) + QStringLiteral("Hovered") + name.mid(dot);
}

void OVHoverView::setImageName(const QString& name)
{
    m_unhoverImage = imageNamedOrAtPath(name);
    m_hoverImage = imageNamedOrAtPath(hoverNameFor(name));
    updateImage();
}

void OVHoverView::updateImage()
{
    setImage(m_hovered ? m_hoverImage : m_unhoverImage);
}

void OVHoverView::setVisible(bool visible)
{
    OVImageView::setVisible(visible);
    if (!visible) {
        if (m_trackingArea) {
            removeTrackingArea(m_trackingArea);
            m_trackingArea = nullptr;
        }
        if (m_hovered)
            setHovered(false);
    } else if (!m_trackingArea) {
        m_trackingArea = addTrackingArea(std::make_unique<pf::TrackingArea>(
            bounds(), pf::TrackingArea::MouseEnteredAndExited | pf::TrackingArea::ActiveInKeyWindow, this));
    }
}

void OVHoverView::setHovered(bool hovered)
{
    m_hovered = hovered;
    if (m_delegate) {
        // The delegate may delete the view on hearing it.
        const QPointer<OVHoverView> self(this);
        m_delegate->hoverViewStatusChanged(this, hovered);
        if (!self)
            return;
    }
    updateImage();
}

void OVHoverView::mouseEntered(const pf::Event&)
{
    setHovered(true);
}

void OVHoverView::mouseExited(const pf::Event&)
{
    setHovered(false);
}

void OVHoverView::mouseDown(const pf::Event&) {}

void OVHoverView::mouseDragged(const pf::Event&) {}

void OVHoverView::mouseUp(const pf::Event& event)
{
    if (m_delegate && bounds().contains(convertPointFromView(event.locationInWindow(), nullptr)))
        m_delegate->hoverViewWasClicked(this);
}
