#include "Classes/Frames/OVFrameDescription.h"

#include "Classes/Frames/OVCombinedShadeDescription.h"
#include "Classes/Frames/OVTextureCatalog.h"
#include "Classes/Framework/BundleORVExtension.h"
#include "Classes/Framework/ColorORVExtension.h"
#include "Classes/Framework/StringORVExtension.h"
#include "Classes/Framework/Toolkit/UndoManagerORVExtension.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Foundation/UndoManager.h"

#include <algorithm>

namespace {

const QString IntensityUndoKey = QStringLiteral("shadeIntensityUndoDescription");

QString folderOf(const char* type)
{
    return ORVExtension::directoryForResourceType(QString::fromLatin1(type));
}

} // namespace

OVFrameDescription::OVFrameDescription(const QVariantMap& dictionary, const QString& baseURL, bool editable)
    : m_baseURL(baseURL), m_editable(editable)
{
    setName(dictionary.value(QStringLiteral("Name")).toString());
    setExternalMaskName(dictionary.value(QStringLiteral("ExternalMask")).toString());
    setInternalMaskName(dictionary.value(QStringLiteral("InternalMask")).toString());
    setImageMaskName(dictionary.value(QStringLiteral("ImageMask")).toString());
    setTextureName(dictionary.value(QStringLiteral("Texture")).toString());
    if (dictionary.contains(QStringLiteral("Texture.Color")))
        setTextureColor(pf::Color::fromString(dictionary.value(QStringLiteral("Texture.Color")).toString()));
    setTextureFillMode(qint32(quint32(dictionary.value(QStringLiteral("TextureFillMode")).toLongLong())));
    setInset(dictionary.value(QStringLiteral("Inset")).toDouble());
    for (const QVariant& entry : dictionary.value(QStringLiteral("Shades")).toList()) {
        const QVariantMap shade = entry.toMap();
        const QString shadeName = shade.value(QStringLiteral("Shade")).toString();
        const QString url = urlForShadeName(shadeName);
        if (url.isEmpty()) {
            pf::error(QStringLiteral("Did not find Shade '%1'").arg(shadeName));
            continue;
        }
        m_shades.push_back(
            std::make_shared<OVShadeDescription>(url, shade.value(QStringLiteral("BlendMode")).toString(),
                                                 shade.value(QStringLiteral("Intensity")).toDouble()));
    }
}

OVFrameDescription::~OVFrameDescription()
{
    if (m_undoManager)
        m_undoManager->removeAllActionsWithTarget(this);
}

void OVFrameDescription::setUndoManager(pf::UndoManager* manager)
{
    if (m_undoManager && m_undoManager != manager)
        m_undoManager->removeAllActionsWithTarget(this);
    m_undoManager = manager;
}

void OVFrameDescription::registerUndo(const QString& selector, std::function<void()> action)
{
    if (!m_undoManager)
        return;
    std::weak_ptr<const void> alive = lifetime();
    UndoManagerORVExtension::registerUndoWithTarget(*m_undoManager, this, selector, [alive, action] {
        if (!alive.expired())
            action();
    });
}

void OVFrameDescription::changed(unsigned flags)
{
    sendChangeNotification(flags);
    if (m_undoManager && (m_undoManager->isUndoing() || m_undoManager->isRedoing()))
        pf::NotificationCenter::defaultCenter().post(QStringLiteral("FrameUndo"), this);
}

void OVFrameDescription::sendChangeNotification(unsigned flags)
{
    // The joined stack must follow the shades whether anyone is told or not.
    if (flags & ShadeChanged) {
        m_optimizedShades.clear();
        m_hasOptimizedShades = false;
    }
    if (!m_undoManager)
        return;
    pf::NotificationCenter& center = pf::NotificationCenter::defaultCenter();
    if (flags & ShadeChanged)
        center.post(QStringLiteral("FrameShadeChanged"), this);
    if (flags & TextureChanged)
        center.post(QStringLiteral("FrameTextureChanged"), this);
    if (flags & MaskChanged)
        center.post(QStringLiteral("FrameMaskChanged"), this);
    center.post(QStringLiteral("FrameChanged"), this);
}

void OVFrameDescription::setImageMaskName(const QString& name)
{
    // A new name must not keep drawing the old mask.
    if (name != m_imageMaskName)
        m_cachedImageMask.reset();
    m_imageMaskName = name;
}

