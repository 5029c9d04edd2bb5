#pragma once

#include <QByteArray>
#include <cstdint>

namespace pf {

// Conversions between inks (CMYK, 8 bits each) and sRGB colours through a file's colour profile, as a
// colour-managed program shows them; without a usable profile, the plain formula every reader knows
// (R = (1 - C)(1 - K) and so on). Inverted inks (as the Adobe marker of a JPEG says) are 255 minus
// their amount. Safe from any thread.
class InkProfile
{
public:
    // `profile` is an ICC profile of inks, or empty.
    explicit InkProfile(const QByteArray& profile);
    ~InkProfile();
    InkProfile(const InkProfile&) = delete;
    InkProfile& operator=(const InkProfile&) = delete;

    // Whether conversions go through the profile (else through the formula).
    bool usesProfile() const { return m_toColour != nullptr; }

    // `count` pixels of four inks to straight sRGB floats (RGBA, alpha 1), and back.
    void toColour(const uint8_t* inks, float* rgba, int count, bool inverted) const;
    void toInks(const float* rgba, uint8_t* inks, int count, bool inverted) const;

private:
    void* m_context = nullptr;
    void* m_toColour = nullptr;
    void* m_toInks = nullptr;
};

} // namespace pf
