#include "Classes/Editor/GMEventView.h"

#include "Classes/Editor/GMEventViewDelegate.h"
#include "Classes/Framework/Toolkit/OVImageSize.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/NamedImage.h"

#include <QPainterPath>

const QString GMEventView::backgroundImageName = QStringLiteral("Background.jpg");
const QString GMEventView::grainImageName = QStringLiteral("NoiseFull");

namespace {

constexpr double grainOpacity = 0.035;

} // namespace

GMEventView::GMEventView(const pf::Rect& frame, QWidget* parent) : View(frame, parent) {}

void GMEventView::setBgRect(const pf::Rect& rect)
{
    m_bgRect = rect;
    setNeedsDisplay();
}

pf::Rect GMEventView::backgroundCut(const pf::Rect& rect, pf::Size viewSize, pf::Size pictureSize)
{
    const double W = viewSize.width, H = viewSize.height, iw = pictureSize.width, ih = pictureSize.height;
    if (W <= 0 || H <= 0 || iw <= 0 || ih <= 0)
        return rect;
    pf::Rect cut = rect;
    if (iw / ih > W / H) {
        cut.size.width = (W / H) * ih / iw * rect.size.width;
        cut.origin.x = rect.origin.x + (rect.size.width - cut.size.width) * 0.5;
    } else {
        cut.size.height = H * rect.size.height / W * iw / ih;
        cut.origin.y = rect.origin.y + (rect.size.height - cut.size.height);
    }
    return cut;
}

void GMEventView::drawRect(QPainter& painter, const pf::Rect&)
{
    const QImage picture = pf::NamedImage::image(backgroundImageName);
    if (picture.isNull())
        return;
    const pf::Size size = OVImageSize::pointSize(picture);
    const pf::Rect cut = backgroundCut(m_bgRect, bounds().size, size);
    const pf::Rect source(cut.origin.x * size.width, cut.origin.y * size.height, cut.size.width * size.width,
                          cut.size.height * size.height);
    pf::drawImage(painter, picture, bounds(), source, QPainter::CompositionMode_Source, 1.0);
    // A faint grain keeps the picture's smooth dark gradient from showing bands on the screen.
    painter.save();
    painter.setOpacity(painter.opacity() * grainOpacity);
    QPainterPath all;
    all.addRect(bounds().toQRectF());
    pf::fillWithPattern(painter, all, pf::NamedImage::image(grainImageName));
    painter.restore();
}

void GMEventView::scrollWheel(const pf::Event& event)
{
    if (m_delegate && m_delegate->eventViewDidScroll(this, event))
        return;
    View::scrollWheel(event);
}
