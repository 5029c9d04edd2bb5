#include "Classes/Frames/OVTexturedFrameFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Classes/Filters/OVAdjustableBlendFilter.h"
#include "Classes/Frames/OVCombinedShadeDescription.h"
#include "Classes/Frames/OVFrameBand.h"
#include "Classes/Frames/OVFrameCatalog.h"
#include "Classes/Frames/OVFrameRegions.h"
#include "Classes/Frames/OVMaskDescription.h"
#include "Classes/Frames/OVTextureCatalog.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Image/Sampler.h"
#include "Platform/UI/Timer.h"

#include <cmath>

using namespace pf;
using FrameworkFilterSupport::var;

namespace {

// The whole pixels inside a rectangle.
Rect wholePixels(const Rect& r)
{
    const double x = std::ceil(r.origin.x), y = std::ceil(r.origin.y);
    return Rect(x, y, std::floor(r.size.width - (x - r.origin.x)),
                std::floor(r.size.height - (y - r.origin.y)));
}

bool sameWholePixels(const Rect& a, const Rect& b)
{
    return std::round(a.origin.x - b.origin.x) == 0 && std::round(a.origin.y - b.origin.y) == 0 &&
           std::round(a.size.width - b.size.width) == 0 && std::round(a.size.height - b.size.height) == 0;
}

// A width of 0 in a part's file name must not make the scale infinite.
double nonZero(double value)
{
    return value != 0 && std::isfinite(value) ? value : 1.0;
}

Image applyIn(const Kernel& kernel, const QVariantList& arguments, const Rect& rect,
              OVFrameRegions::Region region = {})
{
    if (kernel.isNull())
        return Image();
    ApplyOptions options;
    options.definition = rect;
    options.extent = rect;
    options.regionOfInterest = std::move(region);
    return kernel.apply(arguments, options);
}

// The most pixels of a frame's rectangle whose texture layer is kept beside the frame.
constexpr double keptTextureArea = 4.0 * 1024 * 1024;

const QStringList& textureChoices()
{
    // Never destroyed: frames are set up on worker threads too, which may still run while the program exits.
    static const auto* choices = new QStringList(QStringList{QStringLiteral("Plain Color")} +
                                                 OVTextureCatalog::sharedTextureCatalog().textureIDNames());
    return *choices;
}

} // namespace

OVTexturedFrameFilter::OVTexturedFrameFilter(const QString& className)
    : OVFilter(className), m_texturize(std::make_unique<OVTexturizeFilter>())
{
    m_texturize->setImageIsMask(true);
    for (const char* key : {"inputImage", "inputFrameName", "inputTextureName", "inputColor",
                            "texturizeFilter.inputTextureName", "texturizeFilter.inputColor",
                            "canvasProportion", "forceInside"})
        declareInput(QString::fromLatin1(key));
    for (const auto& [key, attributes] : OVFrameBand::sizeInputs())
        declareInput(key, attributes);
    // A frame renamed in a catalog keeps being shown under its new name.
    m_renameObserver = NotificationCenter::defaultCenter().addObserver(
        QStringLiteral("OVFrameNameChanged"), nullptr, [this](const Notification& n) {
            if (!m_description)
                return;
            const QString frameID = n.userInfo.value(QStringLiteral("ID")).toString();
            const auto* catalog = static_cast<const OVFrameCatalog*>(n.sender);
            if (catalog && catalog->frameWithName(frameID) == m_description)
                OVFilter::setValue(n.userInfo.value(QStringLiteral("Name")),
                                   QStringLiteral("inputFrameName"));
        });
}

OVTexturedFrameFilter::~OVTexturedFrameFilter()
{
    if (m_updateTimer)
        m_updateTimer->invalidate();
}

void OVTexturedFrameFilter::registerClass()
{
    registerMember<OVTexturedFrameFilter>(
        QStringLiteral("OVTexturedFrameFilter"),
        {.inputKeys = {QStringLiteral("inputImage"), QStringLiteral("inputFrameName"),
                       QStringLiteral("inputTextureName"), QStringLiteral("inputWidth"),
                       QStringLiteral("inputTextureScale"), QStringLiteral("inputShadowWidth")},
         .copied = {QStringLiteral("texturizeFilter.inputTextureName"),
                    QStringLiteral("texturizeFilter.inputColor"), QStringLiteral("canvasProportion"),
                    QStringLiteral("forceInside")}});
}

