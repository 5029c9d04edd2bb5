#pragma once

#include "Classes/Framework/OVFilter.h"
#include "Platform/Foundation/Framed.h"

// Lays a layer's picture over a background that is blurred (or, with `useDistortion` set by key,
// displaced by noise) within a rectangle and plain outside it. The rectangle is the frame of
// "inputLayer", held weakly (a released layer no longer counts), else the picture's extent; less
// "inputMargin" (left, bottom, right, top).
class OVBlurCompositionFilter : public OVFilter
{
public:
    explicit OVBlurCompositionFilter(const QString& className = QStringLiteral("OVBlurCompositionFilter"));
    static void registerClass();

    // "inputLayer" takes a pf::FramedPtr (or reference) and keeps it only weakly.
    void setValue(const QVariant& value, const QString& key) override;

    // The rectangle the background is processed in, as the inputs stand now.
    pf::Rect compositionRect() const;

    // Over the background's extent; no image without a background.
    pf::Image outputImage() const override;
};
