#include "Classes/Filters/OVBlurCompositionFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Classes/Filters/MaskFilterSupport.h"
#include "Platform/Image/Sampler.h"

using namespace pf;
using FrameworkFilterSupport::var;

namespace {

const QString ImageKey = QStringLiteral("inputImage");
const QString BackgroundKey = QStringLiteral("inputBackgroundImage");
const QString RadiusKey = QStringLiteral("inputRadius");
const QString MarginKey = QStringLiteral("inputMargin");
const QString LayerKey = QStringLiteral("inputLayer");

} // namespace

OVBlurCompositionFilter::OVBlurCompositionFilter(const QString& className) : OVFilter(className)
{
    declareInput(ImageKey);
    declareInput(BackgroundKey);
    declareInput(RadiusKey, {{FilterAttribute::Default, 10.0},
                             {FilterAttribute::SliderMin, 0.0},
                             {FilterAttribute::SliderMax, 50.0}});
    declareInput(MarginKey, MaskFilterSupport::vectorAttributes(Vector(0, 0, 0, 0)));
    declareInput(LayerKey);
    declareInput(QStringLiteral("useDistortion"));
}

void OVBlurCompositionFilter::registerClass()
{
    registerMember<OVBlurCompositionFilter>(
        QStringLiteral("OVBlurCompositionFilter"),
        {.inputKeys = {ImageKey, BackgroundKey, RadiusKey, MarginKey, LayerKey},
         .copied = {QStringLiteral("useDistortion")}});
}

void OVBlurCompositionFilter::setValue(const QVariant& value, const QString& key)
{
    if (key == LayerKey && value.metaType() == QMetaType::fromType<FramedPtr>()) {
        // Never owned: the layer belongs to the interface.
        OVFilter::setValue(QVariant::fromValue(FramedReference(value.value<FramedPtr>())), key);
        return;
    }
    OVFilter::setValue(value, key);
}

Rect OVBlurCompositionFilter::compositionRect() const
{
    Rect base(0, 0, 0, 0);
    const QVariant layer = OVFilter::value(LayerKey);
    const FramedPtr framed = layer.metaType() == QMetaType::fromType<FramedReference>()
                                 ? layer.value<FramedReference>().lock()
                                 : FramedPtr();
    const Image image = imageValue(ImageKey);
    if (framed)
        base = framed->frame();
    else if (!image.isNull() && !image.extent().isNull())
        base = image.extent();
    const Vector m = vectorValue(MarginKey);
    return Rect(base.minX() + m.x(), base.minY() + m.y(), base.width() - (m.x() + m.z()),
                base.height() - (m.y() + m.w()));
}

Image OVBlurCompositionFilter::outputImage() const
{
    const Image background = imageValue(BackgroundKey);
    if (background.isNull())
        return Image();
    Image image = imageValue(ImageKey);
    if (image.isNull())
        image = Image::emptyImage();
    const double radius = numberValue(RadiusKey);
    Image processed;
    if (boolValue(QStringLiteral("useDistortion"))) {
        const Image noise = FrameworkFilterSupport::builtin(QStringLiteral("CIRandomGenerator"), {});
        processed = FrameworkFilterSupport::builtin(QStringLiteral("CIDisplacementDistortion"),
                                                    {{ImageKey, var(background)},
                                                     {QStringLiteral("inputDisplacementImage"), var(noise)},
                                                     {QStringLiteral("inputScale"), radius}});
    } else {
        processed = FrameworkFilterSupport::builtin(QStringLiteral("CIGaussianBlur"),
                                                    {{ImageKey, var(background)}, {RadiusKey, radius}});
    }
    return FrameworkFilterSupport::applyOver(
        kernel(),
        {QVariant::fromValue(Sampler(image)), QVariant::fromValue(Sampler(background)),
         QVariant::fromValue(Sampler(processed)), QVariant::fromValue(Vector::fromRect(compositionRect()))},
        background);
}
