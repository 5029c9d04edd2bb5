#include "Platform/Image/GL/SceneRasterizerContext.h"

#include "Platform/Image/GL/EGLDisplayChoice.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <cstring>
#include <mutex>

namespace pf {

namespace {

struct Display
{
    EGLDisplay display = EGL_NO_DISPLAY;
    QString failure;
};

Display initialised(EGLDisplay candidate, const QString& what)
{
    if (candidate == EGL_NO_DISPLAY)
        return {EGL_NO_DISPLAY, QStringLiteral("no %1 is available").arg(what)};
    if (!eglInitialize(candidate, nullptr, nullptr))
        return {EGL_NO_DISPLAY, QStringLiteral("the %1 could not be initialised (EGL error 0x%2)")
                                    .arg(what)
                                    .arg(eglGetError(), 0, 16)};
    return {candidate, {}};
}

// The engine's display: EGL hands back the very display the render contexts' threads use for the same
// platform and native display, and initialising it again changes nothing. Like theirs, it is never
// terminated, which would pull the contexts of every other thread away.
const Display& defaultDisplay()
{
    static std::once_flag once;
    static Display display;
    std::call_once(once,
                   [] { display = initialised(headlessDisplayCandidate(), QStringLiteral("EGL display")); });
    return display;
}

// The display of the device that reports itself as the software renderer, found once.
const Display& softwareDisplay()
{
    static std::once_flag once;
    static Display display;
    std::call_once(once, [] {
        const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
        auto queryDevices =
            reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
        auto queryDeviceString =
            reinterpret_cast<PFNEGLQUERYDEVICESTRINGEXTPROC>(eglGetProcAddress("eglQueryDeviceStringEXT"));
        auto getPlatformDisplay =
            reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (!clientExtensions || !std::strstr(clientExtensions, "EGL_EXT_platform_device") || !queryDevices ||
            !queryDeviceString || !getPlatformDisplay) {
            display.failure = QStringLiteral("EGL cannot list its devices");
            return;
        }
        EGLDeviceEXT devices[16];
        EGLint count = 0;
        if (!queryDevices(16, devices, &count))
            count = 0;
        for (EGLint i = 0; i < count; ++i) {
            const char* extensions = queryDeviceString(devices[i], EGL_EXTENSIONS);
            if (extensions && std::strstr(extensions, "EGL_MESA_device_software")) {
                display = initialised(getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr),
                                      QStringLiteral("software device"));
                return;
            }
        }
        display.failure = QStringLiteral("no EGL device is the software renderer");
    });
    return display;
}

} // namespace

SceneRasterizerContext::SceneRasterizerContext(SceneRasterizer::Device device)
{
    const Display& display =
        device == SceneRasterizer::Device::Software ? softwareDisplay() : defaultDisplay();
    if (display.display == EGL_NO_DISPLAY) {
        m_failure = display.failure;
        return;
    }
    eglBindAPI(EGL_OPENGL_ES_API);
    const EGLint attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 2, EGL_NONE};
    EGLContext context = eglCreateContext(display.display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    if (context == EGL_NO_CONTEXT) {
        m_failure = QStringLiteral("no OpenGL ES 3.2 context (EGL error 0x%1)").arg(eglGetError(), 0, 16);
        eglReleaseThread();
        return;
    }
    if (!eglMakeCurrent(display.display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        m_failure =
            QStringLiteral("the context cannot be made current (EGL error 0x%1)").arg(eglGetError(), 0, 16);
        eglDestroyContext(display.display, context);
        eglReleaseThread();
        return;
    }
    m_display = display.display;
    m_context = context;
}

SceneRasterizerContext::~SceneRasterizerContext()
{
    if (!m_context)
        return;
    eglMakeCurrent(static_cast<EGLDisplay>(m_display), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(static_cast<EGLDisplay>(m_display), static_cast<EGLContext>(m_context));
    eglReleaseThread();
}

} // namespace pf
