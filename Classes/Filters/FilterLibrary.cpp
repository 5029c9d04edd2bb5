#include "Classes/Filters/FilterLibrary.h"

#include "Classes/Filters/GMAffineTransformFilter.h"
#include "Classes/Filters/GMAlphaBackgroundFilter.h"
#include "Classes/Filters/GMColor2IntensityFilter.h"
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
        OVAffineTransformFilter::registerClass();
        registerMember<GMAffineTransformFilter>("GMAffineTransformFilter");
        registerMember<GMAlphaBackgroundFilter>("GMAlphaBackgroundFilter");
        registerMember<GMColor2IntensityFilter>("GMColor2IntensityFilter");

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
    });
}