QVariantMap OVTexturedFrameFilter::attributes() const
{
    QVariantMap all = OVFilter::attributes();
    all.insert(QStringLiteral("inputFrameName"), settingsForKey(QStringLiteral("inputFrameName")));
    all.insert(QStringLiteral("inputTextureName"),
               QVariantMap{{QStringLiteral("choices"), textureChoices()},
                           {FilterAttribute::Default, QStringLiteral("Plain Color")},
                           {FilterAttribute::Class, FilterAttribute::ClassString}});
    return all;
}

QVariantMap OVTexturedFrameFilter::settingsForKey(const QString& key) const
{
    if (key != QLatin1String("inputFrameName"))
        return OVFilter::settingsForKey(key);
    const QStringList names = OVFrameCatalog::allFrameNames();
    return {{QStringLiteral("choices"), names},
            {FilterAttribute::Default, names.value(0)},
            {FilterAttribute::Class, FilterAttribute::ClassString}};
}

QVariant OVTexturedFrameFilter::value(const QString& key) const
{
    if (key == QLatin1String("inputColor"))
        return QVariant::fromValue(m_texturize->inputColor());
    return OVFilter::value(key);
}

void OVTexturedFrameFilter::setValue(const QVariant& value, const QString& key)
{
    auto changed = [&] { return !hasValue(key) || OVFilter::value(key) != value; };
    if (key == QLatin1String("inputImage")) {
        Image image = value.value<Image>();
        if (image == imageValue(key))
            return;
        const Rect extent = image.isNull() ? Rect() : image.extent();
        if (!image.isNull() && FrameworkFilterSupport::hasArea(extent) && std::isfinite(extent.width()))
            image = image.imageByCroppingToRect(wholePixels(extent));
        if (image.isNull() || !sameWholePixels(image.extent(), m_lastExtent))
            dropMask();
        OVFilter::setValue(QVariant::fromValue(image), key);
        return;
    }
    if (key == QLatin1String("inputFrameName")) {
        const QString name = value.toString();
        OVFilter::setValue(name.isNull() ? QVariant() : QVariant(name), key);
        if (!name.isNull())
            setFrameDescription(OVFrameCatalog::frameWithNameInCatalogs(name));
        return;
    }
    if (key == QLatin1String("inputTextureName") ||
        key == QLatin1String("texturizeFilter.inputTextureName")) {
        OVFilter::setValue(value, key);
        m_texturize->setInputTextureName(value.toString());
        dropFrame();
        // Those who show this filter's settings hear of the texture's colour from this filter, not
        // from the texturize filter inside it.
        if (!value.toString().isNull())
            NotificationCenter::defaultCenter().post(QStringLiteral("ovfilterSettings"), this);
        return;
    }
    if (key == QLatin1String("inputColor") || key == QLatin1String("texturizeFilter.inputColor")) {
        OVFilter::setValue(value, key);
        // The tint the texture has already keeps the frame drawn with it.
        if (value.metaType() == QMetaType::fromType<Color>() &&
            m_texturize->inputColor() == value.value<Color>())
            return;
        m_texturize->setValue(value, QStringLiteral("inputColor"));
        dropFrame();
        return;
    }
    if (key == QLatin1String("inputWidth")) {
        // Written again with every new input by an effect that keeps it relative to the picture: the
        // same width keeps the mask (and with it frame and shadow).
        const double width = value.isValid() ? std::max(0.0001, value.toDouble()) : 0.0001;
        if (hasValue(key) && OVFilter::value(key) == QVariant(width))
            return;
        OVFilter::setValue(width, key);
        dropMask();
        return;
    }
    if (key == QLatin1String("inputTextureScale") && changed())
        dropFrame();
    if (key == QLatin1String("inputShadowWidth") && changed())
        m_cachedShadow = Image();
    // Both shape the mask.
    if ((key == QLatin1String("canvasProportion") || key == QLatin1String("forceInside")) && changed())
        dropMask();
    OVFilter::setValue(value, key);
}

