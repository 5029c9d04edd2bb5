#pragma once

#include "Platform/Foundation/AffineTransform.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/Foundation/Size.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Filter.h"
#include "Platform/Image/Image.h"

#include <QString>
#include <QVariantMap>

// A pattern image of a requested size made from one small tile (cut from the photo or loaded by name),
// for effects that lay a texture over the photograph. The tile is enlarged by a whole factor so that it
// is about `ownSizeRelativeToTargetWidth` of the target's width, then by the visible part of the target
// and the resize factor; the tiling itself is the pattern filter's. The tiling parameters are worked
// out again whenever one of the placement values changes, and the tiled image is made again at the next
// request after that. A pattern can also draw itself into a bitmap on the CPU. Used on one thread.
class GMPattern
{
public:
    // The tile and the size of the pattern image to make, in pixels.
    GMPattern(const pf::Image& tile, const pf::Size& size);
    // The tile read from a file; a file that cannot be read leaves the pattern without a tile.
    static GMPattern fromFile(const QString& path, const pf::Size& size);
    // "relativeSizeToTarget" (a number) and "fileName" ("name.type", a resource of the application).
    static GMPattern fromDictionary(const QVariantMap& dictionary, const pf::Size& size);

    // The tiled image, made again when it is missing or stale; nothing without a tile.
    pf::Image patternImage();
    // With a tile: makes the tiled image and marks it fresh. Without one the old image stays.
    void createPatternImage();
    // The pattern filter's output for the tile at patternImageSize x resizeFactor; nothing without a tile.
    pf::Image ciPatternImage() const;

    const pf::Image& singlePattern() const { return m_singlePattern; }
    // A null image is ignored; any other becomes the tile (not cut from the photo).
    void setSinglePattern(const pf::Image& tile);
    const pf::Size& patternImageSize() const { return m_patternImageSize; }
    void setPatternImageSize(const pf::Size& size) { setTransformValue(m_patternImageSize, size); }
    double targetWidthInPixels() const { return m_targetWidthInPixels; }
    void setTargetWidthInPixels(double width) { setTransformValue(m_targetWidthInPixels, width); }
    const pf::Size& originalImageSize() const { return m_originalImageSize; }
    void setOriginalImageSize(const pf::Size& size) { setTransformValue(m_originalImageSize, size); }
    double resizeFactor() const { return m_resizeFactor; }
    void setResizeFactor(double factor) { setTransformValue(m_resizeFactor, factor); }
    const pf::Rect& currentTargetFrame() const { return m_currentTargetFrame; }
    // Also sets the zoom factors to 1 / width and 1 / height of the frame.
    void setCurrentTargetFrame(const pf::Rect& frame);

    // Plain values: setting them does not make the pattern stale.
    double ownSizeRelativeToTargetWidth() const { return m_ownSizeRelativeToTargetWidth; }
    void setOwnSizeRelativeToTargetWidth(double relative) { m_ownSizeRelativeToTargetWidth = relative; }
    bool isCutOutFromImage() const { return m_isCutOutFromImage; }
    void setIsCutOutFromImage(bool cutOut) { m_isCutOutFromImage = cutOut; }
    const pf::Size& zoomFactors() const { return m_zoomFactors; }
    void setZoomFactors(const pf::Size& factors) { m_zoomFactors = factors; }
    bool transformValuesDidChange() const { return m_transformValuesDidChange; }
    // The filter that tiles, with its offset and zoom as last worked out.
    const pf::FilterPtr& imageWithPatternFilter() const { return m_imageWithPatternFilter; }

    // The Gaussian blur of an image, cut back to its extent.
    pf::Image gaussBlurImage(const pf::Image& image, double radius) const;
    // The image transformed, its edge pixels extended to infinity.
    pf::Image ciimageByApplyTransform(const pf::AffineTransform& transform, const pf::Image& image) const;
    // The image scaled by k with its edges extended, cut to its extent scaled by k.
    pf::Image affineClampScaleImage(const pf::Image& image, double k) const;
    // Kept for the effects' settings; a tile is cut from the photo elsewhere.
    void createSinglePatternFromImage(const pf::Image&) {}

    // The pattern drawn into a new bitmap of patternImageSize (sides truncated), rows top-down, tiles
    // from the bottom-left corner, without interpolation. A null bitmap without a tile or when no bitmap
    // of that size can be made.
    pf::Bitmap newPatternCGImage() const;

private:
    // The whole enlargement of the tile: ceil(target width x relative size, at least 6) over the tile's
    // width, rounded up. 0 for a tile without width (then there is no pattern).
    double wholeZoom() const;
    // The zoom the pattern filter gets (both axes).
    double zoom() const;
    bool hasTile() const;
    void updateTransformParameters();
    // A value the tiling is worked out from: stores it and works the tiling out again.
    template <typename T> void setTransformValue(T& member, const T& value)
    {
        member = value;
        updateTransformParameters();
    }

    pf::Image m_singlePattern;
    pf::Image m_patternImage;
    pf::Size m_patternImageSize;
    pf::FilterPtr m_imageWithPatternFilter;
    double m_targetWidthInPixels = 0;
    double m_ownSizeRelativeToTargetWidth = 0;
    bool m_isCutOutFromImage = false;
    bool m_transformValuesDidChange = false;
    pf::Size m_zoomFactors{1, 1};
    pf::Rect m_currentTargetFrame{0, 0, 1, 1};
    pf::Size m_originalImageSize{0, 0};
    double m_resizeFactor = 1.0;
};
