#include "Platform/Image/GL/GLDevice.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES3/gl3.h>

namespace pf {

namespace {

// Video-memory queries some drivers answer (in kilobytes).
constexpr GLenum TotalMemoryNVX = 0x9048;
constexpr GLenum TextureFreeMemoryATI = 0x87FC;

} // namespace

GLDevice GLDevice::describeCurrent()
{
    GLDevice device;
    if (eglGetCurrentContext() == EGL_NO_CONTEXT)
        return device;
    if (const auto* name = reinterpret_cast<const char*>(glGetString(GL_RENDERER)))
        device.name = QString::fromUtf8(name);
    bool nvx = false, ati = false;
    GLint extensions = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &extensions);
    for (GLint i = 0; i < extensions; ++i) {
        const auto* extension = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, GLuint(i)));
        const QByteArray text(extension ? extension : "");
        nvx = nvx || text == "GL_NVX_gpu_memory_info";
        ati = ati || text == "GL_ATI_meminfo";
    }
    GLint kilobytes[4] = {0, 0, 0, 0};
    if (nvx)
        glGetIntegerv(TotalMemoryNVX, kilobytes);
    else if (ati)
        glGetIntegerv(TextureFreeMemoryATI, kilobytes);
    while (glGetError() != GL_NO_ERROR) {
    }
    device.videoMemory = qint64(kilobytes[0]) * 1024;

    auto queryDevices = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    EGLint devices = 0;
    if (queryDevices && queryDevices(0, nullptr, &devices) && devices > 0)
        device.devices = devices;
    else
        device.devices = 1;
    return device;
}

} // namespace pf
