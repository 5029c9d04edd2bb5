#pragma once

#include "Classes/Framework/Toolkit/OVRotationView.h"

#include <QColor>
#include <QImage>

namespace GalleryShots {

// The rotation view as the gallery shows it and its benchmark times it: the centre area shown, and the
// surroundings patterned with a faint diagonal line on dark in every 8 x 8 tile.
inline void showPatternedSurroundings(OVRotationView& rotation)
{
    QImage pattern(8, 8, QImage::Format_ARGB32);
    pattern.fill(QColor(0, 0, 0, 150));
    for (int i = 0; i < 8; ++i)
        pattern.setPixelColor(i, i, QColor(255, 255, 255, 60));
    rotation.setPattern(pattern);
    rotation.setShowCenterArea(true);
}

} // namespace GalleryShots
