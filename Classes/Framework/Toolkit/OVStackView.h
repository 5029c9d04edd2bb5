#pragma once

#include "Classes/Framework/Toolkit/OVGridItemOwner.h"
#include "Platform/UI/LayerHostView.h"

#include <QHash>
#include <QVariant>
#include <memory>
#include <random>
#include <unordered_map>
#include <vector>

class OV3DLayer;
class OVGridItem;
class OVStackViewDelegate;

namespace pf {
class LayerForView;
class Timer;
class TrackingArea;
} // namespace pf

// Grid items shown as a pile of tilted thumbnails in perspective, the first item on top, over a soft
// shadow strip. Every thumbnail has the same tilt and a small sideways jitter drawn from a generator of
// the view's own, seeded once, so the pile looks hand-stacked but never shuffles when redrawn (and no
// other user of random numbers is disturbed). Only the top 20 thumbnails are spread out. The pile acts as
// one button: a pointing hand over it, and a click on it goes to the delegate. The items keep their
// pictures and lose their grid behaviour; each is shown in the 3D layer through a LayerForView, which
// owns it.
//
// A change of the pile is laid out once for a run of changes: at the end of the event being handled, or
// before then as soon as anything reads the laid-out pile (its layers, heights and tracking, a drawing,
// an event over it), so no caller ever sees a pile that is not laid out.
class OVStackView : public pf::LayerHostView, public OVGridItemOwner
{
    Q_OBJECT

public:
    static constexpr double tilt = -2.243994752564138; // about the x axis
    static constexpr int spreadCount = 20;

    explicit OVStackView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);
    ~OVStackView() override;

    double aspectRatio() const { return m_aspectRatio; }
    // Ratios outside 1/100 to 100 (and those that are not numbers) are refused with a warning: the
    // thumbnails' height follows from the width and the ratio.
    void setAspectRatio(double ratio);
    // Held weakly: nullptr once the delegate is gone.
    OVStackViewDelegate* delegate() const { return m_delegateLifetime.expired() ? nullptr : m_delegate; }
    void setDelegate(OVStackViewDelegate* delegate);
    bool shadowVisible() const { return m_shadowVisible; }
    void setShadowVisible(bool visible);
    std::vector<OVGridItem*> gridItems() const { return m_items; }
    const std::shared_ptr<OV3DLayer>& containerLayer() const;
    const std::shared_ptr<pf::Layer>& shadowLayer() const { return m_shadowLayer; }
    // The layer that shows an item of the pile, or nullptr.
    std::shared_ptr<pf::LayerForView> layerForItem(const OVGridItem* item) const;
    pf::Rect baseRect() const { return m_baseRect; }
    pf::Rect trackingRect() const;
    quint32 seed() const { return m_seed; }
    // Takes effect at the next pass.
    void setSeed(quint32 seed);

    // The view takes the item (from the grid or stack that held it); an item with an equal context leaves
    // the pile first (an empty context equals none). An item already in the pile moves to its new place.
    // An item that left the pile is deleted once the event loop turns, unless it is added again before
    // or another grid or stack took it. An item deleted by someone else leaves the pile.
    void addGridItem(OVGridItem* item, bool append);
    void removeItemWithContext(const QVariant& context);
    void removeAllItems();
    // The pile becomes `items` (top first), as if the pile were emptied and each appended in turn, but
    // laid out once. The items may be those of the pile, in a new order.
    void instantReplaceGridItems(const std::vector<OVGridItem*>& items);
    // Lays the pile out now.
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

    // OVGridItemOwner
    void gridItemWasTaken(OVGridItem* item) override;

protected:
    void layoutLayersIfNeeded() override;

private:
    void setupView();
    // Asks for a pass at the end of this event.
    void setNeedsLayers();
    // Readers of the laid-out pile call this first.
    void layOutIfNeeded() const;
    // The sideways shift of the thumbnail at `place`, counted from the bottom of the pile.
    double jitter(std::size_t place);
    // Items entering and leaving the pile, for the index of their contexts.
    void indexItem(OVGridItem* item);
    void unindexItem(OVGridItem* item);
    void indexContext(OVGridItem* item);
    void rebuildContextIndexIfStale();
    void updateBaseRect();
    void setShadowOpacity(double opacity);
    void repairSuperlayer();
    // Takes the item with an equal context out of the pile, without piling the rest again.
    bool takeItemWithContext(const QVariant& context);
    // The layer that shows an item about to be piled: the one it had if it left the pile in this turn.
    std::shared_ptr<pf::LayerForView> layerTakingItem(OVGridItem* item);
    // The layer of an item that left the pile: it owns the item and is let go once the event loop turns,
    // so that an item removed from inside its own event handling is not deleted under it.
    void retire(const std::shared_ptr<pf::LayerForView>& itemLayer);
    // Lets go of an item that another owner took or someone deleted (then only its address is left,
    // compared and never followed).
    // `item`: one another owner took; nullptr for one being deleted, found by `address`.
    void forgetItem(OVGridItem* item, const void* address);

    double m_aspectRatio = 16.0 / 9.0;
    std::vector<OVGridItem*> m_items;
    std::vector<std::shared_ptr<pf::LayerForView>> m_itemLayers;
    std::unordered_map<const pf::View*, std::shared_ptr<pf::LayerForView>> m_retiring;
    std::shared_ptr<pf::Layer> m_shadowLayer;
    std::shared_ptr<OV3DLayer> m_layer3D;
    pf::Rect m_baseRect;
    pf::Rect m_trackingRect;
    OVStackViewDelegate* m_delegate = nullptr;
    std::weak_ptr<const void> m_delegateLifetime;
    quint32 m_seed = 0;
    // The shifts drawn so far from a generator seeded with m_seed, in the order they are drawn.
    std::vector<double> m_jitter;
    std::mt19937 m_jitterSource;
    bool m_needsLayers = false;
    // The pile's items with a string context, by the string, so that an added item finds the one it
    // replaces without a walk over a long pile. A valid context of another kind (which may equal a
    // string) makes a lookup walk the pile; a context changed in the pile makes the next lookup rebuild
    // the index.
    QHash<QString, OVGridItem*> m_stringContexts;
    int m_otherContexts = 0;
    bool m_contextIndexStale = false;
    std::shared_ptr<pf::Timer> m_layoutTimer;
    bool m_shadowVisible = true;
    pf::TrackingArea* m_trackingArea = nullptr;
    bool m_cursorPushed = false;
};
