#include "Classes/Frames/OVTexturizeFilter.h"

#include "Classes/Filters/FrameworkFilterSupport.h"
#include "Classes/Filters/OVAdjustableBlendFilter.h"
#include "Classes/Frames/OVFrameBand.h"
#include "Classes/Frames/OVFrameRegions.h"
#include "Classes/Frames/OVTextureCatalog.h"
#include "Classes/Framework/ImageORVExtension.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/Image/CpuRendering.h"
#include "Platform/Image/ImageFile.h"
#include "Platform/Image/KernelMath.h"
#include "Platform/Image/RenderStatistics.h"
#include "Platform/Image/Sampler.h"
#include "Platform/Image/Vector.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <algorithm>
#include <cmath>
#include <list>
#include <mutex>

using namespace pf;

namespace {

const QString PlainColor = QStringLiteral("Plain Color");

// A texture name outside the catalog is a picture in the temporary folder only as "folder/file"
// without "..", and only when it resolves inside that folder.
QString temporaryTexturePath(const QString& name)
{
    const QStringList parts = name.split(QLatin1Char('/'));
    if (parts.size() != 2 || parts.contains(QStringLiteral("..")) || parts.contains(QStringLiteral(".")) ||
        parts[0].isEmpty() || parts[1].isEmpty() || name.contains(QLatin1Char('\\')))
        return {};
    const QString root = QFileInfo(QDir::tempPath()).canonicalFilePath();
    const QString path = QFileInfo(QDir(root).filePath(name)).canonicalFilePath();
    if (root.isEmpty() || path.isEmpty() || !path.startsWith(root + QLatin1Char('/')))
        return {};
    return path;
}

// A picture used as a texture is worked out whole (it is tiled), so its tinted copy must fit what the
// renderer works out in one piece: a larger one (a 12000 x 8000 photo) made the render fail. It is
// read reduced to this many pixels at most; its width as it was keeps how large it is drawn.
constexpr double largestTextureSide = 2048;
constexpr double largestTextureArea = 2048.0 * 1536.0;

// The picture at `path` as a texture, and its width as stored; null when it is no picture.
std::pair<Image, double> texturePicture(const QString& path)
{
    const Bitmap bitmap = ImageFile::read(path);
    if (bitmap.isNull() || bitmap.width() < 1 || bitmap.height() < 1)
        return {};
    const double w = bitmap.width(), h = bitmap.height();
    const double scale =
        std::min({1.0, largestTextureSide / std::max(w, h), std::sqrt(largestTextureArea / (w * h))});
    if (scale >= 1.0)
        return {Image::fromBitmap(bitmap), w};
    const QSize reduced(std::max(1, int(std::lround(w * scale))), std::max(1, int(std::lround(h * scale))));
    // The mean of each reduced pixel's area.
    return {
        Image::fromQImage(bitmap.toQImage().scaled(reduced, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)),
        w};
}

// Tiles of tinted textures at the scale drawn, as pixels, shared by every filter of the process: a
// frame or border made anew (another effect, a copy, the builder's next frame) with a texture, tint
// and size already drawn takes the tile instead of working the texture out again. The most recent
// few are kept.
class SharedTiles
{
public:
    static std::pair<Image, Bitmap> find(const QString& key)
    {
        std::lock_guard<std::mutex> lock(mutex());
        auto& list = entries();
        for (auto it = list.begin(); it != list.end(); ++it)
            if (it->key == key) {
                list.splice(list.begin(), list, it);
                return {list.front().tile, list.front().bitmap};
            }
        return {};
    }
    static void insert(const QString& key, const Image& tile, const Bitmap& bitmap, double bytes)
    {
        constexpr double budget = 64.0 * 1024 * 1024;
        if (bytes > budget / 4)
            return;
        std::lock_guard<std::mutex> lock(mutex());
        auto& list = entries();
        list.push_front({key, tile, bitmap, bytes});
        double total = 0;
        size_t kept = 0;
        for (auto it = list.begin(); it != list.end();) {
            total += it->bytes;
            if (++kept > 8 || total > budget)
                it = list.erase(it);
            else
                ++it;
        }
    }

private:
    struct Entry
    {
        QString key;
        Image tile;
        Bitmap bitmap;
        double bytes;
    };
    static std::mutex& mutex()
    {
        static std::mutex m;
        return m;
    }
    static std::list<Entry>& entries()
    {
        static std::list<Entry> list;
        return list;
    }
};

} // namespace