const OVFrameDescriptionPtr& OVTexturedFrameFilter::frameDescription() const
{
    if (!m_description && !inputFrameName().isEmpty()) {
        // A copy has its frame's name but has not looked the frame up yet.
        auto* self = const_cast<OVTexturedFrameFilter*>(this);
        self->setFrameDescription(OVFrameCatalog::frameWithNameInCatalogs(inputFrameName()));
        for (const char* key : {"texturizeFilter.inputTextureName", "texturizeFilter.inputColor"})
            if (hasValue(QString::fromLatin1(key)))
                self->setValue(OVFilter::value(QString::fromLatin1(key)), QString::fromLatin1(key));
    }
    return m_description;
}

void OVTexturedFrameFilter::setFrameDescription(const OVFrameDescriptionPtr& description)
{
    m_observers.clear();
    m_description = description;
    if (m_description)
        observe();
    if (m_description) {
        m_texturize->setInputTextureName(m_description->textureName());
        m_texturize->setInputColor(m_description->textureColor());
    }
    dropFrame();
    dropMask();
}

void OVTexturedFrameFilter::observe()
{
    NotificationCenter& center = NotificationCenter::defaultCenter();
    const void* sender = m_description.get();
    m_observers.push_back(
        center.addObserver(QStringLiteral("FrameTextureChanged"), sender, [this](const Notification&) {
            m_texturize->setInputTextureName(m_description->textureName());
            m_texturize->setTextureFillMode(m_description->textureFillMode());
            m_texturize->setInputColor(m_description->textureColor());
            dropFrame();
            scheduleUpdate();
        }));
    m_observers.push_back(
        center.addObserver(QStringLiteral("FrameMaskChanged"), sender, [this](const Notification&) {
            m_cachedMask = Image();
            scheduleUpdate();
        }));
    m_observers.push_back(
        center.addObserver(QStringLiteral("FrameShadeChanged"), sender, [this](const Notification&) {
            // The texture under the shades stays.
            m_cachedFrame = Image();
            scheduleUpdate();
        }));
}

void OVTexturedFrameFilter::scheduleUpdate()
{
    if (m_updateDelay == -1.0) {
        updateTimed();
        return;
    }
    if (m_updateTimer && m_updateTimer->isValid())
        return;
    m_updateTimer = Timer::scheduled(m_updateDelay, false, [this](Timer&) { updateTimed(); });
}

void OVTexturedFrameFilter::updateTimed()
{
    if (m_updateTimer) {
        m_updateTimer->invalidate();
        m_updateTimer.reset();
    }
    NotificationCenter::defaultCenter().post(QStringLiteral("ovfilterupdate"), this);
    NotificationCenter::defaultCenter().post(QStringLiteral("ovfilterSettings"), this);
}

void OVTexturedFrameFilter::forceUpdate()
{
    dropMask();
}

void OVTexturedFrameFilter::dropFrame() const
{
    m_cachedFrame = Image();
    m_cachedBase = Image();
}

void OVTexturedFrameFilter::dropMask() const
{
    setCachedMask(Image());
}

void OVTexturedFrameFilter::setCachedMask(const Image& mask) const
{
    if (mask == m_cachedMask)
        return;
    m_cachedMask = mask;
    // The shades are laid around the mask's rectangle.
    m_shadeLayers.clear();
    if (mask.isNull()) {
        m_opening = Rect::null();
        m_maskPixels = Bitmap();
        m_bandParts.clear();
        m_curved.reset();
    }
    dropFrame();
    m_cachedShadow = Image();
    if (!mask.isNull()) {
        const Image input = imageValue(QStringLiteral("inputImage"));
        m_lastExtent = input.isNull() ? Rect() : input.extent();
    }
}

double OVTexturedFrameFilter::borderWidth() const
{
    return numberValue(QStringLiteral("inputWidth"), 0.0001) *
           numberValue(QStringLiteral("canvasProportion"), 1.0);
}

Vector OVTexturedFrameFilter::repeatsVectorForFrame(OVFrameImageDescription& part, const Size& size, double s)
{
    const Image image = part.image();
    const Rect extent = image.isNull() ? Rect(0, 0, 0, 0) : image.extent();
    const Size corner = part.cornerSize();
    auto axis = [&](quint64 n, double length, double imageLength, double cornerLength) {
        if (n == 0)
            return 1.0;
        double denominator = (imageLength - 2 * cornerLength) * s;
        // A part image all corners has no middle to count: one copy spans the side.
        if (!(denominator > 0) || !std::isfinite(denominator))
            denominator = 1;
        const double a = (length - 2 * cornerLength * s) / denominator;
        return std::max(1.0, std::round(double(n) * a)) / double(n);
    };
    return Vector(axis(part.repeatX(), size.width, extent.width(), corner.width),
                  axis(part.repeatY(), size.height, extent.height(), corner.height));
}

