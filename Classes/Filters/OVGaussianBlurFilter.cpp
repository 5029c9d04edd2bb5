#include "Classes/Filters/OVGaussianBlurFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"

using namespace pf;

namespace {

const QString ImageKey = QStringLiteral("inputImage");
const QString RadiusKey = QStringLiteral("inputRadius");

} // namespace

OVGaussianBlurFilter::OVGaussianBlurFilter(const QString& className)
    : OVFilter(className), m_blur(Filter::create(QStringLiteral("CIGaussianBlur")))
{
    declareInput(ImageKey);
    declareInput(RadiusKey);
    declareInput(QStringLiteral("forceInside"));
}

void OVGaussianBlurFilter::registerClass()
{
    registerMember<OVGaussianBlurFilter>(QStringLiteral("OVGaussianBlurFilter"),
                                         {.inputKeys = {ImageKey, RadiusKey}});
}

QVariantMap OVGaussianBlurFilter::attributes() const
{
    return m_blur ? m_blur->attributes() : OVFilter::attributes();
}

void OVGaussianBlurFilter::setDefaults()
{
    if (m_blur)
        m_blur->setDefaults();
}

double OVGaussianBlurFilter::radius() const
{
    if (hasValue(RadiusKey))
        return numberValue(RadiusKey);
    const QVariant fallback =
        m_blur ? m_blur->attributesForKey(RadiusKey).value(FilterAttribute::Default) : 0.0;
    return fallback.toDouble();
}

Image OVGaussianBlurFilter::outputImage() const
{
    const Image image = imageValue(ImageKey);
    if (image.isNull() || !m_blur)
        return Image();
    const double r = radius();
    m_blur->setValue(r, RadiusKey);
    if (boolValue(QStringLiteral("forceInside"))) {
        const Image edges = FrameworkFilterSupport::builtin(QStringLiteral("CIAffineClamp"),
                                                            {{ImageKey, QVariant::fromValue(image)}});
        m_blur->setValue(QVariant::fromValue(edges), ImageKey);
        return m_blur->outputImage().imageByCroppingToRect(image.extent());
    }
    m_blur->setValue(QVariant::fromValue(image), ImageKey);
    const Image blurred = m_blur->outputImage();
    const Rect extent = blurred.extent();
    if (extent.width() + extent.height() >= 100000)
        return blurred.imageByCroppingToRect(image.extent().insetBy(-3 * r, -3 * r));
    return blurred;
}