void OVFrameDescription::setTextureName(const QString& name)
{
    const QString old = m_textureName;
    registerUndo(QStringLiteral("setTextureName:"), [this, old] { setTextureName(old); });
    QString found = name;
    const auto texture = OVTextureCatalog::sharedTextureCatalog().textureForName(found);
    m_textureName = found;
    m_textureColor = texture ? ORVExtension::colorForHSV(texture->baseColor()) : pf::Color(0, 0, 0, 1);
    changed(TextureChanged);
}

void OVFrameDescription::setTextureColor(const pf::Color& color)
{
    setUndoably(m_textureColor, color, QStringLiteral("setTextureColor:"),
                &OVFrameDescription::setTextureColor);
    changed(TextureChanged);
}

void OVFrameDescription::setTextureFillMode(qint32 mode)
{
    setUndoably(m_textureFillMode, mode, QStringLiteral("setTextureFillModeValue:"),
                &OVFrameDescription::setTextureFillMode);
    changed(TextureChanged);
}

void OVFrameDescription::setExternalMaskName(const QString& name)
{
    setUndoably(m_externalMaskName, name, QStringLiteral("setExternalMaskName:"),
                &OVFrameDescription::setExternalMaskName);
    m_cachedMask.reset();
    changed(MaskChanged);
}

void OVFrameDescription::setInternalMaskName(const QString& name)
{
    setUndoably(m_internalMaskName, name, QStringLiteral("setInternalMaskName:"),
                &OVFrameDescription::setInternalMaskName);
    m_cachedMask.reset();
    changed(MaskChanged);
}

void OVFrameDescription::insertShade(const ShadePtr& shade, int index)
{
    if (!shade || index < 0 || index > int(m_shades.size()))
        return;
    registerUndo(QStringLiteral("undoAddShade:"), [this, shade] {
        const auto it = std::find(m_shades.begin(), m_shades.end(), shade);
        if (it != m_shades.end())
            removeShadeAtIndex(int(it - m_shades.begin()));
    });
    m_shades.insert(m_shades.begin() + index, shade);
    changed(ShadeChanged);
}

void OVFrameDescription::addShade(const ShadePtr& shade)
{
    insertShade(shade, int(m_shades.size()));
}

void OVFrameDescription::removeShadeAtIndex(int index)
{
    if (index < 0 || index >= int(m_shades.size()))
        return;
    const ShadePtr shade = m_shades[size_t(index)];
    registerUndo(QStringLiteral("undoRemoveShade:"), [this, shade, index] { insertShade(shade, index); });
    m_shades.erase(m_shades.begin() + index);
    changed(ShadeChanged);
}

void OVFrameDescription::setShadeName(const QString& shadeName, int index)
{
    if (index < 0 || index >= int(m_shades.size()))
        return;
    const ShadePtr& shade = m_shades[size_t(index)];
    const QString old = shade->name();
    registerUndo(QStringLiteral("undoSetShadeName:"), [this, old, index] { setShadeName(old, index); });
    shade->setImageURL(urlForShadeName(shadeName));
    changed(ShadeChanged);
}

void OVFrameDescription::setShadeBlendMode(const QString& blendMode, int index)
{
    if (index < 0 || index >= int(m_shades.size()))
        return;
    const ShadePtr& shade = m_shades[size_t(index)];
    const QString old = shade->blendMode();
    registerUndo(QStringLiteral("undoSetShadeBlendMode:"),
                 [this, old, index] { setShadeBlendMode(old, index); });
    shade->setBlendMode(blendMode);
    changed(ShadeChanged);
}

void OVFrameDescription::setShadeIntensity(double intensity, int index)
{
    if (index < 0 || index >= int(m_shades.size()))
        return;
    const ShadePtr& shade = m_shades[size_t(index)];
    if (m_undoManager) {
        const QVariantMap undo{{QStringLiteral("undoObject"), shade->intensity()},
                               {QStringLiteral("undoIndex"), index}};
        UndoManagerORVExtension::registerMouseAwareUndoWithTarget(*m_undoManager, *this, undo,
                                                                  IntensityUndoKey, false);
    }
    shade->setIntensity(intensity);
    changed(ShadeChanged);
}

QVariant OVFrameDescription::valueForKey(const QString& key) const
{
    Q_UNUSED(key);
    return {};
}

