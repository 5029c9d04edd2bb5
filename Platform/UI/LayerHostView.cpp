#include "Platform/UI/LayerHostView.h"

#include "Platform/UI/AnimationScheduler.h"
#include "Platform/UI/Clock.h"
#include "Platform/UI/Event.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/LayerForView.h"
#include "Platform/UI/LayerRenderer.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/Window.h"

#include <QPainter>

namespace pf {

namespace {

const char* const kWindowHostName = "pf-window-layer-host";

bool animates(const Layer& layer)
{
    if (layer.hasAnimations())
        return true;
    for (const auto& sublayer : layer.sublayers())
        if (animates(*sublayer))
            return true;
    return layer.mask() && animates(*layer.mask());
}

// Whether a sublayer of `layer` could show something now (its own look is not asked: the root is bare).
bool showsSublayers(const Layer& layer)
{
    for (const auto& sublayer : layer.sublayers())
        if (!sublayer->isHidden() && sublayer->opacity() > 0)
            return true;
    return false;
}

} // namespace

LayerHostView::LayerHostView(const Rect& frame, QWidget* parent)
    : View(frame, parent), m_root(Layer::create())
{
    m_root->setName(QStringLiteral("host"));
    fitRootToBounds();
    m_root->setTreeObserver(this);
}

LayerHostView::~LayerHostView()
{
    if (m_frameTimer)
        m_frameTimer->invalidate();
    m_root->setTreeObserver(nullptr);
}

LayerHostView* LayerHostView::windowHost(Window* window)
{
    View* content = window ? window->contentView() : nullptr;
    if (!content)
        return nullptr;
    if (auto* host =
            content->findChild<LayerHostView*>(QLatin1String(kWindowHostName), Qt::FindDirectChildrenOnly))
        return host;
    auto* host = new LayerHostView(content->bounds());
    host->setObjectName(QLatin1String(kWindowHostName));
    host->setAutoresizingMask(WidthSizable | HeightSizable);
    host->setTransparentForMouse(true);
    content->addSubview(host);
    host->show();
    return host;
}

void LayerHostView::fitRootToBounds()
{
    const Transaction::Scope atOnce(true);
    const Rect b = bounds();
    m_root->setBounds(b);
    m_root->setPosition(Point(b.midX(), b.midY()));
}

void LayerHostView::resizeSubviewsWithOldSize(Size oldSize)
{
    View::resizeSubviewsWithOldSize(oldSize);
    fitRootToBounds();
}

void LayerHostView::drawRect(QPainter& painter, const Rect&)
{
    layoutLayersIfNeeded();
    LayerRenderer::render(*m_root, painter, Clock::current().now());
}

void LayerHostView::setHidesWhileNothingShows(bool flag)
{
    if (flag == m_hidesWhileNothingShows)
        return;
    m_hidesWhileNothingShows = flag;
    if (flag)
        updateShown();
    else
        show();
}

void LayerHostView::updateShown()
{
    if (!m_hidesWhileNothingShows)
        return;
    const bool shows = isAnimating() || animates(*m_root) || showsSublayers(*m_root);
    if (shows != isHidden())
        return;
    // What is put out of sight counts as seen, as it would when drawn: its next change fades in as usual.
    if (!shows)
        LayerRenderer::present(*m_root);
    setHidden(!shows);
}

void LayerHostView::layerTreeDidChange(const Rect& dirty)
{
    updateShown();
    if (dirty.isInfinite())
        setNeedsDisplay();
    else if (!dirty.isNull())
        setNeedsDisplayInRect(dirty.integral().insetBy(-1, -1)); // antialiased edges reach a pixel out
}

void LayerHostView::layerTreeDidAddAnimation()
{
    updateShown();
    setNeedsDisplay();
    if (m_frameTimer && m_frameTimer->isValid())
        return;
    m_frameTimer = Timer::scheduled(
        1.0 / m_frameRate, true, [this](Timer&) { drawAnimationFrame(); }, this);
}

void LayerHostView::drawAnimationFrame()
{
    AnimationScheduler::shared().advance();
    setNeedsDisplay();
    // The frame after the last animation ended shows the final values; then the host rests.
    if (!animates(*m_root) && m_frameTimer) {
        m_frameTimer->invalidate();
        m_frameTimer = nullptr;
        updateShown();
    }
}

bool LayerHostView::forward(const Event& event, bool press, bool release)
{
    layoutLayersIfNeeded();
    const Point point = convertPointFromView(event.locationInWindow(), nullptr);
    const bool dragOrRelease = !press && (release || event.type() == EventType::LeftMouseDragged ||
                                          event.type() == EventType::RightMouseDragged ||
                                          event.type() == EventType::OtherMouseDragged);
    // Drags and the release belong to whoever took the press; other events to what lies under them.
    std::shared_ptr<LayerForView> layer = dragOrRelease ? m_pressed.lock() : nullptr;
    if (!dragOrRelease) {
        layer = nullptr;
        for (std::shared_ptr<Layer> hit = m_root->hitTest(point); hit && !layer;
             hit = hit->superlayer() ? hit->superlayer()->shared_from_this() : nullptr)
            layer = std::dynamic_pointer_cast<LayerForView>(hit);
    }
    if (press)
        m_pressed = layer;
    if (release)
        m_pressed.reset();
    if (!layer)
        return false;
    // Through the inverse of the map on screen now.
    Homography inverse;
    Point local;
    if (!layer->presentationMapToRootSpace(Clock::current().now()).invert(&inverse) ||
        !inverse.map(point, &local))
        return true; // a press that lies behind the eye lands nowhere
    layer->deliverEvent(event, local);
    return true;
}

void LayerHostView::mouseDown(const Event& event)
{
    if (!forward(event, true, false))
        View::mouseDown(event);
}

void LayerHostView::mouseDragged(const Event& event)
{
    if (!forward(event, false, false))
        View::mouseDragged(event);
}

void LayerHostView::mouseUp(const Event& event)
{
    if (!forward(event, false, true))
        View::mouseUp(event);
}

void LayerHostView::rightMouseDown(const Event& event)
{
    if (!forward(event, true, false))
        View::rightMouseDown(event);
}

void LayerHostView::rightMouseDragged(const Event& event)
{
    if (!forward(event, false, false))
        View::rightMouseDragged(event);
}

void LayerHostView::rightMouseUp(const Event& event)
{
    if (!forward(event, false, true))
        View::rightMouseUp(event);
}

void LayerHostView::mouseMoved(const Event& event)
{
    if (!forward(event, false, false))
        View::mouseMoved(event);
}

void LayerHostView::scrollWheel(const Event& event)
{
    if (!forward(event, false, false))
        View::scrollWheel(event);
}

bool LayerHostView::isAnimating() const
{
    return m_frameTimer && m_frameTimer->isValid();
}

void LayerHostView::setFrameRate(double framesPerSecond)
{
    if (framesPerSecond > 0)
        m_frameRate = framesPerSecond;
}

} // namespace pf
