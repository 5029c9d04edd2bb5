#pragma once

#include "Classes/ToolObjects/OVBrushFramework/OVMaskBrushProtocol.h"

// A brush that paints pixels of its own beside the mask (a replacement iris, healed skin): its image()
// is the additional picture, in layer pixels. The brush handler feeds it the mask of the stroke after
// every step (setMaskImage, in the stroke encoding of docs/masks.md) and the mask the stroke started
// from; the face width scales what the brush paints to the face nearest to the stroke.
class OVAdditionalBrushProtocol : public OVMaskBrushProtocol
{
public:
    // The mask of the stroke as painted so far: the stroke over the start mask.
    virtual pf::Image maskImage() const = 0;
    virtual void setMaskImage(const pf::Image& image) = 0;
    // The mask before the stroke.
    virtual pf::Image startMaskImage() const = 0;
    virtual void setStartMaskImage(const pf::Image& image) = 0;
    // Width in pixels of the face nearest to the stroke.
    virtual double faceWidth() const = 0;
    virtual void setFaceWidth(double width) = 0;

    // Whether the brush makes its own picture for a finished stroke (imageForMask). Without it the
    // handler cuts the brush's image() to the stroke.
    virtual bool hasImageForMask() const = 0;
    // The additional picture for a finished stroke whose clean mask (GMBrushMaskTools
    // "extractStroke") is given at the photo's resolution; the result is at that resolution too.
    virtual pf::Image imageForMask(const pf::Image& mask)
    {
        (void)mask;
        return pf::Image();
    }

    // Whether the brush has a faster, coarser preview mode. The handler turns it on for the stroke and
    // off at brush-up, so that the final picture is made at full quality.
    virtual bool hasPreviewQuality() const = 0;
    virtual bool previewQuality() const { return false; }
    virtual void setPreviewQuality(bool preview) { (void)preview; }
};

using OVAdditionalBrushPtr = std::shared_ptr<OVAdditionalBrushProtocol>;
using OVAdditionalBrushFactory = std::function<OVAdditionalBrushPtr()>;
