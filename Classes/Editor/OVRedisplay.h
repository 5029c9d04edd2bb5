#pragma once

#include "Platform/UI/View.h"

#include <utility>

// A setting that changes what a view draws: stores it and has the view drawn again, so that no setter
// of a painted view forgets the second half.
template <typename T, typename U> void setDrawnValue(pf::View& view, T& setting, U&& value)
{
    setting = std::forward<U>(value);
    view.setNeedsDisplay();
}
