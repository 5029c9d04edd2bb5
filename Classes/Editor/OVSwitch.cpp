#include "Classes/Editor/OVSwitch.h"

#include "Classes/Editor/OVSwitchDelegate.h"
#include "Classes/Editor/OVViewState.h"
#include "Classes/Framework/Toolkit/OVImageSize.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/NamedImage.h"

#include <algorithm>

namespace {

const QString panelBackground = QStringLiteral("LateralMiniPanelBackground.png");

QImage named(const QString& name)
{
    return pf::NamedImage::image(name);
}

pf::Size sizeOf(const QString& name)
{
    return OVImageSize::pointSize(named(name));
}

} // namespace

OVSwitch::OVSwitch(const pf::Rect& frame, QWidget* parent) : OVStatefulSlideSwitch(frame, parent, 1, true)
{
    const bool small = frame.size.width <= 43 || frame.size.height <= 47;
    const bool left = frame.size.width > 43;
    setSmallSize(small);
    setLogoPlacementLeft(left);
    if (small && !left) {
        setOnImage(named(QStringLiteral("PictoLayerMode.png")));
    } else if (small) {
        setOnImage(named(QStringLiteral("PictoBrush2.png")));
        setOffImage(named(QStringLiteral("PictoEraser.png")));
    } else {
        setOnImage(named(QStringLiteral("PictoClick.png")));
        setOffImage(named(QStringLiteral("PictoBrush.png")));
    }
    setDrawsBackground(small && !left);
}

void OVSwitch::tellDelegate(OVSwitchDelegate& delegate, bool state)
{
    delegate.ovSwitchDidChangeState(this, state);
}

void OVSwitch::setDrawsBackground(bool draws)
{
    m_drawsBackground = draws;
    m_border = draws ? (sizeOf(panelBackground).width - sizeOf(bezelName(true)).width) / 2 : 0;
    updateFrame();
}

void OVSwitch::updateFrame()
{
    const pf::Size on = OVImageSize::pointSize(m_onImage), off = OVImageSize::pointSize(m_offImage);
    const bool hasPictogram = !m_onImage.isNull() || !m_offImage.isNull();
    pf::Size size = bezelSize();
    if (m_logoPlacementLeft) {
        size.width += std::max(on.width, off.width) + (hasPictogram ? 4 : 0);
        m_bezelOrigin =
            pf::Point(m_border + (hasPictogram ? std::max(on.width, off.width) + 4 : 0), m_border);
    } else {
        size.height += on.height + off.height + (m_offImage.isNull() ? 0 : 4) + (m_onImage.isNull() ? 0 : 4);
        m_bezelOrigin = pf::Point(m_border, m_border + (m_offImage.isNull() ? 0 : off.height + 4));
    }
    size.width += 2 * m_border;
    size.height += 2 * m_border;
    setFrameSize(size);
    setKnobPosition(positionOfState(m_state), false);
    setNeedsDisplay();
}

void OVSwitch::drawRect(QPainter& painter, const pf::Rect&)
{
    if (m_drawsBackground) {
        const QImage panel = named(panelBackground);
        pf::drawImage(painter, panel, pf::Rect(pf::Point(), OVImageSize::pointSize(panel)));
    }
    const QImage bezel = named(bezelName(smallSize()));
    pf::drawImage(painter, bezel, pf::Rect(m_bezelOrigin, OVImageSize::pointSize(bezel)));
    const double h = bounds().size.height;
    const pf::Size on = OVImageSize::pointSize(m_onImage), off = OVImageSize::pointSize(m_offImage);
    const double x = m_logoPlacementLeft ? m_border : m_bezelOrigin.x;
    pf::drawImage(painter, m_offImage, pf::Rect(x, m_border, off.width, off.height));
    pf::drawImage(painter, m_onImage, pf::Rect(x, h - m_border - on.height, on.width, on.height));
}

void OVSwitch::pressed(const pf::Event&)
{
    updateState(!m_state, true);
}

QStringList OVSwitch::imageNames()
{
    return {bezelName(false),
            knobName(false),
            bezelName(true),
            knobName(true),
            panelBackground,
            QStringLiteral("PictoLayerMode.png"),
            QStringLiteral("PictoBrush2.png"),
            QStringLiteral("PictoEraser.png"),
            QStringLiteral("PictoClick.png"),
            QStringLiteral("PictoBrush.png")};
}