OVTexturizeFilter::OVTexturizeFilter(const QString& className) : OVFilter(className)
{
    declareInput(QStringLiteral("inputImage"));
    declareInput(QStringLiteral("inputTextureName"));
    declareInput(QStringLiteral("inputTextureWidth"), {{FilterAttribute::Default, 0.0}});
    declareInput(QStringLiteral("inputCompositeName"));
    declareInput(QStringLiteral("inputColor"));
    declareInput(QStringLiteral("imageIsMask"));
}

void OVTexturizeFilter::registerClass()
{
    registerMember<OVTexturizeFilter>(
        QStringLiteral("OVTexturizeFilter"),
        {.inputKeys = {QStringLiteral("inputImage"), QStringLiteral("inputTextureName"),
                       QStringLiteral("inputTextureWidth"), QStringLiteral("inputCompositeName")},
         .copied = {QStringLiteral("inputColor"), QStringLiteral("imageIsMask")}});
}

QVariantMap OVTexturizeFilter::attributes() const
{
    QVariantMap all = OVFilter::attributes();
    all.insert(QStringLiteral("inputTextureName"), OVTextureCatalog::textureNameAttributes());
    const QStringList modes = OVAdjustableBlendFilter::blendModeNames();
    all.insert(QStringLiteral("inputCompositeName"),
               QVariantMap{{QStringLiteral("choices"), modes},
                           {FilterAttribute::Default, modes.isEmpty() ? QString() : modes.first()},
                           {FilterAttribute::Class, FilterAttribute::ClassString}});
    return all;
}

void OVTexturizeFilter::setValue(const QVariant& value, const QString& key)
{
    if (key == QLatin1String("inputTextureName")) {
        setInputTextureName(value.toString());
        return;
    }
    if (key == QLatin1String("inputColor")) {
        // The same tint keeps the tinted texture.
        if (!(value.metaType() == QMetaType::fromType<Color>() && hasValue(key) &&
              inputColor() == value.value<Color>()))
            m_cachedTexture = Image();
        OVFilter::setValue(value, key);
        return;
    }
    OVFilter::setValue(value, key);
}

QString OVTexturizeFilter::resolve(const QString& requested, TextureState& state, Color* tint)
{
    state = TextureState();
    if (requested.isEmpty())
        return {};
    QString name = requested;
    if (const auto texture = OVTextureCatalog::sharedTextureCatalog().textureForName(name)) {
        state.texture = texture->image();
        state.source = name;
        state.sections = std::max<quint64>(1, texture->sections());
        state.scaleTexture = texture->shouldScale();
        state.baseRepeats = texture->baseScale();
        state.hsv = texture->baseColor();
        state.noTextureShift = texture->repeating();
        if (tint)
            *tint = ORVExtension::colorForHSV(state.hsv);
    } else {
        name.clear();
        if (tint)
            *tint = Color(1, 1, 1, 1);
        const QString path = temporaryTexturePath(requested);
        if (!path.isEmpty()) {
            const auto [image, storedWidth] = texturePicture(path);
            if (!image.isNull() && image.extent().width() > 0) {
                name = requested;
                state.texture = image;
                state.source = name;
                const Color average = ORVExtension::averageColor(image).value_or(Color(1, 1, 1, 1));
                const Color opaque(average.red(), average.green(), average.blue(), 1);
                if (tint)
                    *tint = opaque;
                state.hsv = ORVExtension::hsv(opaque);
                // Drawn as large as the picture at its own width would be.
                state.baseRepeats = 2048.0 / storedWidth;
            }
        } else if (requested != PlainColor) {
            pf::warning(QStringLiteral("Unknown texture '%1'").arg(requested));
        }
    }
    state.hsv.saturation = std::max(0.01, state.hsv.saturation);
    state.hsv.value = std::max(0.01, state.hsv.value);
    return name;
}

