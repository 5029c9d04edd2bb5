#pragma once

#include "Classes/Frames/OVCurvedOpening.h"
#include "Classes/Frames/OVFrameDescription.h"
#include "Classes/Frames/OVTexturizeFilter.h"
#include "Classes/Framework/OVFilter.h"
#include "Platform/Foundation/ObserverToken.h"
#include "Platform/Image/Bitmap.h"

#include <QHash>
#include <memory>
#include <vector>

namespace pf {
class Timer;
}

// Puts a picture frame of the frame catalogs around its input: the frame's mask shapes a border
// `inputWidth` x `canvasProportion` pixels wide around the picture, the texture fills it and the shades
// are laid over it; an inner shadow may darken the picture along the frame. Mask, shadow and frame are
// worked out over the frame's band only (the opening is most of a large picture) and kept as pixels
// until what they depend on changes, so a new picture of the same size renders from them. Edits of the frame
// arrive as notifications and are announced ("ovfilterupdate", then "ovfilterSettings") once per burst, after
// `updateDelay` seconds
// (-1: at once). Main thread only.
class OVTexturedFrameFilter : public OVFilter
{
public:
    explicit OVTexturedFrameFilter(const QString& className = QStringLiteral("OVTexturedFrameFilter"));
    ~OVTexturedFrameFilter() override;
    static void registerClass();

    void setValue(const QVariant& value, const QString& key) override;
    // "inputColor" is the texturize filter's: whatever tints the texture now, set or taken from the
    // texture or the frame.
    QVariant value(const QString& key) const override;
    QVariantMap attributes() const override;
    // "inputFrameName" with the catalogs' frame names as they are now.
    QVariantMap settingsForKey(const QString& key) const override;

    const OVFrameDescriptionPtr& frameDescription() const;
    void setFrameDescription(const OVFrameDescriptionPtr& description);
    QString inputFrameName() const { return stringValue(QStringLiteral("inputFrameName")); }
    double updateDelay() const { return m_updateDelay; }
    void setUpdateDelay(double seconds) { m_updateDelay = seconds; }
    OVTexturizeFilter& texturizeFilter() { return *m_texturize; }

    // Drops the mask, and with it frame and shadow.
    void forceUpdate();
    // Ends a pending update and announces it.
    void updateTimed();

    // How often each side's middle of a part image is repeated along a rectangle of `size`.
    static pf::Vector repeatsVectorForFrame(OVFrameImageDescription& part, const pf::Size& size,
                                            double borderScale);

    pf::Image cachedMask() const;
    pf::Image cachedShadow() const;
    pf::Image cachedFrame() const;
    bool hasCachedMask() const { return !m_cachedMask.isNull(); }
    bool hasCachedFrame() const { return !m_cachedFrame.isNull(); }
    bool hasCachedShadow() const { return !m_cachedShadow.isNull(); }
    // Where the kept mask is certainly zero (null: nowhere, the band is all of the rectangle).
    pf::Rect opening() const { return m_opening; }
    pf::Image outputImage() const override;

private:
    void observe();
    void scheduleUpdate();
    void dropMask() const;
    // Drops the frame and the texture layer under its shades.
    void dropFrame() const;
    void setCachedMask(const pf::Image& mask) const;
    double borderWidth() const;
    void ensureFrame() const;

    OVFrameDescriptionPtr m_description;
    mutable bool m_descriptionResolved = true;
    std::unique_ptr<OVTexturizeFilter> m_texturize;
    mutable pf::Image m_cachedMask;
    mutable pf::Image m_cachedShadow;
    mutable pf::Image m_cachedFrame;
    // The texture alone over the band, and each shade laid around it (by its file), kept for small
    // frames only.
    mutable pf::Image m_cachedBase;
    mutable QHash<QString, pf::Image> m_shadeLayers;
    mutable pf::Rect m_lastExtent{0, 0, 0, 0};
    // Where the kept mask is zero: the shadow is worked out around it only.
    mutable pf::Rect m_opening = pf::Rect::null();
    // The parts of the mask's rectangle that hold the band: mask and frame are worked out there only.
    mutable std::vector<pf::Rect> m_bandParts;
    // A curved opening, worked out on the processor for the mask and the shades laid along it.
    mutable std::shared_ptr<const OVCurvedOpening> m_curved;
    // A curved opening (an OVMaskDescription::Opening), and the band width it was cut with: the
    // shades are laid along it.
    mutable int m_curvedOpening = 0;
    mutable double m_curvedWidth = 0;
    mutable pf::Bitmap m_maskPixels;
    std::shared_ptr<pf::Timer> m_updateTimer;
    double m_updateDelay = 2.0;
    std::vector<pf::ObserverToken> m_observers;
    pf::ObserverToken m_renameObserver;
};
