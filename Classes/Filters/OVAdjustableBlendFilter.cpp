#include "Classes/Filters/OVAdjustableBlendFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"
#include "Classes/Framework/KernelResource.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/Sampler.h"

#include <QSet>
#include <cmath>
#include <mutex>

using namespace pf;

namespace {

const QString ClassName = QStringLiteral("OVAdjustableBlendFilter");

// The class's own view of its kernel resource: which kernel names it holds and the mode list. Filled
// on first use under a lock, since filters are made on whichever thread builds an effect; a missing
// resource is looked for again at the next use.
struct BlendTables
{
    std::mutex mutex;
    bool loaded = false;
    QSet<QString> kernelNames;
    QStringList modeNames;
};

BlendTables& tables()
{
    // Never destroyed: worker threads (renders, strokes, openings) may still use it while the program exits.
    static auto* tables = new BlendTables;
    return *tables;
}

BlendTables& loadedTables()
{
    BlendTables& tables = ::tables();
    std::lock_guard lock(tables.mutex);
    if (!tables.loaded) {
        bool missing = false;
        const std::vector<Kernel> kernels = KernelResource::kernels(ClassName, &missing);
        if (!missing) {
            tables.loaded = true;
            if (kernels.size() >= 2) {
                for (const Kernel& kernel : kernels)
                    tables.kernelNames.insert(kernel.name());
                tables.modeNames = {"sourceOver",  "colorBlend",  "luminosityBlend",  "multiply",
                                    "colorBurn",   "linearBurn",  "negativeMultiply", "colorDodge",
                                    "linearDodge", "overlay",     "softLight",        "hardLight",
                                    "vividLight",  "linearLight", "hardMix"};
            }
        }
    }
    return tables;
}

// Scales `image` about the origin to `target`'s size. Sizes that are zero, negative or unbounded have
// no finite scale factor: the image is then left as it is rather than turned into NaN or infinity.
Image stretched(const Image& image, const Rect& target)
{
    const Rect source = image.extent();
    auto usable = [](double length) { return std::isfinite(length) && length > 0; };
    if (source.isNull() || target.isNull() || source.isInfinite() || target.isInfinite() ||
        !usable(source.width()) || !usable(source.height()) || !usable(target.width()) ||
        !usable(target.height()))
        return image;
    return image.imageByApplyingTransform(
        AffineTransform::scale(target.width() / source.width(), target.height() / source.height()));
}

} // namespace

OVAdjustableBlendFilter::OVAdjustableBlendFilter(const QString& className) : OVFilter(className)
{
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputBackgroundImage"));
    declareInput(
        QStringLiteral("inputIntensity"),
        MaskFilterSupport::numberAttributes({.min = 0, .sliderMin = 0, .sliderMax = 1, .defaultValue = 1}));
    declareInput(QStringLiteral("inputBlendName"), {{FilterAttribute::Default, QStringLiteral("sourceOver")},
                                                    {QStringLiteral("choices"), blendModeNames()}});
    declareInput(QStringLiteral("inputSwitchImages"), {{FilterAttribute::Default, false}});
    declareInput(QStringLiteral("inputStretchToFit"), {{FilterAttribute::Default, false}});
    declareInput(QStringLiteral("inputUseBGExtent"), {{FilterAttribute::Default, false}});
}

void OVAdjustableBlendFilter::registerClass()
{
    registerMember<OVAdjustableBlendFilter>(
        ClassName, {.inputKeys = {QStringLiteral("inputImage"), QStringLiteral("inputBackgroundImage"),
                                  QStringLiteral("inputIntensity"), QStringLiteral("inputBlendName"),
                                  QStringLiteral("inputSwitchImages"), QStringLiteral("inputStretchToFit")}});
}

QStringList OVAdjustableBlendFilter::blendModeNames()
{
    BlendTables& tables = loadedTables();
    std::lock_guard lock(tables.mutex);
    return tables.modeNames;
}

void OVAdjustableBlendFilter::resetForTesting()
{
    BlendTables& t = tables();
    std::lock_guard lock(t.mutex);
    t.loaded = false;
    t.kernelNames.clear();
    t.modeNames.clear();
}

QString OVAdjustableBlendFilter::verifiedBlendMode(const QString& name)
{
    BlendTables& tables = loadedTables();
    std::lock_guard lock(tables.mutex);
    return !name.isNull() && tables.kernelNames.contains(name) ? name : QStringLiteral("sourceOver");
}

Image OVAdjustableBlendFilter::outputImage() const
{
    Image image = inputImage();
    Image background = inputBackgroundImage();
    if (image.isNull() || background.isNull())
        return Image();
    const FilterShape definition = Sampler(background).definition().unionWith(Sampler(image).definition());
    const bool useBackgroundExtent = inputUseBGExtent();
    const Rect reference = useBackgroundExtent ? background.extent() : image.extent();
    if (inputStretchToFit()) {
        if (useBackgroundExtent)
            image = stretched(image, background.extent());
        else
            background = stretched(background, image.extent());
    }
    Sampler top(image);
    Sampler bottom(background);
    if (inputSwitchImages())
        std::swap(top, bottom);

    if (!hasValue(QStringLiteral("inputIntensity"))) {
        // The filter is used by one thread at a time, and the default it gives itself is meant to stay.
        const_cast<OVAdjustableBlendFilter*>(this)->setInputIntensity(1.0);
    }

    const QString blendName = inputBlendName();
    Kernel kernel = kernelWithName(blendName);
    if (kernel.isNull()) {
        const QString shown =
            hasValue(QStringLiteral("inputBlendName")) ? blendName : QStringLiteral("(null)");
        pf::warning(QStringLiteral("Adjustable Blend could not find blend '%1'").arg(shown));
        kernel = kernelWithName(QStringLiteral("blend"));
        if (kernel.isNull())
            return Image();
    }
    ApplyOptions options;
    options.definition = definition.extent();
    options.extent = KernelResource::fullExtent(reference);
    return kernel.apply({QVariant::fromValue(top), QVariant::fromValue(bottom), inputIntensity()}, options);
}
