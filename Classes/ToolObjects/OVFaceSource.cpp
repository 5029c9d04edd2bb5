#include "Classes/ToolObjects/OVFaceSource.h"

std::shared_ptr<OVFaceSource> OVFaceSource::system()
{
    return nullptr;
}
