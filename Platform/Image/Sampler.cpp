#include "Platform/Image/Sampler.h"

namespace pf {

Rect Sampler::extent() const
{
    if (m_image.isNull())
        return Rect::null();
    if (m_wrap == WrapMode::Clamp && !m_image.extent().isEmpty())
        return Rect::infinite();
    return m_matrix.map(m_image.extent());
}

FilterShape Sampler::definition() const
{
    if (m_image.isNull())
        return FilterShape();
    if (m_wrap == WrapMode::Clamp && !m_image.extent().isEmpty())
        return FilterShape::shapeWithRect(Rect::infinite());
    return m_image.definition().transformBy(m_matrix);
}

} // namespace pf
