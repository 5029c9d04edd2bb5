#include "Classes/Framework/Toolkit/OVImageView.h"

#include "Classes/Framework/OVColor.h"
#include "Classes/Framework/StringORVExtension.h"
#include "Classes/Framework/Toolkit/OVImageSize.h"
#include "Classes/Framework/Toolkit/OVViewDelegate.h"
#include "Classes/Framework/Toolkit/ViewORVExtension.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/Window.h"

#include <QPainter>
#include <QWindow>
#include <algorithm>
#include <cmath>

OVImageView::OVImageView(const pf::Rect& frame, QWidget* parent) : View(frame, parent) {}

OVImageView::~OVImageView()
{
    if (m_keepFrontTimer)
        m_keepFrontTimer->invalidate();
}

void OVImageView::setImage(const QImage& image)
{
    if (image.cacheKey() == m_image.cacheKey() && image.isNull() == m_image.isNull())
        return;
    m_image = image;
    m_ciImage = pf::Image();
    dropRendering();
    setNeedsDisplay();
    const pf::Size size = OVImageSize::pointSize(image);
    m_stretchRect = pf::Rect(0, 0, size.width, size.height);
    updateGeometry();
}

void OVImageView::setCIImage(const pf::Image& image)
{
    setImage(QImage());
    m_ciImage = image;
    dropRendering();
    setNeedsDisplay();
}

void OVImageView::setImageName(const QString& name)
{
    setImage(pf::NamedImage::image(name));
    const std::optional<QString> options = ORVExtension::resourceInfo(name).options();
    if (!options)
        return;
    const QStringList parts = options->split(QLatin1Char('-'));
    double* fields[] = {&m_stretchRect.origin.x, &m_stretchRect.origin.y, &m_stretchRect.size.width,
                        &m_stretchRect.size.height};
    for (int i = 0; i < 4 && i < parts.size(); ++i)
        *fields[i] = parts[i].toInt();
    setNeedsDisplay();
}

void OVImageView::setStretchRect(const pf::Rect& rect)
{
    ViewORVExtension::setAndRedisplay(*this, m_stretchRect, rect);
}

void OVImageView::setGravity(int gravity)
{
    ViewORVExtension::setAndRedisplay(*this, m_gravity, gravity);
}

void OVImageView::setAspectFit(bool flag)
{
    ViewORVExtension::setAndRedisplay(*this, m_aspectFit, flag);
}

void OVImageView::setOpacity(double opacity)
{
    if (opacity == m_opacity)
        return;
    m_opacity = opacity;
    setNeedsDisplay();
}

void OVImageView::setOpacityString(const QString& text)
{
    m_opacity = text.trimmed().toDouble();
}

void OVImageView::setBorderWidth(double width)
{
    ViewORVExtension::setAndRedisplay(*this, m_borderWidth, width);
}

void OVImageView::setBorderColor(const std::optional<QColor>& color)
{
    ViewORVExtension::setAndRedisplay(*this, m_borderColor, color);
}

void OVImageView::setBorderColorName(const QString& text)
{
    setBorderColor(OVColor::colorFromDescription(text).toQColor());
}

void OVImageView::setBorderedImage(bool flag)
{
    ViewORVExtension::setAndRedisplay(*this, m_borderedImage, flag);
}

void OVImageView::setKeepFront(bool flag)
{
    m_keepFront = flag;
    updateKeepFrontTimer();
}

void OVImageView::setFixedWidth(std::optional<double> width)
{
    m_fixedWidth = width;
    updateGeometry();
}

void OVImageView::setFixedHeight(std::optional<double> height)
{
    m_fixedHeight = height;
    updateGeometry();
}

OVViewDelegate* OVImageView::viewDelegate() const
{
    return m_delegateIsObject && !m_delegateObject ? nullptr : m_delegate;
}

void OVImageView::setViewDelegate(OVViewDelegate* delegate)
{
    m_delegate = delegate;
    m_delegateObject = dynamic_cast<QObject*>(delegate);
    m_delegateIsObject = m_delegateObject != nullptr;
}

namespace {

// An engine image's size as a picture: an endless one (a generator, a clamped image) has none.
pf::Size finiteSize(const pf::Image& image)
{
    const pf::Rect extent = image.extent();
    if (extent.isNull() || extent.isInfinite() || !std::isfinite(extent.width()) ||
        !std::isfinite(extent.height()))
        return pf::Size();
    return extent.size;
}

} // namespace

pf::Size OVImageView::imageSize() const
{
    if (!m_ciImage.isNull())
        return finiteSize(m_ciImage);
    return OVImageSize::pointSize(m_image);
}

pf::Size OVImageView::intrinsicContentSize() const
{
    const pf::Size natural = !m_image.isNull()     ? OVImageSize::pointSize(m_image)
                             : !m_ciImage.isNull() ? finiteSize(m_ciImage)
                                                   : pf::Size();
    if (m_fixedWidth.has_value() == m_fixedHeight.has_value())
        return natural;
    // One fixed side: the other follows the aspect. An image without area has none to follow.
    if (natural.width <= 0 || natural.height <= 0)
        return pf::Size();
    if (m_fixedWidth) {
        const double w = *m_fixedWidth;
        return w > 0 ? pf::Size(w, natural.height * w / natural.width) : natural;
    }
    const double h = *m_fixedHeight;
    return pf::Size(natural.width * h / natural.height, h);
}

