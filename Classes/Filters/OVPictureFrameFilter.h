#pragma once

#include "Classes/Framework/OVFilter.h"

// Puts a ready-made picture frame of the application's "Frames" folder (type "ORV-F") around a picture.
// A frame file is named "ORV-F#NNN#name#x-y-width-height", the four numbers giving the frame's opening
// in pixels of the frame image (y up); the opening, scaled uniformly, fits inside the picture and is
// centred on it. Its mask "ORV-F#NNN#nameMask.png", light where the picture shows, cuts the picture;
// without one the picture is cut to the opening. The frame is laid over it and may reach beyond it.
class OVPictureFrameFilter : public OVFilter
{
public:
    explicit OVPictureFrameFilter(const QString& className = QStringLiteral("OVPictureFrameFilter"));

    // "inputFrameName" loads the frame it names (by type and number) and stores the found file's name.
    void setValue(const QVariant& value, const QString& key) override;

    const pf::Image& frameImage() const { return m_frameImage; }
    void setFrameImage(const pf::Image& image) { m_frameImage = image; }
    const pf::Image& maskImage() const { return m_maskImage; }
    void setMaskImage(const pf::Image& image) { m_maskImage = image; }
    const pf::Rect& frameLayout() const { return m_frameLayout; }
    void setFrameLayout(const pf::Rect& layout) { m_frameLayout = layout; }

    // Where a frame-image pixel lands for a picture extent, and the opening's place in the picture.
    // Nothing when the layout has no area or the picture none.
    struct Placement
    {
        pf::AffineTransform transform;
        pf::Rect opening;
    };
    static std::optional<Placement> placement(const pf::Rect& picture, const pf::Rect& layout);

    // The picture unchanged while no frame is set; no image without a picture.
    pf::Image outputImage() const override;

protected:
    void copyStateTo(pf::Filter& other) const override;

private:
    void loadFrame(const QString& name);

    pf::Image m_frameImage;
    pf::Image m_maskImage;
    pf::Rect m_frameLayout{0, 0, 0, 0};
};
