#include "Classes/Filters/GMAdjustableBlend.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Classes/Framework/KernelResource.h"
#include "Platform/Image/Sampler.h"

#include <mutex>

using namespace pf;

namespace {

const QString ClassName = QStringLiteral("GMAdjustableBlend");

// The name of the resource's last kernel in source order, found once; a missing resource is looked for
// again at the next use.
QString lastKernelName()
{
    static std::mutex mutex;
    // Never destroyed: filters are made on worker threads too, which may still run while the program exits.
    static QString& name = *new QString;
    std::lock_guard lock(mutex);
    if (name.isEmpty()) {
        const std::vector<Kernel> kernels = KernelResource::kernels(ClassName);
        if (!kernels.empty())
            name = kernels.back().name();
    }
    return name;
}

} // namespace

GMAdjustableBlend::GMAdjustableBlend() : OVFilter(ClassName)
{
    declareInput(QStringLiteral("inputBlendMode"));
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputBackgroundImage"));
    declareInput(QStringLiteral("inputIntensity"));
}

void GMAdjustableBlend::registerClass()
{
    registerMember<GMAdjustableBlend>(
        ClassName, {.copied = {QStringLiteral("inputBlendMode"), QStringLiteral("inputImage"),
                               QStringLiteral("inputBackgroundImage"), QStringLiteral("inputIntensity")}});
}

QString GMAdjustableBlend::kernelNameForMode(int mode)
{
    if (mode == 0)
        return QStringLiteral("multiplyBlend");
    if (mode == 1)
        return QStringLiteral("colorBlend");
    return lastKernelName();
}

Image GMAdjustableBlend::outputImage() const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Image background = imageValue(QStringLiteral("inputBackgroundImage"));
    const QString name = kernelNameForMode(intValue(QStringLiteral("inputBlendMode")));
    if (image.isNull() || background.isNull() || name.isEmpty())
        return Image();
    const Kernel kernel = kernelWithName(name);
    if (kernel.isNull())
        return Image();
    return kernel.apply({QVariant::fromValue(Sampler(image)), QVariant::fromValue(Sampler(background)),
                         value(QStringLiteral("inputIntensity"))},
                        FrameworkFilterSupport::overBoth(image, background));
}
