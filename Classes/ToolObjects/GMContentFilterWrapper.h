#pragma once

#include "Classes/ToolObjects/GMFilterWrapper.h"

// The content graph of an effect: what the layer paints, fed with the photo, the layer's mask and the
// image size.
class GMContentFilterWrapper : public GMFilterWrapper
{
public:
    // Besides the shared inputs: "canvas", an image container (or a mask container) whose picture goes
    // to the inputs that carry "mask"; "maskExtraImage" and "connectedDirtyRects"; "faceWidth", the
    // width in pixels of the photo's typical face at the size composed, which feeds the inputs that
    // carry "faceWidthPercentage:f" (until one is given, or when it is 0, a face counts three tenths of
    // the image's width).
    void setValueForInputKey(const QVariant& value, const QString& inputName) override;
    // The mask and, when there is one, the additional image of a mask container.
    void setValuesFromMask(const pf::Image& mask, const pf::Image& additionalImage);

    // Sets the target's input `key` to the source's output image, now.
    static void connect(const pf::FilterPtr& source, const pf::FilterPtr& target, const QString& key);

    std::shared_ptr<GMContentFilterWrapper> copy() const;

    // A face's share of the image's width where the photo shows none.
    static constexpr double DefaultFaceShare = 0.3;

private:
    void updateFaceWidth();

    double m_imageWidth = 0;
    double m_faceWidth = 0;
};