Image OVTexturedFrameFilter::cachedMask() const
{
    if (!m_cachedMask.isNull())
        return m_cachedMask;
    const auto& description = frameDescription();
    const Image input = imageValue(QStringLiteral("inputImage"));
    if (!description || input.isNull() || !FrameworkFilterSupport::hasArea(input.extent()))
        return Image();
    const double B = std::max(1.0, std::round(borderWidth()));
    const double inset = boolValue(QStringLiteral("forceInside")) ? 1.0 : description->inset();
    const double grow = (1 - inset) * B;
    const Rect extent = input.extent();
    const Rect rect = wholePixels(Rect(extent.origin.x - grow, extent.origin.y - grow,
                                       extent.size.width + 2 * grow, extent.size.height + 2 * grow));
    const auto part = description->mask();
    const auto* shaped = dynamic_cast<const OVMaskDescription*>(part.get());
    const int curved = shaped ? int(shaped->opening()) : 0;
    const Image image = part && !curved ? part->image() : Image();
    Image mask;
    Rect opening;
    // The mask for a strip of the band: a part image laid on the processor over that strip only.
    OVFrameBand::RecipeForPart maskFor;
    m_curvedOpening = curved;
    m_curvedWidth = B;
    std::vector<Rect> parts;
    bool curvedPlainBand = false;
    if (curved) {
        // The outer silhouette laid as any part (all of the rectangle without one), the opening cut
        // out of it for the frame's own proportions.
        Image band = Image::constantColor(Color(1, 1, 1, 1)).imageByCroppingToRect(rect);
        bool plainBand = true;
        if (!shaped->externalMaskURL().isEmpty()) {
            OVFrameImageDescription external(shaped->externalMaskURL());
            if (const Image outer = external.image(); !outer.isNull()) {
                const double s = B / nonZero(external.width());
                const Size corner = external.cornerSize();
                band =
                    applyIn(kernelWithName(QStringLiteral("drawFrame")),
                            {QVariant::fromValue(Vector::fromRect(rect)), QVariant::fromValue(Sampler(outer)),
                             QVariant::fromValue(Vector(corner.width, corner.height)), s,
                             QVariant::fromValue(repeatsVectorForFrame(external, rect.size, s))},
                            rect, OVFrameRegions::frameRegion(outer));
                plainBand = false;
            }
        }
        mask = applyIn(kernelWithName(QStringLiteral("cutOpening")),
                       {QVariant::fromValue(Sampler(band)), QVariant::fromValue(Vector::fromRect(rect)), B,
                        double(curved)},
                       rect);
        opening = OVFrameBand::curvedOpening(rect, B, curved);
        // Worked out around the curve (not around the largest rectangle inside it), with the outline's
        // geometry found once for the mask and every shade.
        m_curved = OVCurvedOpening::make(rect, B, curved);
        const std::shared_ptr<const OVCurvedOpening> shape = m_curved;
        if (shape)
            parts = shape->bandParts();
        curvedPlainBand = plainBand;
        maskFor = [mask, shape, plainBand](const Rect& strip) {
            return shape && plainBand ? shape->cutOnCpu(mask, strip) : mask;
        };
    } else if (!image.isNull()) {
        const double s = B / nonZero(part->width());
        const Vector repeats = repeatsVectorForFrame(*part, rect.size, s);
        const Size corner = part->cornerSize();
        mask = applyIn(kernelWithName(QStringLiteral("drawFrame")),
                       {QVariant::fromValue(Vector::fromRect(rect)), QVariant::fromValue(Sampler(image)),
                        QVariant::fromValue(Vector(corner.width, corner.height)), s,
                        QVariant::fromValue(repeats)},
                       rect, OVFrameRegions::frameRegion(image));
        opening = OVFrameBand::partOpening(image, corner, s, repeats, rect);
        maskFor = [=](const Rect& strip) {
            return OVFrameBand::laidOnCpu(mask, image, corner, s, repeats, rect, strip);
        };
    } else {
        mask = applyIn(kernelWithName(QStringLiteral("lineBorder")),
                       {QVariant::fromValue(Vector::fromRect(rect)), B}, rect);
        opening = OVFrameBand::lineOpening(rect, B);
        maskFor = [mask](const Rect&) { return mask; };
    }
    if (parts.empty())
        parts = OVFrameBand::partsAround(rect, opening);
    // Kept as grey pixels of the band (the mask is grey, and zero in the opening), so that neither the
    // frame drawn over it nor a later render works out the mask again.
    m_maskPixels = Bitmap();
    const std::shared_ptr<const OVCurvedOpening> shape = m_curved;
    // A curved opening over a plain band is worked out whole at once, not a strip of the band at a time.
    const Image pixels =
        mask.isNull() ? Image()
        : shape && curvedPlainBand
            ? shape->maskPixels(&m_maskPixels)
            : OVFrameBand::pixelsIn(maskFor, rect, parts, Bitmap::Format::Gray8, 0, &m_maskPixels);
    setCachedMask(pixels.isNull() ? mask : pixels);
    m_opening = pixels.isNull() ? Rect::null() : opening;
    m_bandParts = pixels.isNull() ? std::vector<Rect>{rect} : parts;
    m_curved = shape;
    return m_cachedMask;
}

