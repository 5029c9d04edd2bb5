#pragma once

#include <memory>

class OVRotationView;

// Told of a rotation view's drags, relative to the press: the angle change in degrees and, when the
// delegate supports scaling, the ratio of the pointer's distance from the centre to the press's.
class OVRotationViewDelegate
{
public:
    OVRotationViewDelegate() = default;
    // A copy is another delegate, with a life of its own.
    OVRotationViewDelegate(const OVRotationViewDelegate&) {}
    OVRotationViewDelegate& operator=(const OVRotationViewDelegate&) { return *this; }
    virtual ~OVRotationViewDelegate() = default;
    // Expires when the delegate is destroyed: the view holds it weakly.
    std::weak_ptr<const void> rotationViewDelegateLifetime() const { return m_lifetime; }
    virtual void rotationViewDidRotate(OVRotationView* view, double angle, bool inProgress) = 0;
    // Scaling is offered (handles, four-way cursor, reports) only when this answers true.
    virtual bool supportsResize() const { return false; }
    virtual void rotationViewDidResize(OVRotationView*, double, bool) {}

private:
    std::shared_ptr<const void> m_lifetime = std::make_shared<int>(0);
};