QSize OVImageView::sizeHint() const
{
    // Held to what a widget can be: a huge (yet finite) image must not wrap round to a negative hint.
    const auto side = [](double v) { return int(std::clamp(std::ceil(v), 0.0, double(QWIDGETSIZE_MAX))); };
    const pf::Size size = intrinsicContentSize();
    return QSize(side(size.width), side(size.height));
}

pf::Rect OVImageView::destinationRect() const
{
    const pf::Size image = imageSize();
    if (!(image.width > 0) || !(image.height > 0))
        return pf::Rect::null();
    const pf::Rect b = bounds();
    const double bw = b.width(), bh = b.height();
    pf::Rect d(0, 0, image.width, image.height);
    if (m_gravity == Fill) {
        d = pf::Rect(0, 0, bw, bh);
        if (m_aspectFit) {
            if (bw / bh > image.width / image.height) {
                d.size.height = image.height * bw / image.width;
                d.origin.y = (bh - d.size.height) / 2;
            } else {
                d.size.width = image.width * bh / image.height;
                d.origin.x = (bw - d.size.width) / 2;
            }
        }
    } else {
        if (m_aspectFit) {
            if (image.width / image.height > bw / bh)
                d.size = pf::Size(bw, image.height * bw / image.width);
            else
                d.size = pf::Size(image.width * bh / image.height, bh);
        }
        d.origin.y = (m_gravity & Top) ? bh - d.size.height : (bh - d.size.height) / 2;
        if (m_gravity & Right)
            d.origin.x = bw - d.size.width;
        else if (m_gravity & Left)
            d.origin.x = 0;
        else
            d.origin.x = (bw - d.size.width) / 2;
        if (m_upscaleIfNeeded) {
            if (bw > d.size.width) {
                d.size.width = bw;
                d.origin.x = 0;
            }
            if (bh > d.size.height) {
                d.size.height = bh;
                d.origin.y = 0;
            }
        }
    }
    return d.offsetBy(b.minX(), b.minY());
}

void OVImageView::drawNineSlices(QPainter& painter, const pf::Rect& d) const
{
    const pf::Size size = OVImageSize::pointSize(m_image);
    const pf::Rect& s = m_stretchRect;
    const double W = size.width, H = size.height;
    // Slice sizes are whole points; a slice with no room on either side is skipped.
    const double sourceColumns[] = {std::trunc(s.origin.x), std::trunc(s.size.width),
                                    std::trunc(W - s.size.width - s.origin.x)};
    const double destinationColumns[] = {std::trunc(s.origin.x), std::trunc(d.width() - (W - s.size.width)),
                                         std::trunc(W - s.size.width - s.origin.x)};
    const double sourceRows[] = {std::trunc(s.origin.y), std::trunc(s.size.height),
                                 std::trunc(H - s.size.height - s.origin.y)};
    const double destinationRows[] = {std::trunc(s.origin.y), std::trunc(d.height() - (H - s.size.height)),
                                      std::trunc(H - s.size.height - s.origin.y)};
    double sx = 0, dx = d.minX();
    for (int column = 0; column < 3; ++column) {
        double sy = 0, dy = d.minY();
        for (int row = 0; row < 3; ++row) {
            if (sourceColumns[column] > 0 && sourceRows[row] > 0 && destinationColumns[column] > 0 &&
                destinationRows[row] > 0)
                pf::drawImage(painter, m_image,
                              pf::Rect(dx, dy, destinationColumns[column], destinationRows[row]),
                              pf::Rect(sx, sy, sourceColumns[column], sourceRows[row]),
                              QPainter::CompositionMode_SourceOver, m_opacity);
            sy += sourceRows[row];
            dy += destinationRows[row];
        }
        sx += sourceColumns[column];
        dx += destinationColumns[column];
    }
}

void OVImageView::dropRendering()
{
    m_rendered = QImage();
    m_renderedSize = QSize();
}

QImage OVImageView::renderedCIImage(pf::Size size, double scale)
{
    const QSize pixels(std::max(1, int(std::lround(size.width * scale))),
                       std::max(1, int(std::lround(size.height * scale))));
    if (pixels == m_renderedSize && !m_rendered.isNull())
        return m_rendered;
    const pf::Rect extent = m_ciImage.extent();
    const double sx = pixels.width() / extent.width(), sy = pixels.height() / extent.height();
    const pf::Image atOrigin =
        m_ciImage.imageByApplyingTransform(pf::AffineTransform::translation(-extent.minX(), -extent.minY()));
    // The engine reduces through reduced levels of the image, so large reductions do not alias.
    const pf::Image scaled = atOrigin.imageByApplyingTransform(pf::AffineTransform::scale(sx, sy));
    QImage rendered =
        pf::RenderContext::shared()->renderToQImage(scaled, pf::Rect(0, 0, pixels.width(), pixels.height()));
    // In the format views paint into, so that redraws copy it without converting it each time.
    rendered.convertTo(QImage::Format_ARGB32_Premultiplied);
    rendered.setDevicePixelRatio(scale);
    m_rendered = rendered;
    m_renderedSize = pixels;
    return m_rendered;
}

