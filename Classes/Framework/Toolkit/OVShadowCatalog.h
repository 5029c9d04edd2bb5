#pragma once

#include "Platform/Image/PaintColor.h"
#include "Platform/UI/Drawing.h"

#include <QString>
#include <QVariantMap>
#include <optional>

// Named text and view shadows from a property list ("Shadows.plist" of the application for the shared
// catalog): per name a description with "color" (colour text; opaque black when missing), "offset.x",
// "offset.y" (points, y-up), "radius" (blur radius) and "textColor" (the colour of text drawn with the
// shadow; opaque black when missing). Numbers may be written as text. Unknown names give nothing.
class OVShadowCatalog
{
public:
    // A missing or unreadable file gives an empty catalog.
    explicit OVShadowCatalog(const QString& path);

    std::optional<pf::Shadow> shadowWithName(const QString& name) const;
    std::optional<pf::PaintColor> textColorForShadowWithName(const QString& name) const;
    bool contains(const QString& name) const { return m_shadows.contains(name); }
    QStringList names() const { return m_shadows.keys(); }

    static OVShadowCatalog& sharedShadowCatalog();
    // Any description of the catalog's form; nothing for none.
    static std::optional<pf::Shadow> shadowWithDescription(const std::optional<QVariantMap>& description);
    // A number of a description or a style: a number, or the number a text starts with (0 for none).
    static double numberValue(const QVariant& value);

private:
    QVariantMap m_shadows;
};