Image OVTexturedFrameFilter::cachedShadow() const
{
    const double width = numberValue(QStringLiteral("inputShadowWidth"));
    if (!m_cachedShadow.isNull() || !(width > 0))
        return m_cachedShadow;
    const Image mask = cachedMask();
    const Image input = imageValue(QStringLiteral("inputImage"));
    if (mask.isNull() || input.isNull())
        return Image();
    const Rect extent = input.extent();
    const double radius = OVFrameBand::shadowRadius(width, extent);
    const Kernel factorKernel = kernelWithName(QStringLiteral("shadowFactor"));
    const auto factorOf = [&](const Image& shadow) {
        return OVFrameBand::shadowFactor(factorKernel, shadow);
    };
    Image factor;
    // A wide disc is averaged on a smaller mask, as the blur itself would do it, but the smaller mask is
    // made once from the kept pixels (block means) and its blur worked out once: what the picture's
    // pixels read is then one enlarged read of those few pixels.
    const int k = radius > 12 && !m_maskPixels.isNull() ? int(std::floor(radius / 6)) : 1;
    if (k > 1) {
        const Image small = Image::fromBitmap(OVFrameBand::shrunk(m_maskPixels, k));
        const double smallRadius = radius / k;
        const Image blurred = FrameworkFilterSupport::invertedBlurOfMask(
            QStringLiteral("CIDiscBlur"), small, smallRadius,
            small.extent().insetBy(-std::ceil(smallRadius) - 2, -std::ceil(smallRadius) - 2));
        const Image smallFactor =
            OVFrameBand::pixels(factorOf(blurred), blurred.extent(), Rect::null(), Bitmap::Format::Gray8);
        if (!smallFactor.isNull())
            factor = smallFactor
                         .imageByApplyingTransform(AffineTransform::scale(k, k).concatenated(
                             AffineTransform::translation(mask.extent().minX(), mask.extent().minY())))
                         .imageByCroppingToRect(extent);
    }
    if (factor.isNull())
        factor = factorOf(
            FrameworkFilterSupport::invertedBlurOfMask(QStringLiteral("CIDiscBlur"), mask, radius, extent));
    // Worked out only along the band: farther in than the blur reaches the shadow keeps the picture as
    // it is, a factor of 1.
    const double reach = 2 * std::ceil(radius) + 8;
    m_cachedShadow = OVFrameBand::keptShadow(
        factor, extent, m_opening.isNull() ? Rect::null() : m_opening.insetBy(reach, reach));
    return m_cachedShadow;
}

