#include "Classes/ToolObjects/GMCompositionWrapper.h"

#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/Size.h"
#include "Platform/Image/Vector.h"

using namespace pf;

void GMCompositionWrapper::setValueForInputKey(const QVariant& value, const QString& inputName)
{
    if (inputName == QLatin1String("imageSize")) {
        const Size size = value.value<Size>();
        setValueForExportKey(QVariant::fromValue(Vector(0, 0, size.width, size.height)),
                             QStringLiteral("imageSizeCIVector"));
    } else if (inputName == QLatin1String("mask")) {
        setValueForExportKey(value, QStringLiteral("mask"));
    } else if (inputName == QLatin1String("originalImage")) {
        setValueForExportKey(value, QStringLiteral("originalImage"));
    }
}

Image GMCompositionWrapper::outputImage() const
{
    if (generatedCIFilter())
        pf::log(QStringLiteral("generatedLayerFilter %1").arg(generatedCIFilter()->description()));
    return GMFilterWrapper::outputImage();
}

std::shared_ptr<GMCompositionWrapper> GMCompositionWrapper::copy() const
{
    auto other = std::make_shared<GMCompositionWrapper>();
    copyInto(*other);
    return other;
}
