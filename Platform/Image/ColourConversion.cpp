#include "Platform/Image/ColourConversion.h"

#include <lcms2.h>

namespace pf {

ColourConversion::ColourConversion(const QByteArray& from, const QByteArray& to)
{
    cmsContext context = cmsCreateContext(nullptr, nullptr);
    m_context = context;
    cmsSetLogErrorHandlerTHR(context, [](cmsContext, cmsUInt32Number, const char*) {});
    const auto open = [&](const QByteArray& icc) {
        return icc.isEmpty()
                   ? cmsCreate_sRGBProfileTHR(context)
                   : cmsOpenProfileFromMemTHR(context, icc.constData(), cmsUInt32Number(icc.size()));
    };
    cmsHPROFILE source = open(from), target = open(to);
    if (source && target && cmsGetColorSpace(source) == cmsSigRgbData &&
        cmsGetColorSpace(target) == cmsSigRgbData)
        // Colorimetric, as Qt converts; not optimised, so that the curves are computed (not tabulated) and
        // values outside 0..1 go through unclipped.
        m_transform = cmsCreateTransformTHR(context, source, TYPE_RGBA_FLT, target, TYPE_RGBA_FLT,
                                            INTENT_RELATIVE_COLORIMETRIC,
                                            cmsFLAGS_NOOPTIMIZE | cmsFLAGS_NOCACHE | cmsFLAGS_COPY_ALPHA);
    if (source)
        cmsCloseProfile(source);
    if (target)
        cmsCloseProfile(target);
}

ColourConversion::~ColourConversion()
{
    if (m_transform)
        cmsDeleteTransform(m_transform);
    cmsDeleteContext(static_cast<cmsContext>(m_context));
}

void ColourConversion::apply(float* rgba, int count) const
{
    if (m_transform)
        cmsDoTransform(m_transform, rgba, rgba, cmsUInt32Number(count));
}

} // namespace pf
