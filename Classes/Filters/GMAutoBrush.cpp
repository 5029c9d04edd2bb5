#include "Classes/Filters/GMAutoBrush.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

using namespace pf;

namespace {

const QString ClassName = QStringLiteral("GMAutoBrush");

} // namespace

GMAutoBrush::GMAutoBrush() : GMBasicBrush(ClassName, false)
{
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("kernelName"));
}

void GMAutoBrush::registerClass()
{
    OVFilter::registerForCopying(ClassName, strokeKeys() << QStringLiteral("inputImage")
                                                         << QStringLiteral("kernelName"));
    Filter::registerFilter(ClassName, [] { return std::make_shared<GMAutoBrush>(); });
}

QStringList GMAutoBrush::smartBrushKernelNames()
{
    QStringList names;
    for (const Kernel& kernel : KernelResource::kernels(ClassName))
        names << kernel.name();
    return names;
}

Image GMAutoBrush::outputImage() const
{
    if (kernelName().isEmpty()) {
        // The filter is used by one thread at a time, and the name it gives itself is meant to stay.
        const_cast<GMAutoBrush*>(this)->setKernelName(QStringLiteral("autoBrush"));
    }
    QVariantList arguments = strokeArguments();
    arguments << QVariant::fromValue(Sampler(imageValue(QStringLiteral("inputImage"))));
    return applyStroke(kernelWithName(kernelName()), arguments);
}
