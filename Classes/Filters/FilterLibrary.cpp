#include "Classes/Filters/FilterLibrary.h"

#include "Platform/Image/BuiltinFilters.h"

#include "Classes/Filters/GMAdjustableAdaptiveOverlayBlendFilter.h"
#include "Classes/Filters/GMAdjustableColorBlendFilter.h"
#include "Classes/Filters/GMAdjustableColorBurnBlendFilter.h"
#include "Classes/Filters/GMAdjustableColorDodgeBlendFilter.h"
#include "Classes/Filters/GMAdjustableDarkenBlendFilter.h"
#include "Classes/Filters/GMAdjustableHardLightBlendFilter.h"
#include "Classes/Filters/GMAdjustableHueSatBlendFilter.h"
#include "Classes/Filters/GMAdjustableLightenBlendFilter.h"
#include "Classes/Filters/GMAdjustableLinearBurnBlendFilter.h"
#include "Classes/Filters/GMAdjustableLuminanceBlendFilter.h"
#include "Classes/Filters/GMAdjustableOverlayBlendFilter.h"
#include "Classes/Filters/GMAdjustableOverlayLightenBlendFilter.h"
#include "Classes/Filters/GMAdjustableReplaceBlendFilter.h"
#include "Classes/Filters/GMAdjustableScreenBlendFilter.h"
#include "Classes/Filters/GMAdjustableSoftLightBlendFilter.h"
#include "Classes/Filters/GMAdjustableSoftLightLightenBlendFilter.h"
#include "Classes/Filters/GMAdjustableSoftLightOverlayBlendFilter.h"
#include "Classes/Filters/GMAdjustableSoftlightColoringBlendFilter.h"
#include "Classes/Filters/GMAdjustableSourceOverBlendFilter.h"
#include "Classes/Filters/GMAdjustableVividLightBlendFilter.h"
#include "Classes/Filters/GMAffineTransformFilter.h"
#include "Classes/Filters/GMAlphaBackgroundFilter.h"
#include "Classes/Filters/GMBlendAtBorderFilter.h"
#include "Classes/Filters/GMBlendOnDarkFilter.h"
#include "Classes/Filters/GMBlendWithMaskHardFilter.h"
#include "Classes/Filters/GMColor2IntensityFilter.h"
#include "Classes/Filters/GMDivideImagesFilter.h"
#include "Classes/Filters/GMInpaintingNoPatternFilter.h"
#include "Classes/Filters/GMLinearBurnBlendModeFilter.h"
#include "Classes/Filters/GMMinimumCompositingFilter.h"
#include "Classes/Filters/GMMultiplyImagesFilter.h"
#include "Classes/Filters/GMNullFilter.h"
#include "Classes/Filters/GMRemoveHighlights.h"
#include "Classes/Filters/GMSubtractImagesFilter.h"
#include "Classes/Filters/GMYUV2RGBFilter.h"
#include "Classes/Filters/GMsetColorChannelFilter.h"
#include "Classes/Filters/GMvignetteCompositionFilter.h"
#include "Classes/Filters/GMvignetteMaskFilter.h"
#include "Classes/Filters/OVAdjustableBlendFilter.h"
#include "Classes/Filters/OVAffineTransformFilter.h"

// Healing arithmetic, median and edges, edge-aware blurs, geometry and patterns, colours, beard stubble
#include "Classes/Filters/GMAdaptPatternBiharmonicFilter.h"
#include "Classes/Filters/GMAddImagesFilter.h"
#include "Classes/Filters/GMBeardStubbleCompositing.h"
#include "Classes/Filters/GMBlurIteratedMedianFilter.h"
#include "Classes/Filters/GMCalcResiduumFilter.h"
#include "Classes/Filters/GMCannyEdgeDetectFilter.h"
#include "Classes/Filters/GMCleanScaledImageFilter.h"
#include "Classes/Filters/GMCutOutFilter.h"
#include "Classes/Filters/GMEdgeAwareBlurFilter.h"
#include "Classes/Filters/GMEdgeDetectFilter.h"
#include "Classes/Filters/GMEdgePreservingBlurFilter.h"
#include "Classes/Filters/GMEmbossFilter.h"
#include "Classes/Filters/GMHSL2RGBFilter.h"
#include "Classes/Filters/GMHSLChannelAdjustmentFilter.h"
#include "Classes/Filters/GMHSLColorAdjustFilter.h"
#include "Classes/Filters/GMHistogramBasedLighteningFilter.h"
#include "Classes/Filters/GMHistogramLightnessColorFilter.h"
#include "Classes/Filters/GMHistogramMaxColorFilter.h"
#include "Classes/Filters/GMImageWithPatternFilter.h"
#include "Classes/Filters/GMLevelAdjustFilter.h"
#include "Classes/Filters/GMLevelAdjustSVFilter.h"
#include "Classes/Filters/GMMultiplyRGBFilter.h"
#include "Classes/Filters/GMPlaceImageInImageFilter.h"
#include "Classes/Filters/GMRGB2HSLFilter.h"
#include "Classes/Filters/GMRGB2YUVFilter.h"
#include "Classes/Filters/GMScaleFilter.h"
#include "Classes/Filters/GMSelectiveColorChangeCYMKFilter.h"

