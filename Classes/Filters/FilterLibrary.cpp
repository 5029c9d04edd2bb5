#include "Classes/Filters/FilterLibrary.h"

#include "Classes/Filters/GMAffineTransformFilter.h"
#include "Classes/Filters/GMAlphaBackgroundFilter.h"
#include "Classes/Filters/GMColor2IntensityFilter.h"
#include "Classes/Filters/OVAffineTransformFilter.h"

#include <mutex>

namespace {

template <typename T> void registerMember(const char* className)
{
    pf::Filter::registerFilter(QString::fromLatin1(className), [] { return std::make_shared<T>(); });
}

} // namespace

void FilterLibrary::registerAll()
{
    static std::once_flag once;
    std::call_once(once, [] {
        OVAffineTransformFilter::registerClass();
        registerMember<GMAffineTransformFilter>("GMAffineTransformFilter");
        registerMember<GMAlphaBackgroundFilter>("GMAlphaBackgroundFilter");
        registerMember<GMColor2IntensityFilter>("GMColor2IntensityFilter");
    });
}
