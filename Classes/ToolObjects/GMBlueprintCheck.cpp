#include "Classes/ToolObjects/GMBlueprintCheck.h"

#include "Classes/ToolObjects/BundleReader.h"
#include "Classes/ToolObjects/GMBlueprintCatalog.h"
#include "Classes/ToolObjects/GMConverter.h"
#include "Classes/ToolObjects/GMEffectBlueprint.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/Size.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/RenderContext.h"

#include <QRegularExpression>

using namespace pf;

namespace {

// References that carry images: a factor conversion on them never applies.
bool isImageReference(const QString& reference)
{
    static const QStringList images{"mask",
                                    "originalImage",
                                    "maskExtraImage",
                                    "pattern",
                                    "transferImage",
                                    "compositionLayer",
                                    "singleMaskImage",
                                    "imageNamed",
                                    "inputCurrentStrokeImage",
                                    "patternResizedToDirtyRect"};
    for (const QString& image : images) {
        if (reference == image || reference.startsWith(image))
            return true;
    }
    return false;
}

// What the engine and the parser logged, as problems.
void collectLogProblems(const QStringList& lines, QStringList& problems)
{
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("Warning: Cannot load ")))
            problems << QStringLiteral("unknown filter '%1'").arg(line.mid(21));
        else if (line.contains(QLatin1String(" has no input ")) ||
                 line.contains(QLatin1String(" has no key ")))
            problems << QStringLiteral("unknown key: %1").arg(line);
        else if (line.startsWith(QLatin1String("***xml parser warning***")))
            problems << QStringLiteral("unknown reference: %1").arg(line.mid(25));
        else if (line.startsWith(QLatin1String("OVGroupedFilter: ")))
            problems << QStringLiteral("graph: %1").arg(line.mid(17));
        else if (line.startsWith(QLatin1String("Error: ")))
            problems << line.mid(7);
        else if (line.startsWith(QLatin1String("Warning: ")) &&
                 !line.contains(QLatin1String("generatedLayerFilter")))
            problems << line.mid(9);
    }
}

void checkZeroLinks(const GMFilterWrapper& wrapper, const QString& graph, QStringList& problems)
{
    const QVariantMap conversions = wrapper.conversionInfo();
    const auto references = wrapper.invertedReferencedInput();
    for (auto it = references.begin(); it != references.end(); ++it) {
        if (isImageReference(it.key()) || it.key().startsWith(QLatin1String("settings.")))
            continue;
        for (const QString& entry : it.value()) {
            const GMConverter converter = GMConverter::fromRecord(
                conversions.value(QString(entry).replace(QLatin1Char('-'), QLatin1Char('.'))));
            if (!converter.isNull() && converter(1.0) == 0.0 && converter(1000.0) == 0.0)
                problems << QStringLiteral(
                                "%1 graph: input %2 links to '%3' with a factor of 0, so it always "
                                "receives 0 (write 'reference:factor')")
                                .arg(graph, entry, it.key());
        }
    }
}

} // namespace

QStringList GMBlueprintCheck::checkBlueprint(const QVariantMap& blueprint, const Image& photo,
                                             RenderContext& context)
{
    const QString name = blueprint.value(QStringLiteral("name")).toString();
    QStringList problems;
    LogCapture capture;

    GMEffectBlueprint effect(blueprint);
    auto content = effect.newContentFilter();
    auto composition = effect.newCompositionFilter();

    if (!content->invertedReferencedInput().contains(QStringLiteral("mask")))
        problems << QStringLiteral("the content graph does not use the mask (no input refers to \"mask\")");
    const QStringList compositionInputs = composition->generatedCIFilter()->inputKeys();
    for (const char* key : {"inputImage", "inputBackgroundImage"}) {
        if (!compositionInputs.contains(QString::fromLatin1(key)))
            problems << QStringLiteral("the composition graph does not take \"%1\" (exported: %2)")
                            .arg(QString::fromLatin1(key), compositionInputs.join(QStringLiteral(", ")));
    }
    checkZeroLinks(*content, QStringLiteral("content"), problems);
    checkZeroLinks(*composition, QStringLiteral("composition"), problems);

    // Feed and render both graphs as a layer over the photo.
    const Rect extent = photo.extent();
    const Image mask = Image::constantColor(Color(1, 1, 1, 1)).imageByCroppingToRect(extent);
    const QVariantMap settings = effect.defaultSettingsValues();
    content->setValuesFromSettings(settings);
    content->setValueForInputKey(QVariant::fromValue(photo), QStringLiteral("originalImage"));
    content->setValueForInputKey(QVariant::fromValue(Size(extent.width(), extent.height())),
                                 QStringLiteral("imageSize"));
    content->setValuesFromMask(mask, Image::emptyImage());
    const Image layer = content->outputImage();
    if (layer.isNull()) {
        problems << QStringLiteral("the content graph gives no image");
    } else {
        composition->setValuesFromSettings(settings);
        composition->generatedCIFilter()->setValue(QVariant::fromValue(layer), QStringLiteral("inputImage"));
        composition->generatedCIFilter()->setValue(QVariant::fromValue(photo),
                                                   QStringLiteral("inputBackgroundImage"));
        const Image result = composition->outputImage();
        if (result.isNull())
            problems << QStringLiteral("the composition graph gives no image");
        else if (!context.render(result, extent, Bitmap::Format::RGBA8))
            problems << QStringLiteral("the composed layer does not render");
    }

    collectLogProblems(capture.lines(), problems);
    problems.removeDuplicates();
    for (QString& problem : problems)
        problem = name + QStringLiteral(": ") + problem;
    return problems;
}

QStringList GMBlueprintCheck::checkBundle(const Bundle& bundle, const Image& photo, RenderContext& context)
{
    GMBlueprintCatalog catalog;
    BundleReader::loadAllPluginsInPhotoToolCatalog(catalog, bundle);
    QStringList names = catalog.effectBlueprintNames();
    names.sort();
    QStringList problems;
    for (const QString& name : names)
        problems << checkBlueprint(catalog.blueprintDictionaryWithName(name), photo, context);
    return problems;
}
