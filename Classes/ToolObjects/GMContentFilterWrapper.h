#pragma once

#include "Classes/ToolObjects/GMFilterWrapper.h"

// The content graph of an effect: what the layer paints, fed with the photo, the layer's mask and the
// image size.
class GMContentFilterWrapper : public GMFilterWrapper
{
public:
    // Besides the shared inputs: "canvas", an image container (or a mask container) whose picture goes
    // to the inputs that carry "mask"; "maskExtraImage" and "connectedDirtyRects".
    void setValueForInputKey(const QVariant& value, const QString& inputName) override;
    // The mask and, when there is one, the additional image of a mask container.
    void setValuesFromMask(const pf::Image& mask, const pf::Image& additionalImage);

    // Sets the target's input `key` to the source's output image, now.
    static void connect(const pf::FilterPtr& source, const pf::FilterPtr& target, const QString& key);

    std::shared_ptr<GMContentFilterWrapper> copy() const;
};
