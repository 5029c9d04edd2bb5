#pragma once

#include "Platform/UI/View.h"

#include <QPainter>
#include <functional>

namespace GalleryShots {

// A view that draws with a function, for the galleries' backdrops and labels.
class Canvas : public pf::View
{
public:
    Canvas(const pf::Rect& frame, std::function<void(QPainter&, Canvas&)> draw)
        : View(frame), m_draw(std::move(draw))
    {}
    void drawRect(QPainter& painter, const pf::Rect&) override { m_draw(painter, *this); }

private:
    std::function<void(QPainter&, Canvas&)> m_draw;
};

} // namespace GalleryShots
