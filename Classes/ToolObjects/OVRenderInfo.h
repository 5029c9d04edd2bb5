#pragma once

#include "Classes/ToolObjects/OVFaceSource.h"
#include "Platform/Foundation/Point.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/Foundation/Size.h"
#include "Platform/Image/Image.h"

#include <memory>
#include <vector>

// What a brush needs to know of the photo under one view: a normalised rectangle of the photo (0..1 of
// its extent, y up), the pixel size it is shown at, the photo cut to it and the faces of the photo. A
// value: never changed after it is handed out, so render threads read it without a lock.
class OVRenderInfo
{
public:
    using Features = std::shared_ptr<const std::vector<pf::FaceFeature>>;

    const pf::Rect& rect() const { return m_rect; }
    void setRect(const pf::Rect& rect) { m_rect = rect; }
    const pf::Size& rectSize() const { return m_rectSize; }
    void setRectSize(const pf::Size& size) { m_rectSize = size; }
    const pf::Size& originalSize() const { return m_originalSize; }
    void setOriginalSize(const pf::Size& size) { m_originalSize = size; }
    // The photo cropped to rect() and scaled to rectSize().
    const pf::Image& image() const { return m_image; }
    void setImage(const pf::Image& image) { m_image = image; }
    // The same image: brushes read it as the photo under the mask.
    const pf::Image& backgroundImage() const { return m_backgroundImage; }
    void setBackgroundImage(const pf::Image& image) { m_backgroundImage = image; }
    // The faces in photo pixel coordinates; never null.
    const std::vector<pf::FaceFeature>& features() const { return *m_features; }
    const Features& sharedFeatures() const { return m_features; }
    void setFeatures(Features features);

    // The width, in this record's pixels, of the first face whose bounds contain the point (this
    // record's pixels, 0..rectSize; left and bottom edges inside, right and top outside); 0 when no face
    // contains it or the record has no area.
    double faceWidthAtPoint(const pf::Point& point) const;

private:
    pf::Rect m_rect;
    pf::Size m_rectSize;
    pf::Size m_originalSize;
    pf::Image m_image;
    pf::Image m_backgroundImage;
    Features m_features = std::make_shared<const std::vector<pf::FaceFeature>>();
};
