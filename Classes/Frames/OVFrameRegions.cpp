#include "Classes/Frames/OVFrameRegions.h"

namespace {

pf::Rect zero()
{
    return pf::Rect(0, 0, 0, 0);
}

pf::Rect grown(const pf::Rect& rect, double by)
{
    return pf::Rect(rect.origin.x - by, rect.origin.y - by, rect.size.width + 2 * by,
                    rect.size.height + 2 * by);
}

} // namespace

OVFrameRegions::Region OVFrameRegions::textureRegion(const std::optional<pf::Rect>& tile)
{
    return [tile](int index, const pf::Rect& destination) {
        if (index != 1)
            return destination;
        return tile ? grown(*tile, 1) : zero();
    };
}

OVFrameRegions::Region OVFrameRegions::patternRegion(const pf::Image& image)
{
    const pf::Rect extent = image.isNull() ? zero() : image.extent();
    return [extent](int, const pf::Rect&) { return extent; };
}

OVFrameRegions::Region OVFrameRegions::frameRegion(const pf::Image& image)
{
    return patternRegion(image);
}

OVFrameRegions::Region OVFrameRegions::outerMaskRegion(double step)
{
    return [step](int, const pf::Rect& destination) { return grown(destination, step); };
}

OVFrameRegions::Region OVFrameRegions::innerMaskRegion()
{
    return [](int index, const pf::Rect& destination) {
        return index == 1 ? destination : grown(destination, 1);
    };
}