Image OVTexturedFrameFilter::cachedFrame() const
{
    if (!m_cachedFrame.isNull())
        return m_cachedFrame;
    const Image mask = cachedMask();
    const auto& description = frameDescription();
    if (mask.isNull() || !description)
        return Image();
    const Rect rect = mask.extent();
    const double b = borderWidth();
    const double scale = numberValue(QStringLiteral("inputTextureScale"), 1.0);
    m_texturize->setTextureFillMode(description->textureFillMode());
    const Image texture = m_texturize->inputTexture();
    double width = scale * numberValue(QStringLiteral("canvasProportion"), 1.0);
    if (m_texturize->scaleTexture() && description->textureFillMode() == 1 && !texture.isNull()) {
        const Rect t = texture.extent();
        // One section of the texture comes out as high as the scaled border.
        width = (scale * b) / (t.height() / double(m_texturize->textureSections())) * t.width() *
                m_texturize->textureBaseRepeats();
    }
    Image base = m_cachedBase;
    if (base.isNull()) {
        m_texturize->setInputTextureWidth(width);
        m_texturize->setInputImage(mask);
        base = m_texturize->outputImage();
        // Around a picture of a preview's size the texture is kept apart as well, so that a shade's
        // change (a drag of its intensity in the builder) lays the shades again over it and no more.
        if (!base.isNull() && rect.width() * rect.height() <= keptTextureArea) {
            const bool opaque = !m_maskPixels.isNull();
            const auto textureFor = [this, opaque](const Rect& strip) {
                return m_texturize->outputImage(strip, opaque);
            };
            if (const Image pixels =
                    OVFrameBand::pixelsIn(textureFor, rect, m_bandParts, Bitmap::Format::RGBA8);
                !pixels.isNull())
                base = m_cachedBase = pixels;
        }
    }
    // A small frame keeps each shade laid around it as pixels, by its file, and lays the shades one by
    // one: a change of a shade's intensity or blend then blends the kept layers again, where the joined
    // stack (which saves work on a large frame) would be joined and laid out anew.
    const bool small = rect.width() * rect.height() <= keptTextureArea;
    // Joined shades would lose which of them follow a curved opening and which the outer edge.
    const std::vector<OVFrameDescription::ShadePtr> shades =
        small || m_curvedOpening ? description->shades() : description->optimizedShades();
    struct Laid
    {
        OVFrameDescription::ShadePtr shade;
        Image recipe; // the kernel's
        Image part;
        Size corner;
        double scale;
        Vector repeats;
        Image kept;          // its pixels, for a small frame
        bool curved = false; // laid along a curved opening
    };
    // A shade laid over a strip of the band, its pixels worked out on the processor where they can be.
    const std::shared_ptr<const OVCurvedOpening> curve = m_curved;
    std::vector<Laid> laid;
    // Shades along a curved opening with the same corners, scale and repeats are read at the same
    // places: the first of them worked out over a strip lays the others in the same pass.
    const auto together = [&laid](const Laid& l) {
        std::vector<Image> parts;
        for (const Laid& other : laid)
            if (other.curved && other.kept.isNull() && other.corner == l.corner && other.scale == l.scale &&
                other.repeats == l.repeats)
                parts.push_back(other.part);
        return parts;
    };
    const auto laidOver = [&curve, &together](const Laid& l, const Rect& rect, const Rect& strip) {
        if (l.curved)
            return curve ? curve->laidAlongOnCpu(l.recipe, l.part, l.corner, l.scale, l.repeats, strip,
                                                 strip.isNull() ? std::vector<Image>() : together(l))
                         : l.recipe;
        return OVFrameBand::laidOnCpu(l.recipe, l.part, l.corner, l.scale, l.repeats, rect, strip);
    };
    QHash<QString, Image> layers;
    for (const auto& shade : shades) {
        if (auto* combined = dynamic_cast<OVCombinedShadeDescription*>(shade.get()))
            combined->fixImages();
        Laid l{shade,
               Image(),
               Image(),
               Size(),
               0,
               Vector(),
               small ? m_shadeLayers.value(shade->imageURL()) : Image()};
        if (l.kept.isNull()) {
            l.part = shade->image();
            if (l.part.isNull())
                continue;
            l.scale = b / nonZero(shade->width());
            l.repeats = repeatsVectorForFrame(*shade, rect.size, l.scale);
            l.corner = shade->cornerSize();
            QVariantList arguments{QVariant::fromValue(Vector::fromRect(rect)),
                                   QVariant::fromValue(Sampler(l.part)),
                                   QVariant::fromValue(Vector(l.corner.width, l.corner.height)), l.scale,
                                   QVariant::fromValue(l.repeats)};
            l.curved = m_curvedOpening && !shade->followsOuterEdge();
            if (l.curved)
                arguments << m_curvedWidth << double(m_curvedOpening);
            l.recipe = applyIn(
                kernelWithName(l.curved ? QStringLiteral("drawFrameAlong") : QStringLiteral("drawFrame")),
                arguments, rect, OVFrameRegions::frameRegion(l.part));
            if (small) {
                const auto layerFor = [&laidOver, &l, &rect](const Rect& strip) {
                    return laidOver(l, rect, strip);
                };
                if (const Image pixels =
                        OVFrameBand::pixelsIn(layerFor, rect, m_bandParts, Bitmap::Format::RGBA8);
                    !pixels.isNull())
                    l.kept = pixels;
            }
        }
        if (small)
            layers.insert(shade->imageURL(), l.kept.isNull() ? l.recipe : l.kept);
        laid.push_back(l);
    }
    m_shadeLayers = layers;
    // The shades blended over the texture, for a strip of the band (or the whole rectangle): a shade not
    // kept as pixels is laid on the processor over that strip only.
    const Image textured = base;
    const bool texturePixels = !m_cachedBase.isNull();
    OVTexturizeFilter::HiddenRun hiddenRun;
    if (curve && !m_maskPixels.isNull()) {
        const int left = int(rect.minX()), bottom = int(rect.minY());
        hiddenRun = [curve, left, bottom](int y) {
            const std::pair<int, int> run = curve->deepRun(y - bottom);
            return run.first < run.second ? std::pair{left + run.first, left + run.second} : std::pair{0, 0};
        };
    }
    const auto frameFor = [&](const Rect& strip) {
        // The texture, too, is filled on the processor over the strip only, unless it is kept.
        // (The mask kept as grey pixels reads as opaque over its rectangle.)
        // Deep inside a curved opening the mask is 0 and hides the frame: no texture is worked out there.
        Image result = texturePixels || strip.isNull()
                           ? textured
                           : m_texturize->outputImage(strip, !m_maskPixels.isNull(), hiddenRun);
        for (const Laid& l : laid) {
            const Image layer = !l.kept.isNull() ? l.kept
                                : strip.isNull() ? l.recipe
                                                 : laidOver(l, rect, strip);
            if (result.isNull()) {
                result = layer;
                continue;
            }
            OVAdjustableBlendFilter blend;
            blend.setInputImage(layer);
            blend.setInputBackgroundImage(result);
            blend.setInputBlendName(l.shade->blendMode());
            blend.setInputIntensity(l.shade->intensity());
            result = blend.outputImage();
        }
        return result;
    };
    const Image whole = frameFor(Rect::null());
    // The band's pixels: the opening is masked out of the output, so nothing is drawn there.
    const Image pixels =
        whole.isNull() ? Image() : OVFrameBand::pixelsIn(frameFor, rect, m_bandParts, Bitmap::Format::RGBA8);
    m_cachedFrame = pixels.isNull() ? whole : pixels;
    if (curve)
        curve->releaseReads();
    return m_cachedFrame;
}

Image OVTexturedFrameFilter::outputImage() const
{
    const Image input = imageValue(QStringLiteral("inputImage"));
    if (input.isNull())
        return Image();
    // A picture without bounds has no edge to frame.
    if (!frameDescription() || !FrameworkFilterSupport::hasArea(input.extent()) ||
        input.extent().isInfinite() || input.extent().width() > 1e9 || input.extent().height() > 1e9)
        return input;
    const Image mask = cachedMask();
    const Image frame = cachedFrame();
    if (mask.isNull() || frame.isNull())
        return input;
    const Image shadow = cachedShadow();
    const Image picture =
        OVFrameBand::shadowed(kernelWithName(QStringLiteral("innerMultiply")), input, shadow);
    return FrameworkFilterSupport::builtin(QStringLiteral("CIBlendWithMask"),
                                           {{QStringLiteral("inputImage"), var(frame)},
                                            {QStringLiteral("inputBackgroundImage"), var(picture)},
                                            {QStringLiteral("inputMaskImage"), var(mask)}});
}
