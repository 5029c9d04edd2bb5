// Renders the interface artwork, authored as SVG, to the PNG files the application loads by name.
//
//   render-artwork <artwork folder> <output folder>
//
// Every "X.svg" below the artwork folder becomes "X.png" at the drawing's own size and "X@2x.png" at
// twice that size, in the same sub-folder of the output folder. A name that ends in an image type
// keeps it: "Paper.jpg.svg" becomes "Paper.jpg" and "Paper@2x.jpg" (JPEG, laid on black). A folder may hold a
// manifest, "artwork.json", that changes this for its own SVG files (not for sub-folders):
//
//   {
//     "folder": "Masks",            output sub-folder ("" for the top); default: the artwork's own
//     "scales": [1],                scales to render; default [1, 2]; 2 adds "@2x", 3 "@3x"
//     "size": [64, 64],             size at scale 1 in pixels; default: the drawing's own size
//     "thumbnail": 300,             also a "-thumb" picture, its longer side that many pixels, at 1x
//     "images": {
//       "Oval.svg": { "name": "ORV-M#001#Oval", "size": [512, 384], "scales": [1] }
//     }
//   }
//
// An entry of "images" overrides the folder's values for one file; "name" is the output name without
// extension. Files are written under a temporary name and renamed into place. Files this program wrote
// in an earlier run and no longer makes are deleted. Any fault (an unreadable drawing, a bad manifest,
// two drawings with the same output) stops the run with a message and a non-zero exit status, so the
// build fails rather than shipping missing artwork.
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QPainter>
#include <QSaveFile>
#include <QSet>
#include <QSvgRenderer>
#include <QTextStream>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

const QString manifestName = QStringLiteral("artwork.json");
const QString outputListName = QStringLiteral(".artwork-outputs");

struct Failure
{
    QString message;
};

[[noreturn]] void fail(const QString& message)
{
    throw Failure{message};
}

struct Settings
{
    std::optional<QString> folder;
    std::optional<QString> name;
    std::optional<QSizeF> size;
    std::optional<QList<int>> scales;
    std::optional<int> thumbnail;
};

QSizeF readSize(const QJsonValue& value, const QString& where)
{
    const QJsonArray array = value.toArray();
    if (!value.isArray() || array.size() != 2 || !array[0].isDouble() || !array[1].isDouble() ||
        array[0].toDouble() <= 0 || array[1].toDouble() <= 0)
        fail(QStringLiteral("%1: \"size\" must be two positive numbers").arg(where));
    return {array[0].toDouble(), array[1].toDouble()};
}

QList<int> readScales(const QJsonValue& value, const QString& where)
{
    QList<int> scales;
    for (const QJsonValue& scale : value.toArray()) {
        if (!scale.isDouble() || scale.toDouble() != std::floor(scale.toDouble()) || scale.toDouble() < 1 ||
            scale.toDouble() > 4)
            fail(QStringLiteral("%1: \"scales\" must list whole numbers from 1 to 4").arg(where));
        if (!scales.contains(scale.toInt()))
            scales.append(scale.toInt());
    }
    if (!value.isArray() || scales.isEmpty())
        fail(QStringLiteral("%1: \"scales\" must be a non-empty list").arg(where));
    return scales;
}

// A name or folder may not lead outside the output folder nor hide itself.
void checkPathPart(const QString& text, bool allowSlash, const QString& where)
{
    if (text.startsWith(u'/') || text.contains(u'\\'))
        fail(QStringLiteral("%1: \"%2\" must be a relative name").arg(where, text));
    const QStringList parts = text.split(u'/');
    if (!allowSlash && parts.size() > 1)
        fail(QStringLiteral("%1: the name \"%2\" may not contain \"/\"").arg(where, text));
    for (const QString& part : parts)
        if (part.isEmpty() ? !text.isEmpty() : (part.startsWith(u'.')))
            fail(QStringLiteral("%1: \"%2\" may not contain empty or hidden parts").arg(where, text));
}

