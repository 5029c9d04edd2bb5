#include "Classes/ToolObjects/GMBundleImage.h"

#include "Platform/Foundation/Bundle.h"

QString GMBundleImage::pathForImageNamed(const QString& name)
{
    if (name.isEmpty())
        return QString();
    // Pictures are stored as TIFF, PNG or JPEG, at the top of the resources or in "Images"; the
    // stock textures, for one, are PNG and JPEG.
    const pf::Bundle& bundle = pf::Bundle::main();
    for (const QString& folder : {QString(), QStringLiteral("Images")}) {
        for (const char* type : {"tiff", "png", "jpg"}) {
            const QString path = bundle.pathForResource(name, QString::fromLatin1(type), folder);
            if (!path.isEmpty())
                return path;
        }
    }
    return QString();
}

pf::Image GMBundleImage::imageNamed(const QString& name)
{
    const QString path = pathForImageNamed(name);
    return path.isEmpty() ? pf::Image() : pf::Image::fromFile(path);
}

QImage GMBundleImage::qimageNamed(const QString& name)
{
    const QString path = pathForImageNamed(name);
    return path.isEmpty() ? QImage() : QImage(path);
}
