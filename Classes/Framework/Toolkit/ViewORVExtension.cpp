#include "Classes/Framework/Toolkit/ViewORVExtension.h"

#include "Classes/Framework/Toolkit/OV3DView.h"
#include "Classes/Framework/Toolkit/OVShadowCatalog.h"
#include "Classes/Framework/Toolkit/OVShadowedView.h"
#include "Platform/UI/Drawing.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/TrackingArea.h"
#include "Platform/UI/View.h"
#include "Platform/UI/ViewAnimator.h"

#include <QMetaObject>
#include <QWidget>
#include <algorithm>
#include <cmath>

void ViewORVExtension::setShadowName(QWidget* view, const QString& name)
{
    auto* shadowed = dynamic_cast<OVShadowedView*>(view);
    if (!shadowed)
        return;
    OVShadowCatalog& catalog = OVShadowCatalog::sharedShadowCatalog();
    shadowed->setViewShadow(catalog.shadowWithName(name));
    if (shadowed->hasTextColor())
        if (const std::optional<pf::PaintColor> color = catalog.textColorForShadowWithName(name))
            shadowed->setTextColor(*color);
}

double ViewORVExtension::globalLayerRotation(const pf::Layer& layer)
{
    const pf::Layer* root = &layer;
    while (root->superlayer())
        root = root->superlayer();
    const pf::Point p0 = layer.convertPointToLayer(pf::Point(0, 0), root);
    const pf::Point p1 = layer.convertPointToLayer(pf::Point(100, 0), root);
    const double dx = p1.x - p0.x, dy = p1.y - p0.y;
    const double d = std::hypot(dx, dy);
    double angle = std::acos(std::clamp(dx / std::max(1.0, d), -1.0, 1.0));
    if (dy < 0)
        angle = -angle;
    return angle * 180 / M_PI;
}

double ViewORVExtension::contentsScale(const QWidget* view)
{
    return view ? view->devicePixelRatioF() : 1.0;
}

void ViewORVExtension::Animator::setFrame(const pf::Rect& frame) const
{
    if (m_animated)
        pf::ViewAnimator::animateFrame(m_view, frame);
    else
        m_view->setFrame(frame);
}

void ViewORVExtension::Animator::setFrameOrigin(pf::Point origin) const
{
    setFrame(pf::Rect(origin, m_view->frame().size));
}

void ViewORVExtension::Animator::setAlphaValue(double alpha) const
{
    if (m_animated)
        pf::ViewAnimator::animateAlpha(m_view, alpha);
    else
        m_view->setAlphaValue(alpha);
}

namespace {

// The top of the view's chain of superviews and the 3D view that hosts it, if one does.
OV3DView* hostOf(const pf::View* view, const pf::View** hosted)
{
    const pf::View* top = view;
    while (top && top->superview())
        top = top->superview();
    *hosted = top;
    auto* host = top ? dynamic_cast<OV3DView*>(top->nextResponder()) : nullptr;
    return host && host->layerForSubview(top) ? host : nullptr;
}

} // namespace

pf::Window* ViewORVExtension::displayWindow(const pf::View* view)
{
    if (!view)
        return nullptr;
    if (pf::Window* window = view->window())
        return window;
    const pf::View* hosted = nullptr;
    OV3DView* host = hostOf(view, &hosted);
    return host ? displayWindow(host) : nullptr;
}

double ViewORVExtension::onScreenRotation(const pf::View* view)
{
    if (!view)
        return 0;
    const pf::View* hosted = nullptr;
    OV3DView* host = hostOf(view, &hosted);
    if (!host)
        return 0;
    const std::shared_ptr<pf::Layer> layer = host->layerForSubview(hosted);
    return layer ? globalLayerRotation(*layer) : 0;
}

bool ViewORVExtension::replaceOwnedView(QPointer<pf::View>& slot, pf::View* view)
{
    if (slot == view)
        return false;
    if (slot) {
        slot->removeFromSuperview();
        slot->deleteLater();
    }
    slot = view;
    return true;
}

void ViewORVExtension::atNextTurn(pf::View* view, bool& pending, std::function<void()> call)
{
    if (!view || std::exchange(pending, true))
        return;
    // Queued on the view: the call runs only while the view (and so `pending`) lives.
    QMetaObject::invokeMethod(
        view,
        [&pending, call = std::move(call)] {
            pending = false;
            call();
        },
        Qt::QueuedConnection);
}

void ViewORVExtension::dropTrackingArea(pf::View& view, pf::TrackingArea*& area)
{
    if (!area)
        return;
    view.removeTrackingArea(area);
    area = nullptr;
}

pf::TrackingArea* ViewORVExtension::replaceHoverArea(pf::View* view, pf::TrackingArea* old,
                                                     const pf::Rect& rect)
{
    if (old)
        view->removeTrackingArea(old);
    if (rect.isNull())
        return nullptr;
    return view->addTrackingArea(std::make_unique<pf::TrackingArea>(rect,
                                                                    pf::TrackingArea::MouseEnteredAndExited |
                                                                        pf::TrackingArea::MouseMoved |
                                                                        pf::TrackingArea::ActiveInKeyWindow,
                                                                    view));
}

void ViewORVExtension::drawHighlighted(QPainter& painter, bool highlighted, const pf::Rect& area,
                                       const std::function<void(QPainter&)>& draw)
{
    if (!highlighted) {
        draw(painter);
        return;
    }
    pf::Shadow shadow;
    shadow.color = QColor(94, 171, 237);
    shadow.offset = pf::Size(0, 0);
    shadow.blurRadius = 3;
    pf::drawWithShadow(painter, shadow, area, draw);
}
