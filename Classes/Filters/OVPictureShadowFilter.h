#pragma once

#include "Classes/Framework/OVFilter.h"
#include "Platform/Foundation/Size.h"

// Lays a ready-made drop shadow of the application's "Shadows" folder (type "ORV-S") under a picture. A
// shadow file is named "ORV-S#NNN#name#width-height", the two numbers being the shadow's margin on the
// left and at the bottom, in pixels of the shadow image: the shadow image is scaled so that the point
// (width, height) lands on the picture's lower left corner and its right edge on the picture's.
class OVPictureShadowFilter : public OVFilter
{
public:
    explicit OVPictureShadowFilter(const QString& className = QStringLiteral("OVPictureShadowFilter"));

    // "inputShadowName" loads the shadow it names (by type and number) and stores the found file's name.
    void setValue(const QVariant& value, const QString& key) override;

    const pf::Image& shadowImage() const { return m_shadowImage; }
    void setShadowImage(const pf::Image& image) { m_shadowImage = image; }
    const pf::Size& shadowMargin() const { return m_shadowMargin; }
    void setShadowMargin(const pf::Size& margin) { m_shadowMargin = margin; }

    // Where a shadow-image pixel lands; nothing when the shadow is no wider than its margin or the
    // picture has no area.
    static std::optional<pf::AffineTransform> placement(const pf::Rect& picture, double shadowWidth,
                                                        const pf::Size& margin);

    // The picture unchanged while no shadow is set; no image without a picture.
    pf::Image outputImage() const override;

protected:
    void copyStateTo(pf::Filter& other) const override;

private:
    void loadShadow(const QString& name);

    pf::Image m_shadowImage;
    pf::Size m_shadowMargin;
};