void OVTexturizeFilter::setInputTextureName(const QString& requested)
{
    Color tint;
    const QString name = resolve(requested, m_state, &tint);
    m_resolvedName = name;
    m_resolved = true;
    OVFilter::setValue(name.isEmpty() ? QVariant() : QVariant(name), QStringLiteral("inputTextureName"));
    setInputColor(tint);
    if (!name.isEmpty())
        NotificationCenter::defaultCenter().post(QStringLiteral("ovfilterSettings"), this);
}

void OVTexturizeFilter::ensureResolved() const
{
    const QString stored = stringValue(QStringLiteral("inputTextureName"));
    if (m_resolved && stored == m_resolvedName)
        return;
    m_resolvedName = resolve(stored, m_state, nullptr);
    m_resolved = true;
    m_cachedTexture = Image();
}

QString OVTexturizeFilter::inputTextureName() const
{
    const QString name = stringValue(QStringLiteral("inputTextureName"));
    return name.isEmpty() ? PlainColor : name;
}

Color OVTexturizeFilter::inputColor() const
{
    return hasValue(QStringLiteral("inputColor")) ? colorValue(QStringLiteral("inputColor"))
                                                  : Color(1, 1, 1, 1);
}

void OVTexturizeFilter::setInputColor(const Color& color)
{
    setValue(QVariant::fromValue(color), QStringLiteral("inputColor"));
}

void OVTexturizeFilter::setInputTexture(const Image& texture)
{
    ensureResolved();
    m_state = TextureState();
    m_state.texture = texture;
    m_cachedTexture = Image();
}

void OVTexturizeFilter::setInputTextureWidth(double width)
{
    if (!hasValue(QStringLiteral("inputTextureWidth")) || inputTextureWidth() != width)
        setValue(width, QStringLiteral("inputTextureWidth"));
}

Image OVTexturizeFilter::cachedTexture() const
{
    ensureResolved();
    if (!m_cachedTexture.isNull())
        return m_cachedTexture;
    const Color tint = inputColor();
    if (m_state.texture.isNull()) {
        m_cachedTexture =
            FrameworkFilterSupport::builtin(QStringLiteral("CIConstantColorGenerator"),
                                            {{QStringLiteral("inputColor"), QVariant::fromValue(tint)}})
                .imageByCroppingToRect(Rect(0, 0, 100, 100));
        return m_cachedTexture;
    }
    const ORVExtension::HSV own = m_state.hsv;
    const ORVExtension::HSV wanted = ORVExtension::hsv(tint);
    const Vector adjust(wanted.hue - own.hue, wanted.saturation / std::max(0.01, own.saturation),
                        wanted.value / std::max(0.01, own.value));
    // A grey tint has no hue of its own: it keeps the texture's.
    const Vector shift = wanted.saturation == 0 ? Vector(0, adjust.y(), adjust.z()) : adjust;
    m_cachedTexture = FrameworkFilterSupport::applyOver(
        kernelWithName(QStringLiteral("tintTexture")),
        {QVariant::fromValue(Sampler(m_state.texture)), QVariant::fromValue(shift), tint.alpha()},
        m_state.texture);
    return m_cachedTexture;
}

