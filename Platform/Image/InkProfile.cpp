#include "Platform/Image/InkProfile.h"

#include <algorithm>
#include <cmath>
#include <lcms2.h>
#include <vector>

namespace pf {

InkProfile::InkProfile(const QByteArray& profile)
{
    if (profile.isEmpty())
        return;
    cmsContext context = cmsCreateContext(nullptr, nullptr);
    m_context = context;
    // A damaged profile is no reason to say anything: the formula stands in.
    cmsSetLogErrorHandlerTHR(context, [](cmsContext, cmsUInt32Number, const char*) {});
    cmsHPROFILE inks =
        cmsOpenProfileFromMemTHR(context, profile.constData(), cmsUInt32Number(profile.size()));
    cmsHPROFILE colour = cmsCreate_sRGBProfileTHR(context);
    if (inks && colour && cmsGetColorSpace(inks) == cmsSigCmykData) {
        m_toColour = cmsCreateTransformTHR(context, inks, TYPE_CMYK_8, colour, TYPE_RGBA_FLT,
                                           INTENT_PERCEPTUAL, cmsFLAGS_COPY_ALPHA);
        m_toInks =
            cmsCreateTransformTHR(context, colour, TYPE_RGBA_FLT, inks, TYPE_CMYK_8, INTENT_PERCEPTUAL, 0);
        if (!m_toColour || !m_toInks) {
            if (m_toColour)
                cmsDeleteTransform(m_toColour);
            if (m_toInks)
                cmsDeleteTransform(m_toInks);
            m_toColour = m_toInks = nullptr;
        }
    }
    if (inks)
        cmsCloseProfile(inks);
    if (colour)
        cmsCloseProfile(colour);
}

InkProfile::~InkProfile()
{
    if (m_toColour)
        cmsDeleteTransform(m_toColour);
    if (m_toInks)
        cmsDeleteTransform(m_toInks);
    if (m_context)
        cmsDeleteContext(static_cast<cmsContext>(m_context));
}

void InkProfile::toColour(const uint8_t* inks, float* rgba, int count, bool inverted) const
{
    std::vector<uint8_t> plain;
    if (inverted) {
        plain.assign(inks, inks + 4 * size_t(count));
        for (uint8_t& v : plain)
            v = uint8_t(255 - v);
        inks = plain.data();
    }
    if (m_toColour) {
        cmsDoTransform(m_toColour, inks, rgba, cmsUInt32Number(count));
        for (int i = 0; i < count; ++i)
            rgba[4 * i + 3] = 1.0f;
        return;
    }
    for (int i = 0; i < count; ++i) {
        const float k = 1.0f - inks[4 * i + 3] / 255.0f;
        for (int c = 0; c < 3; ++c)
            rgba[4 * i + c] = (1.0f - inks[4 * i + c] / 255.0f) * k;
        rgba[4 * i + 3] = 1.0f;
    }
}

void InkProfile::toInks(const float* rgba, uint8_t* inks, int count, bool inverted) const
{
    if (m_toColour) {
        cmsDoTransform(m_toInks, rgba, inks, cmsUInt32Number(count));
    } else {
        for (int i = 0; i < count; ++i) {
            float rgb[3];
            for (int c = 0; c < 3; ++c)
                rgb[c] = std::clamp(rgba[4 * i + c], 0.0f, 1.0f);
            const float k = 1.0f - std::max({rgb[0], rgb[1], rgb[2]});
            for (int c = 0; c < 3; ++c)
                inks[4 * i + c] = uint8_t(std::lround(k < 1.0f ? (1.0f - rgb[c] - k) / (1.0f - k) * 255 : 0));
            inks[4 * i + 3] = uint8_t(std::lround(k * 255));
        }
    }
    if (inverted)
        for (int i = 0; i < 4 * count; ++i)
            inks[i] = uint8_t(255 - inks[i]);
}

} // namespace pf
