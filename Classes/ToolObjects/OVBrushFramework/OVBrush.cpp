#include "Classes/ToolObjects/OVBrushFramework/OVBrush.h"

#include "Classes/ToolObjects/OVBrushFramework/BrushArchiveFields.h"

void OVBrush::registerArchiveClass()
{
    BrushArchiveFields::registerClass<OVBrush>(QStringLiteral("OVBrush"));
}