Image OVTexturizeFilter::outputImage() const
{
    const Image input = imageValue(QStringLiteral("inputImage"));
    if (input.isNull())
        return Image();
    const Image texture = cachedTexture();
    if (texture.isNull() || !FrameworkFilterSupport::hasArea(input.extent()))
        return input;
    const double width = texture.extent().width();
    double k = (inputTextureWidth() / width) / m_state.baseRepeats;
    // A width never set (0) or out of range would scale the texture to nothing or to infinity.
    if (!std::isfinite(k) || k <= 0)
        return input;
    // Below a pixel a tile shows no detail, and reading a whole texture for a fraction of a pixel is
    // more than the renderer can plan: such tiles are drawn one pixel in size.
    k = std::max(k, 1.0 / std::min(width, texture.extent().height()));
    const Rect tile(0, 0, width * k, texture.extent().height() * k);
    if (m_tileTexture != texture || m_tileScale != k || m_tile.isNull()) {
        const Color tint = inputColor();
        const QString key = m_state.source.isEmpty() ? QString()
                                                     : QStringLiteral("%1|%2 %3 %4 %5|%6")
                                                           .arg(m_state.source)
                                                           .arg(tint.red(), 0, 'g', 17)
                                                           .arg(tint.green(), 0, 'g', 17)
                                                           .arg(tint.blue(), 0, 'g', 17)
                                                           .arg(tint.alpha(), 0, 'g', 17)
                                                           .arg(k, 0, 'g', 17);
        const auto [shared, sharedBitmap] =
            key.isEmpty() ? std::pair<Image, Bitmap>() : SharedTiles::find(key);
        const Rect read(-1, -1, tile.width() + 2, tile.height() + 2);
        m_tileRead = read;
        m_tileOrigin = Point(read.integral().minX(), read.integral().minY());
        if (!shared.isNull()) {
            m_tile = shared;
            m_tileBitmap = sharedBitmap;
        } else {
            const Image moved = texture.imageByApplyingTransform(
                AffineTransform::translation(-texture.extent().origin.x, -texture.extent().origin.y));
            const Image tiled =
                FrameworkFilterSupport::builtin(
                    QStringLiteral("CIAffineTile"),
                    {{QStringLiteral("inputImage"), QVariant::fromValue(moved)},
                     {QStringLiteral("inputTransform"), QVariant::fromValue(AffineTransform::scale(k, k))}})
                    // The kernels read one tile and the pixel around it that bilinear sampling reaches.
                    .imageByCroppingToRect(read);
            // Every part of a large shape reads the whole tile: made once into pixels (while tint,
            // texture and scale stay), it is not worked out again for each part the renderer draws.
            const bool small = read.width() * read.height() <= 16.0 * 1024 * 1024;
            m_tileBitmap = Bitmap();
            const Image pixels = small ? OVFrameBand::pixels(tiled, read, Rect::null(), Bitmap::Format::RGBA8,
                                                             0, &m_tileBitmap)
                                       : Image();
            m_tile = pixels.isNull() ? tiled : pixels.imageByCroppingToRect(read);
            if (pixels.isNull())
                m_tileBitmap = Bitmap();
            if (!pixels.isNull() && !key.isEmpty())
                SharedTiles::insert(key, m_tile, m_tileBitmap, read.width() * read.height() * 4);
        }
        m_tileTexture = texture;
        m_tileScale = k;
    }
    const Image tiled = m_tile;
    QVariantList arguments{QVariant::fromValue(Sampler(input)), QVariant::fromValue(Sampler(tiled))};
    QString kernelName;
    if (m_textureFillMode == 1) {
        kernelName = QStringLiteral("drawTexture");
        arguments << QVariant::fromValue(Vector::fromRect(input.extent()))
                  << QVariant::fromValue(Vector(tile.width(), tile.height())) << double(m_state.sections);
    } else {
        kernelName =
            m_state.noTextureShift ? QStringLiteral("drawPattern") : QStringLiteral("drawPatternShifted");
        arguments << QVariant::fromValue(Vector(tile.width(), tile.height()));
    }
    const Image result = FrameworkFilterSupport::applyOver(kernelWithName(kernelName), arguments, input,
                                                           OVFrameRegions::textureRegion(tile));
    if (boolValue(QStringLiteral("imageIsMask")))
        return result;
    OVAdjustableBlendFilter blend;
    blend.setInputImage(result);
    blend.setInputBackgroundImage(input);
    blend.setInputBlendName(stringValue(QStringLiteral("inputCompositeName")));
    return blend.outputImage();
}

