#pragma once

#include "Classes/ToolObjects/OVBrushFramework/OVBrush.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/Image.h"
#include "Platform/Image/RenderContext.h"

#include <array>
#include <cstring>

namespace brushtest {

using Pixel = std::array<float, 4>;

// The rendered pixels of a rectangle, read by working coordinates (y up).
struct Pixels
{
    pf::Bitmap bitmap;
    pf::Rect rect;
    Pixel at(int x, int y) const
    {
        Pixel c{};
        bitmap.pixel(x - int(rect.minX()), int(rect.maxY()) - 1 - y, c.data());
        return c;
    }
    bool isNull() const { return bitmap.isNull(); }
};

inline Pixels render(const pf::Image& image, const pf::Rect& rect)
{
    static pf::RenderContext context(QStringLiteral("brush tests"));
    auto bitmap = context.render(image, rect, pf::Bitmap::Format::RGBAf);
    return {bitmap ? *bitmap : pf::Bitmap(), rect};
}

// A w x h mask of grey `value` (opaque).
inline pf::Image greyMask(double w, double h, double value)
{
    return pf::Image::constantColor(pf::Color(value, value, value))
        .imageByCroppingToRect(pf::Rect(0, 0, w, h));
}

// A smart brush of that kernel and size as the eye and skin tools set one up: smoothness 0.3, full
// pressure.
inline OVBrush smartBrush(const QString& kernel, double size)
{
    OVBrush brush;
    brush.type = OVBrush::SmartBrush;
    brush.kernelName = kernel;
    brush.size = size;
    brush.smoothness = 0.3;
    brush.pressure = 1;
    return brush;
}

} // namespace brushtest
