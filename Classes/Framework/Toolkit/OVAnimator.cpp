#include "Classes/Framework/Toolkit/OVAnimator.h"

#include "Classes/Framework/Toolkit/ObjectORVExtension.h"
#include "Classes/Framework/Toolkit/ViewORVExtension.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/LayerHostView.h"
#include "Platform/UI/LayerRenderer.h"
#include "Platform/UI/Timer.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/ViewAnimator.h"
#include "Platform/UI/Window.h"

#include <algorithm>

OVAnimator::OVAnimator() = default;

OVAnimator::~OVAnimator()
{
    QObject::disconnect(m_windowDestroyed);
    if (m_window && m_window->delegate() == this)
        m_window->setDelegate(savedDelegate());
    delete m_animationView.data();
}

pf::WindowDelegate* OVAnimator::savedDelegate() const
{
    return m_savedDelegateLifetime.expired() ? nullptr : m_savedDelegate;
}

void OVAnimator::setupLayers(const Layers& copies, const Layers& sources, pf::Layer& base, pf::View* view)
{
    if (copies.empty() || sources.empty() || !sources.front())
        return;
    pf::Layer* superlayer = sources.front()->superlayer();
    auto* host = qobject_cast<pf::LayerHostView*>(view);
    if (superlayer && host && m_topView) {
        base.setAnchorPoint(superlayer->anchorPoint());
        const pf::Rect inView = superlayer->convertRectToLayer(superlayer->bounds(), host->layer().get());
        base.setFrame(view->convertRectToView(inView, m_topView));
        base.setSublayerTransform(superlayer->sublayerTransform());
    }
    const double scale = ViewORVExtension::contentsScale(m_topView);
    const size_t count = std::min(copies.size(), sources.size());
    for (size_t j = 0; j < count; ++j) {
        pf::Layer& copy = *copies[j];
        const pf::Layer* source = sources[j].get();
        if (!source)
            continue;
        const pf::Rect bounds = source->bounds();
        if (std::min(bounds.width(), bounds.height()) > 0)
            copy.setContents(pf::LayerRenderer::renderToImage(*sources[j], scale, false));
        copy.setAnchorPoint(source->anchorPoint());
        copy.setBounds(source->bounds());
        copy.setPosition(source->position());
        copy.setZPosition(source->zPosition());
        copy.setTransform(source->transform());
        copy.setContentsRect(source->contentsRect());
        copy.setOpacity(source->opacity());
        copy.setCornerRadius(source->cornerRadius());
        copy.setBorderColor(source->borderColor());
        copy.setBorderWidth(source->borderWidth());
        copy.setShadowColor(source->shadowColor());
        copy.setShadowOffset(source->shadowOffset());
        copy.setShadowOpacity(source->shadowOpacity());
        copy.setShadowRadius(source->shadowRadius());
        copy.setContentsScale(source->contentsScale());
    }
}

void OVAnimator::recordStartLayers(const Layers& layers, pf::View* view)
{
    if (layers.empty() || !view)
        return;
    if (!m_animationView) {
        if (!m_topView && view->window())
            m_topView = view->window()->contentView();
        if (!m_topView) {
            pf::warning(QStringLiteral("Animator has no view to show its snapshots in"));
            return;
        }
        auto* overlay = new pf::LayerHostView(m_topView->bounds());
        overlay->setTransparentForMouse(true);
        m_topView->addSubview(overlay);
        m_animationView = overlay;
    }
    auto base = pf::Layer::create();
    base->setOpacity(0);
    Layers copies;
    const pf::Transaction::Scope atOnce(true);
    m_animationView->layer()->addSublayer(base);
    for (size_t j = 0; j < layers.size(); ++j) {
        auto copy = pf::Layer::create();
        base->addSublayer(copy);
        copies.push_back(copy);
    }
    setupLayers(copies, layers, *base, view);
    m_layerGroups.push_back(copies);
    m_baseLayers.push_back(base);
}

void OVAnimator::recordEndLayers(const Layers& layers, pf::View* view)
{
    if (layers.empty())
        return;
    m_endLayerGroups.push_back(layers);
    m_endViews.emplace_back(view);
}

void OVAnimator::animateWithEndStateBlock(std::function<void()> endState, std::function<void()> completion)
{
    if (m_self)
        return;
    m_self = shared_from_this();
    m_endBlock = std::move(endState);
    m_completionBlock = std::move(completion);
    m_window = m_animationView ? m_animationView->window() : (m_topView ? m_topView->window() : nullptr);
    if (m_window) {
        m_savedDelegate = m_window->delegate();
        m_savedDelegateLifetime =
            m_savedDelegate ? m_savedDelegate->windowDelegateLifetime() : std::weak_ptr<const void>();
        m_windowSize = pf::Size(m_window->width(), m_window->height());
        m_window->setDelegate(this);
        m_windowDestroyed =
            QObject::connect(m_window.data(), &QObject::destroyed, this, [this] { windowGone(); });
    }
    pf::Timer::afterThisEvent([self = m_self] { self->recordAnimation(); }, this);
}

