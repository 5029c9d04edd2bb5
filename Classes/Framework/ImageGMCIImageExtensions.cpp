#include "Classes/Framework/ImageGMCIImageExtensions.h"

#include "Classes/Framework/EngineFilters.h"
#include "Classes/Framework/ImageORVExtension.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/RandomName.h"
#include "Platform/Image/ImageFile.h"
#include "Platform/Image/Vector.h"

#include <cmath>

using namespace pf;

namespace GMCIImageExtensions {

namespace {

bool isSingleFileName(const QString& name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') &&
           !name.contains(QChar(0));
}

bool isUsableExtent(const Rect& extent)
{
    return !extent.isNull() && !extent.isInfinite() && std::isfinite(extent.width()) &&
           std::isfinite(extent.height()) && extent.width() > 0 && extent.height() > 0;
}

} // namespace

Image shortenRecipe(const Image& image)
{
    const Bitmap bitmap = ORVExtension::newCGImage(image);
    return bitmap.isNull() ? Image() : Image::fromBitmap(bitmap);
}

Image forceCalculation(const Image& image, const QString& name)
{
    const Bitmap bitmap = ORVExtension::newCGImage(image);
    if (bitmap.isNull())
        return Image();
    const auto inMemory = [&](const QString& reason) {
        pf::warning(QStringLiteral("Keeping the calculated image in memory: %1").arg(reason));
        return Image::fromBitmap(bitmap);
    };
    if (!isSingleFileName(name))
        return inMemory(QStringLiteral("\"%1\" is not a folder name").arg(name));
    const QString folder = FileSystem::applicationSupportDirectory() + QStringLiteral("/cache/") + name;
    QString error;
    if (!FileSystem::createDirectory(folder, &error))
        return inMemory(error);
    const QString path = folder + QStringLiteral("/image.png");
    if (!FileSystem::writeFileAtomically(path, ImageFile::encodePNG(bitmap), &error))
        return inMemory(error);
    const Image stored = Image::fromFile(path, &error);
    if (stored.isNull())
        return inMemory(error);
    return stored;
}

Image forceCalculation(const Image& image)
{
    // A fresh name for every call: an object's address can be reused once it is gone, a file cannot.
    return forceCalculation(image, randomName(20));
}

Bitmap newCGImageNew(const Image& image)
{
    return ORVExtension::newCGImage(image);
}

Image imageWithConstantColor(const Color& color, const Size& size)
{
    return Image::constantColor(color).imageByCroppingToRect(Rect(0, 0, size.width, size.height));
}

Image imageWithTransparentColorOfSize(const Size& size)
{
    if (FilterPtr filter = EngineFilters::registered(QStringLiteral("GMAlphaBackgroundFilter"))) {
        filter->setValue(QVariant::fromValue(Vector(0, 0, size.width, size.height)),
                         QStringLiteral("inputSize"));
        return filter->value(OutputImageKey).value<Image>();
    }
    return imageWithConstantColor(Color(0, 0, 0, 0), size);
}

Image CIImageWithSize(const Image& image, const Size& size)
{
    if (image.isNull())
        return Image();
    const Rect extent = image.extent();
    if (!isUsableExtent(extent)) {
        pf::warning(QStringLiteral("Cannot scale an image without a finite extent to a size"));
        return Image();
    }
    return EngineFilters::affineTransform(
        image, AffineTransform::scale(size.width / extent.width(), size.height / extent.height()));
}

} // namespace GMCIImageExtensions
