#include "Classes/Frames/FramesLibrary.h"

#include "Classes/Frames/OVShapedBorderFilter.h"
#include "Classes/Frames/OVTexturedFrameFilter.h"
#include "Classes/Frames/OVTexturizeFilter.h"

void FramesLibrary::registerAll()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    OVTexturizeFilter::registerClass();
    OVTexturedFrameFilter::registerClass();
    OVShapedBorderFilter::registerClass();
}
