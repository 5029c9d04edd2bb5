#include "Classes/Frames/FramesLibrary.h"

void FramesLibrary::registerAll()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
}
