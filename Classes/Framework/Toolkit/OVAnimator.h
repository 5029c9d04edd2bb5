#pragma once

#include "Platform/UI/WindowDelegate.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

namespace pf {
class Layer;
class LayerHostView;
class View;
class Window;
} // namespace pf

// Animates a window's interface from one state to another with snapshots. The caller records groups of
// layers as they look before the change; copies of them are laid in an overlay on top of the window.
// The end-state block then switches the real interface underneath and records the matching end groups;
// every copy animates from its start look to its end look (contents cross-fade) in one second, ten with
// Shift alone held. Then the overlay goes and the completion runs.
//
// While it runs the animator is the window's delegate: it keeps the window's size and passes every
// other question on to the delegate it replaced. It holds itself until it has finished, so a caller may
// let go of it at once. One animator serves one transition. Main thread only.
class OVAnimator : public QObject, public pf::WindowDelegate, public std::enable_shared_from_this<OVAnimator>
{
    Q_OBJECT

public:
    using Layers = std::vector<std::shared_ptr<pf::Layer>>;
    static std::shared_ptr<OVAnimator> create() { return std::make_shared<OVAnimator>(); }
    OVAnimator();
    ~OVAnimator() override;

    // The view that receives the overlay; when unset at the first start group, the content view of that
    // group's view's window.
    pf::View* topView() const { return m_topView; }
    void setTopView(pf::View* view) { m_topView = view; }
    // Layers of the real interface made invisible while the animation runs; each gets its own opacity
    // back afterwards.
    const Layers& hideLayers() const { return m_hideLayers; }
    void setHideLayers(const Layers& layers) { m_hideLayers = layers; }

    // One group of layers lying in `view`'s layer tree (a layer host). An empty group records nothing.
    void recordStartLayers(const Layers& layers, pf::View* view);
    // From the end-state block, once per start group and in the same order.
    void recordEndLayers(const Layers& layers, pf::View* view);
    // Starts on the next turn of the event loop. A missing block does nothing in its place.
    void animateWithEndStateBlock(std::function<void()> endState, std::function<void()> completion);

    // While the animator is the delegate: the window keeps the size it had at the start.
    pf::Size windowWillResize(pf::Window* window, pf::Size proposed) override;
    bool windowShouldClose(pf::Window* window) override;
    void windowWillClose(pf::Window* window) override;
    void windowDidResize(pf::Window* window) override;
    void windowDidMove(pf::Window* window) override;
    void windowDidBecomeKey(pf::Window* window) override;
    void windowDidResignKey(pf::Window* window) override;

    // For tests and the gallery.
    pf::LayerHostView* animationView() const { return m_animationView; }
    const std::vector<Layers>& layerGroups() const { return m_layerGroups; }
    const Layers& baseLayers() const { return m_baseLayers; }
    bool isRunning() const { return m_self != nullptr; }
    // The duration the last run used.
    double lastDuration() const { return m_duration; }

    // Gives each copy the look of its source (matched by index, as far as both reach) and the base
    // layer the place of the sources' superlayer, seen from `view` in the top view.
    void setupLayers(const Layers& copies, const Layers& sources, pf::Layer& base, pf::View* view);

private:
    void recordAnimation();
    void runAnimation();
    void finalizeAnimation();
    void windowGone();
    // The delegate the window had before, nullptr once it is destroyed.
    pf::WindowDelegate* savedDelegate() const;

    std::vector<Layers> m_layerGroups;
    Layers m_baseLayers;
    std::vector<Layers> m_endLayerGroups;
    std::vector<QPointer<pf::View>> m_endViews;
    Layers m_hideLayers;
    std::vector<double> m_hiddenOpacities;
    QPointer<pf::LayerHostView> m_animationView;
    pf::WindowDelegate* m_savedDelegate = nullptr;
    std::weak_ptr<const void> m_savedDelegateLifetime;
    QPointer<pf::Window> m_window;
    pf::Size m_windowSize;
    std::function<void()> m_endBlock, m_completionBlock;
    QPointer<pf::View> m_topView;
    std::shared_ptr<OVAnimator> m_self;
    QMetaObject::Connection m_windowDestroyed;
    bool m_finished = false;
    double m_duration = 0;
};
