#include "Classes/Filters/GMInpaintingNoPatternFilter.h"

using FilterMode = pf::Sampler::FilterMode;
using WrapMode = pf::Sampler::WrapMode;

GMInpaintingNoPatternFilter::GMInpaintingNoPatternFilter(const QString& className)
    : GMKernelPassFilter(
          className,
          {.images = {{QStringLiteral("inputImage"), 1, FilterMode::Nearest, WrapMode::Clamp},
                      {QStringLiteral("inputMaskImage"), 0, FilterMode::Nearest, WrapMode::Clamp}},
           .domainOf = DomainIsExtent},
          QStringLiteral("GMInpaintingFilterKernel"))
{
    declareInput(QStringLiteral("inputType"));
}
