#pragma once

#include "Platform/Foundation/Rect.h"
#include "Platform/Image/Image.h"

#include <QImage>
#include <QPainter>

namespace pf {
class RenderContext;
}

// Drawing pictures into a layer's backing store. The painter a layer hands its delegate works in the
// layer's y-up coordinates and is clipped to the part being redrawn; these helpers draw pictures
// upright and make pixels only for the part that is redrawn.
namespace LayerImageDrawing {

// The part of `bounds` the painter may change (its clip, in the painter's coordinates).
pf::Rect clipRect(const QPainter& painter, const pf::Rect& bounds);

// Draws the part of `picture` (row 0 on top), stretched over `target`, that lies in `area`.
void drawPicture(QPainter& painter, const QImage& picture, const pf::Rect& target, const pf::Rect& area);

// Renders the part of `image` that lands in `area` when its rectangle `source` is stretched over
// `target`, and draws it with `mode`. Returns the rectangle of the image rendered (null for none).
// `pixels`, when given, receives what was rendered (row 0 on top).
pf::Rect drawImage(QPainter& painter, pf::RenderContext& context, const pf::Image& image,
                   const pf::Rect& source, const pf::Rect& target, const pf::Rect& area,
                   QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver,
                   QImage* pixels = nullptr);

} // namespace LayerImageDrawing
