#include "Classes/Editor/OVLoupeView.h"

#include "Classes/Editor/OVLoupeViewDelegate.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/Transaction.h"

#include <algorithm>
#include <cmath>

using pf::Rect;

OVLoupeView::OVLoupeView(const Rect& frame, QWidget* parent)
    : View(frame, parent), m_loupeLayer(pf::Layer::create()), m_zoomLayer(pf::Layer::create()),
      m_contentLayer(pf::Layer::create()), m_orgFrame(frame)
{
    const pf::Transaction::Scope atOnce(true);
    m_loupeLayer->setName(QStringLiteral("loupe"));
    m_loupeLayer->setBounds(Rect(0, 0, glassSide, glassSide));
    m_loupeLayer->setPosition(pf::Point(frame.midX(), frame.midY()));
    // Docked and hidden: the loupe shows nothing until it can be carried onto the picture.
    m_loupeLayer->setOpacity(0);
    for (const auto& layer : {m_zoomLayer, m_contentLayer}) {
        layer->setFrame(Rect(0, 0, glassSide, glassSide));
        layer->setMasksToBounds(true);
        m_loupeLayer->addSublayer(layer);
    }
    m_zoomLayer->setContentsRect(Rect(0, 0, 1, 1));
    setHidden(true);
    setTransparentForMouse(true);
}

OVLoupeView::~OVLoupeView()
{
    const pf::Transaction::Scope atOnce(true);
    m_loupeLayer->removeFromSuperlayer();
}

int OVLoupeView::zoomFactor() const
{
    if (m_zoomFactor < 0.75)
        return 0;
    if (m_zoomFactor < 1.5)
        return 1;
    return m_zoomFactor < 3.0 ? 2 : 3;
}

void OVLoupeView::setZoomFactor(int step)
{
    if (step == zoomFactor())
        return;
    m_zoomFactor = std::pow(2.0, std::clamp(step, 0, 3)) * 0.5;
    if (overImage())
        updateEditRect();
}

void OVLoupeView::setLoupeState(int state)
{
    const int old = m_loupeState;
    if (state == old)
        return;
    m_loupeState = state;
    if (state == 4)
        updateLoupe();
    else if (state != 5 && (old == 4 || old == 5) && m_delegate)
        m_delegate->loupeViewDeactivated(this);
    m_loupeHidden = state == 0;
    if (state <= 1)
        setFrame(m_orgFrame);
}

void OVLoupeView::updateLoupe()
{
    updateEditRect();
}

void OVLoupeView::updateEditRect()
{
    m_activationRect = m_delegate ? m_delegate->editRectForLoupe(this) : Rect();
    const Rect picture = m_delegate ? m_delegate->activeRectForLoupe(this) : Rect();
    if (picture.width() <= 0 || picture.height() <= 0 || m_zoomSize.width <= 0 || m_zoomSize.height <= 0)
        return;
    // Where the glass's centre lies on the displayed picture, 0..1.
    const Rect at = frame();
    const double px = (at.midX() - picture.minX()) / picture.width();
    const double py = (at.midY() - picture.minY()) / picture.height();
    double w = glassSide / m_zoomSize.width * m_zoomFactor;
    double h = glassSide / m_zoomSize.height * m_zoomFactor;
    if (w > h && w > 1) {
        h /= w;
        w = 1;
    } else if (h > 1) {
        w /= h;
        h = 1;
    }
    const auto place = [](double origin, double extent, double p, double size) {
        const double v = origin + p * extent - size / 2;
        return std::min(std::max(v, 0.0), 1 - size);
    };
    m_editRect = Rect(place(m_activationRect.minX(), m_activationRect.width(), px, w),
                      place(m_activationRect.minY(), m_activationRect.height(), py, h), w, h);
    {
        const pf::Transaction::Scope atOnce(true);
        m_zoomLayer->setContentsRect(m_editRect);
        m_contentLayer->setOpacity(1);
    }
    if (m_delegate)
        m_delegate->loupeViewActivated(this);
}

void OVLoupeView::setCursorState(int state)
{
    if (state == m_cursorState)
        return;
    m_cursorState = state;
    if (m_delegate)
        m_delegate->loupeViewDidChangeCursorState(this, state);
}

bool OVLoupeView::keyboardKeyDownEvent(const pf::Event&)
{
    return false;
}

void OVLoupeView::keyboardFlagsChangedEvent(const pf::Event& event)
{
    if (!overImage())
        return;
    const unsigned held = event.modifierFlags() & (pf::Modifier::Shift | pf::Modifier::Control |
                                                   pf::Modifier::Option | pf::Modifier::Command);
    m_loupeHidden = held == pf::Modifier::Shift;
}

void OVLoupeView::scrollWheel(const pf::Event& event)
{
    if (m_delegate)
        m_delegate->loupeViewScrollWheel(this, event);
}

void OVLoupeView::magnify(const pf::Event& event)
{
    if (m_delegate)
        m_delegate->loupeViewMagnifyWithEvent(this, event);
}
