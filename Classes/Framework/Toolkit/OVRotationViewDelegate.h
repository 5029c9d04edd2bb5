#pragma once

class OVRotationView;

// Told of a rotation view's drags, relative to the press: the angle change in degrees and, when the
// delegate supports scaling, the ratio of the pointer's distance from the centre to the press's.
class OVRotationViewDelegate
{
public:
    virtual ~OVRotationViewDelegate() = default;
    virtual void rotationViewDidRotate(OVRotationView* view, double angle, bool inProgress) = 0;
    // Scaling is offered (handles, four-way cursor, reports) only when this answers true.
    virtual bool supportsResize() const { return false; }
    virtual void rotationViewDidResize(OVRotationView*, double, bool) {}
};
