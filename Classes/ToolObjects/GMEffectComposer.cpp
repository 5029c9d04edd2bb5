#include "Classes/ToolObjects/GMEffectComposer.h"

#include "Classes/ToolObjects/GMCompositionWrapper.h"
#include "Classes/ToolObjects/GMContentFilterWrapper.h"
#include "Classes/ToolObjects/GMEffectBlueprint.h"
#include "Classes/ToolObjects/PhotoTool.h"
#include "Platform/Foundation/Size.h"

using namespace pf;

Image GMEffectComposer::composedImage(const GMEffectBlueprint& effect, const Image& photo, const Image& mask,
                                      const Image& additionalImage, const QVariantMap& settings,
                                      QString* problem, double faceWidth)
{
    QVariantMap values = effect.defaultSettingsValues();
    for (auto it = settings.begin(); it != settings.end(); ++it)
        values.insert(it.key(), it.value());
    const Rect extent = photo.extent();

    auto content = effect.newContentFilter();
    content->setValuesFromSettings(values);
    content->setValueForInputKey(QVariant::fromValue(photo), QStringLiteral("originalImage"));
    content->setValueForInputKey(QVariant::fromValue(Size(extent.width(), extent.height())),
                                 QStringLiteral("imageSize"));
    content->setValueForInputKey(faceWidth, QStringLiteral("faceWidth"));
    content->setValuesFromMask(mask, additionalImage);
    const Image layer = content->outputImage();
    if (layer.isNull()) {
        if (problem)
            *problem = QStringLiteral("the content graph gives no image");
        return Image();
    }
    auto composition = effect.newCompositionFilter();
    composition->setValuesFromSettings(values);
    composition->generatedCIFilter()->setValue(QVariant::fromValue(layer), QStringLiteral("inputImage"));
    composition->generatedCIFilter()->setValue(QVariant::fromValue(photo),
                                               QStringLiteral("inputBackgroundImage"));
    const Image result = composition->generatedCIFilter()->outputImage();
    if (result.isNull() && problem)
        *problem = QStringLiteral("the composition graph gives no image");
    return result;
}

Image GMEffectComposer::preparedAdditionalImage(const GMEffectBlueprint& effect, const Size& size,
                                                double faceWidth)
{
    if (!effect.defaultBrushValueForKey(QStringLiteral("brushUsingAdditionalImage")).toBool())
        return Image();
    if (effect.defaultBrushValueForKey(QStringLiteral("drawType")).toString() == QLatin1String("beard"))
        return PhotoTool::beardStubbleImage(size, faceWidth);
    return PhotoTool::transparentImage(size);
}
