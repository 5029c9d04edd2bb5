#include "Classes/ToolObjects/GMBundleImage.h"

#include "Classes/Framework/BundleORVExtension.h"
#include "Platform/Foundation/Bundle.h"

QString GMBundleImage::pathForImageNamed(const QString& name)
{
    if (name.isEmpty())
        return QString();
    return ORVExtension::pathForImageNamed(pf::Bundle::main(), name);
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
