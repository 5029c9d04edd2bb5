#include "Classes/Filters/OVImproveSolution.h"

#include "Classes/Filters/MaskFilterSupport.h"

using namespace pf;
using namespace MaskFilterSupport;

namespace {

// Declared in this order, and every one of them copied with the filter.
const QStringList Inputs{QStringLiteral("inputImage"), QStringLiteral("inputMask"),
                         QStringLiteral("inputMode"), QStringLiteral("inputResiduum")};

} // namespace

OVImproveSolution::OVImproveSolution(const QString& className) : OVFilter(className, Inputs) {}

void OVImproveSolution::registerClass()
{
    registerMember<OVImproveSolution>(QStringLiteral("OVImproveSolution"), {.copied = Inputs});
}

Image OVImproveSolution::outputImage() const
{
    if (!hasValue(QStringLiteral("inputMode")))
        return Image();
    const Sampler image(imageValue(QStringLiteral("inputImage")));
    const Sampler mask(imageValue(QStringLiteral("inputMask")));
    const Sampler residuum(imageValue(QStringLiteral("inputResiduum")));
    struct Step
    {
        const char* kernel;
        int samplers; // image, mask, residuum: how many of them, in that order
        bool maskDomain;
    };
    static const Step steps[] = {{"smoothKernel", 2, true},       {"calcResiduumKernel", 2, true},
                                 {"smoothKernelForRHS", 3, true}, {"correctionKernel", 3, true},
                                 {"convToNeg", 1, false},         {"clearColor", 1, false},
                                 {"convToPos", 1, false},         {"cutImage", 2, true}};
    const int mode = intValue(QStringLiteral("inputMode"));
    const Step& step = steps[mode >= 0 && mode <= 6 ? mode : 7];
    const Sampler all[] = {image, mask, residuum};
    QVariantList arguments;
    for (int i = 0; i < step.samplers; ++i)
        arguments << samplerArgument(all[i]);
    ApplyOptions options = domainOf(step.maskDomain ? mask : image);
    // The relaxation and residual steps read the direct neighbours of the solution and the mask.
    options.regionOfInterest = [](int index, const Rect& destination) {
        return index <= 1 ? destination.insetBy(-1, -1) : destination;
    };
    return kernelWithName(QString::fromLatin1(step.kernel)).apply(arguments, options);
}