QString OVTexturizeFilter::description() const
{
    auto yes = [](bool b) { return b ? QStringLiteral("YES") : QStringLiteral("NO"); };
    const Image input = imageValue(QStringLiteral("inputImage"));
    return QStringLiteral("<%1>").arg(className()) +
           QStringLiteral("\nInputImage: %1\nInputTexture: %2\nInputColor: %3\ninputTextureName: %4\n"
                          "InputTextureWidth: %5\nInputCompositeName: %6\nInputImageisMask: %7\n")
               .arg(input.isNull() ? QStringLiteral("(null)") : QStringLiteral("image"),
                    inputTexture().isNull() ? QStringLiteral("(null)") : QStringLiteral("image"),
                    inputColor().toString(), inputTextureName(), QString::number(inputTextureWidth()),
                    stringValue(QStringLiteral("inputCompositeName")),
                    yes(boolValue(QStringLiteral("imageIsMask")))) +
           QStringLiteral(
               "TextureFillMode: %1 – TextureBaseRepeats: %2 – TextureSections: %3 – ScaleTexture: %4 – "
               "noTextureShift: %5")
               .arg(m_textureFillMode)
               .arg(textureBaseRepeats(), 0, 'f', 6)
               .arg(textureSections())
               .arg(yes(scaleTexture()), yes(noTextureShift()));
}

