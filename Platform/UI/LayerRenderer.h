#pragma once

#include "Platform/Foundation/Rect.h"

#include <QImage>

class QPainter;

namespace pf {

class Layer;

// Draws layer trees with QPainter. Each layer is flattened into its superlayer's plane and drawn
// through the resulting projective map; parts behind the eye are clipped, never drawn mirrored.
// Sublayers are drawn in order, then by zPosition. Layers with group opacity, a shadow or a mask are
// composed offscreen first. Contents are drawn from the reduced copy nearest their size on screen, and
// a subtree that stayed the same while only its own placement changed is drawn from a cached image.
class LayerRenderer
{
public:
    // Draws `root` and its tree as seen at `time` on the animation clock. The painter's world transform
    // maps the plane the root lies in (y-up) onto the device. Layout and marked drawing run first.
    static void render(Layer& root, QPainter& painter, double time);
    // The same from the model values alone: no animation applies.
    static void renderModel(Layer& root, QPainter& painter);
    // Lays out and displays the tree as drawing it would, without drawing: for a tree kept out of sight
    // while it shows nothing, whose later changes must still animate from what would have been seen.
    static void present(Layer& root);

    // The layer and its sublayers over the layer's own bounds, at `scale` pixels per point: an image of
    // the bounds size x scale, transparent where nothing is drawn. `presentation` chooses what is seen
    // now over the model values.
    static QImage renderToImage(Layer& layer, double scale = 1, bool presentation = true);
    // The same over any rectangle of the layer's own coordinates (y-up): its lower left is the image's
    // bottom left pixel.
    static QImage renderRectToImage(Layer& layer, const Rect& rect, double scale = 1,
                                    bool presentation = true);
};

} // namespace pf
