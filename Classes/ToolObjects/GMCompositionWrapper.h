#pragma once

#include "Classes/ToolObjects/GMFilterWrapper.h"

// The composition graph of an effect: how the layer's content is blended over the stack below. The
// render cache sets "inputImage" and "inputBackgroundImage" on the graph directly.
class GMCompositionWrapper : public GMFilterWrapper
{
public:
    void setValueForInputKey(const QVariant& value, const QString& inputName) override;
    pf::Image outputImage() const override;

    std::shared_ptr<GMCompositionWrapper> copy() const;
};
