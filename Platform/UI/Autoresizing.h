#pragma once

namespace pf {

// The bits of an autoresizing mask, alike for views and layers (both derive from this): which margins and
// dimensions stretch when the superview's or superlayer's size changes.
struct Autoresizing
{
    enum : unsigned
    {
        NotSizable = 0,
        MinXMargin = 1,
        WidthSizable = 2,
        MaxXMargin = 4,
        MinYMargin = 8,
        HeightSizable = 16,
        MaxYMargin = 32,
    };
};

} // namespace pf
