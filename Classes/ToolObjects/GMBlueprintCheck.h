#pragma once

#include "Platform/Image/Image.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

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
    // Every blueprint listed by "BundleInfo" in the bundle.
    static QStringList checkBundle(const pf::Bundle& bundle, const pf::Image& photo,
                                   pf::RenderContext& context);
};
