#include "Classes/Frames/OVMaskDescription.h"

#include "Classes/Filters/OVCombineMaskFilter.h"
#include "Classes/Framework/BundleORVExtension.h"
#include "Classes/Framework/StringORVExtension.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

OVMaskDescription::OVMaskDescription(const QString& externalMaskPath, const QString& internalMaskPath)
{
    QString internal = internalMaskPath;
    if (internal.isEmpty() && !externalMaskPath.isEmpty()) {
        const QString base = QFileInfo(externalMaskPath).dir().absoluteFilePath(QStringLiteral(".."));
        internal = ORVExtension::URLForImageResourceIn(
                       QDir::cleanPath(base), QStringLiteral("FRM-I#000#"),
                       ORVExtension::directoryForResourceType(QStringLiteral("FRM-I")), QString())
                       .toLocalFile();
    }
    if (internal.isEmpty()) {
        // No opening to join with: the external mask alone shapes the band.
        setImageURL(externalMaskPath);
        return;
    }
    setImageURL(internal);
    m_opening = openingOfFile(internal);
    m_externalMaskURL = externalMaskPath;
    if (externalMaskPath.isEmpty())
        return;
    const OVResourceInfo info = ORVExtension::resourceInfo(externalMaskPath);
    const Options external = optionsFromString(info.options().value_or(QString()));
    // A width of 0 in a file name would make the scale infinite.
    m_scale = external.width / (width() != 0 ? width() : 1.0);
    m_innerCornerWidth = std::max(corner(), width());
    setGeometry({external.width, std::max(external.corner, corner()), std::max(external.repeatX, repeatX()),
                 std::max(external.repeatY, repeatY())});
}

OVMaskDescription::Opening OVMaskDescription::openingOfFile(const QString& internalMaskPath)
{
    const OVResourceInfo info = ORVExtension::resourceInfo(internalMaskPath);
    const QStringList fields = info.options().value_or(QString()).split(QLatin1Char('-'));
    for (qsizetype i = 4; i < fields.size(); ++i) {
        if (fields[i] == QLatin1String("O#oval"))
            return Opening::Oval;
        if (fields[i] == QLatin1String("O#arch"))
            return Opening::Arch;
    }
    return Opening::Rectangle;
}

pf::Image OVMaskDescription::image()
{
    if (!m_cachedImage.isNull() || m_externalMaskURL.isEmpty())
        return OVFrameImageDescription::image();
    const pf::Image internal = OVFrameImageDescription::image();
    const pf::Image external = pf::Image::fromFile(m_externalMaskURL);
    if (internal.isNull() || external.isNull())
        return internal;
    OVCombineMaskFilter filter;
    filter.setValue(QVariant::fromValue(internal), QStringLiteral("inputImage"));
    filter.setValue(QVariant::fromValue(external), QStringLiteral("inputBackgroundImage"));
    filter.setValue(m_scale, QStringLiteral("inputScale"));
    filter.setValue(m_innerCornerWidth, QStringLiteral("inputCornerRadius"));
    m_cachedImage = filter.outputImage();
    updateCacheTimer();
    return m_cachedImage;
}
