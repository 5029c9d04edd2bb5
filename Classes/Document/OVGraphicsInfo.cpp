#include "Classes/Document/OVGraphicsInfo.h"

#include "Platform/Foundation/Localization.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES3/gl3.h>
#include <mutex>

namespace {

// Video-memory queries some drivers answer (in kilobytes).
constexpr GLenum totalMemoryNVX = 0x9048;
constexpr GLenum textureFreeMemoryATI = 0x87FC;

OVGraphicsInfo probe()
{
    OVGraphicsInfo info;
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    EGLDisplay display = EGL_NO_DISPLAY;
    if (getPlatformDisplay)
        display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY)
        display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    // The display is never terminated: the renderers of other threads use it too.
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr))
        return info;

    auto queryDevices = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    EGLint devices = 0;
    if (queryDevices && queryDevices(0, nullptr, &devices) && devices > 0)
        info.renderers = devices;

    eglBindAPI(EGL_OPENGL_ES_API);
    const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_NONE};
    EGLContext context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    if (context == EGL_NO_CONTEXT)
        return info;
    EGLContext previous = eglGetCurrentContext();
    EGLSurface previousDraw = eglGetCurrentSurface(EGL_DRAW);
    EGLSurface previousRead = eglGetCurrentSurface(EGL_READ);
    EGLDisplay previousDisplay = eglGetCurrentDisplay();
    if (eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        info.fragmentCapable = true;
        if (info.renderers == 0)
            info.renderers = 1;
        if (const auto* name = reinterpret_cast<const char*>(glGetString(GL_RENDERER)))
            info.rendererName = QString::fromUtf8(name);
        info.accelerated = !OVGraphicsInfo::isSoftwareRenderer(info.rendererName);
        const QByteArray extensions(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)));
        GLint kilobytes[4] = {0, 0, 0, 0};
        if (extensions.contains("GL_NVX_gpu_memory_info"))
            glGetIntegerv(totalMemoryNVX, kilobytes);
        else if (extensions.contains("GL_ATI_meminfo"))
            glGetIntegerv(textureFreeMemoryATI, kilobytes);
        while (glGetError() != GL_NO_ERROR) {
        }
        info.videoMemory = qint64(kilobytes[0]) * 1024;
        if (previous != EGL_NO_CONTEXT)
            eglMakeCurrent(previousDisplay, previousDraw, previousRead, previous);
        else
            eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
    eglDestroyContext(display, context);
    return info;
}

} // namespace

OVGraphicsInfo OVGraphicsInfo::current()
{
    static std::once_flag once;
    static OVGraphicsInfo info;
    std::call_once(once, [] { info = probe(); });
    return info;
}

bool OVGraphicsInfo::isSoftwareRenderer(const QString& name)
{
    const QString lower = name.toLower();
    return lower.isEmpty() || lower.contains(QLatin1String("llvmpipe")) ||
           lower.contains(QLatin1String("softpipe")) || lower.contains(QLatin1String("swrast"));
}

OVGraphicsInfo::Warning OVGraphicsInfo::warning() const
{
    // Without acceleration, both are missing.
    const bool noFragments = !accelerated || !fragmentCapable;
    // Memory the driver does not tell is taken to be enough.
    const bool lowMemory = !accelerated || (videoMemory > 0 && videoMemory < minimumVideoMemory);
    if (noFragments && lowMemory)
        return Warning::Both;
    if (noFragments)
        return Warning::FragmentProcessing;
    if (lowMemory)
        return Warning::VideoMemory;
    return Warning::None;
}

QString OVGraphicsInfo::warningText(Warning warning)
{
    switch (warning) {
    case Warning::None:
        return {};
    case Warning::VideoMemory:
        return pf::localized(QStringLiteral("Your graphics card has less than 128 MB of memory. Large photos "
                                            "may be slow to show and to paint on."));
    case Warning::FragmentProcessing:
        return pf::localized(
            QStringLiteral("Your graphics card cannot run the programs the effects are made of, so they run "
                           "on the processor "
                           "instead. Everything works, but previews and painting are slower."));
    case Warning::Both:
        return pf::localized(QStringLiteral(
            "This computer shows pictures without graphics acceleration, so the effects run on the "
            "processor. "
            "Everything works, but previews and painting are slower, most of all on large photos."));
    }
    return {};
}
