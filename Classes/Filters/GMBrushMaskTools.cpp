#include "Classes/Filters/GMBrushMaskTools.h"

#include "Platform/Image/Sampler.h"

using namespace pf;

namespace {

const QString ClassName = QStringLiteral("GMBrushMaskTools");
const QString ImageKey = QStringLiteral("inputImage");
const QString BackgroundKey = QStringLiteral("inputBackgroundImage");
const QString NumberKey = QStringLiteral("inputNumber");

// Which inputs a kernel reads, in order; the first gives the output's domain and extent.
QStringList samplerKeys(int number)
{
    switch (number) {
    case GMBrushMaskTools::FilterDifference:
    case GMBrushMaskTools::ShowDifference:
        return {ImageKey, BackgroundKey};
    case GMBrushMaskTools::IntegrateStroke:
    case GMBrushMaskTools::ExtractStroke:
    case GMBrushMaskTools::AlphaAnalysis:
        return {ImageKey};
    case GMBrushMaskTools::FilterOld:
    case GMBrushMaskTools::GreenToWhiteMask:
        return {BackgroundKey};
    default: // the two hard masks cut B by A
        return {BackgroundKey, ImageKey};
    }
}

} // namespace

GMBrushMaskTools::GMBrushMaskTools() : OVFilter(ClassName)
{
    declareInput(ImageKey);
    declareInput(BackgroundKey);
    declareInput(NumberKey);
}

void GMBrushMaskTools::registerClass()
{
    registerMember<GMBrushMaskTools>(ClassName, {.copied = {ImageKey, BackgroundKey, NumberKey}});
}

QString GMBrushMaskTools::kernelNameForNumber(int number)
{
    switch (number) {
    case FilterDifference:
        return QStringLiteral("filterDifference");
    case IntegrateStroke:
        return QStringLiteral("integrateStroke");
    case HardMaskWithStroke:
        return QStringLiteral("hardMaskWithStroke");
    case ExtractStroke:
        return QStringLiteral("extractStroke");
    case FilterOld:
        return QStringLiteral("filterOld");
    case AlphaAnalysis:
        return QStringLiteral("alphaAnalysis");
    case GreenToWhiteMask:
        return QStringLiteral("greenToWhiteMask");
    case ShowDifference:
        return QStringLiteral("showDifference");
    default:
        return QStringLiteral("hardMaskWithAlpha");
    }
}

Image GMBrushMaskTools::outputImage() const
{
    const int number = intValue(NumberKey);
    const QStringList keys = samplerKeys(number);
    const Image first = imageValue(keys.front());
    const Kernel kernel = kernelWithName(kernelNameForNumber(number));
    if (kernel.isNull() || first.isNull())
        return Image();
    QVariantList arguments;
    for (const QString& key : keys)
        arguments << QVariant::fromValue(Sampler(imageValue(key)));
    ApplyOptions options;
    options.definition = first.definition().extent();
    options.setExtent(arrayForRect(first.extent()));
    return kernel.apply(arguments, options);
}
