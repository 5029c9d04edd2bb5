#pragma once

#include <memory>

#include "Platform/Foundation/Size.h"

class OVResizeView;

// Told of every press (state 0), drag (1) and release (2) of a resize view: the sides dragged and how
// far each dragged edge moved outward since the bounds were last applied.
class OVResizeViewDelegate
{
public:
    OVResizeViewDelegate() = default;
    // A copy is another delegate, with a life of its own.
    OVResizeViewDelegate(const OVResizeViewDelegate&) {}
    OVResizeViewDelegate& operator=(const OVResizeViewDelegate&) { return *this; }
    virtual ~OVResizeViewDelegate() = default;
    // Expires when the delegate is destroyed: the view holds it weakly.
    std::weak_ptr<const void> resizeViewDelegateLifetime() const { return m_lifetime; }
    virtual void resizeViewDidResize(OVResizeView* view, unsigned sides, pf::Size by, int state) = 0;

private:
    std::shared_ptr<const void> m_lifetime = std::make_shared<int>(0);
};
