#pragma once

#include <EGL/egl.h>
#include <EGL/eglext.h>

namespace pf {

// The display a headless context is made on: the surfaceless platform's where the driver offers it,
// else the default one; EGL_NO_DISPLAY when there is neither. Not initialised here. EGL hands back the
// very same display for the same platform and native display, so every caller shares one.
inline EGLDisplay headlessDisplayCandidate()
{
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    EGLDisplay candidate = EGL_NO_DISPLAY;
    if (getPlatformDisplay)
        candidate = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (candidate == EGL_NO_DISPLAY)
        candidate = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    return candidate;
}

} // namespace pf
