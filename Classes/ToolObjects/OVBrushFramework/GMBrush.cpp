#include "Classes/ToolObjects/OVBrushFramework/GMBrush.h"

#include "Classes/ToolObjects/OVBrushFramework/BrushArchiveFields.h"

OVBrush GMBrush::ovBrushWithSize(double width) const
{
    OVBrush brush;
    brush.type = type;
    brush.size = size * width;
    brush.smoothness = smoothness;
    brush.pressure = pressure;
    brush.allowedColor = allowedColor;
    brush.tolerance = tolerance;
    brush.fadeTolerance = fadeTolerance;
    brush.coherenceTolerance = coherenceTolerance;
    return brush;
}

void GMBrush::registerArchiveClass()
{
    BrushArchiveFields::registerClass<GMBrush>(QStringLiteral("GMBrush"));
}