// Brush kernels
#include "Classes/Filters/GMAdjustableBlend.h"
#include "Classes/Filters/GMAutoBrush.h"
#include "Classes/Filters/GMBasicBrush.h"
#include "Classes/Filters/GMBrushMaskTools.h"

#include <mutex>

namespace {

template <typename T> void registerMember(const char* className)
{
    pf::Filter::registerFilter(QString::fromLatin1(className), [] { return std::make_shared<T>(); });
}

} // namespace

void FilterLibrary::registerAll()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // The engine's own filters, which effects name beside ours.
        pf::registerBuiltinFilters();
        OVAffineTransformFilter::registerClass();
        registerMember<GMAffineTransformFilter>("GMAffineTransformFilter");
        registerMember<GMAlphaBackgroundFilter>("GMAlphaBackgroundFilter");
        registerMember<GMColor2IntensityFilter>("GMColor2IntensityFilter");
        // Blends, masked and conditional blends, image arithmetic and compositing, and the remaining
        // product filters (YUV to RGB, vignette, channel setting, subtraction, highlight removal).
        OVAdjustableBlendFilter::registerClass();
        GMRemoveHighlights::registerClass();
        registerMember<GMAdjustableAdaptiveOverlayBlendFilter>("GMAdjustableAdaptiveOverlayBlendFilter");
        registerMember<GMAdjustableColorBlendFilter>("GMAdjustableColorBlendFilter");
        registerMember<GMAdjustableColorBurnBlendFilter>("GMAdjustableColorBurnBlendFilter");
        registerMember<GMAdjustableColorDodgeBlendFilter>("GMAdjustableColorDodgeBlendFilter");
        registerMember<GMAdjustableDarkenBlendFilter>("GMAdjustableDarkenBlendFilter");
        registerMember<GMAdjustableHardLightBlendFilter>("GMAdjustableHardLightBlendFilter");
        registerMember<GMAdjustableHueSatBlendFilter>("GMAdjustableHueSatBlendFilter");
        registerMember<GMAdjustableLightenBlendFilter>("GMAdjustableLightenBlendFilter");
        registerMember<GMAdjustableLinearBurnBlendFilter>("GMAdjustableLinearBurnBlendFilter");
        registerMember<GMAdjustableLuminanceBlendFilter>("GMAdjustableLuminanceBlendFilter");
        registerMember<GMAdjustableOverlayBlendFilter>("GMAdjustableOverlayBlendFilter");
        registerMember<GMAdjustableOverlayLightenBlendFilter>("GMAdjustableOverlayLightenBlendFilter");
        registerMember<GMAdjustableReplaceBlendFilter>("GMAdjustableReplaceBlendFilter");
        registerMember<GMAdjustableScreenBlendFilter>("GMAdjustableScreenBlendFilter");
        registerMember<GMAdjustableSoftLightBlendFilter>("GMAdjustableSoftLightBlendFilter");
        registerMember<GMAdjustableSoftlightColoringBlendFilter>("GMAdjustableSoftlightColoringBlendFilter");
        registerMember<GMAdjustableSoftLightLightenBlendFilter>("GMAdjustableSoftLightLightenBlendFilter");
        registerMember<GMAdjustableSoftLightOverlayBlendFilter>("GMAdjustableSoftLightOverlayBlendFilter");
        registerMember<GMAdjustableSourceOverBlendFilter>("GMAdjustableSourceOverBlendFilter");
        registerMember<GMAdjustableVividLightBlendFilter>("GMAdjustableVividLightBlendFilter");
        registerMember<GMBlendAtBorderFilter>("GMBlendAtBorderFilter");
        registerMember<GMBlendOnDarkFilter>("GMBlendOnDarkFilter");
        registerMember<GMBlendWithMaskHardFilter>("GMBlendWithMaskHardFilter");
        registerMember<GMDivideImagesFilter>("GMDivideImagesFilter");
        registerMember<GMMultiplyImagesFilter>("GMMultiplyImagesFilter");
        registerMember<GMLinearBurnBlendModeFilter>("GMLinearBurnBlendModeFilter");
        registerMember<GMMinimumCompositingFilter>("GMMinimumCompositingFilter");
        registerMember<GMNullFilter>("GMNullFilter");
        registerMember<GMInpaintingNoPatternFilter>("GMInpaintingNoPatternFilter");
        registerMember<GMsetColorChannelFilter>("GMsetColorChannelFilter");
        registerMember<GMSubtractImagesFilter>("GMSubtractImagesFilter");
        registerMember<GMvignetteMaskFilter>("GMvignetteMaskFilter");
        registerMember<GMvignetteCompositionFilter>("GMvignetteCompositionFilter");
        registerMember<GMYUV2RGBFilter>("GMYUV2RGBFilter");

        // Healing arithmetic, median and edges, edge-aware blurs, geometry and patterns, colour
        // conversions and adjustments, beard stubble.
        GMBeardStubbleCompositing::registerClass();
        registerMember<GMAdaptPatternBiharmonicFilter>("GMAdaptPatternBiharmonicFilter");
        registerMember<GMAddImagesFilter>("GMAddImagesFilter");
        registerMember<GMBlurIteratedMedianFilter>("GMBlurIteratedMedianFilter");
        registerMember<GMCalcResiduumFilter>("GMCalcResiduumFilter");
        registerMember<GMCannyEdgeDetectFilter>("GMCannyEdgeDetectFilter");
        registerMember<GMCleanScaledImageFilter>("GMCleanScaledImageFilter");
        registerMember<GMCutOutFilter>("GMCutOutFilter");
        registerMember<GMEdgeAwareBlurFilter>("GMEdgeAwareBlurFilter");
        registerMember<GMEdgeDetectFilter>("GMEdgeDetectFilter");
        registerMember<GMEdgePreservingBlurFilter>("GMEdgePreservingBlurFilter");
        registerMember<GMEmbossFilter>("GMEmbossFilter");
        registerMember<GMHSL2RGBFilter>("GMHSL2RGBFilter");
        registerMember<GMHSLChannelAdjustmentFilter>("GMHSLChannelAdjustmentFilter");
        registerMember<GMHSLColorAdjustFilter>("GMHSLColorAdjustFilter");
        registerMember<GMHistogramBasedLighteningFilter>("GMHistogramBasedLighteningFilter");
        registerMember<GMHistogramLightnessColorFilter>("GMHistogramLightnessColorFilter");
        registerMember<GMHistogramMaxColorFilter>("GMHistogramMaxColorFilter");
        registerMember<GMImageWithPatternFilter>("GMImageWithPatternFilter");
        registerMember<GMLevelAdjustFilter>("GMLevelAdjustFilter");
        registerMember<GMLevelAdjustSVFilter>("GMLevelAdjustSVFilter");
        registerMember<GMMultiplyRGBFilter>("GMMultiplyRGBFilter");
        registerMember<GMPlaceImageInImageFilter>("GMPlaceImageInImageFilter");
        registerMember<GMRGB2HSLFilter>("GMRGB2HSLFilter");
        registerMember<GMRGB2YUVFilter>("GMRGB2YUVFilter");
        registerMember<GMScaleFilter>("GMScaleFilter");
        registerMember<GMSelectiveColorChangeCYMKFilter>("GMSelectiveColorChangeCYMKFilter");

        // The brush kernels that paint masks, and the blend that goes with them.
        GMBasicBrush::registerClass();
        GMAutoBrush::registerClass();
        GMBrushMaskTools::registerClass();
        GMAdjustableBlend::registerClass();
    });
}
