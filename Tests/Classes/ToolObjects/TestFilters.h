#pragma once

#include "Platform/Image/Filter.h"

// Small filters for effect tests: a masked colour wash for content graphs and an intensity-weighted
// source-over for composition graphs.
namespace testfilters {
void registerAll();
}
