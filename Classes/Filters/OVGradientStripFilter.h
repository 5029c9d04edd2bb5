#pragma once

#include "Classes/Framework/OVFilter.h"

// What the gradient filters share: "inputGradient" takes a gradient or gradient text, and each new
// gradient is drawn into the strip the member's kernel reads. None (or text that makes no gradient)
// keeps the last strip. A copy reads the same strip.
class OVGradientStripFilter : public OVFilter
{
public:
    void setValue(const QVariant& value, const QString& key) override;

    // The strip the kernel reads; no image before the first gradient.
    const pf::Image& strip() const { return m_strip; }

protected:
    explicit OVGradientStripFilter(const QString& className) : OVFilter(className) {}
    void copyStateTo(pf::Filter& other) const override;
    // Takes a new strip; a member that hands the strip on to another filter does so here as well.
    virtual void setStrip(const pf::Image& strip) { m_strip = strip; }

private:
    pf::Image m_strip;
};