void OVAnimator::recordAnimation()
{
    if (m_finished)
        return;
    {
        const pf::Transaction::Scope atOnce(true);
        for (const auto& base : m_baseLayers)
            base->setOpacity(1);
        m_hiddenOpacities.clear();
        for (const auto& layer : m_hideLayers) {
            m_hiddenOpacities.push_back(layer ? layer->opacity() : 1.0);
            if (layer)
                layer->setOpacity(0);
        }
    }
    if (m_endBlock) {
        const std::function<void()> endState = m_endBlock;
        endState();
        // The block may have ended the animation (its window closed and went).
        if (m_finished || !m_self)
            return;
    }
    pf::Timer::afterThisEvent([self = m_self] { self->runAnimation(); }, this);
}

void OVAnimator::runAnimation()
{
    if (m_finished)
        return;
    // Copies that were never drawn would take their end look at once instead of animating to it.
    if (m_animationView)
        pf::LayerRenderer::renderRectToImage(*m_animationView->layer(), pf::Rect(0, 0, 1, 1));
    const size_t groups = std::min(m_layerGroups.size(), m_endLayerGroups.size());
    if (groups != m_layerGroups.size() || m_endLayerGroups.size() != m_layerGroups.size())
        pf::warning(
            QStringLiteral("Animator recorded %1 start and %2 end groups; only matching pairs animate")
                .arg(m_layerGroups.size())
                .arg(m_endLayerGroups.size()));
    m_duration = pf::ViewAnimator::durationFor(1.0, 10.0);
    pf::Transaction::begin();
    pf::Transaction::setAnimationDuration(m_duration);
    pf::Transaction::setCompletionBlock([weak = weak_from_this()] {
        if (auto self = weak.lock())
            pf::Timer::afterThisEvent([self] { self->finalizeAnimation(); }, self.get());
    });
    for (size_t i = 0; i < groups; ++i)
        setupLayers(m_layerGroups[i], m_endLayerGroups[i], *m_baseLayers[i], m_endViews[i]);
    pf::Transaction::commit();
}

void OVAnimator::windowGone()
{
    // The window took the overlay with it; nothing is left to animate or to give back.
    m_window = nullptr;
    m_savedDelegate = nullptr;
    m_savedDelegateLifetime.reset();
    m_animationView = nullptr;
    finalizeAnimation();
}

void OVAnimator::finalizeAnimation()
{
    if (m_finished)
        return;
    m_finished = true;
    std::shared_ptr<OVAnimator> keep = std::move(m_self);
    QObject::disconnect(m_windowDestroyed);
    if (m_window) {
        // A delegate destroyed during the transition is not handed back.
        if (m_window->delegate() == this)
            m_window->setDelegate(savedDelegate());
        else
            pf::warning(QStringLiteral("Window delegate was changed during animation"));
    }
    {
        const pf::Transaction::Scope atOnce(true);
        for (size_t i = 0; i < m_hideLayers.size() && i < m_hiddenOpacities.size(); ++i)
            if (m_hideLayers[i])
                m_hideLayers[i]->setOpacity(m_hiddenOpacities[i]);
    }
    if (m_animationView) {
        m_animationView->removeFromSuperview();
        m_animationView->deleteLater();
    }
    if (const std::function<void()> completion = m_completionBlock)
        completion();
}

pf::Size OVAnimator::windowWillResize(pf::Window*, pf::Size)
{
    return m_windowSize;
}

bool OVAnimator::windowShouldClose(pf::Window* window)
{
    pf::WindowDelegate* saved = savedDelegate();
    return saved ? saved->windowShouldClose(window) : true;
}

void OVAnimator::windowWillClose(pf::Window* window)
{
    ObjectORVExtension::notifyDelegate(savedDelegate(), &pf::WindowDelegate::windowWillClose, window);
}

void OVAnimator::windowDidResize(pf::Window* window)
{
    ObjectORVExtension::notifyDelegate(savedDelegate(), &pf::WindowDelegate::windowDidResize, window);
}

void OVAnimator::windowDidMove(pf::Window* window)
{
    ObjectORVExtension::notifyDelegate(savedDelegate(), &pf::WindowDelegate::windowDidMove, window);
}

void OVAnimator::windowDidBecomeKey(pf::Window* window)
{
    ObjectORVExtension::notifyDelegate(savedDelegate(), &pf::WindowDelegate::windowDidBecomeKey, window);
}

void OVAnimator::windowDidResignKey(pf::Window* window)
{
    ObjectORVExtension::notifyDelegate(savedDelegate(), &pf::WindowDelegate::windowDidResignKey, window);
}
