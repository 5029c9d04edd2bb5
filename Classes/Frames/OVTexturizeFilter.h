#pragma once

#include "Classes/Framework/ColorORVExtension.h"
#include "Classes/Framework/OVFilter.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Color.h"

#include <functional>
#include <utility>

// Fills the shape of its input (its alpha) with a texture of the texture catalog, tinted to a colour:
// tiled as a pattern, or (fill mode 1) laid along each side as a moulding is cut, and blends the
// result over the input unless the input is only a mask. A name the catalog does not know may name an
// image in the temporary folder ("folder/file", as the effects' custom images are stored), which then
// serves as the texture.
class OVTexturizeFilter : public OVFilter
{
public:
    explicit OVTexturizeFilter(const QString& className = QStringLiteral("OVTexturizeFilter"));
    static void registerClass();

    void setValue(const QVariant& value, const QString& key) override;
    QVariantMap attributes() const override;

    // "Plain Color" while no texture is set.
    QString inputTextureName() const;
    void setInputTextureName(const QString& name);
    // White while none is set.
    pf::Color inputColor() const;
    void setInputColor(const pf::Color& color);
    // Resets the texture's options to their defaults.
    void setInputTexture(const pf::Image& texture);
    pf::Image inputTexture() const { return resolvedState().texture; }
    void setInputImage(const pf::Image& image) { setImage(image, QStringLiteral("inputImage")); }
    double inputTextureWidth() const { return numberValue(QStringLiteral("inputTextureWidth")); }
    void setInputTextureWidth(double width);
    void setInputTextureScale(double width) { setInputTextureWidth(width); }
    void setImageIsMask(bool mask) { setValue(mask, QStringLiteral("imageIsMask")); }
    qint32 textureFillMode() const { return m_textureFillMode; }
    void setTextureFillMode(qint32 mode) { m_textureFillMode = mode; }

    quint64 textureSections() const { return resolvedState().sections; }
    ORVExtension::HSV textureHSV() const { return resolvedState().hsv; }
    double textureBaseRepeats() const { return resolvedState().baseRepeats; }
    bool scaleTexture() const { return resolvedState().scaleTexture; }
    bool noTextureShift() const { return resolvedState().noTextureShift; }

    // The tinted texture (a plain colour square without a texture).
    pf::Image cachedTexture() const;
    pf::Image outputImage() const override;
    // The same, with the fill of a mask (`imageIsMask`) worked out on the processor over `within` only
    // (whole pixels), where the mask and the texture's tile are pixels in memory: a frame's band is
    // drawn a strip at a time. `opaqueShape`: the caller knows the input is opaque over its whole
    // extent (a grey mask's pixels). `hidden`, when given, says for a row (y, whole pixels) which run
    // of its pixels [from, to) nobody sees (the frame's opening, where its mask is 0): left
    // transparent. The plain output otherwise.
    using HiddenRun = std::function<std::pair<int, int>(int y)>;
    pf::Image outputImage(const pf::Rect& within, bool opaqueShape = false,
                          const HiddenRun& hidden = {}) const;
    QString description() const;

private:
    struct TextureState
    {
        pf::Image texture;
        // The name whose file gave `texture` (empty for a texture set as an image).
        QString source;
        quint64 sections = 1;
        ORVExtension::HSV hsv{0, 1, 1};
        double baseRepeats = 1.0;
        bool scaleTexture = false;
        bool noTextureShift = true;
    };
    // Resolves a name as set, returning the name to store; fills `state`.
    static QString resolve(const QString& name, TextureState& state, pf::Color* tint);
    // A texture name copied with the filter is resolved when first needed.
    void ensureResolved() const;
    // The texture and its options, once the stored name is resolved.
    const TextureState& resolvedState() const
    {
        ensureResolved();
        return m_state;
    }

    mutable TextureState m_state;
    mutable QString m_resolvedName;
    mutable bool m_resolved = true;
    mutable pf::Image m_cachedTexture;
    // One tile of the tinted texture at the scale drawn, as pixels, for that texture and scale.
    mutable pf::Image m_tile;
    // Its pixels, whose lower-left corner lies at `m_tileOrigin`; `m_tileRead` the rectangle read.
    mutable pf::Bitmap m_tileBitmap;
    mutable pf::Point m_tileOrigin;
    mutable pf::Rect m_tileRead;
    mutable pf::Image m_tileTexture;
    mutable double m_tileScale = 0;
    qint32 m_textureFillMode = 0;
};
