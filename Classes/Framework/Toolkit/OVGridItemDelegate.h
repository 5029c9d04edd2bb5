#pragma once

#include <memory>

class OVGridItem;

// What a grid item tells its owner (normally the grid view controller); every operation is optional.
// The item holds its delegate weakly: a delegate destroyed before the item reads as none.
class OVGridItemDelegate
{
public:
    OVGridItemDelegate() = default;
    // A copy is another delegate, with a life of its own.
    OVGridItemDelegate(const OVGridItemDelegate&) {}
    OVGridItemDelegate& operator=(const OVGridItemDelegate&) { return *this; }
    virtual ~OVGridItemDelegate() = default;

    std::weak_ptr<const void> gridItemDelegateLifetime() const { return m_lifetime; }

    // A click executed the item.
    virtual void gridItemWasExecuted(OVGridItem*) {}
    // The item's selection changed, either way.
    virtual void gridItemWasSelected(OVGridItem*) {}
    // The remove button was clicked.
    virtual void gridItemShouldRemove(OVGridItem*) {}
    // The pin button was clicked; `pinned` is the new state.
    virtual void gridItemChangedPinState(OVGridItem*, bool /*pinned*/) {}
    // The pointer entered (true) or left (false) the item.
    virtual void gridItemChangedHoverState(OVGridItem*, bool /*hovered*/) {}

private:
    std::shared_ptr<const void> m_lifetime = std::make_shared<int>(0);
};
