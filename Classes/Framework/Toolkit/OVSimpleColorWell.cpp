#include "Classes/Framework/Toolkit/OVSimpleColorWell.h"

#include "Classes/Framework/OVColor.h"
#include "Classes/Framework/Toolkit/ViewORVExtension.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/TrackingArea.h"
#include "Platform/UI/Window.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {
const QString gridName = QStringLiteral("SimpleColorWellGrid");
const QString overlayName = QStringLiteral("SimpleColorWellOverlay");
const QString hoverName = QStringLiteral("SimpleColorWellOverlayHover");
const QString downName = QStringLiteral("SimpleColorWellOverlayDown");
} // namespace

OVSimpleColorWell::OVSimpleColorWell(const pf::Rect& frame, QWidget* parent) : OVColorWell(frame, parent)
{
    setup();
}

OVSimpleColorWell::~OVSimpleColorWell() = default;

QStringList OVSimpleColorWell::imageNames()
{
    return {gridName, overlayName, hoverName, downName};
}

void OVSimpleColorWell::setup()
{
    m_gridImage = pf::NamedImage::image(gridName);
    const QImage overlay = pf::NamedImage::image(overlayName);
    const QImage hover = pf::NamedImage::image(hoverName);
    const QImage down = pf::NamedImage::image(downName);
    m_stateImages = {overlay, hover, down, down, hover, overlay};
}

void OVSimpleColorWell::setMouseDown(bool down, bool hovered)
{
    m_mouseDown = down;
    m_mouseHovered = down ? false : hovered;
    m_state = down ? 2 : (hovered ? 1 : 0);
    updateState();
    setNeedsDisplay();
}

void OVSimpleColorWell::updateState()
{
    m_state = m_state % 3 + (isActive() ? 3 : 0);
}

void OVSimpleColorWell::activate(bool exclusive)
{
    OVColorWell::activate(exclusive);
    updateState();
    setNeedsDisplay();
}

void OVSimpleColorWell::deactivate()
{
    OVColorWell::deactivate();
    updateState();
    setNeedsDisplay();
}

void OVSimpleColorWell::drawRect(QPainter& painter, const pf::Rect&)
{
    const pf::Rect b = bounds();
    if (b.isEmpty())
        return;
    if (!m_gridImage.isNull())
        pf::drawImage(painter, m_gridImage, b);

    // The colour fills a rounded rectangle and is cut to the grid's shape (its alpha), so the grid shows
    // through a translucent colour and the swatch never leaves the drawn well.
    const double scale = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const pf::PaintColor c = color();
    const QString key = QStringLiteral("%1 %2 %3 %4 %5")
                            .arg(OVColor::descriptionForNSColor(c))
                            .arg(c.isPattern() ? c.patternImage().cacheKey() : 0)
                            .arg(b.width())
                            .arg(b.height())
                            .arg(scale);
    if (m_swatch.key != key) {
        QImage image(int(std::ceil(b.width() * scale)), int(std::ceil(b.height() * scale)),
                     QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::transparent);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath rounded;
        rounded.addRoundedRect(QRectF(0, 0, b.width(), b.height()), 3.0, 3.0);
        p.fillPath(rounded, c.brush());
        if (!m_gridImage.isNull()) {
            p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
            p.drawImage(QRectF(0, 0, b.width(), b.height()), m_gridImage);
        }
        p.end();
        m_swatch = Swatch{key, image};
    }
    pf::drawImage(painter, m_swatch.image, b);

    updateState();
    const QImage& overlay = m_stateImages[std::size_t(m_state)];
    if (!overlay.isNull())
        pf::drawImage(painter, overlay, b);
}

void OVSimpleColorWell::updateTrackingAreas()
{
    ViewORVExtension::dropTrackingArea(*this, m_trackingArea);
    if (!superview())
        return;
    auto area = std::make_unique<pf::TrackingArea>(
        bounds(), pf::TrackingArea::MouseEnteredAndExited | pf::TrackingArea::ActiveAlways, this);
    // A well that appears under the resting pointer shows its hover look at once.
    pf::Window* w = window();
    const bool inside =
        w && bounds().contains(convertPointFromView(w->mouseLocationOutsideOfEventStream(), nullptr));
    if (inside)
        mouseEntered(pf::Event());
    else
        mouseExited(pf::Event());
    m_trackingArea = addTrackingArea(std::move(area));
}

void OVSimpleColorWell::mouseEntered(const pf::Event&)
{
    setMouseDown(m_mouseDown, true);
}

void OVSimpleColorWell::mouseExited(const pf::Event&)
{
    setMouseDown(m_mouseDown, false);
}

void OVSimpleColorWell::mouseDown(const pf::Event&)
{
    setMouseDown(true, m_mouseHovered);
}

void OVSimpleColorWell::mouseUp(const pf::Event&)
{
    if (isActive())
        deactivate();
    else
        activate(true);
    setMouseDown(false, m_mouseHovered);
}
