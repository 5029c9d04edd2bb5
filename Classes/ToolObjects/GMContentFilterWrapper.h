#pragma once

#include "Classes/ToolObjects/GMFilterWrapper.h"

// The content graph of an effect: what the layer paints, fed with the photo, the layer's mask and the
// image size.
class GMContentFilterWrapper : public GMFilterWrapper
{
public:
    void setValueForInputKey(const QVariant& value, const QString& inputName) override;
    // The mask and, when there is one, the additional image of a mask container.
    void setValuesFromMask(const pf::Image& mask, const pf::Image& additionalImage);

    std::shared_ptr<GMContentFilterWrapper> copy() const;
};
