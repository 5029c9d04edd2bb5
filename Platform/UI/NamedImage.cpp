#include "Platform/UI/NamedImage.h"

#include "Platform/Foundation/Bundle.h"

#include <QGuiApplication>
#include <QHash>
#include <QImageReader>
#include <QScreen>

namespace pf::NamedImage {

namespace {

const QStringList types{QStringLiteral("png"), QStringLiteral("tiff"), QStringLiteral("tif"),
                        QStringLiteral("jpg"), QStringLiteral("jpeg")};

QHash<QString, QImage>& cache()
{
    static QHash<QString, QImage> images;
    return images;
}

// The name split into its folder, its plain name and an explicit type, if any.
void split(const QString& name, QString* folder, QString* base, QString* type)
{
    const qsizetype slash = name.lastIndexOf(u'/');
    *folder = slash >= 0 ? name.left(slash) : QString();
    QString file = slash >= 0 ? name.mid(slash + 1) : name;
    type->clear();
    const qsizetype dot = file.lastIndexOf(u'.');
    if (dot > 0 && types.contains(file.mid(dot + 1).toLower())) {
        *type = file.mid(dot + 1);
        file = file.left(dot);
    }
    *base = file;
}

QString find(const Bundle& bundle, const QString& folder, const QString& base, const QString& type)
{
    for (const QString& t : type.isEmpty() ? types : QStringList{type}) {
        const QString path = bundle.pathForResource(base, t, folder);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

} // namespace

double screenScale()
{
    double scale = 1;
    for (const QScreen* screen : QGuiApplication::screens())
        scale = std::max(scale, screen->devicePixelRatio());
    return scale;
}

QString path(const QString& name, double scale, const Bundle& bundle)
{
    QString folder, base, type;
    split(name, &folder, &base, &type);
    if (base.isEmpty())
        return {};
    if (base.endsWith(QLatin1String("@2x")))
        return find(bundle, folder, base, type);
    const QString plain = find(bundle, folder, base, type);
    const QString doubled = find(bundle, folder, base + QStringLiteral("@2x"), type);
    if (scale >= 1.5 && !doubled.isEmpty())
        return doubled;
    return plain.isEmpty() ? doubled : plain;
}

QImage image(const QString& name, double scale, const Bundle& bundle)
{
    const QString key = bundle.resourcePath() + u'\n' + QString::number(scale >= 1.5 ? 2 : 1) + u'\n' + name;
    if (auto it = cache().constFind(key); it != cache().constEnd())
        return *it;
    const QString file = path(name, scale, bundle);
    if (file.isEmpty())
        return {};
    QImageReader reader(file);
    reader.setAutoTransform(true);
    QImage loaded = reader.read();
    if (loaded.isNull())
        return {};
    if (file.contains(QLatin1String("@2x.")))
        loaded.setDevicePixelRatio(2);
    cache().insert(key, loaded);
    return loaded;
}

QImage image(const QString& name)
{
    return image(name, screenScale(), Bundle::main());
}

void clearCache()
{
    cache().clear();
}

} // namespace pf::NamedImage
