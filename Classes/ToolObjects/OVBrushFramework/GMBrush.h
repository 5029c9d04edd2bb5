#pragma once

#include "Classes/ToolObjects/OVBrushFramework/OVBrush.h"

#include <QMetaType>
#include <QVariant>
#include <memory>

// The brush of a stroke as documents of the older version stored it: its size relative to the photo's
// width, and tolerances and a colour that no stroke reads any more. Read from those documents only, to
// convert their strokes.
class GMBrush
{
public:
    qint32 type = OVBrush::Draw; // 0 draw, 1 eraser, 2 smart brush, 3 click tool
    double size = 0;             // relative to the photo's width
    double smoothness = 0;
    double pressure = 0;
    QVariant allowedColor;
    double tolerance = 0;
    double fadeTolerance = 0;
    double coherenceTolerance = 0;

    // The present-day brush for a photo `width` pixels wide: the same kind, smoothness, pressure,
    // tolerances and colour, no subtype, no kernel name, and size x width pixels.
    OVBrush ovBrushWithSize(double width) const;

    // Registers the archived class "GMBrush" ("type", "allowedColor", "size", "smoothness", "pressure",
    // "tolerance", "fadeTolerance", "coherenceTolerance"). Called once at start-up.
    static void registerArchiveClass();
};

using GMBrushPtr = std::shared_ptr<GMBrush>;
Q_DECLARE_METATYPE(GMBrushPtr)
