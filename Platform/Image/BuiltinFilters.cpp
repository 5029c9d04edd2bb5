#include "Platform/Image/BuiltinFilters.h"

#include "Platform/Image/AffineClampFilter.h"
#include "Platform/Image/AffineTileFilter.h"
#include "Platform/Image/AffineTransformFilter.h"
#include "Platform/Image/AreaAverageFilter.h"
#include "Platform/Image/BlendWithMaskFilter.h"
#include "Platform/Image/ColorInvertFilter.h"
#include "Platform/Image/ConstantColorGeneratorFilter.h"
#include "Platform/Image/CropFilter.h"
#include "Platform/Image/DiscBlurFilter.h"
#include "Platform/Image/DisplacementDistortionFilter.h"
#include "Platform/Image/GaussianBlurFilter.h"
#include "Platform/Image/LanczosScaleTransformFilter.h"
#include "Platform/Image/MedianFilter.h"
#include "Platform/Image/MotionBlurFilter.h"
#include "Platform/Image/OverlayBlendModeFilter.h"
#include "Platform/Image/RandomGeneratorFilter.h"
#include "Platform/Image/SourceOverCompositingFilter.h"
#include "Platform/Image/TorusLensDistortionFilter.h"

#include <mutex>

namespace pf {

namespace {

template <typename T> void add()
{
    const auto probe = std::make_shared<T>();
    Filter::registerFilter(probe->name(), [] { return std::make_shared<T>(); });
}

} // namespace

void registerBuiltinFilters()
{
    static std::once_flag once;
    std::call_once(once, [] {
        add<AffineClampFilter>();
        add<AffineTileFilter>();
        add<AffineTransformFilter>();
        add<AreaAverageFilter>();
        add<BlendWithMaskFilter>();
        add<ColorInvertFilter>();
        add<ConstantColorGeneratorFilter>();
        add<CropFilter>();
        add<DiscBlurFilter>();
        add<DisplacementDistortionFilter>();
        add<GaussianBlurFilter>();
        add<LanczosScaleTransformFilter>();
        add<MedianFilter>();
        add<MotionBlurFilter>();
        add<OverlayBlendModeFilter>();
        add<RandomGeneratorFilter>();
        add<SourceOverCompositingFilter>();
        add<TorusLensDistortionFilter>();
    });
}

} // namespace pf
