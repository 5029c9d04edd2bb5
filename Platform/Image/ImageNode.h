#pragma once

// The recipe behind pf::Image. Internal to the image engine: filters and the product only see pf::Image.

#include "Platform/Foundation/AffineTransform.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/TileStore.h"

#include <array>
#include <functional>
#include <memory>
#include <variant>
#include <vector>

namespace pf {

class CpuRendering;
class KernelData;
struct ImageNode;
using ImageNodePtr = std::shared_ptr<const ImageNode>;

// Destination rectangle -> rectangle of sampler `index` needed to compute it, in that sampler's space.
using RegionOfInterest = std::function<Rect(int index, const Rect& destination)>;

struct SamplerBinding
{
    ImageNodePtr image;
    bool nearest = false;
    bool clamp = false;
    AffineTransform matrix; // places the image in the working space of the kernel
};

using KernelArgumentValue = std::variant<SamplerBinding, std::vector<float>>;

struct ImageNode
{
    enum class Kind
    {
        Empty,    // nothing; every pixel transparent
        Bitmap,   // pixels at (0, 0, width, height)
        Tiles,    // a TileStore snapshot at (0, 0, width, height)
        Constant, // one premultiplied colour everywhere
        Kernel,   // a kernel applied to arguments
        Transform,
        Crop,
        Clamp, // the input's edge pixels repeated outward from its extent
    };

    Kind kind = Kind::Empty;
    Rect extent = Rect::null();
    Rect domain = Rect::null();

    Bitmap bitmap;
    TileStore tiles;
    std::array<float, 4> color{0, 0, 0, 0};

    ImageNodePtr input;        // Transform, Crop, Clamp
    AffineTransform transform; // Transform
    Rect rect = Rect::null();  // Crop rectangle; Clamp: the input's extent

    std::shared_ptr<const KernelData> kernel;
    // Kernel: the same pixels computed on the CPU, used instead of the pass where set. The recipe
    // stays what it is for everything that reads it.
    std::shared_ptr<const CpuRendering> computed;
    std::vector<KernelArgumentValue> arguments;
    RegionOfInterest roi;
};

} // namespace pf
