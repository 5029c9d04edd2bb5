#include "Classes/ToolObjects/PhotoTool.h"

#include "Classes/ToolObjects/GMBundleImage.h"

#include "Platform/Image/Color.h"
#include "Platform/Image/Filter.h"
#include "Platform/Image/Vector.h"

using namespace pf;

namespace {

// A fresh wrapper of the tool's effect, loaded with the tool's settings.
template <typename Wrapper>
std::shared_ptr<Wrapper> loaded(std::shared_ptr<Wrapper> wrapper, const QVariantMap& settings)
{
    wrapper->setValuesFromSettings(settings);
    return wrapper;
}

} // namespace

PhotoTool::PhotoTool(std::shared_ptr<GMEffectBlueprint> blueprint, const std::optional<QVariantMap>& settings)
    : m_blueprint(std::move(blueprint))
{
    QVariantMap initial;
    if (settings)
        initial = *settings;
    else if (m_blueprint)
        initial = m_blueprint->defaultSettingsValues();
    setSettings(initial, true);
}

void PhotoTool::setSettings(const QVariantMap& settings, bool saveState)
{
    for (auto it = settings.begin(); it != settings.end(); ++it)
        setValueForInputKey(it.value(), it.key());
    if (saveState)
        saveCurrentSettingsState();
}

QVariant PhotoTool::valueForInputKey(const QString& key) const
{
    if (!m_blueprint)
        return m_settings.value(key);
    return m_blueprint->valueForInputKey(key, m_settings);
}

bool PhotoTool::hasInputForInputKey(const QString& key) const
{
    return m_blueprint && m_blueprint->hasInputForInputKey(key);
}

QVariant PhotoTool::defaultBrushValueForKey(const QString& key) const
{
    return m_blueprint ? m_blueprint->defaultBrushValueForKey(key) : QVariant();
}

QStringList PhotoTool::brushTypes() const
{
    return m_blueprint ? m_blueprint->brushTypes() : QStringList();
}

std::shared_ptr<GMCompositionWrapper> PhotoTool::compositionFilter() const
{
    return m_blueprint ? loaded(m_blueprint->newCompositionFilter(), m_settings) : nullptr;
}

std::shared_ptr<GMContentFilterWrapper> PhotoTool::contentFilter() const
{
    return m_blueprint ? loaded(m_blueprint->newContentFilter(), m_settings) : nullptr;
}

Image PhotoTool::transparentImage(const Size& size)
{
    if (FilterPtr filter = Filter::create(QStringLiteral("GMAlphaBackgroundFilter"))) {
        filter->setValue(QVariant::fromValue(Vector(0, 0, size.width, size.height)),
                         QStringLiteral("inputSize"));
        const Image image = filter->outputImage();
        if (!image.isNull())
            return image;
    }
    return Image::constantColor(Color(0, 0, 0, 0)).imageByCroppingToRect(Rect(0, 0, size.width, size.height));
}

OVContentContainerPtr PhotoTool::contentContainerForSize(const Size& size) const
{
    auto container = std::make_shared<OVContentContainer>();
    container->imageContainer()->setImage(transparentImage(size));
    if (defaultBrushValueForKey(QStringLiteral("brushUsingAdditionalImage")).toBool())
        container->additionalImageContainer()->setImage(transparentImage(Size(1, 1)));
    return container;
}

Image PhotoTool::beardStubbleImage(const Size& size, double faceWidth)
{
    const double face = faceWidth > 0 ? faceWidth : 0.5;
    const Image texture = GMBundleImage::imageNamed(QStringLiteral("BeardStubble"));
    const double textureWidth = texture.isNull() ? 0 : texture.extent().width();
    FilterPtr tile = Filter::create(QStringLiteral("CIAffineTile"));
    if (!(textureWidth > 0) || !tile)
        return Image();
    const double scale = size.width * face / (2 * textureWidth);
    tile->setValue(QVariant::fromValue(texture), QStringLiteral("inputImage"));
    tile->setValue(QVariant::fromValue(AffineTransform::scale(scale, scale)),
                   QStringLiteral("inputTransform"));
    return tile->outputImage().imageByCroppingToRect(Rect(0, 0, size.width, size.height));
}
