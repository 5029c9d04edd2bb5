#include "Classes/Editor/OVMultiSwitch.h"

#include "Classes/Editor/OVMultiSwitchDelegate.h"
#include "Classes/Editor/OVViewState.h"
#include "Classes/Framework/Toolkit/OVImageSize.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/NamedImage.h"

#include <algorithm>
#include <cmath>

namespace {

const QString smallBezelDrawn = QStringLiteral("SwitchSmallBlackBackground.png");
const QString placeholderName = QStringLiteral("PictoEmpty.png");

} // namespace

OVMultiSwitch::OVMultiSwitch(const pf::Rect& frame, QWidget* parent)
    : OVStatefulSlideSwitch(frame, parent, -1, 0)
{
    m_imagePlaceholder = pf::NamedImage::image(placeholderName);
    setSmallSize(false);
}

double OVMultiSwitch::positionOfState(unsigned state) const
{
    return m_maxState == 0 ? 0 : double(state) / m_maxState;
}

unsigned OVMultiSwitch::stateForPosition(double position) const
{
    return unsigned(std::lround(m_maxState * std::clamp(position, 0.0, 1.0)));
}

void OVMultiSwitch::tellDelegate(OVMultiSwitchDelegate& delegate, unsigned state)
{
    delegate.multiSwitchDidChangeState(this, state);
}

void OVMultiSwitch::setNumStates(unsigned count)
{
    const double place = positionOfState(m_state);
    m_maxState = std::max(count, 1u) - 1;
    const unsigned state = stateForPosition(place);
    setKnobPosition(positionOfState(state), true);
    if (state != m_state && !updateState(state, false))
        return;
    setNeedsDisplay();
}

void OVMultiSwitch::updateFrame()
{
    const double column = OVImageSize::pointSize(m_imagePlaceholder).width;
    setFrameSize(pf::Size(column + bezelSize().width + 4, bezelSize().height));
    m_bezelOrigin = pf::Point(column + 4, 0);
    setKnobPosition(positionOfState(m_state), false);
    setNeedsDisplay();
}

void OVMultiSwitch::setImage(const QImage& image, unsigned state)
{
    if (state > m_images.size())
        m_images.resize(state, m_imagePlaceholder);
    if (state == m_images.size())
        m_images.push_back(image);
    else
        m_images[state] = image;
    setNeedsDisplay();
}

double OVMultiSwitch::positionForPoint(pf::Point point) const
{
    const double travel = bezelSize().height - knobSize().height;
    if (travel <= 0)
        return 0;
    return std::clamp((point.y - m_bezelOrigin.y - knobSize().height / 2) / travel, 0.0, 1.0);
}

void OVMultiSwitch::drawRect(QPainter& painter, const pf::Rect&)
{
    const QImage bezel = pf::NamedImage::image(smallSize() ? smallBezelDrawn : bezelName(false));
    pf::drawImage(painter, bezel, pf::Rect(m_bezelOrigin, OVImageSize::pointSize(bezel)));
    const size_t count = std::min<size_t>(m_images.size(), m_maxState + 1);
    const double height = bounds().size.height;
    for (size_t i = 0; i < count; ++i) {
        const pf::Size size = OVImageSize::pointSize(m_images[i]);
        pf::drawImage(
            painter, m_images[i],
            pf::Rect(0, positionOfState(unsigned(i)) * (height - size.height), size.width, size.height));
    }
}

pf::Point OVMultiSwitch::pointOf(const pf::Event& event) const
{
    return convertPointFromView(event.locationInWindow(), nullptr);
}

void OVMultiSwitch::pressed(const pf::Event& event)
{
    const unsigned state = stateForPosition(positionForPoint(pointOf(event)));
    m_isDragging = state == m_state;
    if (state != m_state)
        updateState(state, true);
}

void OVMultiSwitch::dragged(const pf::Event& event)
{
    if (!m_isDragging)
        return;
    const double position = positionForPoint(pointOf(event));
    setKnobPosition(position, false);
    const unsigned state = stateForPosition(position);
    if (state != m_state)
        updateState(state, false);
}

void OVMultiSwitch::released(const pf::Event&)
{
    m_isDragging = false;
    setKnobPosition(positionOfState(m_state), true);
}

QStringList OVMultiSwitch::imageNames()
{
    return {bezelName(false), knobName(false), bezelName(true),
            smallBezelDrawn,  knobName(true),  placeholderName};
}
