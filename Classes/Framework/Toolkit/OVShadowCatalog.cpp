#include "Classes/Framework/Toolkit/OVShadowCatalog.h"

#include "Classes/Framework/OVColor.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/NumberText.h"
#include "Platform/Foundation/PropertyList.h"

double OVShadowCatalog::numberValue(const QVariant& value)
{
    if (value.metaType().id() == QMetaType::QString)
        return pf::leadingNumberValue(value.toString());
    return value.toDouble();
}

OVShadowCatalog::OVShadowCatalog(const QString& path)
{
    if (path.isEmpty())
        return;
    const std::optional<QVariant> plist = pf::PropertyList::fromFile(path);
    if (plist && plist->metaType().id() == QMetaType::QVariantMap)
        m_shadows = plist->toMap();
}

std::optional<pf::Shadow> OVShadowCatalog::shadowWithName(const QString& name) const
{
    if (!m_shadows.contains(name))
        return std::nullopt;
    return shadowWithDescription(m_shadows.value(name).toMap());
}

std::optional<pf::PaintColor> OVShadowCatalog::textColorForShadowWithName(const QString& name) const
{
    if (!m_shadows.contains(name))
        return std::nullopt;
    return OVColor::colorFromDescription(
        m_shadows.value(name).toMap().value(QStringLiteral("textColor")).toString());
}

OVShadowCatalog& OVShadowCatalog::sharedShadowCatalog()
{
    static OVShadowCatalog shared(
        pf::Bundle::main().pathForResource(QStringLiteral("Shadows"), QStringLiteral("plist")));
    return shared;
}

std::optional<pf::Shadow>
OVShadowCatalog::shadowWithDescription(const std::optional<QVariantMap>& description)
{
    if (!description)
        return std::nullopt;
    pf::Shadow shadow;
    shadow.color =
        OVColor::colorFromDescription(description->value(QStringLiteral("color")).toString()).toQColor();
    shadow.offset = pf::Size(numberValue(description->value(QStringLiteral("offset.x"))),
                             numberValue(description->value(QStringLiteral("offset.y"))));
    shadow.blurRadius = numberValue(description->value(QStringLiteral("radius")));
    return shadow;
}
