#include "Classes/Document/OVGraphicsInfo.h"

#include "Platform/Foundation/Localization.h"
#include "Platform/Image/RenderContext.h"

#include <algorithm>
#include <mutex>

namespace {

// Told by the image engine's own renderer: only the engine talks to the graphics driver.
OVGraphicsInfo probe()
{
    OVGraphicsInfo info;
    const std::shared_ptr<pf::RenderContext> context = pf::RenderContext::shared();
    if (!context || !context->isValid())
        return info;
    const pf::RenderContext::Device device = context->device();
    if (device.name.isEmpty() && device.devices == 0)
        return info;
    // The engine's contexts are OpenGL ES 3.2: they run fragment programs.
    info.fragmentCapable = true;
    info.renderers = std::max(device.devices, 1);
    info.rendererName = device.name;
    info.accelerated = !OVGraphicsInfo::isSoftwareRenderer(device.name);
    info.videoMemory = device.videoMemory;
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
