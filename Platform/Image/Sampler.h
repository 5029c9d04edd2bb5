#pragma once

#include "Platform/Foundation/AffineTransform.h"
#include "Platform/Image/FilterShape.h"
#include "Platform/Image/Image.h"

#include <QMetaType>

namespace pf {

// How a kernel reads one image. The sampler's space is the image's own coordinates; the matrix places
// the image in the kernel's working space, so samplerCoord() is the destination point mapped through
// the matrix's inverse.
class Sampler
{
public:
    enum class FilterMode
    {
        Linear,
        Nearest
    };
    enum class WrapMode
    {
        Transparent, // outside the image's domain: (0, 0, 0, 0)
        Clamp        // outside the image's extent: the nearest edge pixel
    };

    Sampler() = default;
    explicit Sampler(const Image& image, FilterMode filter = FilterMode::Linear,
                     WrapMode wrap = WrapMode::Transparent, const AffineTransform& matrix = {})
        : m_image(image), m_filter(filter), m_wrap(wrap), m_matrix(matrix)
    {}
    static Sampler samplerWithImage(const Image& image) { return Sampler(image); }

    const Image& image() const { return m_image; }
    FilterMode filterMode() const { return m_filter; }
    WrapMode wrapMode() const { return m_wrap; }
    const AffineTransform& matrix() const { return m_matrix; }

    // Extent and domain in the kernel's working space.
    Rect extent() const;
    FilterShape definition() const;

private:
    Image m_image;
    FilterMode m_filter = FilterMode::Linear;
    WrapMode m_wrap = WrapMode::Transparent;
    AffineTransform m_matrix;
};

} // namespace pf

Q_DECLARE_METATYPE(pf::Sampler)