void OVFrameDescription::setValueForKey(const QVariant& value, const QString& key)
{
    if (key != IntensityUndoKey)
        return;
    const QVariantMap undo = value.toMap();
    setShadeIntensity(undo.value(QStringLiteral("undoObject")).toDouble(),
                      undo.value(QStringLiteral("undoIndex")).toInt());
}

QString OVFrameDescription::urlForResourceID(const QString& resourceID, const QString& folder) const
{
    if (resourceID.isEmpty())
        return {};
    return ORVExtension::URLForImageResourceIn(m_baseURL, resourceID, folder, QString()).toLocalFile();
}

QString OVFrameDescription::urlForShadeName(const QString& shadeName) const
{
    return urlForResourceID(shadeName, folderOf("FRM-S"));
}

QString OVFrameDescription::maskURL(const QString& name, const QString& type) const
{
    if (name.isEmpty())
        return {};
    return urlForResourceID(ORVExtension::resourceID(name), ORVExtension::directoryForResourceType(type));
}

std::shared_ptr<OVFrameImageDescription> OVFrameDescription::mask()
{
    if (m_cachedMask)
        return m_cachedMask;
    if (m_externalMaskName.isEmpty() && m_internalMaskName.isEmpty())
        return nullptr;
    const QString external = maskURL(m_externalMaskName, QStringLiteral("FRM-E"));
    const QString internal = maskURL(m_internalMaskName, QStringLiteral("FRM-I"));
    // Names whose files are gone leave the band plain rather than shaped by nothing.
    if (external.isEmpty() && internal.isEmpty())
        return nullptr;
    auto mask = std::make_shared<OVMaskDescription>(external, internal);
    if (mask->imageURL().isEmpty())
        return nullptr;
    m_cachedMask = mask;
    return m_cachedMask;
}

std::shared_ptr<OVFrameImageDescription> OVFrameDescription::imageMask()
{
    if (m_cachedImageMask)
        return m_cachedImageMask;
    const QString url = maskURL(m_imageMaskName, QStringLiteral("FRM-M"));
    if (url.isEmpty())
        return nullptr;
    m_cachedImageMask = std::make_shared<OVFrameImageDescription>(url);
    return m_cachedImageMask;
}

std::vector<OVFrameDescription::ShadePtr> OVFrameDescription::optimizedShades()
{
    if (m_shades.empty())
        return m_shades;
    if (m_hasOptimizedShades)
        return m_optimizedShades;
    std::vector<ShadePtr> result;
    ShadePtr current;
    for (const ShadePtr& shade : m_shades) {
        if (!OVCombinedShadeDescription::canJoint(*shade, current.get())) {
            if (current)
                result.push_back(current);
            current = shade;
            continue;
        }
        auto combined = std::dynamic_pointer_cast<OVCombinedShadeDescription>(current);
        if (!combined) {
            combined = std::make_shared<OVCombinedShadeDescription>(current->imageURL(), current->blendMode(),
                                                                    current->intensity());
            current = combined;
        }
        combined->addDescription(*shade);
    }
    if (current)
        result.push_back(current);
    m_optimizedShades = result;
    m_hasOptimizedShades = true;
    return m_optimizedShades;
}

QVariantMap OVFrameDescription::saveDictionary() const
{
    QVariantMap dictionary;
    dictionary.insert(QStringLiteral("Name"), m_name);
    if (!m_textureName.isEmpty())
        dictionary.insert(QStringLiteral("Texture"), m_textureName);
    dictionary.insert(QStringLiteral("Texture.Color"), m_textureColor.toString());
    dictionary.insert(QStringLiteral("TextureFillMode"), qint64(quint32(m_textureFillMode)));
    if (!m_externalMaskName.isEmpty())
        dictionary.insert(QStringLiteral("ExternalMask"), m_externalMaskName);
    if (!m_internalMaskName.isEmpty())
        dictionary.insert(QStringLiteral("InternalMask"), m_internalMaskName);
    if (!m_imageMaskName.isEmpty())
        dictionary.insert(QStringLiteral("ImageMask"), m_imageMaskName);
    dictionary.insert(QStringLiteral("Inset"), m_inset);
    if (!m_shades.empty()) {
        QVariantList shades;
        for (const ShadePtr& shade : m_shades)
            shades.append(QVariantMap{{QStringLiteral("Shade"), shade->name()},
                                      {QStringLiteral("BlendMode"), shade->blendMode()},
                                      {QStringLiteral("Intensity"), shade->intensity()}});
        dictionary.insert(QStringLiteral("Shades"), shades);
    }
    return dictionary;
}
