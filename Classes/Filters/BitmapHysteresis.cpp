#include "Classes/Filters/BitmapHysteresis.h"

#include "Platform/Foundation/Log.h"
#include "Platform/Image/RenderContext.h"

#include <array>
#include <cstring>
#include <vector>

using namespace pf;

namespace {

constexpr std::array<uint8_t, 4> Edge{255, 255, 255, 255};
constexpr std::array<uint8_t, 4> NonEdge{0, 0, 0, 255};

} // namespace

void BitmapHysteresis::setValue(const QVariant& value, const QString& key)
{
    if (key == QLatin1String("inputImage"))
        setInputCIImage(value.value<Image>());
    else if (key == QLatin1String("inputLowValue"))
        setInputLowValue(value);
    else if (key == QLatin1String("inputHighValue"))
        setInputHighValue(value);
    m_filterSettings.insert(key, value);
    m_dirty = true;
}

QVariant BitmapHysteresis::objectForKey(const QString& key) const
{
    return m_filterSettings.value(key);
}

void BitmapHysteresis::setInputCIImage(const Image& image)
{
    m_input = image;
    updateBitmap();
}

void BitmapHysteresis::setDefaults()
{
    setInputLowValue(0.5);
    setInputHighValue(0.8);
}

void BitmapHysteresis::updateBitmap()
{
    m_inputBitmap = Bitmap();
    m_outputBitmap = Bitmap();
    if (m_input.isNull())
        return;
    const Rect extent = m_input.extent();
    if (extent.isNull() || extent.isInfinite()) {
        pf::warning(QStringLiteral("BitmapHysteresis: the edge image has no finite extent"));
        return;
    }
    if (extent.isEmpty())
        return;
    std::optional<Bitmap> rendered = RenderContext::shared()->render(m_input, extent, Bitmap::Format::RGBA8);
    if (!rendered)
        return;
    m_inputBitmap = *rendered;
    // A second copy of its own: the pass writes into it while it reads the first.
    m_outputBitmap = Bitmap(m_inputBitmap.width(), m_inputBitmap.height(), Bitmap::Format::RGBA8,
                            Bitmap::Fill::Uninitialized);
    std::memcpy(m_outputBitmap.mutableData(), m_inputBitmap.data(), m_inputBitmap.byteCount());
}

double BitmapHysteresis::greenAt(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_inputBitmap.width() || y >= m_inputBitmap.height())
        return 0.0;
    return m_inputBitmap.row(y)[size_t(x) * 4 + 1] / 255.0;
}

bool BitmapHysteresis::isDirectlyConnectedToHighValueAt(int x, int y) const
{
    const double high = m_high.toDouble();
    return greenAt(x - 1, y) > high || greenAt(x + 1, y) > high || greenAt(x, y + 1) > high ||
           greenAt(x, y - 1) > high;
}

bool BitmapHysteresis::isDirectlyConnectedToLowValueAt(int x, int y) const
{
    // The low value is taken at single precision.
    const double low = double(m_low.toFloat());
    return greenAt(x - 1, y) > low || greenAt(x + 1, y) > low || greenAt(x, y + 1) > low ||
           greenAt(x, y - 1) > low;
}

Image BitmapHysteresis::outputImage()
{
    if (m_dirty)
        bitmapHysteresis();
    if (m_outputBitmap.isNull())
        return Image();
    return Image::fromBitmap(m_outputBitmap);
}

void BitmapHysteresis::bitmapHysteresis()
{
    m_dirty = false;
    if (m_inputBitmap.isNull())
        return;
    const int w = m_inputBitmap.width(), h = m_inputBitmap.height();
    const double high = m_high.toDouble(), low = m_low.toDouble();
    uint8_t* out = m_outputBitmap.mutableData();
    const size_t stride = m_outputBitmap.bytesPerRow();
    auto write = [&](int x, int y, const std::array<uint8_t, 4>& value) {
        std::memcpy(out + size_t(y) * stride + size_t(x) * 4, value.data(), 4);
    };
    // A pending edge: a weak pixel of the input (between the values) not yet written as an edge.
    auto pending = [&](int x, int y) {
        if (x < 0 || y < 0)
            return false;
        const double g = greenAt(x, y);
        return g > low && g <= high &&
               std::memcmp(out + size_t(y) * stride + size_t(x) * 4, Edge.data(), 4) != 0;
    };
    // Edges are followed back through weak pixels above and to the left, which the scan has passed.
    // An explicit stack: an edge may run for thousands of pixels.
    std::vector<std::pair<int, int>> stack;
    auto backtrack = [&](int x, int y) {
        stack.assign(1, {x, y});
        while (!stack.empty()) {
            const auto [cx, cy] = stack.back();
            stack.pop_back();
            for (const auto& [nx, ny] : {std::pair{cx, cy - 1}, std::pair{cx - 1, cy}}) {
                if (pending(nx, ny)) {
                    write(nx, ny, Edge);
                    stack.push_back({nx, ny});
                }
            }
        }
    };
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y) {
            const double g = greenAt(x, y);
            if (g > high) {
                write(x, y, Edge);
                backtrack(x, y);
            } else if (g <= low) {
                write(x, y, NonEdge);
            } else if (isDirectlyConnectedToHighValueAt(x, y)) {
                write(x, y, Edge);
                backtrack(x, y);
            } else if (isDirectlyConnectedToLowValueAt(x, y)) {
                write(x, y, NonEdge);
            }
        }
    }
}
