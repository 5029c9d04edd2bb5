#pragma once

#include "Classes/Framework/Toolkit/OVWindowCursorAndHint.h"
#include "Platform/UI/View.h"

namespace pf {
class TrackingArea;
}

// Lies over a picture and chooses a crop of it at a fixed aspect ratio: everything outside the crop
// rectangle is darkened, and dragging on the picture moves the rectangle, which always stays inside.
//
// The picture covers the "active area", the largest rectangle of the picture's proportions centred in
// the view. The crop rectangle is in unit coordinates of that area: (0, 0) its lower-left corner, (1, 1)
// its upper right. The user never resizes the rectangle: a new crop ratio derives its size from the
// current one, shrinking it where needed so that it fits. Main thread only.
class OVCropView : public pf::View
{
    Q_OBJECT

public:
    explicit OVCropView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);
    ~OVCropView() override;

    // The picture's width / height. Not finite or not positive: no picture, an empty active area.
    double activeAreaRatio() const { return m_activeAreaRatio; }
    void setActiveAreaRatio(double ratio);
    // The wanted width / height of the crop in picture units; 1 from creation. A ratio that is not
    // finite and positive is refused (the rectangle keeps its shape).
    double cropRatio() const { return m_cropRatio; }
    void setCropRatio(double ratio);
    pf::Rect cropRect() const { return m_cropRect; }
    // Stores the rectangle as given and redraws.
    void setCropRect(const pf::Rect& rect);
    // Stored only.
    bool flexibleSize() const { return m_flexibleSize; }
    void setFlexibleSize(bool flag) { m_flexibleSize = flag; }

    // The part of the view the picture covers (own coordinates).
    pf::Rect activeArea() const { return m_activeArea; }
    // The crop rectangle in own coordinates.
    pf::Rect cropRectInView() const;
    bool isDragging() const { return m_isDragging; }

    void updateActiveArea();
    // Re-derives the rectangle for the crop ratio around its current centre.
    void updateCropRect();
    // The rectangle at the crop ratio, its centre as near `center` (unit coordinates) as keeps it inside.
    // Nothing while the active area is empty: there is no picture to measure against.
    void updateCropRectForCenter(pf::Point center);

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;
    void updateTrackingAreas() override;
    void mouseDown(const pf::Event& event) override;
    void mouseDragged(const pf::Event& event) override;
    void mouseUp(const pf::Event& event) override;
    void mouseEntered(const pf::Event& event) override;
    void mouseExited(const pf::Event& event) override;
    void viewWillMoveToWindow(pf::Window* window) override;

    // A new size places the active area anew (the rectangle keeps its unit size).
    void resizeSubviewsWithOldSize(pf::Size oldSize) override;

private:
    pf::Point dragLocation; // where the current drag began (own coordinates)
    pf::Point dragCenter;   // the crop's centre when it began (unit coordinates)
    pf::Rect m_activeArea;  // own coordinates
    pf::TrackingArea* m_trackingArea = nullptr;
    bool m_isDragging = false;
    bool m_flexibleSize = false;
    double m_activeAreaRatio = 0;
    double m_cropRatio = 1.0;
    pf::Rect m_cropRect{0, 0, 1, 1};
    OVWindowCursorAndHint m_cursor{this}; // the hand this view has put up, and in which window
};
