#include "Classes/Frames/OVTextureCatalog.h"

#include "Classes/Framework/BundleORVExtension.h"
#include "Classes/Framework/StringORVExtension.h"
#include "Classes/Framework/Toolkit/OVLocalizeHelper.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Image/Filter.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace {

double number(const QString& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

} // namespace

OVTextureCatalog& OVTextureCatalog::sharedTextureCatalog()
{
    static OVTextureCatalog catalog(QStringLiteral("ORV-T"));
    return catalog;
}

const QStringList& OVTextureCatalog::sharedTextureNames()
{
    static const QStringList names = [] {
        QStringList entries = sharedTextureCatalog().textureIDNames();
        entries.removeDuplicates();
        entries << pf::localized(QStringLiteral("Paper -")) << pf::localized(QStringLiteral("Wood -"));
        std::stable_sort(entries.begin(), entries.end(), [](const QString& a, const QString& b) {
            return OVLocalizeHelper::localizedString(a) < OVLocalizeHelper::localizedString(b);
        });
        entries.prepend(QStringLiteral("-"));
        entries.prepend(pf::localized(QStringLiteral("Plain Color")));
        return entries;
    }();
    return names;
}

QVariantMap OVTextureCatalog::textureNameAttributes()
{
    const QStringList& textures = sharedTextureNames();
    return {{QStringLiteral("choices"), textures},
            {pf::FilterAttribute::Default, textures.isEmpty() ? QString() : textures.first()},
            {pf::FilterAttribute::Class, pf::FilterAttribute::ClassString}};
}

OVTextureCatalog::OVTextureCatalog(const QString& resourceType, const QStringList& resourcePaths)
{
    const QString folder = ORVExtension::directoryForResourceType(resourceType);
    QStringList files;
    if (resourcePaths.isEmpty()) {
        files = pf::Bundle::main().pathsForResourcesOfType(QStringLiteral("jpg"), folder);
    } else {
        for (const QString& root : resourcePaths) {
            const QDir dir(QDir(root).filePath(folder));
            for (const QString& entry : dir.entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name))
                files << dir.filePath(entry);
        }
    }
    // Sorted by file name, so that where two files share a name part the later one wins on every
    // machine, whatever order the folder lists them in.
    std::stable_sort(files.begin(), files.end(), [](const QString& a, const QString& b) {
        return QFileInfo(a).fileName() < QFileInfo(b).fileName();
    });
    for (const QString& file : files)
        addTextureWithFileName(file);
}

OVTextureDescription OVTextureCatalog::descriptionForOptions(const QString& path, const QString& optionsText)
{
    QString options = optionsText;
    double baseScale = 4.0;
    ORVExtension::HSV color{0.0, 1.0, 1.0};

    const qsizetype dollar = options.indexOf(QLatin1Char('$'));
    if (dollar >= 0) {
        baseScale = std::max(0.1, number(options.mid(dollar + 1)));
        options = options.left(dollar);
    }
    const qsizetype hash = options.indexOf(QLatin1Char('#'));
    if (hash >= 0) {
        const QStringList fields = options.mid(hash + 1).split(QLatin1Char('-'));
        if (fields.size() > 0 && !fields[0].isEmpty())
            color.hue = number(fields[0]) / 360.0;
        if (fields.size() > 1 && !fields[1].isEmpty())
            color.saturation = number(fields[1]) / 100.0;
        if (fields.size() > 2 && !fields[2].isEmpty())
            color.value = number(fields[2]) / 100.0;
        // The fourth number is a scale like the one after "$" and gets the same floor: a repeat count
        // of 0 would scale the texture to nothing.
        if (fields.size() > 3 && !fields[3].isEmpty())
            baseScale = std::max(0.1, number(fields[3]));
        options = options.left(hash);
    }
    quint64 sections = 1;
    if (!options.isEmpty()) {
        const QChar last = options.back();
        const int digit = last.isDigit() ? last.digitValue() : 0;
        if (digit != 0)
            options.chop(1);
        sections = quint64(std::clamp(digit, 1, 4));
    }
    bool repeating = false, shouldScale = false;
    if (!options.isEmpty()) {
        const QChar last = options.back();
        repeating = last == QLatin1Char('R');
        shouldScale = last == QLatin1Char('S');
    }
    return OVTextureDescription(path, sections, color, shouldScale, baseScale, repeating);
}

void OVTextureCatalog::addTextureWithFileName(const QString& path)
{
    const OVResourceInfo info = ORVExtension::resourceInfo(path);
    const QString idName = ORVExtension::resourceIDNameFor(info);
    const QString resourceID = ORVExtension::resourceIDForType(info.type(), info.index());
    auto description = std::make_shared<const OVTextureDescription>(
        descriptionForOptions(path, info.options().value_or(QString())));
    registerDisplayText(idName, info.name());
    m_textureIDNames.append(idName);
    m_textureNames.insert(info.name(), idName);
    m_textureIDs.insert(resourceID, idName);
    m_textureDetails.insert(idName, description);
}

std::shared_ptr<const OVTextureDescription> OVTextureCatalog::textureForName(QString& name) const
{
    if (auto found = m_textureDetails.value(name))
        return found;
    const OVResourceInfo info = ORVExtension::resourceInfo(name);
    // A bare resource ID ("ORV-T#010") has no "#" after its number to be parsed by.
    const QString resourceID =
        m_textureIDs.contains(name) ? name : ORVExtension::resourceIDForType(info.type(), info.index());
    if (m_textureIDs.contains(resourceID)) {
        name = m_textureIDs.value(resourceID);
        if (auto found = m_textureDetails.value(name))
            return found;
    }
    name = m_textureNames.value(info.name());
    if (name.isEmpty())
        return nullptr;
    return m_textureDetails.value(name);
}

QString OVTextureCatalog::displayTextForName(const QString& name)
{
    const qsizetype dash = name.indexOf(QLatin1Char('-'));
    if (dash <= 0)
        return name;
    QString rest = name.mid(dash + 1);
    rest.replace(QLatin1Char('-'), QLatin1Char(' '));
    return name.left(dash) + QStringLiteral(" - ") + rest;
}

void OVTextureCatalog::registerDisplayText(const QString& idName, const QString& name)
{
    if (!idName.isEmpty() && idName != name)
        OVLocalizeHelper::setLocalizedString(displayTextForName(name), idName);
}
