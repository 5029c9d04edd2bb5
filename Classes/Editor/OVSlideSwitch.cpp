#include "Classes/Editor/OVSlideSwitch.h"

#include "Classes/Editor/OVViewState.h"
#include "Classes/Framework/Toolkit/OVImageSize.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Platform/UI/NamedImage.h"

#include <algorithm>

namespace {

pf::Size sizeOf(const QString& name)
{
    return OVImageSize::pointSize(pf::NamedImage::image(name));
}

} // namespace

OVSlideSwitch::OVSlideSwitch(const pf::Rect& frame, QWidget* parent, double smallKnobOffset)
    : View(frame, parent), m_smallKnobOffset(smallKnobOffset)
{
    m_knobView = new OVImageView(pf::Rect(pf::Point(), sizeOf(knobName(true))));
    m_knobView->setNoHitTesting(true); // a press on the knob is a press on the switch
    addSubview(m_knobView);
}

QString OVSlideSwitch::bezelName(bool small)
{
    return small ? QStringLiteral("SwitchSmallBackground.png") : QStringLiteral("SwitchBigBackground.png");
}

QString OVSlideSwitch::knobName(bool small)
{
    return small ? QStringLiteral("SwitchSmallKnob.png") : QStringLiteral("SwitchBigKnob.png");
}

void OVSlideSwitch::setSmallSize(bool small)
{
    m_smallSize = small;
    m_bezelSize = sizeOf(bezelName(small));
    const QString knob = knobName(small);
    m_knobSize = sizeOf(knob);
    m_knobView->setFrameSize(m_knobSize);
    m_knobView->setImage(pf::NamedImage::image(knob));
    updateFrame();
}

void OVSlideSwitch::setKnobPosition(double position, bool animated)
{
    const double x = m_bezelOrigin.x + (m_bezelSize.width - m_knobSize.width) / 2;
    const double y = m_bezelOrigin.y +
                     std::clamp(position, 0.0, 1.0) * (m_bezelSize.height - m_knobSize.height) +
                     (m_smallSize ? m_smallKnobOffset : 0);
    OVViewState::setFrameOrigin(m_knobView, pf::Point(x, y), animated ? 0.2 : 0);
}

void OVSlideSwitch::mouseDown(const pf::Event& event)
{
    if (OVViewState::isVisible(this))
        pressed(event);
    else
        View::mouseDown(event);
}

void OVSlideSwitch::mouseDragged(const pf::Event& event)
{
    if (OVViewState::isVisible(this))
        dragged(event);
    else
        View::mouseDragged(event);
}

void OVSlideSwitch::mouseUp(const pf::Event& event)
{
    if (OVViewState::isVisible(this))
        released(event);
    else
        View::mouseUp(event);
}