Settings readSettings(const QJsonObject& object, const QString& where, bool isImage)
{
    static const QSet<QString> folderKeys{QStringLiteral("folder"), QStringLiteral("scales"),
                                          QStringLiteral("size"), QStringLiteral("images"),
                                          QStringLiteral("thumbnail")};
    static const QSet<QString> imageKeys{QStringLiteral("name"), QStringLiteral("scales"),
                                         QStringLiteral("size"), QStringLiteral("thumbnail")};
    for (const QString& key : object.keys())
        if (!(isImage ? imageKeys : folderKeys).contains(key))
            fail(QStringLiteral("%1: unknown key \"%2\"").arg(where, key));
    Settings settings;
    if (object.contains(QStringLiteral("folder"))) {
        if (!object.value(QStringLiteral("folder")).isString())
            fail(QStringLiteral("%1: \"folder\" must be a text").arg(where));
        settings.folder = object.value(QStringLiteral("folder")).toString();
        checkPathPart(*settings.folder, true, where);
    }
    if (object.contains(QStringLiteral("name"))) {
        const QString name = object.value(QStringLiteral("name")).toString();
        if (name.isEmpty())
            fail(QStringLiteral("%1: \"name\" must be a non-empty text").arg(where));
        checkPathPart(name, false, where);
        settings.name = name;
    }
    if (object.contains(QStringLiteral("size")))
        settings.size = readSize(object.value(QStringLiteral("size")), where);
    if (object.contains(QStringLiteral("scales")))
        settings.scales = readScales(object.value(QStringLiteral("scales")), where);
    if (object.contains(QStringLiteral("thumbnail"))) {
        const QJsonValue value = object.value(QStringLiteral("thumbnail"));
        if (!value.isDouble() || value.toDouble() != std::floor(value.toDouble()) || value.toDouble() < 1 ||
            value.toDouble() > 4096)
            fail(QStringLiteral("%1: \"thumbnail\" must be a whole number of pixels from 1 to 4096")
                     .arg(where));
        settings.thumbnail = value.toInt();
    }
    return settings;
}

struct Manifest
{
    Settings folder;
    QMap<QString, Settings> images;
};

Manifest readManifest(const QString& directory)
{
    Manifest manifest;
    const QString path = directory + u'/' + manifestName;
    QFile file(path);
    if (!file.exists())
        return manifest;
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("%1: cannot be read: %2").arg(path, file.errorString()));
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        fail(QStringLiteral("%1: not a JSON object (%2 at offset %3)")
                 .arg(path, parseError.errorString())
                 .arg(parseError.offset));
    const QJsonObject root = document.object();
    manifest.folder = readSettings(root, path, false);
    const QJsonValue images = root.value(QStringLiteral("images"));
    if (!images.isUndefined() && !images.isObject())
        fail(QStringLiteral("%1: \"images\" must be an object").arg(path));
    const QJsonObject imageObject = images.toObject();
    for (auto it = imageObject.begin(); it != imageObject.end(); ++it) {
        const QString where = path + QStringLiteral(" \"") + it.key() + u'"';
        if (!it.value().isObject())
            fail(where + QStringLiteral(": must be an object"));
        if (!QFileInfo(directory + u'/' + it.key()).isFile() || !it.key().endsWith(QStringLiteral(".svg")))
            fail(where + QStringLiteral(": no such SVG file in this folder"));
        manifest.images.insert(it.key(), readSettings(it.value().toObject(), where, true));
    }
    return manifest;
}

// A name ending in ".png", ".jpg" or ".jpeg" keeps that extension and format; any other name gets
// ".png". The scale mark goes before the extension: "Paper.jpg" at 2x is "Paper@2x.jpg".
QString outputFileName(const QString& name, int scale)
{
    QString stem = name, extension = QStringLiteral(".png");
    for (const char* known : {".png", ".jpg", ".jpeg"})
        if (name.endsWith(QLatin1String(known), Qt::CaseInsensitive) &&
            name.size() > qsizetype(std::strlen(known))) {
            stem = name.left(name.size() - qsizetype(std::strlen(known)));
            extension = name.right(qsizetype(std::strlen(known)));
        }
    return scale == 1 ? stem + extension : QStringLiteral("%1@%2x%3").arg(stem).arg(scale).arg(extension);
}

// "Paper.jpg" gives "Paper-thumb.jpg", "Star" gives "Star-thumb".
QString thumbnailName(const QString& name)
{
    for (const char* known : {".png", ".jpg", ".jpeg"})
        if (name.endsWith(QLatin1String(known), Qt::CaseInsensitive) &&
            name.size() > qsizetype(std::strlen(known)))
            return name.left(name.size() - qsizetype(std::strlen(known))) + QStringLiteral("-thumb") +
                   name.right(qsizetype(std::strlen(known)));
    return name + QStringLiteral("-thumb");
}

