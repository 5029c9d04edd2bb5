#pragma once

#include <QString>
#include <QtGlobal>

namespace pf {

// What the OpenGL ES context current on the calling thread renders with: the driver's name for its
// device, the video memory it reports (0 when it does not tell) and the number of devices EGL lists
// (at least 1 with a context).
struct GLDevice
{
    QString name;
    qint64 videoMemory = 0; // bytes
    int devices = 0;

    // Call with a context current (on a GLThread); without one, nothing is known.
    static GLDevice describeCurrent();
};

} // namespace pf
