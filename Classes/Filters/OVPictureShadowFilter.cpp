#include "Classes/Filters/OVPictureShadowFilter.h"

#include "Classes/Filters/FilterArtwork.h"
#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Platform/Foundation/NumberText.h"

#include <cmath>

using namespace pf;
using FrameworkFilterSupport::var;

namespace {

const QString ImageKey = QStringLiteral("inputImage");
const QString ShadowNameKey = QStringLiteral("inputShadowName");

} // namespace

OVPictureShadowFilter::OVPictureShadowFilter(const QString& className) : OVFilter(className)
{
    declareInput(ImageKey);
    declareInput(ShadowNameKey, FilterArtwork::choiceAttributes(FilterArtwork::ShadowType));
}

void OVPictureShadowFilter::setValue(const QVariant& value, const QString& key)
{
    OVFilter::setValue(value, key);
    if (key == ShadowNameKey)
        loadShadow(value.isValid() ? value.toString() : QString());
}

void OVPictureShadowFilter::loadShadow(const QString& name)
{
    if (name.isNull()) {
        m_shadowMargin = Size();
        m_shadowImage = Image();
        return;
    }
    const FilterArtwork::Found found =
        FilterArtwork::lookUpReported(FilterArtwork::ShadowType, name, QString(), 2, QStringLiteral("Shadow"),
                                      QStringLiteral("Shadow Picture"));
    OVFilter::setValue(found.idName, ShadowNameKey);
    if (found.path.isEmpty()) {
        m_shadowImage = Image();
        m_shadowMargin = Size();
        return;
    }
    if (found.options.size() == 2)
        m_shadowMargin = Size(leadingNumberValue(found.options[0]), leadingNumberValue(found.options[1]));
    m_shadowImage = FilterArtwork::read(found.path);
}

void OVPictureShadowFilter::copyStateTo(Filter& other) const
{
    OVFilter::copyStateTo(other);
    if (auto* shadow = dynamic_cast<OVPictureShadowFilter*>(&other)) {
        shadow->m_shadowImage = m_shadowImage;
        shadow->m_shadowMargin = m_shadowMargin;
    }
}

std::optional<AffineTransform> OVPictureShadowFilter::placement(const Rect& picture, double shadowWidth,
                                                                const Size& margin)
{
    const double span = shadowWidth - margin.width;
    if (!FrameworkFilterSupport::hasArea(picture) || !std::isfinite(span) || !(span > 0) ||
        !std::isfinite(margin.height))
        return std::nullopt;
    const double s = picture.width() / span;
    return AffineTransform::translation(picture.minX() - margin.width * s, picture.minY() - margin.height * s)
        .scaled(s, s);
}

Image OVPictureShadowFilter::outputImage() const
{
    const Image image = imageValue(ImageKey);
    if (image.isNull())
        return Image();
    if (m_shadowImage.isNull())
        return image;
    const std::optional<AffineTransform> t =
        placement(image.extent(), m_shadowImage.extent().width(), m_shadowMargin);
    if (!t)
        return image;
    return FrameworkFilterSupport::builtin(
        QStringLiteral("CISourceOverCompositing"),
        {{ImageKey, var(image)},
         {QStringLiteral("inputBackgroundImage"), var(m_shadowImage.imageByApplyingTransform(*t))}});
}
