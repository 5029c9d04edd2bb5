#include "Classes/Editor/GMLoupeStrokeHint.h"

#include "Classes/Framework/Toolkit/OVToolTipController.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/View.h"

GMLoupeStrokeHint::GMLoupeStrokeHint() = default;

GMLoupeStrokeHint::~GMLoupeStrokeHint()
{
    hide();
}

QString GMLoupeStrokeHint::text()
{
    return pf::localized(
        QStringLiteral("The loupe is on the photo: paint inside its glass, or drag the loupe "
                       "by its rim back to its corner to paint here."));
}

void GMLoupeStrokeHint::strokeRefused(pf::View* view, pf::Point inWindow)
{
    if (m_told || !view)
        return;
    m_told = true;
    m_view = view;
    OVToolTipController::sharedController().showTooltip(text(), pf::Point(inWindow.x + 12, inWindow.y - 16),
                                                        view);
    if (m_timer)
        m_timer->invalidate();
    m_timer = pf::Timer::scheduled(
        shownFor, false, [this](pf::Timer&) { hide(); }, view);
}

void GMLoupeStrokeHint::reset()
{
    m_told = false;
    hide();
}

bool GMLoupeStrokeHint::isShowing() const
{
    OVToolTipController& tips = OVToolTipController::sharedController();
    return m_view && tips.focusView() == m_view && tips.isShowing();
}

void GMLoupeStrokeHint::hide()
{
    if (m_timer) {
        m_timer->invalidate();
        m_timer.reset();
    }
    if (m_view)
        OVToolTipController::sharedController().hideForView(m_view);
    m_view = nullptr;
}
