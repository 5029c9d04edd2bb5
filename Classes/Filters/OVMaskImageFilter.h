#pragma once

#include "Classes/Framework/OVFilter.h"

// Cuts an image with a mask, or paints a mask in a colour when there is no image. The mask is an image
// set directly or a named mask of the application's "Masks" folder (type "ORV-M"). A mask is light where
// the image shows; masks that come with an alpha channel are read from it instead.
class OVMaskImageFilter : public OVFilter
{
public:
    explicit OVMaskImageFilter(const QString& className = QStringLiteral("OVMaskImageFilter"));

    // "inputMaskName" loads the mask it names; "inputMaskImage" set directly is read from its colour.
    void setValue(const QVariant& value, const QString& key) override;

    // Whether the mask in use is read from its alpha channel (only masks loaded by name can be).
    bool maskHasAlpha() const { return m_hasAlpha; }

    // See the class comment. The image alone when there is no mask, or when mask or image has no area to
    // fit one to the other.
    pf::Image outputImage() const override;

protected:
    void copyStateTo(pf::Filter& other) const override;

private:
    void loadMask(const QString& name);

    bool m_hasAlpha = false;
};
