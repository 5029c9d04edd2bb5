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
#include "Classes/Filters/GMLumaSharpenFilter.h"
#include "Classes/Filters/GMMinimumCompositingFilter.h"
#include "Classes/Filters/GMMultiplyImagesFilter.h"
#include "Classes/Filters/GMNullFilter.h"
#include "Classes/Filters/GMRecolorFilter.h"
#include "Classes/Filters/GMRedEyeFilter.h"
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
#include "Classes/Filters/GMChromaAdjustFilter.h"
#include "Classes/Filters/GMCleanScaledImageFilter.h"
#include "Classes/Filters/GMCutOutFilter.h"
#include "Classes/Filters/GMEdgeAwareBlurFilter.h"
#include "Classes/Filters/GMEdgeDetectFilter.h"
#include "Classes/Filters/GMEdgePreservingBlurFilter.h"
#include "Classes/Filters/GMEmbossFilter.h"
#include "Classes/Filters/GMExposureFilter.h"
#include "Classes/Filters/GMGuidedFilter.h"
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
#include "Classes/Filters/GMSkinSmoothingFilter.h"
#include "Classes/Filters/GMSoftGlowFilter.h"

// Eyes and healing
#include "Classes/Filters/GMIrisMaskFinderFilter.h"
#include "Classes/Filters/OVInpaintingFilter.h"
// Brush kernels
#include "Classes/Filters/GMAdjustableBlend.h"
#include "Classes/Filters/GMAutoBrush.h"
#include "Classes/Filters/GMBasicBrush.h"
#include "Classes/Filters/GMBrushMaskTools.h"
// The framework's combining, mask, colour, gradient, frame, shadow, reflection and watermark filters
#include "Classes/Filters/OVArtisticExtend.h"
#include "Classes/Filters/OVBlurCompositionFilter.h"
#include "Classes/Filters/OVColorMultiplyFilter.h"
#include "Classes/Filters/OVCombineFilter.h"
#include "Classes/Filters/OVCombineMaskFilter.h"
#include "Classes/Filters/OVDimmedBWFilter.h"
#include "Classes/Filters/OVGaussianBlurFilter.h"
#include "Classes/Filters/OVGradientMapFilter.h"
#include "Classes/Filters/OVGradientMultiplyFilter.h"
#include "Classes/Filters/OVImageOverlayFilter.h"
#include "Classes/Filters/OVKeepColorFilter.h"
#include "Classes/Filters/OVMaskImageFilter.h"
#include "Classes/Filters/OVPictureFrameFilter.h"
#include "Classes/Filters/OVPictureShadowFilter.h"
#include "Classes/Filters/OVReflectionFilter.h"
#include "Classes/Filters/OVReplaceColorFilter.h"
#include "Classes/Filters/OVRotateColorFilter.h"
#include "Classes/Filters/OVSRGBConversionFilter.h"
#include "Classes/Filters/OVSimpleShadowFilter.h"
#include "Classes/Filters/OVWatermarkFilter.h"

