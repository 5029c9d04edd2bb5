#pragma once

#include <QVariant>
#include <memory>

class OVGridViewController;

// What a grid tells its owner, with the items' context objects rather than the items; every operation
// is optional. The grid holds it weakly: a delegate destroyed first reads as none.
class OVGridViewDelegate
{
public:
    OVGridViewDelegate() = default;
    // A copy is another delegate, with a life of its own.
    OVGridViewDelegate(const OVGridViewDelegate&) {}
    OVGridViewDelegate& operator=(const OVGridViewDelegate&) { return *this; }
    virtual ~OVGridViewDelegate() = default;

    std::weak_ptr<const void> gridViewDelegateLifetime() const { return m_lifetime; }

    // The selection changed; an invalid context means that no item is selected.
    virtual void gridViewSelectedItemWithContext(OVGridViewController*, const QVariant& /*context*/) {}
    virtual void gridViewExecuteItemWithContext(OVGridViewController*, const QVariant& /*context*/) {}
    // The remove button of an item was clicked; the grid removes the item itself right afterwards.
    virtual void gridViewRemoveItemWithContext(OVGridViewController*, const QVariant& /*context*/) {}
    virtual void gridViewHoveringForItemWithContext(OVGridViewController*, bool /*hovering*/,
                                                    const QVariant& /*context*/)
    {}
    virtual void gridViewChangedPinForItemWithContext(OVGridViewController*, bool /*pinned*/,
                                                      const QVariant& /*context*/)
    {}

private:
    std::shared_ptr<const void> m_lifetime = std::make_shared<int>(0);
};
