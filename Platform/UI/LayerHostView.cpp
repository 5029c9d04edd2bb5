#include "Platform/UI/LayerHostView.h"

#include "Platform/UI/AnimationScheduler.h"
#include "Platform/UI/Clock.h"
#include "Platform/UI/Layer.h"
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
    LayerRenderer::render(*m_root, painter, Clock::current().now());
}

void LayerHostView::layerTreeDidChange(const Rect& dirty)
{
    if (dirty.isInfinite())
        setNeedsDisplay();
    else if (!dirty.isNull())
        setNeedsDisplayInRect(dirty.integral().insetBy(-1, -1)); // antialiased edges reach a pixel out
}

void LayerHostView::layerTreeDidAddAnimation()
{
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
    }
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
