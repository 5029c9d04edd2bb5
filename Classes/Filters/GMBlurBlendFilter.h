#pragma once

#include "Classes/Filters/GMKernelFilter.h"

#include <optional>

// The shape of the filters that blend an image with a Gaussian blur of itself: "inputImage", a blur
// radius and two numbers the kernel weighs the blend by, applied over the image's extent. A member
// names its inputs and says which blur a radius gives; the kernel is element 0 of
// "<class name>Kernel".
class GMBlurBlendFilter : public GMKernelFilter
{
public:
    // A number input: its key, the value used while it is not set, and its declared attributes.
    struct Number
    {
        QString key;
        double fallback = 0;
        QVariantMap attributes;
    };

    GMBlurBlendFilter(const QString& className, const Number& radius, const Number& first,
                      const Number& second);
    // No image without an image that has area.
    pf::Image outputImage() const final;

protected:
    // The blurred image the kernel blends `image` with at `radius`; none leaves the image unchanged.
    virtual std::optional<pf::Image> blurred(const pf::Image& image, double radius) const = 0;

private:
    Number m_radius, m_first, m_second;
};
