#pragma once

#include "Platform/Foundation/AffineTransform.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/Foundation/Size.h"
#include "Platform/Image/Filter.h"
#include "Platform/Image/Image.h"

#include <QtGlobal>
#include <memory>

namespace pf {
class RenderContext;
}

// One consistent, immutable state of a layer stack, as a render cache composes it. Every answer of a
// fill comes from the same state, however the stack changes meanwhile on the main thread; the
// version tells the cache whether it has already been told about that state.
class OVRenderSource
{
public:
    virtual ~OVRenderSource() = default;
    virtual quint64 version() const = 0;
    virtual pf::Size imageSize() const = 0;
    virtual pf::Image backgroundImage() const = 0;
    // The background transformed into output space; a source may make it from a reduced copy.
    virtual pf::Image backgroundImageWithTransform(const pf::AffineTransform& transform) const
    {
        return backgroundImage().imageByApplyingTransform(transform);
    }
    // The layer's content over the stack below (in output space), transformed and cropped; null for none.
    virtual pf::Image contentImageAtIndex(int index, const pf::Image& below,
                                          const pf::AffineTransform& transform,
                                          const pf::Rect& crop) const = 0;
    // The same for a view of the photo: the layer's mask pictures, where the view shows much of them
    // reduced, may be made pixels first with `context` (see OVImageContainer::viewedImage).
    virtual pf::Image viewedContentImageAtIndex(int index, const pf::Image& below,
                                                const pf::AffineTransform& transform, const pf::Rect& crop,
                                                pf::RenderContext& /*context*/) const
    {
        return contentImageAtIndex(index, below, transform, crop);
    }
    // A filter blending the layer's content ("inputImage") over the stack below ("inputBackgroundImage").
    virtual pf::FilterPtr compositingFilterForIndex(int index) const = 0;
};

// What a render cache asks of its owner: the current state of the stack.
class OVRenderCacheDelegate
{
public:
    virtual ~OVRenderCacheDelegate() = default;
    virtual std::shared_ptr<const OVRenderSource> renderSource() const = 0;
};
