#include "Classes/Filters/OVAffineTransformFilter.h"

#include "Classes/Filters/MaskFilterSupport.h"
#include "Platform/Foundation/Log.h"

#include <cmath>

using namespace pf;

namespace {

// The crop inputs hold a rectangle, or something else (the defaults are the number NO): anything
// but a rectangle counts as unset.
std::optional<Rect> rectangleInput(const QVariant& value)
{
    if (value.metaType() == QMetaType::fromType<Rect>())
        return value.value<Rect>();
    if (value.metaType() == QMetaType::fromType<Vector>() && value.value<Vector>().count() == 4)
        return value.value<Vector>().rect();
    return std::nullopt;
}

} // namespace

OVAffineTransformFilter::OVAffineTransformFilter(const QString& className) : OVFilter(className)
{
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputTransform"));
    declareInput(QStringLiteral("inputScale"), MaskFilterSupport::vectorAttributes(Vector(1, 1)));
    declareInput(QStringLiteral("inputAngle"), {{FilterAttribute::Default, 0.0}});
    declareInput(QStringLiteral("inputTranslation"), MaskFilterSupport::vectorAttributes(Vector(0, 0)));
    declareInput(QStringLiteral("inputKeepExtent"), {{FilterAttribute::Default, false}});
    declareInput(QStringLiteral("inputPreCropRect"), {{FilterAttribute::Default, false}});
    declareInput(QStringLiteral("inputCropRect"), {{FilterAttribute::Default, false}});
}

void OVAffineTransformFilter::registerClass()
{
    registerMember<OVAffineTransformFilter>(
        QStringLiteral("OVAffineTransformFilter"),
        {.inputKeys = {QStringLiteral("inputImage"), QStringLiteral("inputTransform"),
                       QStringLiteral("inputScale"), QStringLiteral("inputAngle"),
                       QStringLiteral("inputTranslation"), QStringLiteral("inputCropRect")}});
}

Point OVAffineTransformFilter::inputImageCenter() const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    if (image.isNull())
        return Point();
    const Rect extent = image.extent();
    if (extent.isInfinite()) {
        pf::warning(QStringLiteral("inputImage extent is infinite when center Point is requested "));
        return Point();
    }
    if (extent.isNull())
        return Point();
    return Point(extent.minX() + extent.width() / 2, extent.minY() + extent.height() / 2);
}

Vector OVAffineTransformFilter::inputScale() const
{
    if (!hasValue(QStringLiteral("inputScale")))
        return Vector(1, 1);
    return vectorValue(QStringLiteral("inputScale"));
}

AffineTransform OVAffineTransformFilter::inputTransform() const
{
    if (hasValue(QStringLiteral("inputTransform")))
        return transformValue(QStringLiteral("inputTransform"));
    const Point c = inputImageCenter();
    const Vector t = vectorValue(QStringLiteral("inputTranslation"));
    const Vector s = inputScale();
    const double degrees = numberValue(QStringLiteral("inputAngle"));
    // Each call acts before the earlier ones: subtract the centre, rotate, scale, add centre + offset.
    return AffineTransform()
        .translated(c.x + t.x(), c.y + t.y())
        .scaled(s.x(), s.y())
        .rotated(degrees * M_PI / 180.0)
        .translated(-c.x, -c.y);
}

QVariant OVAffineTransformFilter::value(const QString& key) const
{
    if (key == QLatin1String("inputTransform"))
        return QVariant::fromValue(inputTransform());
    if (key == QLatin1String("inputScale"))
        return QVariant::fromValue(inputScale());
    return OVFilter::value(key);
}

Image OVAffineTransformFilter::outputImage() const
{
    const Image image = imageValue(QStringLiteral("inputImage"));
    const Kernel k = kernel();
    if (image.isNull() || k.isNull())
        return Image();
    AffineTransform transform = inputTransform();
    const Rect source =
        rectangleInput(OVFilter::value(QStringLiteral("inputPreCropRect"))).value_or(image.extent());
    Rect crop =
        rectangleInput(OVFilter::value(QStringLiteral("inputCropRect"))).value_or(transform.map(source));
    // Without a crop an unbounded image has no rectangle to cut to.
    if (crop.isNull() || crop.isInfinite() || !std::isfinite(crop.width()) || !std::isfinite(crop.height()))
        return Image();
    crop = crop.standardized();
    if (!boolValue(QStringLiteral("inputKeepExtent"))) {
        transform = transform.concatenated(AffineTransform::translation(-crop.minX(), -crop.minY()));
        crop.origin = Point(0, 0);
    }
    ApplyOptions options;
    options.definition = crop;
    options.setExtent(arrayForRect(crop));
    return k.apply({QVariant::fromValue(image.imageByApplyingTransform(transform)),
                    QVariant::fromValue(vectorForRect(crop))},
                   options);
}

AffineTransform OVAffineTransformFilter::cgaffineTransformFromStruct(const std::array<double, 6>& n)
{
    AffineTransform t;
    t.a = n[0];
    t.b = n[1];
    t.c = n[2];
    t.d = n[3];
    t.tx = n[4];
    t.ty = n[5];
    return t;
}

QVariantList OVAffineTransformFilter::arrayFromCGAffineTransform(const AffineTransform& t)
{
    return {float(t.a), float(t.b), float(t.c), float(t.d), float(t.tx), float(t.ty)};
}
