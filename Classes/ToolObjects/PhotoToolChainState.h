#pragma once

#include "Classes/ToolObjects/OVBrushFramework/OVContentContainer.h"
#include "Classes/ToolObjects/OVOriginalPyramid.h"
#include "Classes/ToolObjects/OVRenderSource.h"
#include "Classes/ToolObjects/PhotoTool.h"

#include <vector>

// The chain as it was at one version: for each layer its blueprint, a copy of its settings and its
// mask snapshot (snapshots never change once pushed).
class PhotoToolChainState : public OVRenderSource
{
public:
    struct Layer
    {
        std::shared_ptr<GMEffectBlueprint> blueprint;
        QVariantMap settings;
        OVContentContainerPtr mask;
    };

    // `faceShare`: the photo's typical face as a share of its width (0 for none), which sizes the
    // effects that work at a face's scale.
    PhotoToolChainState(quint64 version, std::shared_ptr<const OVOriginalPyramid> original,
                        const pf::Size& size, std::vector<Layer> layers, double faceShare = 0)
        : m_version(version), m_original(std::move(original)), m_size(size), m_layers(std::move(layers)),
          m_faceShare(faceShare)
    {}

    quint64 version() const override { return m_version; }
    pf::Size imageSize() const override { return m_size; }
    pf::Image backgroundImage() const override { return m_original->original(); }
    // Made from the photo's reduced copy nearest the output's size.
    pf::Image backgroundImageWithTransform(const pf::AffineTransform& transform) const override
    {
        return m_original->imageByApplyingTransform(transform);
    }
    pf::Image contentImageAtIndex(int index, const pf::Image& below, const pf::AffineTransform& transform,
                                  const pf::Rect& crop) const override;
    pf::Image viewedContentImageAtIndex(int index, const pf::Image& below,
                                        const pf::AffineTransform& transform, const pf::Rect& crop,
                                        pf::RenderContext& context) const override;
    pf::FilterPtr compositingFilterForIndex(int index) const override;
    int count() const { return static_cast<int>(m_layers.size()); }

private:
    pf::Image content(int index, const pf::Image& below, const pf::AffineTransform& transform,
                      const pf::Rect& crop, pf::RenderContext* context) const;

    quint64 m_version;
    std::shared_ptr<const OVOriginalPyramid> m_original;
    pf::Size m_size;
    std::vector<Layer> m_layers; // index 0 is the background
    double m_faceShare = 0;
};
