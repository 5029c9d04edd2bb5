#pragma once

#include "Platform/Foundation/AffineTransform.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Image.h"

#include <array>
#include <mutex>

// The photo, and copies of it reduced by 2, 4, 8, ... 64, each averaged from the photo's pixels on the
// CPU the first time a picture of about its size is asked for. Pictures smaller than the photo (the
// previews, the fitted canvas, the strip's tiles) are then made from the copy nearest above their
// size: no render reads, uploads or keeps the photo's whole pixels for them, so what a large photo
// costs in memory follows the screen, not the photo. A photo that is not a bitmap in memory has no
// copies: everything is made from it as it is. Shared between threads.
class OVOriginalPyramid
{
public:
    explicit OVOriginalPyramid(const pf::Image& original);

    const pf::Image& original() const { return m_original; }
    // The photo transformed by `transform` (a scale by at most 1, then a move), made from the smallest
    // copy that still has at least one pixel per output pixel; any other transform, from the photo.
    pf::Image imageByApplyingTransform(const pf::AffineTransform& transform) const;
    // The photo as copy `level` shows it, in the photo's coordinates (level 0: the photo itself).
    pf::Image imageAtLevel(int level) const;
    // The level a scale is made from; 0 without copies.
    int levelForScale(double scale) const;
    // Copies made so far (for tests).
    int madeLevels() const;

    static constexpr int maximumLevel = 6;

private:
    pf::Bitmap reduced(int level) const;

    pf::Image m_original;
    pf::Bitmap m_bitmap; // the photo's pixels when it is a bitmap at the origin
    mutable std::mutex m_mutex;
    mutable std::array<pf::Image, maximumLevel + 1> m_levels;
};
