#include "Classes/ToolObjects/GMBlueprintCheck.h"

#include "Classes/ToolObjects/BundleReader.h"
#include "Classes/ToolObjects/GMBlueprintCatalog.h"
#include "Classes/ToolObjects/GMConverter.h"
#include "Classes/ToolObjects/GMEffectBlueprint.h"
#include "Classes/ToolObjects/GMEffectComposer.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/Size.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/RenderContext.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

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

// The layer under a mask of the left half `left` must differ from the photo somewhere in that half
// and nowhere in the other (by more than one 8-bit level).
void checkMaskedChange(const Image& photo, const Image& layer, const Rect& left, RenderContext& context,
                       QStringList& problems)
{
    const Rect extent = photo.extent();
    const auto before = context.render(photo, extent, Bitmap::Format::RGBA8);
    const auto after = layer.isNull() ? std::nullopt : context.render(layer, extent, Bitmap::Format::RGBA8);
    if (!before || !after) {
        problems << QStringLiteral("the layer under a half mask does not render");
        return;
    }
    const int split = int(left.width());
    int changedInside = 0, changedOutside = 0;
    for (int y = 0; y < before->height(); ++y) {
        const uchar* a = before->row(y);
        const uchar* b = after->row(y);
        for (int x = 0; x < before->width(); ++x) {
            int difference = 0;
            for (int c = 0; c < 4; ++c)
                difference = std::max(difference, std::abs(int(a[x * 4 + c]) - int(b[x * 4 + c])));
            if (difference > 1)
                ++(x < split ? changedInside : changedOutside);
        }
    }
    if (changedOutside > 0)
        problems << QStringLiteral("under a mask of the left half, %1 pixels of the right half change")
                        .arg(changedOutside);
    if (changedInside == 0)
        problems << QStringLiteral("under a mask of the left half, nothing changes");
}

} // namespace

QStringList GMBlueprintCheck::checkBlueprint(const QVariantMap& blueprint, const Image& picture,
                                             RenderContext& context)
{
    // A plain bitmap, so that the photo reads the same through a kernel as rendered alone (a scaled
    // file, for one, does not).
    const auto pixels = context.render(picture, picture.extent(), Bitmap::Format::RGBAf);
    const Image photo =
        pixels ? Image::fromBitmap(*pixels).imageByApplyingTransform(
                     AffineTransform::translation(picture.extent().minX(), picture.extent().minY()))
               : picture;
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

    // Feed and render both graphs as a layer over the photo, masked whole and then on its left half
    // only: an effect must change what its mask covers and nothing else.
    const Rect extent = photo.extent();
    const Image full = Image::constantColor(Color(1, 1, 1, 1)).imageByCroppingToRect(extent);
    const Image additional = standInAdditionalImage(effect, extent);
    QString reason;
    const Image layer = GMEffectComposer::composedImage(effect, photo, full, additional, {}, &reason);
    if (layer.isNull()) {
        problems << reason;
    } else if (!context.render(layer, extent, Bitmap::Format::RGBA8)) {
        problems << QStringLiteral("the composed layer does not render");
    } else {
        const Rect left(extent.minX(), extent.minY(), std::floor(extent.width() / 2), extent.height());
        const Image halfMask = Image::constantColor(Color(1, 1, 1, 1))
                                   .imageByCroppingToRect(left)
                                   .imageByCompositingOverImage(
                                       Image::constantColor(Color(0, 0, 0, 1)).imageByCroppingToRect(extent));
        const Image halfLayer = GMEffectComposer::composedImage(effect, photo, halfMask, additional);
        checkMaskedChange(photo, halfLayer, left, context, problems);
    }

    collectLogProblems(capture.lines(), problems);
    problems.removeDuplicates();
    for (QString& problem : problems)
        problem = name + QStringLiteral(": ") + problem;
    return problems;
}

Image GMBlueprintCheck::standInAdditionalImage(const GMEffectBlueprint& effect, const Rect& extent)
{
    const Image prepared = GMEffectComposer::preparedAdditionalImage(effect, extent.size, 0.5);
    if (prepared.isNull() ||
        effect.defaultBrushValueForKey(QStringLiteral("drawType")).toString() == QLatin1String("beard"))
        return prepared;
    return Image::constantColor(Color(0.45, 0.4, 0.35, 1)).imageByCroppingToRect(extent);
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
