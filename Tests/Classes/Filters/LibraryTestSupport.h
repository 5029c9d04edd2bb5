#pragma once

#include "FilterTestSupport.h"

#include "Platform/Image/ImageNode.h"
#include "Platform/Image/KernelData.h"

#include <algorithm>
#include <functional>
#include <vector>

namespace librarytest {

using Pixel = std::array<float, 4>;

// A small image on the CPU, y upward, for computing expected results independently of the kernels.
struct Grid
{
    int width = 0, height = 0;
    std::vector<Pixel> pixels;

    Grid(int w, int h, const Pixel& fill = {0, 0, 0, 0}) : width(w), height(h), pixels(size_t(w * h), fill) {}
    Pixel& at(int x, int y) { return pixels[size_t(y * width + x)]; }
    const Pixel& at(int x, int y) const { return pixels[size_t(y * width + x)]; }
    // Edge pixels repeated outward.
    const Pixel& clamped(int x, int y) const
    {
        return at(std::clamp(x, 0, width - 1), std::clamp(y, 0, height - 1));
    }
    Pixel orZero(int x, int y) const
    {
        return x < 0 || y < 0 || x >= width || y >= height ? Pixel{0, 0, 0, 0} : at(x, y);
    }
    pf::Image image() const
    {
        return filtertest::floatImage(width, height, [this](int x, int y) { return at(x, y); });
    }
    template <typename F> static Grid from(int w, int h, F f)
    {
        Grid g(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                g.at(x, y) = f(x, y);
        return g;
    }
    // The rendered pixels of (0, 0, width, height).
    static Grid rendered(const pf::Image& image, int w, int h)
    {
        const filtertest::Pixels p = filtertest::render(image, pf::Rect(0, 0, w, h));
        return from(w, h, [&](int x, int y) { return p.at(x, y); });
    }
};

// Random colours; opaque unless asked otherwise (then premultiplied by a random alpha).
inline Grid randomGrid(int w, int h, unsigned seed, bool opaque = true)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    return Grid::from(w, h, [&](int, int) {
        const float a = opaque ? 1.0f : 0.2f + 0.8f * unit(random);
        return Pixel{unit(random) * a, unit(random) * a, unit(random) * a, a};
    });
}

inline Pixel straight(const Pixel& c)
{
    return c[3] > 0 ? Pixel{c[0] / c[3], c[1] / c[3], c[2] / c[3], c[3]} : Pixel{0, 0, 0, 0};
}

inline Pixel premultiplied(const Pixel& c)
{
    return {c[0] * c[3], c[1] * c[3], c[2] * c[3], c[3]};
}

inline float luma601(const Pixel& c)
{
    const Pixel s = straight(c);
    return 0.299f * s[0] + 0.587f * s[1] + 0.114f * s[2];
}

// The largest difference over every channel of every pixel.
inline float difference(const Grid& a, const Grid& b)
{
    float worst = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        for (size_t c = 0; c < 4; ++c)
            worst = std::max(worst, std::abs(a.pixels[i][c] - b.pixels[i][c]));
    return worst;
}

// Pixel by pixel: f(pixel) for every pixel of the grid.
inline Grid mapped(const Grid& g, const std::function<Pixel(const Pixel&)>& f)
{
    return Grid::from(g.width, g.height, [&](int x, int y) { return f(g.at(x, y)); });
}

// Kernel applications in a recipe, following the first sampler argument (and through transforms, crops
// and clamps) from the output back to the source: the names of their kernels, the output's first.
inline QStringList kernelChain(const pf::Image& image)
{
    QStringList names;
    std::shared_ptr<const pf::ImageNode> node = image.node();
    while (node && node->kind != pf::ImageNode::Kind::Kernel && node->input)
        node = node->input;
    while (node && node->kind == pf::ImageNode::Kind::Kernel) {
        names << node->kernel->name;
        const pf::SamplerBinding* first = nullptr;
        for (const auto& argument : node->arguments) {
            if ((first = std::get_if<pf::SamplerBinding>(&argument)))
                break;
        }
        node = first ? first->image : nullptr;
        while (node && node->kind != pf::ImageNode::Kind::Kernel && node->input)
            node = node->input;
    }
    return names;
}

// The region of interest an image's own kernel application asks of sampler `index`.
inline pf::Rect regionOf(const pf::Image& image, int index, const pf::Rect& destination)
{
    if (!image.node() || !image.node()->roi)
        return destination;
    return image.node()->roi(index, destination);
}

// The number arguments of an image's own kernel application, in order.
inline std::vector<float> numberArguments(const pf::Image& image)
{
    std::vector<float> numbers;
    for (const auto& argument : image.node()->arguments) {
        if (const auto* values = std::get_if<std::vector<float>>(&argument))
            numbers.insert(numbers.end(), values->begin(), values->end());
    }
    return numbers;
}

inline void setImage(const pf::FilterPtr& filter, const pf::Image& image, const QString& key = "inputImage")
{
    filter->setValue(QVariant::fromValue(image), key);
}

} // namespace librarytest