void render(const QString& svgPath, QSizeF size, int scale, const QString& outputPath)
{
    QSvgRenderer renderer(svgPath);
    if (!renderer.isValid())
        fail(QStringLiteral("%1: not a readable SVG drawing").arg(svgPath));
    const QSize pixels(qRound(size.width() * scale), qRound(size.height() * scale));
    if (pixels.isEmpty() || pixels.width() > 16384 || pixels.height() > 16384)
        fail(QStringLiteral("%1: unusable size %2 x %3")
                 .arg(svgPath)
                 .arg(pixels.width())
                 .arg(pixels.height()));
    // JPEG keeps no transparency: such drawings are laid on black, as the dark interface shows them.
    const bool jpeg = outputPath.endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive) ||
                      outputPath.endsWith(QLatin1String(".jpeg"), Qt::CaseInsensitive);
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(jpeg ? Qt::black : Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
    }
    QDir().mkpath(QFileInfo(outputPath).absolutePath());
    QSaveFile file(outputPath);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, jpeg ? "JPEG" : "PNG", jpeg ? 92 : -1) ||
        !file.commit())
        fail(QStringLiteral("%1: cannot be written: %2").arg(outputPath, file.errorString()));
}

QStringList readOutputList(const QString& outputDirectory)
{
    QFile file(outputDirectory + u'/' + outputListName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

void writeOutputList(const QString& outputDirectory, const QStringList& outputs)
{
    QSaveFile file(outputDirectory + u'/' + outputListName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text) || file.write(outputs.join(u'\n').toUtf8()) < 0 ||
        !file.commit())
        fail(QStringLiteral("%1: cannot be written").arg(file.fileName()));
}

int run(const QString& artworkDirectory, const QString& outputDirectory)
{
    QDir().mkpath(outputDirectory);
    QStringList svgFiles;
    if (QFileInfo(artworkDirectory).isDir()) {
        QDirIterator it(artworkDirectory, {QStringLiteral("*.svg")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            svgFiles.append(it.next());
    }
    svgFiles.sort();

    QMap<QString, Manifest> manifests;
    QMap<QString, QString> producers; // output path relative to the output folder -> its SVG
    const QDir artwork(artworkDirectory);
    for (const QString& svgPath : svgFiles) {
        const QFileInfo info(svgPath);
        const QString directory = info.absolutePath();
        if (!manifests.contains(directory))
            manifests.insert(directory, readManifest(directory));
        const Manifest& manifest = manifests[directory];
        const Settings image = manifest.images.value(info.fileName());

        QString folder =
            image.folder.value_or(manifest.folder.folder.value_or(artwork.relativeFilePath(directory)));
        if (folder == u".")
            folder.clear();
        const QString name = image.name.value_or(info.completeBaseName());
        checkPathPart(name, false, svgPath);
        const QList<int> scales = image.scales.value_or(manifest.folder.scales.value_or(QList<int>{1, 2}));
        QSizeF size;
        if (image.size)
            size = *image.size;
        else if (manifest.folder.size)
            size = *manifest.folder.size;
        else {
            QSvgRenderer renderer(svgPath);
            if (!renderer.isValid())
                fail(QStringLiteral("%1: not a readable SVG drawing").arg(svgPath));
            size = renderer.defaultSize();
        }
        for (int scale : scales) {
            const QString relative =
                folder.isEmpty() ? outputFileName(name, scale) : folder + u'/' + outputFileName(name, scale);
            if (producers.contains(relative))
                fail(QStringLiteral("%1 and %2 both render \"%3\"")
                         .arg(producers[relative], svgPath, relative));
            producers.insert(relative, svgPath);
            render(svgPath, size, scale, outputDirectory + u'/' + relative);
        }
        if (const std::optional<int> thumbnail =
                image.thumbnail ? image.thumbnail : manifest.folder.thumbnail) {
            const double factor = *thumbnail / std::max(size.width(), size.height());
            const QString file = outputFileName(thumbnailName(name), 1);
            const QString relative = folder.isEmpty() ? file : folder + u'/' + file;
            if (producers.contains(relative))
                fail(QStringLiteral("%1 and %2 both render \"%3\"")
                         .arg(producers[relative], svgPath, relative));
            producers.insert(relative, svgPath);
            render(svgPath, size * factor, 1, outputDirectory + u'/' + relative);
        }
    }

    const QStringList outputs = producers.keys();
    for (const QString& previous : readOutputList(outputDirectory))
        if (!producers.contains(previous))
            QFile::remove(outputDirectory + u'/' + previous);
    writeOutputList(outputDirectory, outputs);
    std::printf("Rendered %lld artwork files from %lld drawings\n", static_cast<long long>(outputs.size()),
                static_cast<long long>(svgFiles.size()));
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    // Text in drawings needs fonts, which need a GUI application; no display is needed for that.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "Usage: render-artwork <artwork folder> <output folder>\n");
        return 2;
    }
    try {
        return run(QDir(arguments[1]).absolutePath(), QDir(arguments[2]).absolutePath());
    } catch (const Failure& failure) {
        std::fprintf(stderr, "Error: %s\n", qPrintable(failure.message));
        return 1;
    }
}
