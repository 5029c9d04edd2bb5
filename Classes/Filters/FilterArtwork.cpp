#include "Classes/Filters/FilterArtwork.h"

#include "Classes/Framework/BundleORVExtension.h"
#include "Classes/Framework/StringORVExtension.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/Filter.h"
#include "Platform/Image/ImageFile.h"

#include <QFileInfo>
#include <QHash>
#include <mutex>

namespace {

struct State
{
    std::mutex mutex;
    std::shared_ptr<const pf::Bundle> testBundle;
    QHash<QString, QStringList> choices;
};

State& state()
{
    // Never destroyed: worker threads (renders, strokes, openings) may still use it while the program exits.
    static auto* instance = new State;
    return *instance;
}

// Whether any pixel is less than opaque: an alpha channel that is opaque throughout (as drawing programs
// often write) carries no shape.
bool usesAlpha(const pf::Bitmap& bitmap)
{
    if (!pf::Bitmap::hasAlpha(bitmap.format()))
        return false;
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x) {
            float pixel[4];
            bitmap.pixel(x, y, pixel);
            if (pixel[3] < 1.0f)
                return true;
        }
    return false;
}

QString fileName(const QString& path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

} // namespace

std::shared_ptr<const pf::Bundle> FilterArtwork::bundle()
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (s.testBundle)
        return s.testBundle;
    // The application's bundle lives for the whole process.
    return std::shared_ptr<const pf::Bundle>(std::shared_ptr<const pf::Bundle>(), &pf::Bundle::main());
}

void FilterArtwork::setResourcePathForTesting(const QString& resourcePath)
{
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.testBundle = resourcePath.isEmpty() ? nullptr : std::make_shared<const pf::Bundle>(resourcePath);
    s.choices.clear();
}

QStringList FilterArtwork::imageFiles(const QString& type)
{
    const QString folder = ORVExtension::directoryForResourceType(type);
    if (folder.isEmpty())
        return {};
    const std::shared_ptr<const pf::Bundle> resources = bundle();
    QStringList paths;
    for (const QString& extension : ORVExtension::imageFileTypes())
        paths += resources->pathsForResourcesOfType(extension, folder);
    return paths;
}

QVariantMap FilterArtwork::choiceAttributes(const QString& type, const QString& avoiding)
{
    const QStringList names = choices(type, avoiding);
    QVariantMap attributes{{QStringLiteral("choices"), names}};
    if (!names.isEmpty())
        attributes.insert(pf::FilterAttribute::Default, names.last());
    return attributes;
}

QStringList FilterArtwork::choices(const QString& type, const QString& avoiding)
{
    const QString key = type + u'\n' + avoiding;
    State& s = state();
    {
        std::lock_guard lock(s.mutex);
        auto it = s.choices.find(key);
        if (it != s.choices.end())
            return *it;
    }
    QStringList names;
    for (const QString& path : imageFiles(type))
        if (avoiding.isEmpty() || !fileName(path).contains(avoiding))
            names.append(ORVExtension::resourceIDName(path));
    std::lock_guard lock(s.mutex);
    // Two threads may have read the folder at once; the first list stays.
    return *s.choices.insert(key, s.choices.value(key, names));
}

QString FilterArtwork::firstFileContaining(const QString& type, const QString& text, const QString& avoiding)
{
    if (text.isEmpty())
        return {};
    for (const QString& path : imageFiles(type)) {
        const QString name = fileName(path);
        if (name.contains(text) && (avoiding.isEmpty() || !name.contains(avoiding)))
            return path;
    }
    return {};
}

QString FilterArtwork::fileNamed(const QString& type, const QString& name)
{
    const QString folder = ORVExtension::directoryForResourceType(type);
    if (folder.isEmpty() || name.isEmpty())
        return {};
    return bundle()->pathForResource(name, QString(), folder);
}

FilterArtwork::Found FilterArtwork::lookUp(const QString& type, const QString& name, const QString& avoiding)
{
    Found found;
    found.idName = name;
    const OVResourceInfo info = ORVExtension::resourceInfo(name);
    found.path =
        firstFileContaining(type, ORVExtension::resourceIDForType(info.type(), info.index()), avoiding);
    if (found.path.isEmpty())
        return found;
    const OVResourceInfo file = ORVExtension::resourceInfo(found.path);
    if (file.type())
        found.idName = ORVExtension::resourceIDNameFor(file);
    if (file.options())
        found.options = file.options()->split(u'-');
    return found;
}

FilterArtwork::Found FilterArtwork::lookUpReported(const QString& type, const QString& name,
                                                   const QString& avoiding, int count, const QString& what,
                                                   const QString& missing)
{
    const Found found = lookUp(type, name, avoiding);
    if (found.options.size() != count)
        pf::error(QStringLiteral("%1 %2 has wrong number of Name-Components %3 (%4)")
                      .arg(what, found.idName)
                      .arg(found.options.size())
                      .arg(found.options.join(QStringLiteral(", "))));
    if (found.path.isEmpty())
        pf::warning(QStringLiteral("%1 '%2' not found").arg(missing, found.idName));
    return found;
}

pf::Image FilterArtwork::read(const QString& path, bool* hasAlpha)
{
    if (hasAlpha)
        *hasAlpha = false;
    if (path.isEmpty())
        return pf::Image();
    const pf::Bitmap bitmap = pf::ImageFile::read(path);
    if (bitmap.isNull())
        return pf::Image();
    if (hasAlpha)
        *hasAlpha = usesAlpha(bitmap);
    return pf::Image::fromBitmap(bitmap);
}
