#include "Classes/ToolObjects/GMBundleImage.h"

#include "Platform/Foundation/Bundle.h"

QString GMBundleImage::pathForImageNamed(const QString& name)
{
    if (name.isEmpty())
        return QString();
    for (const QString& folder : {QString(), QStringLiteral("Images")}) {
        for (const char* type : {"tiff", "png", "jpg"}) {
            const QString path = pf::Bundle::main().pathForResource(name, QString::fromLatin1(type), folder);
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
