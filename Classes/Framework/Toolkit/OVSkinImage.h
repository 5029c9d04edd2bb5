#pragma once

#include "Platform/Foundation/Size.h"

#include <QImage>
#include <QString>
#include <array>
#include <memory>
#include <optional>

namespace pf {
class Bundle;
}

// One image of a button skin, decoded when first drawn: a file of a skin folder (with its "@2x"
// sibling for screens of scale 1.5 and more), an application image by name, or a hover look made from a
// normal and a down image. Main thread only.
class OVSkinImage
{
public:
    // Files: `plain` and `doubled` (either may be empty, not both).
    static std::shared_ptr<OVSkinImage> fromFiles(const QString& plain, const QString& doubled);
    static std::shared_ptr<OVSkinImage> named(const QString& name, const pf::Bundle& bundle);
    // The normal image with the down image drawn over it at half strength, at the normal image's size.
    static std::shared_ptr<OVSkinImage> hover(std::shared_ptr<OVSkinImage> normal,
                                              std::shared_ptr<OVSkinImage> down);

    // The image for a screen of that scale (its device pixel ratio set).
    QImage image(double scale);
    // Its size in points, read without decoding the pixels where the file allows.
    pf::Size size();

private:
    enum class Kind
    {
        Files,
        Named,
        Hover,
    };
    OVSkinImage() = default;

    Kind m_kind = Kind::Files;
    QString m_plain, m_doubled, m_name;
    const pf::Bundle* m_bundle = nullptr;
    std::shared_ptr<OVSkinImage> m_normal, m_down;
    QImage m_decoded[2]; // at scale 1 and 2
    std::optional<pf::Size> m_size;
};

// An image per button state, indexed by state: 0 disabled, 1 normal, 2 hover, 3 down. A set is whole or
// absent.
using OVImageSet = std::optional<std::array<std::shared_ptr<OVSkinImage>, 4>>;
