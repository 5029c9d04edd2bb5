#pragma once

#include "Platform/Image/Image.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

class GMEffectBlueprint;

namespace pf {
class Bundle;
class RenderContext;
} // namespace pf

// Checks effect blueprints the way the application will use them: parses each, builds both graphs,
// feeds them the run-time inputs (the photo, its size, a mask, an additional image) and renders them.
// Every problem is one line naming the effect: an unknown filter, key or reference, a number link that
// always receives 0, a content graph that ignores the mask, a composition graph that does not take
// "inputImage" and "inputBackgroundImage", a graph that gives no image or fails to render.
class GMBlueprintCheck
{
public:
    static QStringList checkBlueprint(const QVariantMap& blueprint, const pf::Image& photo,
                                      pf::RenderContext& context);
    // What a stroke of the effect leaves as the layer's additional picture over `extent`: the tiled
    // stubble for the beard, a flat, opaque stand-in for the brushes that paint their own picture
    // (healing, iris replacement), so that the effect has something to lay in; none for the others.
    static pf::Image standInAdditionalImage(const GMEffectBlueprint& effect, const pf::Rect& extent);
    // Every blueprint listed by "BundleInfo" in the bundle.
    static QStringList checkBundle(const pf::Bundle& bundle, const pf::Image& photo,
                                   pf::RenderContext& context);
};