Image OVTexturizeFilter::outputImage(const Rect& within, bool opaqueShape, const HiddenRun& hidden) const
{
    const Image result = outputImage();
    const Image input = imageValue(QStringLiteral("inputImage"));
    if (result.isNull() || input.isNull() || !boolValue(QStringLiteral("imageIsMask")) ||
        m_tileBitmap.isNull() || m_tileBitmap.format() != Bitmap::Format::RGBA8 ||
        !RenderStatistics::cpuFiltersEnabled() || within.isNull() || result == input)
        return result;
    const Rect extent = input.extent();
    const Rect bounds = within.integral().intersected(extent.integral());
    if (bounds.isNull() || bounds.isEmpty() || !std::isfinite(bounds.width()) ||
        !std::isfinite(bounds.height()))
        return result;
    // The shape's coverage: 1 over the extent of an opaque one, else the alpha of its pixels.
    const std::optional<CpuRendering::Placed> shape =
        opaqueShape ? std::optional<CpuRendering::Placed>(CpuRendering::Placed{})
                    : CpuRendering::placedBitmap(input);
    if (!shape || (!opaqueShape && shape->bitmap.format() != Bitmap::Format::RGBA8))
        return result;
    const Image texture = cachedTexture();
    const double k = (inputTextureWidth() / texture.extent().width()) / m_state.baseRepeats;
    const double scale = std::max(k, 1.0 / std::min(texture.extent().width(), texture.extent().height()));
    // The kernels' arguments as they receive them: single precision.
    const float tileX = float(texture.extent().width() * scale),
                tileY = float(texture.extent().height() * scale);
    const float ex = float(extent.minX()), ey = float(extent.minY()), ew = float(extent.width()),
                eh = float(extent.height());
    const float sections = float(m_state.sections);
    const int mode = m_textureFillMode == 1 ? 0 : m_state.noTextureShift ? 1 : 2;
    const Bitmap tileBitmap = m_tileBitmap;
    const double originX = m_tileOrigin.x, originY = m_tileOrigin.y;
    // The crop of the tile to the rectangle the kernels read, as the renderer's reader tests it.
    const float edges[4] = {float(m_tileRead.minX()), float(m_tileRead.minY()), float(m_tileRead.maxX()),
                            float(m_tileRead.maxY())};
    const CpuRendering::Placed placed = *shape;
    auto render = [=](const Rect& region, Bitmap& out) {
        namespace kl = pf::kl;
        // The kernel language's floor and mod, without a call to the library at every pixel.
        const auto floor = [](float x) { return OVFrameBand::floor(x); };
        const auto mod = [floor](float x, float y) { return x - y * floor(x / y); };
        const int columns = out.width(), rows = out.height();
        const int x0 = int(bounds.minX() + region.minX()), y0 = int(bounds.minY() + region.minY());
        const auto texel = [&](int i, int j) {
            if (i < 0 || j < 0 || i >= tileBitmap.width() || j >= tileBitmap.height())
                return kl::vec4(0.0f);
            const uint8_t* q = tileBitmap.row(tileBitmap.height() - 1 - j) + size_t(i) * 4;
            return kl::vec4(q[0] / 255.0f, q[1] / 255.0f, q[2] / 255.0f, q[3] / 255.0f);
        };
        const auto textureAt = [&](float qx, float qy) {
            const float mx = mod(qx, tileX), my = mod(qy, tileY);
            const double px = mx, py = my;
            if (px < edges[0] || py < edges[1] || px >= edges[2] || py >= edges[3])
                return kl::vec4(0.0f);
            const float tx = float(px - originX), ty = float(py - originY);
            const float cx = tx - 0.5f, cy = ty - 0.5f;
            const float fx = floor(cx), fy = floor(cy);
            const float wx = cx - fx, wy = cy - fy;
            const int i = int(fx), j = int(fy);
            if (wx == 0.0f && wy == 0.0f)
                return texel(i, j);
            return kl::mix(kl::mix(texel(i, j), texel(i + 1, j), wx),
                           kl::mix(texel(i, j + 1), texel(i + 1, j + 1), wx), wy);
        };
        // Taken once, before the bands (see Bitmap::mutableData): `out` may share its pixels.
        uint8_t* const outPixels = out.mutableData();
        const size_t stride = out.bytesPerRow();
        CpuRendering::inBands(rows, [&](int begin, int end) {
            for (int row = begin; row < end; ++row) {
                const int y = y0 + rows - 1 - row;
                const int sj = y - int(placed.y);
                const bool shapeRow = !opaqueShape && sj >= 0 && sj < placed.bitmap.height();
                const uint8_t* shapeLine =
                    shapeRow ? placed.bitmap.row(placed.bitmap.height() - 1 - sj) : nullptr;
                float* o = reinterpret_cast<float*>(outPixels + stride * size_t(row));
                const std::pair<int, int> away = hidden ? hidden(y) : std::pair<int, int>{0, 0};
                for (int c = 0; c < columns; ++c, o += 4) {
                    const int x = x0 + c;
                    const int si = x - int(placed.x);
                    float coverage = opaqueShape ? 1.0f : 0.0f;
                    if (shapeLine && si >= 0 && si < placed.bitmap.width())
                        coverage = shapeLine[size_t(si) * 4 + 3] / 255.0f;
                    if (coverage == 0.0f || (x >= away.first && x < away.second)) {
                        o[0] = o[1] = o[2] = o[3] = 0.0f;
                        continue;
                    }
                    const float px = float(x) + 0.5f, py = float(y) + 0.5f;
                    float qx = px, qy = py;
                    if (mode == 0) {
                        const float left = px - ex, right = ex + ew - px, bottom = py - ey,
                                    top = ey + eh - py;
                        const float depth = kl::min(kl::min(left, right), kl::min(bottom, top));
                        float side = 3.0f;
                        float along = ey + eh - py;
                        if (depth == top) {
                            side = 0.0f;
                            along = left;
                        } else if (depth == right) {
                            side = 1.0f;
                            along = top;
                        } else if (depth == bottom) {
                            side = 2.0f;
                            along = right;
                        }
                        const float count = kl::max(1.0f, floor(sections + 0.5f));
                        const float strip = tileY / count;
                        const float kk = mod(side, count);
                        qx = along;
                        qy = kk * strip + mod(depth, strip);
                    } else if (mode == 2) {
                        const float r = floor(py / tileY);
                        qx = px + (r * 0.6180339887f - floor(r * 0.6180339887f)) * tileX;
                    }
                    const kl::vec4 t = textureAt(qx, qy) * coverage;
                    o[0] = t.x;
                    o[1] = t.y;
                    o[2] = t.z;
                    o[3] = t.w;
                }
            }
        });
        return true;
    };
    return CpuRendering::attach(result,
                                std::make_shared<const CpuRendering>(bounds, Bitmap::Format::RGBAf, render));
}
