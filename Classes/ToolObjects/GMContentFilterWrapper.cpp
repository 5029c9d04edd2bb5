#include "Classes/ToolObjects/GMContentFilterWrapper.h"

#include "Classes/ToolObjects/OVBrushFramework/OVContentContainer.h"
#include "Platform/Foundation/Size.h"
#include "Platform/Image/Vector.h"

#include <cmath>

using namespace pf;

namespace {

// The picture a canvas stands for: an image container's image, a mask container's mask, or an image.
Image canvasImage(const QVariant& value)
{
    if (value.metaType() == QMetaType::fromType<OVImageContainerPtr>()) {
        const OVImageContainerPtr container = value.value<OVImageContainerPtr>();
        return container ? container->image() : Image();
    }
    if (value.metaType() == QMetaType::fromType<OVContentContainerPtr>()) {
        const OVContentContainerPtr container = value.value<OVContentContainerPtr>();
        return container ? container->imageContainer()->image() : Image();
    }
    return value.value<Image>();
}

} // namespace

void GMContentFilterWrapper::setValueForInputKey(const QVariant& value, const QString& inputName)
{
    if (inputName == QLatin1String("imageSize")) {
        const Size size = value.value<Size>();
        setValueForExportKey(QVariant::fromValue(Vector(0, 0, size.width, size.height)),
                             QStringLiteral("imageSizeCIVector"));
        setConvertedValueForExportKey(size.width, QStringLiteral("imageSizeWidthPercentage"));
        setConvertedValueForExportKey(size.height, QStringLiteral("imageSizeHeightPercentage"));
        setConvertedValueForExportKey(size.width, QStringLiteral("imageSizeWidthPercentageOnlyMainChain"));
        m_imageWidth = size.width;
        updateFaceWidth();
    } else if (inputName == QLatin1String("faceWidth")) {
        m_faceWidth = value.toDouble();
        updateFaceWidth();
    } else if (inputName == QLatin1String("mask")) {
        setValueForExportKey(value, QStringLiteral("mask"));
    } else if (inputName == QLatin1String("canvas")) {
        setValueForExportKey(QVariant::fromValue(canvasImage(value)), QStringLiteral("mask"));
    } else if (inputName == QLatin1String("maskExtraImage")) {
        setValueForExportKey(value, QStringLiteral("maskExtraImage"));
    } else if (inputName == QLatin1String("originalImage")) {
        setValueForExportKey(value, QStringLiteral("originalImage"));
    } else if (inputName == QLatin1String("connectedDirtyRects")) {
        setValueForExportKey(value, QStringLiteral("connectedDirtyRects"));
    }
}

void GMContentFilterWrapper::updateFaceWidth()
{
    const double width =
        m_faceWidth > 0 && std::isfinite(m_faceWidth) ? m_faceWidth : DefaultFaceShare * m_imageWidth;
    setConvertedValueForExportKey(width, QStringLiteral("faceWidthPercentage"));
}

void GMContentFilterWrapper::setValuesFromMask(const Image& mask, const Image& additionalImage)
{
    setValueForInputKey(QVariant::fromValue(mask), QStringLiteral("mask"));
    if (!additionalImage.isNull())
        setValueForInputKey(QVariant::fromValue(additionalImage), QStringLiteral("maskExtraImage"));
}

void GMContentFilterWrapper::connect(const FilterPtr& source, const FilterPtr& target, const QString& key)
{
    if (source && target)
        target->setValue(source->value(OutputImageKey), key);
}

std::shared_ptr<GMContentFilterWrapper> GMContentFilterWrapper::copy() const
{
    auto other = std::make_shared<GMContentFilterWrapper>();
    copyInto(*other);
    other->m_imageWidth = m_imageWidth;
    other->m_faceWidth = m_faceWidth;
    return other;
}
