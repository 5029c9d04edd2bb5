#include "Classes/Filters/GMMultiplyImagesFilter.h"

using FilterMode = pf::Sampler::FilterMode;
using WrapMode = pf::Sampler::WrapMode;

GMMultiplyImagesFilter::GMMultiplyImagesFilter(const QString& className)
    : GMKernelPassFilter(
          className,
          {.images = {{QStringLiteral("inputImage"), 0, FilterMode::Nearest, WrapMode::Clamp},
                      {QStringLiteral("inputPatternImage"), 0, FilterMode::Nearest, WrapMode::Clamp}},
           .domainOf = DomainIsExtent},
          QStringLiteral("GMMultiplyImagesFilter"))
{}
