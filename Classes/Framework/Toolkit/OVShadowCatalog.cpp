#include "Classes/Framework/Toolkit/OVShadowCatalog.h"

#include "Classes/Framework/Toolkit/OVStyleColor.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/PropertyList.h"

namespace {

// A number, or the number a text starts with; 0 otherwise.
double number(const QVariant& value)
{
    if (value.metaType().id() == QMetaType::QString)
        return value.toString().trimmed().toDouble();
    return value.toDouble();
}

} // namespace

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
    return OVStyleColor::fromText(
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
    shadow.color = OVStyleColor::fromText(description->value(QStringLiteral("color")).toString()).toQColor();
    shadow.offset = pf::Size(number(description->value(QStringLiteral("offset.x"))),
                             number(description->value(QStringLiteral("offset.y"))));
    shadow.blurRadius = number(description->value(QStringLiteral("radius")));
    return shadow;
}