// Mask filters: stroke segments, morphology, colour sampling and selection, combining, alpha, mask tools
#include "Classes/Filters/GMAutoBrushFilter.h"
#include "Classes/Filters/GMAutoBrushHairFilter.h"
#include "Classes/Filters/GMAutoBrushSkinFilter.h"
#include "Classes/Filters/GMAutoBrushWhiteEyeFilter.h"
#include "Classes/Filters/GMAutoPseudoSegmentationFilter.h"
#include "Classes/Filters/GMColorAtPointFilter.h"
#include "Classes/Filters/GMColorMaskBorderCutFilter.h"
#include "Classes/Filters/GMColorMaskDilateCircleFilter.h"
#include "Classes/Filters/GMColorMaskDilateMaxFilter.h"
#include "Classes/Filters/GMColorMaskErodeCircleFilter.h"
#include "Classes/Filters/GMColorMaskErodeMinFilter.h"
#include "Classes/Filters/GMColorMaskFillHolesFilter.h"
#include "Classes/Filters/GMColorMaskInvertFilter.h"
#include "Classes/Filters/GMColorMaskSkinBasedOnLumErrFilter.h"
#include "Classes/Filters/GMCombineMasksFilter.h"
#include "Classes/Filters/GMCutMaskToRectFilter.h"
#include "Classes/Filters/GMDilateCircleFilter.h"
#include "Classes/Filters/GMExtractAreaLightnessColorMaskFilter.h"
#include "Classes/Filters/GMExtractDarkAreasRGBFilter.h"
#include "Classes/Filters/GMExtractLightAreasRGBFilter.h"
#include "Classes/Filters/GMFillFromBorderFilter.h"
#include "Classes/Filters/GMFillHoles22Filter.h"
#include "Classes/Filters/GMFillHolesBigFilter.h"
#include "Classes/Filters/GMFillSkinFilter.h"
#include "Classes/Filters/GMHardAlphaCutFilter.h"
#include "Classes/Filters/GMInnerCutFilter.h"
#include "Classes/Filters/GMInvertBrushMaskFilter.h"
#include "Classes/Filters/GMMask2AlphaFilter.h"
#include "Classes/Filters/GMMaskAlphaFilter.h"
#include "Classes/Filters/GMMaskBasedOnColorRangeFilter.h"
#include "Classes/Filters/GMMaskBasedOnHueSmoothFilter.h"
#include "Classes/Filters/GMMaskBasedOnRGBFilter.h"
#include "Classes/Filters/GMMaskFillHolesAdjustableFilter.h"
#include "Classes/Filters/GMMaskToneRangeCustomFilter.h"
#include "Classes/Filters/GMMinAlphaFilter.h"
#include "Classes/Filters/GMMultiplyAlphaFilter.h"
#include "Classes/Filters/GMPassToneRangeFilter.h"
#include "Classes/Filters/GMSelectChannelThresholdFilter.h"
#include "Classes/Filters/GMWhiteTransparentMask.h"
#include "Classes/Filters/GMsetAlphaChannelFilter.h"
#include "Classes/Filters/OVCutMixedAlpha.h"
#include "Classes/Filters/OVGradientSmoother.h"
#include "Classes/Filters/OVImproveSolution.h"
#include "Classes/Filters/OVMaskImage.h"
#include "Classes/Filters/OVMaskReplace.h"
#include "Classes/Filters/OVReplaceInRect.h"
#include "Classes/Filters/OVSmoother.h"

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
        registerMember<GMRemoveHighlights>("GMRemoveHighlights");
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
        registerMember<GMBeardStubbleCompositing>("GMBeardStubbleCompositing");
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

        // The retouching filters of the effect catalogue: edge-preserving and skin smoothing, soft
        // glow, light, colour and tone apart, recolouring, red-eye and luma sharpening.
        registerMember<GMGuidedFilter>("GMGuidedFilter");
        registerMember<GMSkinSmoothingFilter>("GMSkinSmoothingFilter");
        registerMember<GMSoftGlowFilter>("GMSoftGlowFilter");
        registerMember<GMExposureFilter>("GMExposureFilter");
        registerMember<GMChromaAdjustFilter>("GMChromaAdjustFilter");
        registerMember<GMRecolorFilter>("GMRecolorFilter");
        registerMember<GMRedEyeFilter>("GMRedEyeFilter");
        registerMember<GMLumaSharpenFilter>("GMLumaSharpenFilter");

        // Eyes and healing: the iris click mask and the healing brush's inpainting.
        registerMember<GMIrisMaskFinderFilter>("GMIrisMaskFinderFilter");
        registerMember<OVInpaintingFilter>("OVInpaintingFilter");
        // The brush kernels that paint masks, and the blend that goes with them.
        GMBasicBrush::registerClass();
        GMAutoBrush::registerClass();
        GMBrushMaskTools::registerClass();
        GMAdjustableBlend::registerClass();
        // The framework's combining, mask, colour, gradient, frame, shadow, reflection and watermark filters.
        OVArtisticExtend::registerClass();
        OVBlurCompositionFilter::registerClass();
        registerMember<OVColorMultiplyFilter>("OVColorMultiplyFilter");
        registerMember<OVCombineFilter>("OVCombineFilter");
        registerMember<OVCombineMaskFilter>("OVCombineMaskFilter");
        registerMember<OVDimmedBWFilter>("OVDimmedBWFilter");
        OVGaussianBlurFilter::registerClass();
        registerMember<OVGradientMapFilter>("OVGradientMapFilter");
        registerMember<OVGradientMultiplyFilter>("OVGradientMultiplyFilter");
        registerMember<OVImageOverlayFilter>("OVImageOverlayFilter");
        registerMember<OVKeepColorFilter>("OVKeepColorFilter");
        registerMember<OVMaskImageFilter>("OVMaskImageFilter");
        registerMember<OVPictureFrameFilter>("OVPictureFrameFilter");
        registerMember<OVPictureShadowFilter>("OVPictureShadowFilter");
        registerMember<OVReflectionFilter>("OVReflectionFilter");
        registerMember<OVReplaceColorFilter>("OVReplaceColorFilter");
        registerMember<OVRotateColorFilter>("OVRotateColorFilter");
        OVSRGBConversionFilter::registerClass();
        registerMember<OVSimpleShadowFilter>("OVSimpleShadowFilter");
        OVWatermarkFilter::registerClass();

        // Mask filters: stroke segments, morphology, colour sampling and selection, combining and
        // filling, alpha, and the brush framework's mask tools.
        GMWhiteTransparentMask::registerClass();
        OVCutMixedAlpha::registerClass();
        OVGradientSmoother::registerClass();
        OVImproveSolution::registerClass();
        OVMaskImage::registerClass();
        OVMaskReplace::registerClass();
        OVReplaceInRect::registerClass();
        OVSmoother::registerClass();
        registerMember<GMAutoBrushFilter>("GMAutoBrushFilter");
        registerMember<GMAutoBrushHairFilter>("GMAutoBrushHairFilter");
        registerMember<GMAutoBrushSkinFilter>("GMAutoBrushSkinFilter");
        registerMember<GMAutoBrushWhiteEyeFilter>("GMAutoBrushWhiteEyeFilter");
        registerMember<GMAutoPseudoSegmentationFilter>("GMAutoPseudoSegmentationFilter");
        registerMember<GMColorMaskBorderCutFilter>("GMColorMaskBorderCutFilter");
        registerMember<GMColorMaskDilateCircleFilter>("GMColorMaskDilateCircleFilter");
        registerMember<GMColorMaskDilateMaxFilter>("GMColorMaskDilateMaxFilter");
        registerMember<GMColorMaskErodeCircleFilter>("GMColorMaskErodeCircleFilter");
        registerMember<GMColorMaskErodeMinFilter>("GMColorMaskErodeMinFilter");
        registerMember<GMColorMaskFillHolesFilter>("GMColorMaskFillHolesFilter");
        registerMember<GMColorMaskInvertFilter>("GMColorMaskInvertFilter");
        registerMember<GMDilateCircleFilter>("GMDilateCircleFilter");
        registerMember<GMFillHoles22Filter>("GMFillHoles22Filter");
        registerMember<GMFillHolesBigFilter>("GMFillHolesBigFilter");
        registerMember<GMHardAlphaCutFilter>("GMHardAlphaCutFilter");
        registerMember<GMColorAtPointFilter>("GMColorAtPointFilter");
        registerMember<GMColorMaskSkinBasedOnLumErrFilter>("GMColorMaskSkinBasedOnLumErrFilter");
        registerMember<GMExtractAreaLightnessColorMaskFilter>("GMExtractAreaLightnessColorMaskFilter");
        registerMember<GMExtractDarkAreasRGBFilter>("GMExtractDarkAreasRGBFilter");
        registerMember<GMExtractLightAreasRGBFilter>("GMExtractLightAreasRGBFilter");
        registerMember<GMCombineMasksFilter>("GMCombineMasksFilter");
        registerMember<GMCutMaskToRectFilter>("GMCutMaskToRectFilter");
        registerMember<GMFillFromBorderFilter>("GMFillFromBorderFilter");
        registerMember<GMFillSkinFilter>("GMFillSkinFilter");
        registerMember<GMMaskBasedOnColorRangeFilter>("GMMaskBasedOnColorRangeFilter");
        registerMember<GMMaskBasedOnRGBFilter>("GMMaskBasedOnRGBFilter");
        registerMember<GMMaskBasedOnHueSmoothFilter>("GMMaskBasedOnHueSmoothFilter");
        registerMember<GMMaskToneRangeCustomFilter>("GMMaskToneRangeCustomFilter");
        registerMember<GMPassToneRangeFilter>("GMPassToneRangeFilter");
        registerMember<GMSelectChannelThresholdFilter>("GMSelectChannelThresholdFilter");
        registerMember<GMMaskFillHolesAdjustableFilter>("GMMaskFillHolesAdjustableFilter");
        registerMember<GMMinAlphaFilter>("GMMinAlphaFilter");
        registerMember<GMMultiplyAlphaFilter>("GMMultiplyAlphaFilter");
        registerMember<GMsetAlphaChannelFilter>("GMsetAlphaChannelFilter");
        registerMember<GMInvertBrushMaskFilter>("GMInvertBrushMaskFilter");
        registerMember<GMInnerCutFilter>("GMInnerCutFilter");
        registerMember<GMMask2AlphaFilter>("GMMask2AlphaFilter");
        registerMember<GMMaskAlphaFilter>("GMMaskAlphaFilter");
    });
}
