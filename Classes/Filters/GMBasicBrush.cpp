#include "Classes/Filters/GMBasicBrush.h"

#include "Platform/Image/Sampler.h"

using namespace pf;

namespace {

const QString ClassName = QStringLiteral("GMBasicBrush");

} // namespace

GMBasicBrush::GMBasicBrush() : GMBasicBrush(ClassName, true) {}

GMBasicBrush::GMBasicBrush(const QString& className, bool hasMode) : OVFilter(className)
{
    for (const QString& key : strokeKeys())
        declareInput(key);
    if (hasMode)
        declareInput(QStringLiteral("inputMode"));
}

QStringList GMBasicBrush::strokeKeys()
{
    return {QStringLiteral("inputPoint1"),        QStringLiteral("inputPoint2"),
            QStringLiteral("inputBrushSize"),     QStringLiteral("inputBrushSmoothness"),
            QStringLiteral("inputBrushPressure"), QStringLiteral("inputCanvasStart"),
            QStringLiteral("inputCanvasCurrent")};
}

void GMBasicBrush::registerClass()
{
    OVFilter::registerForCopying(ClassName, strokeKeys());
    Filter::registerFilter(ClassName, [] { return std::make_shared<GMBasicBrush>(); });
}

QVariantList GMBasicBrush::strokeArguments() const
{
    auto point = [this](const QString& key) {
        const Vector v = vectorValue(key);
        return QVariant::fromValue(Vector(v.x(), v.y()));
    };
    return {point(QStringLiteral("inputPoint1")),
            point(QStringLiteral("inputPoint2")),
            numberValue(QStringLiteral("inputBrushSize")) * 0.5,
            numberValue(QStringLiteral("inputBrushSmoothness")),
            numberValue(QStringLiteral("inputBrushPressure")),
            QVariant::fromValue(Sampler(imageValue(QStringLiteral("inputCanvasStart")))),
            QVariant::fromValue(Sampler(imageValue(QStringLiteral("inputCanvasCurrent"))))};
}

Image GMBasicBrush::applyStroke(const Kernel& kernel, const QVariantList& arguments,
                                std::function<Rect(int, const Rect&)> regionOfInterest) const
{
    const Image start = imageValue(QStringLiteral("inputCanvasStart"));
    if (kernel.isNull() || start.isNull())
        return Image();
    ApplyOptions options;
    options.definition = start.definition().extent();
    options.setExtent(arrayForRect(start.extent()));
    options.regionOfInterest = std::move(regionOfInterest);
    return kernel.apply(arguments, options);
}

Image GMBasicBrush::outputImage() const
{
    const bool erase = intValue(QStringLiteral("inputMode")) != 0;
    return applyStroke(kernelWithName(erase ? QStringLiteral("brushErase") : QStringLiteral("brushDraw")),
                       strokeArguments());
}
