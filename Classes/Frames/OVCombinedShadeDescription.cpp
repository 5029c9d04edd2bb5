#include "Classes/Frames/OVCombinedShadeDescription.h"

#include "Classes/Filters/OVCombineFilter.h"
#include "Classes/Framework/ImageORVExtension.h"
#include "Classes/Framework/Toolkit/OVTempCleaner.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/ImageFile.h"
#include "Platform/Image/RenderContext.h"

#include <QFile>
#include <algorithm>

namespace {

OVCombineFilter& combineFilter()
{
    static OVCombineFilter filter;
    return filter;
}

bool sameOrZero(double a, double b)
{
    return a == b || a == 0 || b == 0;
}

bool geometryJoins(const OVShadeDescription& a, const OVShadeDescription& b)
{
    return a.width() == b.width() && sameOrZero(a.corner(), b.corner()) &&
           sameOrZero(double(a.repeatX()), double(b.repeatX())) &&
           sameOrZero(double(a.repeatY()), double(b.repeatY()));
}

} // namespace

OVCombinedShadeDescription::OVCombinedShadeDescription(const QString& shadePath, const QString& blendMode,
                                                       double intensity)
    : OVShadeDescription(shadePath, blendMode, intensity)
{
    const QString temporary = OVTempCleaner::tempURLWithExtension(QStringLiteral("png"));
    QFile source(shadePath);
    if (source.copy(temporary)) {
        OVTempCleaner::sharedTempCleaner().addURL(temporary);
        const Options geometry{width(), corner(), repeatX(), repeatY()};
        // The copy's name carries no options: the geometry stays the shade file's own.
        setImageURL(temporary);
        setGeometry(geometry);
        m_hasOwnFile = true;
    } else {
        pf::warning(QStringLiteral("Could not copy file '%1' to '%2 because of '%3'")
                        .arg(shadePath, temporary, source.errorString()));
    }
}

OVCombinedShadeDescription::~OVCombinedShadeDescription() = default;

bool OVCombinedShadeDescription::canJoint(const OVShadeDescription& a, const OVShadeDescription* b)
{
    return b && a.blendMode() == b->blendMode() && OVCombineFilter::isCombinableBlendMode(a.blendMode()) &&
           geometryJoins(a, *b);
}

bool OVCombinedShadeDescription::canAddDescription(const OVShadeDescription& shade) const
{
    return blendMode() == shade.blendMode() && geometryJoins(*this, shade);
}

void OVCombinedShadeDescription::addDescription(OVShadeDescription& shade)
{
    // The joined image is exact only when laid at full intensity: a shade laid at intensity i acts as
    // the shade scaled by i, but laying the join at the larger of two intensities does not scale each
    // part by its own. So each part is weighed by its own intensity here and the join is laid at 1.
    OVCombineFilter& filter = combineFilter();
    filter.setBlendMode(blendMode());
    filter.setValue(QVariant::fromValue(image()), QStringLiteral("inputBackgroundImage"));
    filter.setValue(intensity(), QStringLiteral("inputBackgroundIntensity"));
    filter.setValue(QVariant::fromValue(shade.image()), QStringLiteral("inputImage"));
    filter.setValue(shade.intensity(), QStringLiteral("inputIntensity"));
    m_cachedImage = filter.outputImage();
    // The filter is shared: it must not keep the images alive.
    filter.setValue(QVariant::fromValue(pf::Image()), QStringLiteral("inputBackgroundImage"));
    filter.setValue(QVariant::fromValue(pf::Image()), QStringLiteral("inputImage"));
    setIntensity(1.0);
    setGeometry({width(), std::max(corner(), shade.corner()), std::max(repeatX(), shade.repeatX()),
                 std::max(repeatY(), shade.repeatY())});
    m_hasChanges = true;
    m_needsFixing = true;
    updateCacheTimer();
}

void OVCombinedShadeDescription::fixImages()
{
    if (!m_needsFixing)
        return;
    m_cachedImage = ORVExtension::fixedImage(image());
    m_needsFixing = false;
}

void OVCombinedShadeDescription::clearCachedImage()
{
    stopCacheTimer();
    if (!m_hasChanges) {
        m_cachedImage = pf::Image();
        return;
    }
    if (!m_hasOwnFile || m_cachedImage.isNull())
        return;
    const auto bitmap = pf::RenderContext::shared()->render(m_cachedImage, m_cachedImage.extent());
    if (bitmap && pf::ImageFile::writePNG(*bitmap, imageURL()))
        m_hasChanges = false;
    else
        pf::warning(QStringLiteral("Could not write the joined shade '%1'").arg(imageURL()));
}
