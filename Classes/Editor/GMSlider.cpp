#include "Classes/Editor/GMSlider.h"

#include "Classes/Editor/GMSliderDelegate.h"
#include "Classes/Framework/Toolkit/OVImageSize.h"
#include "Platform/UI/Cursors.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/NamedImage.h"

#include <algorithm>

namespace {

const QString trackLeft = QStringLiteral("ScrollerLittleBackgroundLeft.png");
const QString trackMid = QStringLiteral("ScrollerLittleBackgroundMid.png");
const QString trackRight = QStringLiteral("ScrollerLittleBackgroundRight.png");
const QString knobName = QStringLiteral("KnobLittle.png");

double knobWidth()
{
    return OVImageSize::pointSize(pf::NamedImage::image(knobName)).width;
}

} // namespace

GMSlider::GMSlider(const pf::Rect& frame, QWidget* parent) : GMTrackingView(frame, parent) {}

bool GMSlider::isVertical() const
{
    return frame().size.height > frame().size.width;
}

double GMSlider::value() const
{
    return m_minValue + (m_maxValue - m_minValue) * m_normedValue;
}

void GMSlider::setValue(double value)
{
    if (m_minValue == m_maxValue)
        return;
    m_normedValue = std::clamp((value - m_minValue) / (m_maxValue - m_minValue), 0.0, 1.0);
    setNeedsDisplay();
}

double GMSlider::length() const
{
    return isVertical() ? bounds().size.height : bounds().size.width;
}

double GMSlider::positionForPoint(pf::Point point) const
{
    const double kw = knobWidth();
    const double travel = length() - kw;
    if (travel <= 0)
        return 0;
    return ((isVertical() ? point.y : point.x) - kw / 2) / travel;
}

void GMSlider::updateValue(double position, bool preview)
{
    m_normedValue = std::clamp(position, 0.0, 1.0);
    setNeedsDisplay();
    if (!m_delegate)
        return;
    // The delegate may delete the slider on hearing the value.
    const QPointer<GMSlider> self(this);
    m_delegate->sliderDidChangeValue(this, value(), preview);
    if (!self || !m_delegate)
        return;
    if (preview) {
        if (const std::optional<QImage> image = m_delegate->imageForSlider(this);
            self && image && !image->isNull()) {
            const pf::Size size = OVImageSize::pointSize(*image);
            pf::Cursors::set(pf::Cursors::fromImage(*image, pf::Point(size.width / 2, size.height / 2)),
                             window());
        }
    } else {
        pf::Cursors::set(pf::Cursors::arrow(), window());
    }
}

void GMSlider::drawRect(QPainter& painter, const pf::Rect&)
{
    const pf::Rect b = bounds();
    const double l = length();
    painter.save();
    if (isVertical()) {
        // The horizontal drawing, turned to run from the bottom to the top.
        painter.translate(frame().size.width, 0);
        painter.rotate(90);
    }
    const QImage left = pf::NamedImage::image(trackLeft);
    const QImage mid = pf::NamedImage::image(trackMid);
    const QImage right = pf::NamedImage::image(trackRight);
    const QImage knob = pf::NamedImage::image(knobName);
    const pf::Size ls = OVImageSize::pointSize(left), ms = OVImageSize::pointSize(mid),
                   rs = OVImageSize::pointSize(right), ks = OVImageSize::pointSize(knob);
    const double x0 = b.origin.x + 2, y0 = b.origin.y + 1;
    pf::drawImage(painter, left, pf::Rect(x0, y0, ls.width, ls.height));
    pf::drawImage(painter, right, pf::Rect(x0 + l - rs.width, y0, rs.width, rs.height));
    const double middle = l - ls.width - rs.width;
    if (middle > 0)
        pf::drawImage(painter, mid, pf::Rect(x0 + ls.width, y0, middle, ms.height));
    pf::drawImage(painter, knob, pf::Rect((l - ks.width) * m_normedValue, 0, ks.width, ks.height));
    painter.restore();
}

void GMSlider::track(const pf::Event& event, bool preview)
{
    updateValue(positionForPoint(convertPointFromView(event.locationInWindow(), nullptr)), preview);
}

QStringList GMSlider::imageNames()
{
    return {trackLeft, trackMid, trackRight, knobName};
}
