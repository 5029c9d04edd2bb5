#pragma once

#include "Classes/Frames/OVMaskDescription.h"
#include "Classes/Frames/OVShadeDescription.h"
#include "Platform/Foundation/KeyValueCoding.h"
#include "Platform/Image/Color.h"

#include <QString>
#include <QVariantMap>
#include <memory>
#include <vector>

namespace pf {
class UndoManager;
}

// One picture frame: a texture tinted to a colour fills the band that the masks shape, and a stack of
// shades (bottom first) is blended over it. Its dictionary form is the unit of the frame catalogs'
// files. With an undo manager set, the editing operations below register their undo and post
// "FrameShadeChanged" (1), "FrameTextureChanged" (2), "FrameMaskChanged" (4) and then "FrameChanged"
// with the frame as sender; without one they only change the value. Main thread only.
class OVFrameDescription : public pf::KeyValueCoding
{
public:
    using ShadePtr = std::shared_ptr<OVShadeDescription>;

    enum ChangeFlag : unsigned
    {
        ShadeChanged = 1,
        TextureChanged = 2,
        MaskChanged = 4
    };

    // `baseURL` is the frames bundle's folder, whose resource folders hold the shades and masks.
    OVFrameDescription(const QVariantMap& dictionary, const QString& baseURL, bool editable);
    ~OVFrameDescription() override;

    const QString& baseURL() const { return m_baseURL; }
    bool isEditable() const { return m_editable; }

    const QString& name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    const QString& textureName() const { return m_textureName; }
    const pf::Color& textureColor() const { return m_textureColor; }
    qint32 textureFillMode() const { return m_textureFillMode; }
    const QString& externalMaskName() const { return m_externalMaskName; }
    const QString& internalMaskName() const { return m_internalMaskName; }
    const QString& imageMaskName() const { return m_imageMaskName; }
    void setImageMaskName(const QString& name);
    double inset() const { return m_inset; }
    void setInset(double inset) { m_inset = inset; }
    const std::vector<ShadePtr>& shades() const { return m_shades; }

    pf::UndoManager* undoManager() const { return m_undoManager; }
    void setUndoManager(pf::UndoManager* manager);

    // Undoable.
    void setTextureName(const QString& name);
    void setTextureColor(const pf::Color& color);
    void setTextureFillMode(qint32 mode);
    void setExternalMaskName(const QString& name);
    void setInternalMaskName(const QString& name);
    void insertShade(const ShadePtr& shade, int index);
    void addShade(const ShadePtr& shade);
    void removeShadeAtIndex(int index);
    void setShadeName(const QString& shadeName, int index);
    void setShadeBlendMode(const QString& blendMode, int index);
    // A drag of an intensity control is one undo step.
    void setShadeIntensity(double intensity, int index);

    // Null when no mask is set or no mask file is found (the band is then drawn plain).
    std::shared_ptr<OVFrameImageDescription> mask();
    std::shared_ptr<OVFrameImageDescription> imageMask();
    // The stack with adjacent joinable shades joined; cached until the next shade change.
    std::vector<ShadePtr> optimizedShades();
    bool hasOptimizedShades() const { return m_hasOptimizedShades; }
    QVariantMap saveDictionary() const;

    // The first image file under the base URL in `folder` whose name starts with the ID (or ID name).
    QString urlForResourceID(const QString& resourceID, const QString& folder) const;
    QString urlForShadeName(const QString& shadeName) const;

    void sendChangeNotification(unsigned flags);

    // Undo of intensity changes ("shadeIntensityUndoDescription").
    QVariant valueForKey(const QString& key) const override;
    void setValueForKey(const QVariant& value, const QString& key) override;

private:
    void registerUndo(const QString& selector, std::function<void()> action);
    // Stores the value, registering (as `selector`) the undo that gives `setter` the old one back.
    template <typename T, typename Setter>
    void setUndoably(T& member, const T& value, const QString& selector, Setter setter)
    {
        const T old = member;
        registerUndo(selector, [this, old, setter] { (this->*setter)(old); });
        member = value;
    }
    void changed(unsigned flags);
    QString maskURL(const QString& name, const QString& type) const;

    QString m_baseURL;
    std::shared_ptr<OVFrameImageDescription> m_cachedMask;
    std::shared_ptr<OVFrameImageDescription> m_cachedImageMask;
    std::vector<ShadePtr> m_shades;
    std::vector<ShadePtr> m_optimizedShades;
    bool m_hasOptimizedShades = false;
    bool m_editable = false;
    qint32 m_textureFillMode = 0;
    QString m_name;
    QString m_textureName;
    pf::Color m_textureColor{0, 0, 0, 1};
    QString m_externalMaskName;
    QString m_internalMaskName;
    QString m_imageMaskName;
    double m_inset = 0.0;
    pf::UndoManager* m_undoManager = nullptr;
};

using OVFrameDescriptionPtr = std::shared_ptr<OVFrameDescription>;
