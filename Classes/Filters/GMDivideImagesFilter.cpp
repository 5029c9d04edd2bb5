#include "Classes/Filters/GMDivideImagesFilter.h"

using FilterMode = pf::Sampler::FilterMode;
using WrapMode = pf::Sampler::WrapMode;

GMDivideImagesFilter::GMDivideImagesFilter(const QString& className)
    : GMKernelPassFilter(
          className,
          {.images = {{QStringLiteral("inputImage"), 0, FilterMode::Nearest, WrapMode::Clamp},
                      {QStringLiteral("inputPatternImage"), 0, FilterMode::Nearest, WrapMode::Clamp}}},
          QStringLiteral("GMDivideImagesFilter"))
{}
