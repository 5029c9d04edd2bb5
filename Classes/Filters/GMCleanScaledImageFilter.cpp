#include "Classes/Filters/GMCleanScaledImageFilter.h"

using FilterMode = pf::Sampler::FilterMode;
using WrapMode = pf::Sampler::WrapMode;

GMCleanScaledImageFilter::GMCleanScaledImageFilter(const QString& className)
    : GMKernelPassFilter(className,
                         {.images = {{QStringLiteral("inputImage"), 4, FilterMode::Linear, WrapMode::Clamp}},
                          .domainOf = DomainIsExtent,
                          .needsEveryImage = false})
{}