void OVImageView::setViewShadow(const std::optional<pf::Shadow>& shadow)
{
    ViewORVExtension::setAndRedisplay(*this, m_viewShadow, shadow);
}

void OVImageView::drawRect(QPainter& painter, const pf::Rect&)
{
    drawUnderViewShadow(painter, bounds(), [this](QPainter& p) { drawContent(p); });
}

void OVImageView::drawContent(QPainter& painter)
{
    const pf::Rect d = destinationRect();
    if (d.isNull())
        return;
    if (!m_ciImage.isNull()) {
        const double scale = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
        const QImage rendered = renderedCIImage(d.size, scale);
        const QTransform transform = painter.worldTransform();
        if (transform.type() <= QTransform::TxScale && std::abs(transform.m11()) == 1 &&
            std::abs(transform.m22()) == 1) {
            // Rendered at the destination's device size: a plain copy in device coordinates, without
            // the flip of the view's y-up painter.
            const QRectF target = transform.mapRect(d.toQRectF());
            painter.save();
            painter.resetTransform();
            painter.drawImage(target.topLeft(), rendered);
            painter.restore();
        } else {
            pf::drawImage(painter, rendered, d);
        }
    } else {
        drawNineSlices(painter, d);
    }
    if (m_borderColor && m_borderWidth > 0) {
        const pf::Rect framed = (m_borderedImage && !m_image.isNull() ? d : bounds()).insetBy(0.5, 0.5);
        if (!framed.isNull()) {
            painter.setPen(QPen(*m_borderColor, m_borderWidth));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(framed.toQRectF());
        }
    }
}

pf::View* OVImageView::hitTest(pf::Point pointInSuperview)
{
    return m_noHitTesting ? nullptr : View::hitTest(pointInSuperview);
}

void OVImageView::mouseDown(const pf::Event& event)
{
    OVViewDelegate* delegate = viewDelegate();
    if (delegate && delegate->takesClicks())
        return;
    pf::Window* w = window();
    if (m_dragsWindow && w) {
        // Moved by the view itself, so that it works alike with and without a window manager.
        m_draggingWindow = true;
        m_dragStartPointer = w->convertPointToScreen(event.locationInWindow());
        m_dragStartOrigin = w->frame().origin;
        return;
    }
    View::mouseDown(event);
}

void OVImageView::mouseDragged(const pf::Event& event)
{
    pf::Window* w = window();
    if (m_draggingWindow && w) {
        // The pointer on the screen (the window's own moves do not feed back into it).
        const pf::Point now = w->convertPointToScreen(event.locationInWindow());
        w->setFrameOrigin(pf::Point(m_dragStartOrigin.x + now.x - m_dragStartPointer.x,
                                    m_dragStartOrigin.y + now.y - m_dragStartPointer.y));
        return;
    }
    OVViewDelegate* delegate = viewDelegate();
    if (delegate && delegate->takesClicks())
        return;
    View::mouseDragged(event);
}

void OVImageView::mouseUp(const pf::Event& event)
{
    if (m_draggingWindow) {
        m_draggingWindow = false;
        return;
    }
    OVViewDelegate* delegate = viewDelegate();
    if (delegate && delegate->takesClicks()) {
        if (event.clickCount() == 1)
            delegate->viewWasClicked(this);
        return;
    }
    View::mouseUp(event);
}

void OVImageView::resizeWithOldSuperviewSize(pf::Size oldSuperviewSize)
{
    View::resizeWithOldSuperviewSize(oldSuperviewSize);
    if (OVViewDelegate* delegate = viewDelegate())
        delegate->viewDidAutoresize(this);
}

void OVImageView::viewDidMoveToSuperview()
{
    View::viewDidMoveToSuperview();
    updateKeepFrontTimer();
}

void OVImageView::captureView(pf::View* view)
{
    if (!view)
        return;
    const double scale = view->window() && view->window()->windowHandle()
                             ? view->window()->windowHandle()->devicePixelRatio()
                             : pf::NamedImage::screenScale();
    setImage(view->snapshot(scale));
}

void OVImageView::updateKeepFrontTimer()
{
    if (m_keepFrontTimer) {
        m_keepFrontTimer->invalidate();
        m_keepFrontTimer.reset();
    }
    if (m_keepFront && superview())
        m_keepFrontTimer = pf::Timer::scheduled(
            1.0, true, [this](pf::Timer&) { keepFrontTimed(); }, this);
}

void OVImageView::verifyKeepFrontHint()
{
    if (m_keepFront && superview())
        pf::Timer::afterThisEvent([this] { keepFrontTimed(); }, this);
}

void OVImageView::keepFrontTimed()
{
    pf::View* parent = superview();
    if (!parent)
        return;
    const QList<pf::View*> siblings = parent->subviews();
    if (!siblings.isEmpty() && siblings.last() != this)
        parent->addSubview(this);
}
