#pragma once

#include "Classes/Frames/OVTexturizeFilter.h"
#include "Classes/Framework/OVFilter.h"

#include <memory>
#include <vector>

// A textured border around whatever shape its input has (its opaque pixels): the shape is grown by the
// border width in passes of ring-sampling kernels whose radii halve each time, the input's own shape is
// cut out of the grown one, and the ring is filled with a tiled texture and laid over the input. An
// inner shadow may darken the shape along the border. Mask, shadow and border are cached.
class OVShapedBorderFilter : public OVFilter
{
public:
    explicit OVShapedBorderFilter(const QString& className = QStringLiteral("OVShapedBorderFilter"));
    static void registerClass();

    void setValue(const QVariant& value, const QString& key) override;
    // "inputColor" is the texturize filter's: whatever tints the texture now, set or taken from the
    // texture or the frame.
    QVariant value(const QString& key) const override;
    QVariantMap attributes() const override;
    OVTexturizeFilter& texturizeFilter() { return *m_texturize; }

    struct Pass
    {
        double radius;
        double step;
        QString kernel;
    };
    // The ring passes for a border of `pixels` (inputWidth x canvasProportion), and the step of the first.
    static std::vector<Pass> passesForBorder(double pixels);

    pf::Image cachedMask() const;
    pf::Image cachedShadow() const;
    pf::Image cachedFrame() const;
    bool hasCachedMask() const { return !m_cachedMask.isNull(); }
    pf::Image outputImage() const override;

private:
    void setCachedMask(const pf::Image& mask) const;
    std::unique_ptr<OVTexturizeFilter> m_texturize;
    mutable pf::Image m_cachedMask;
    mutable pf::Image m_cachedShadow;
    mutable pf::Image m_cachedFrame;
    // Rectangles outside which the kept ring is zero.
    mutable std::vector<pf::Rect> m_ringParts;
};
