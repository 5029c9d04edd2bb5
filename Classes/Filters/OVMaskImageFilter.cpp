#include "Classes/Filters/OVMaskImageFilter.h"

#include "Classes/Filters/FilterArtwork.h"
#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Classes/Framework/KernelResource.h"
#include "Classes/Framework/OVGeometry.h"
#include "Classes/Framework/StringORVExtension.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/Sampler.h"

#include <QDir>
#include <QFileInfo>
#include <cmath>

using namespace pf;

namespace {

const QString ImageKey = QStringLiteral("inputImage");
const QString MaskNameKey = QStringLiteral("inputMaskName");
const QString MaskImageKey = QStringLiteral("inputMaskImage");

// A name that can only be a file of the temporary folder itself, never a path leading elsewhere.
bool isPlainFileName(const QString& name)
{
    return !name.isEmpty() && !name.contains(u'/') && !name.contains(u'\\') &&
           !name.contains(QLatin1String(".."));
}

} // namespace

OVMaskImageFilter::OVMaskImageFilter(const QString& className) : OVFilter(className)
{
    const QStringList names = FilterArtwork::choices(FilterArtwork::MaskType);
    // Without any mask in the application there are no attributes at all, so no defaults either.
    auto attributes = [&](const QVariantMap& map) { return names.isEmpty() ? QVariantMap() : map; };
    declareInput(ImageKey);
    declareInput(MaskNameKey, attributes({{FilterAttribute::Default, names.value(0)},
                                          {QStringLiteral("choices"), names}}));
    declareInput(MaskImageKey);
    declareInput(QStringLiteral("inputScale"), attributes({{FilterAttribute::Default, false}}));
    declareInput(QStringLiteral("inputColor"),
                 attributes({{FilterAttribute::Default, QVariant::fromValue(Color(1, 1, 1, 1))}}));
    declareInput(QStringLiteral("inputInvert"), attributes({{FilterAttribute::Default, false}}));
}

void OVMaskImageFilter::setValue(const QVariant& value, const QString& key)
{
    if (key == MaskNameKey) {
        OVFilter::setValue(value, key);
        loadMask(value.isValid() ? value.toString() : QString());
        return;
    }
    OVFilter::setValue(value, key);
    // A mask given directly is read from its colour, whatever the last named mask was.
    if (key == MaskImageKey)
        m_hasAlpha = false;
}

void OVMaskImageFilter::loadMask(const QString& name)
{
    OVFilter::setValue(QVariant(), MaskImageKey);
    m_hasAlpha = false;
    if (name.isEmpty())
        return;
    const OVResourceInfo info = ORVExtension::resourceInfo(name);
    const QString type = FilterArtwork::MaskType;
    // By type and number first, then by the name part; an empty ID or name matches nothing.
    QString path =
        FilterArtwork::firstFileContaining(type, ORVExtension::resourceIDForType(info.type(), info.index()));
    if (path.isEmpty())
        path = FilterArtwork::firstFileContaining(type, info.name());
    if (path.isEmpty()) {
        if (isPlainFileName(name))
            path = QDir(QDir::tempPath()).filePath(name);
        else
            pf::warning(QStringLiteral("Mask name '%1' is not a plain file name; the temporary folder is not "
                                       "searched for it")
                            .arg(name));
    }
    bool hasAlpha = false;
    const Image mask = QFileInfo(path).isFile() ? FilterArtwork::read(path, &hasAlpha) : Image();
    if (mask.isNull()) {
        pf::warning(QStringLiteral("No Mask loaded for %1").arg(name));
        return;
    }
    OVFilter::setValue(QVariant::fromValue(mask), MaskImageKey);
    m_hasAlpha = hasAlpha;
}

void OVMaskImageFilter::copyStateTo(Filter& other) const
{
    OVFilter::copyStateTo(other);
    if (auto* mask = dynamic_cast<OVMaskImageFilter*>(&other))
        mask->m_hasAlpha = m_hasAlpha;
}

Image OVMaskImageFilter::outputImage() const
{
    const Image image = imageValue(ImageKey);
    Image mask = imageValue(MaskImageKey);
    const bool invert = boolValue(QStringLiteral("inputInvert"));
    if (image.isNull()) {
        if (mask.isNull())
            return Image();
        // Painting the mask in a colour.
        const Color color = hasValue(QStringLiteral("inputColor")) ? colorValue(QStringLiteral("inputColor"))
                                                                   : Color(1, 1, 1, 1);
        return FrameworkFilterSupport::applyOver(
            kernelWithName(invert ? QStringLiteral("maskColorInverted") : QStringLiteral("maskColor")),
            {QVariant::fromValue(Sampler(mask)), QVariant::fromValue(color)}, mask);
    }
    if (mask.isNull())
        return image;

    const Rect I = image.extent();
    const Rect M = mask.extent();
    if (OVRectMaxDifference(I, M) >= 1.0) {
        // Fitted and centred in the image; a mask or image without area has no scale to fit with.
        if (!FrameworkFilterSupport::hasArea(I) || !FrameworkFilterSupport::hasArea(M))
            return image;
        double sx = I.width() / M.width();
        double sy = I.height() / M.height();
        if (!boolValue(QStringLiteral("inputScale")))
            sx = sy = std::min(sx, sy);
        const double tx = ((I.width() - M.width() * sx) * 0.5 + (I.minX() - M.minX() * sx)) / sx;
        const double ty = ((I.height() - M.height() * sy) * 0.5 + (I.minY() - M.minY() * sy)) / sy;
        mask = mask.imageByApplyingTransform(AffineTransform::scale(sx, sy).translated(tx, ty));
    }
    QString kernelName = m_hasAlpha ? QStringLiteral("maskImageAlpha") : QStringLiteral("maskImage");
    if (invert)
        kernelName += QStringLiteral("Inverted");
    const Sampler maskSampler(mask);
    const Sampler imageSampler(image);
    const Sampler& shape = invert ? imageSampler : maskSampler;
    ApplyOptions options;
    options.definition = shape.definition().extent();
    options.extent = KernelResource::fullExtent(shape.extent());
    const Kernel k = kernelWithName(kernelName);
    if (k.isNull())
        return Image();
    return k.apply({QVariant::fromValue(maskSampler), QVariant::fromValue(imageSampler)}, options);
}
