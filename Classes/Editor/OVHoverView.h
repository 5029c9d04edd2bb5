#pragma once

#include "Classes/Framework/Toolkit/OVImageView.h"

class OVHoverViewDelegate;
namespace pf {
class TrackingArea;
}

// An image view that shows one picture normally and its "Hovered" twin while the pointer is over it,
// and tells its delegate when that changes, and when it is clicked. It tracks the pointer once it has been
// shown through setVisible(true) (while its window is key); hiding a hovered view ends the hover, and the
// delegate hears that too.
class OVHoverView : public OVImageView
{
    Q_OBJECT

public:
    using OVImageView::OVImageView;

    // The twin's name: "KnobBig.png" gives "KnobBigHovered.png", "Icon" gives "IconHovered".
    static QString hoverNameFor(const QString& name);
    // An application image by name, or else a file at that path, with its twin.
    void setImageName(const QString& name);

    bool hovered() const { return m_hovered; }
    QImage unhoverImage() const { return m_unhoverImage; }
    void setUnhoverImage(const QImage& image) { setStatePicture(m_unhoverImage, image); }
    QImage hoverImage() const { return m_hoverImage; }
    void setHoverImage(const QImage& image) { setStatePicture(m_hoverImage, image); }
    void updateImage();
    pf::TrackingArea* trackingArea() const { return m_trackingArea; }

    // Not owned; clear it before the delegate goes.
    OVHoverViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(OVHoverViewDelegate* delegate) { m_delegate = delegate; }

    void setVisible(bool visible) override;
    void mouseEntered(const pf::Event& event) override;
    void mouseExited(const pf::Event& event) override;
    // A press and a release over the view are a click for the delegate; they go no further.
    void mouseDown(const pf::Event& event) override;
    void mouseDragged(const pf::Event& event) override;
    void mouseUp(const pf::Event& event) override;

private:
    void setHovered(bool hovered);
    // One of the two pictures: stores it and shows the one of the present state.
    void setStatePicture(QImage& picture, const QImage& image)
    {
        picture = image;
        updateImage();
    }

    bool m_hovered = false;
    pf::TrackingArea* m_trackingArea = nullptr;
    QImage m_unhoverImage, m_hoverImage;
    OVHoverViewDelegate* m_delegate = nullptr;
};
