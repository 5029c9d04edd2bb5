#pragma once

#include <QByteArray>

namespace pf {

// Straight float RGBA pixels converted between two RGB colour profiles (given as ICC bytes; empty is
// sRGB) in double precision and without clipping, so that converting there and back gives every value
// again, near black too (a table of the curve, as Qt's conversion uses, does not). Safe from any thread.
class ColourConversion
{
public:
    ColourConversion(const QByteArray& from, const QByteArray& to);
    ~ColourConversion();
    ColourConversion(const ColourConversion&) = delete;
    ColourConversion& operator=(const ColourConversion&) = delete;

    // False when a profile cannot be read (or is not RGB): the caller converts another way.
    bool isValid() const { return m_transform != nullptr; }
    // `count` pixels in place; alpha stays as it is.
    void apply(float* rgba, int count) const;

private:
    void* m_context = nullptr;
    void* m_transform = nullptr;
};

} // namespace pf
