#pragma once

#include "Platform/UI/LayerHostView.h"

#include <QVariant>
#include <memory>
#include <random>
#include <vector>

class OV3DLayer;
class OVGridItem;
class OVStackViewDelegate;

namespace pf {
class LayerForView;
class TrackingArea;
} // namespace pf

// Grid items shown as a pile of tilted thumbnails in perspective, the first item on top, over a soft
// shadow strip. Every thumbnail has the same tilt and a small sideways jitter drawn from a generator of
// the view's own, seeded once, so the pile looks hand-stacked but never shuffles when redrawn (and no
// other user of random numbers is disturbed). Only the top 20 thumbnails are spread out. The pile acts as
// one button: a pointing hand over it, and a click on it goes to the delegate. The items keep their
// pictures and lose their grid behaviour; each is shown in the 3D layer through a LayerForView, which
// owns it.
class OVStackView : public pf::LayerHostView
{
    Q_OBJECT

public:
    static constexpr double tilt = -2.243994752564138; // about the x axis
    static constexpr int spreadCount = 20;

    explicit OVStackView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);
    ~OVStackView() override;

    double aspectRatio() const { return m_aspectRatio; }
    void setAspectRatio(double ratio);
    OVStackViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(OVStackViewDelegate* delegate) { m_delegate = delegate; }
    bool shadowVisible() const { return m_shadowVisible; }
    void setShadowVisible(bool visible);
    std::vector<OVGridItem*> gridItems() const { return m_items; }
    const std::shared_ptr<OV3DLayer>& containerLayer() const { return m_layer3D; }
    const std::shared_ptr<pf::Layer>& shadowLayer() const { return m_shadowLayer; }
    // The layer that shows an item of the pile, or nullptr.
    std::shared_ptr<pf::LayerForView> layerForItem(const OVGridItem* item) const;
    pf::Rect baseRect() const { return m_baseRect; }
    pf::Rect trackingRect() const { return m_trackingRect; }
    quint32 seed() const { return m_seed; }
    void setSeed(quint32 seed) { m_seed = seed; }

    // The view takes the item; an item with an equal context leaves the pile first (an empty context
    // equals none). An item already in the pile moves to its new place.
    void addGridItem(OVGridItem* item, bool append);
    void removeItemWithContext(const QVariant& context);
    void removeAllItems();
    void instantReplaceGridItems(const std::vector<OVGridItem*>& items);
    void updateLayers();

    // The top edge of the top thumbnail, 0 for an empty pile.
    double neededHeight() const;
    double trackingTop() const;

    void updateTrackingAreas() override;
    pf::View* hitTest(pf::Point pointInSuperview) override;
    void mouseDown(const pf::Event& event) override;
    void mouseUp(const pf::Event& event) override;
    void mouseDragged(const pf::Event&) override {}
    void mouseEntered(const pf::Event& event) override;
    void mouseExited(const pf::Event& event) override;
    void viewWillMoveToWindow(pf::Window* window) override;
    void resizeSubviewsWithOldSize(pf::Size oldSize) override;

private:
    void setupView();
    void updateBaseRect();
    void setShadowOpacity(double opacity);

    double m_aspectRatio = 16.0 / 9.0;
    std::vector<OVGridItem*> m_items;
    std::vector<std::shared_ptr<pf::LayerForView>> m_itemLayers;
    std::shared_ptr<pf::Layer> m_shadowLayer;
    std::shared_ptr<OV3DLayer> m_layer3D;
    pf::Rect m_baseRect;
    pf::Rect m_trackingRect;
    OVStackViewDelegate* m_delegate = nullptr;
    quint32 m_seed = 0;
    bool m_shadowVisible = true;
    pf::TrackingArea* m_trackingArea = nullptr;
    bool m_cursorPushed = false;
};
