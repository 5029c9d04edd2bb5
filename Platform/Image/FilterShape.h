#pragma once

#include "Platform/Foundation/AffineTransform.h"
#include "Platform/Foundation/Rect.h"

#include <QMetaType>

namespace pf {

// The region where an image can be non-transparent (its domain of definition). Shapes are kept as
// their bounding rectangle: every operation on them stays conservative.
class FilterShape
{
public:
    FilterShape() : m_rect(Rect::null()) {}
    static FilterShape shapeWithRect(const Rect& rect) { return FilterShape(rect); }

    Rect extent() const { return m_rect; }
    FilterShape transformBy(const AffineTransform& transform) const
    {
        return FilterShape(transform.map(m_rect));
    }
    FilterShape insetByX(double dx, double dy) const { return FilterShape(m_rect.insetBy(dx, dy)); }
    FilterShape unionWith(const FilterShape& other) const { return FilterShape(m_rect.united(other.m_rect)); }
    FilterShape intersectWith(const FilterShape& other) const
    {
        return FilterShape(m_rect.intersected(other.m_rect));
    }
    bool operator==(const FilterShape& other) const { return m_rect == other.m_rect; }

private:
    explicit FilterShape(const Rect& rect) : m_rect(rect) {}
    Rect m_rect;
};

} // namespace pf

Q_DECLARE_METATYPE(pf::FilterShape)
