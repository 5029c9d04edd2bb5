#pragma once

#include "Classes/Framework/Toolkit/OVShadowedView.h"
#include "Platform/Image/Image.h"
#include "Platform/UI/View.h"

#include <QColor>
#include <QImage>
#include <QPointer>
#include <memory>
#include <optional>

class OVViewDelegate;

namespace pf {
class Timer;
} // namespace pf

// The toolkit's image view: draws an interface image (QImage) or an engine image (pf::Image) into its
// bounds, placed by gravity, fitted or covering with its aspect kept, optionally stretched, a QImage
// nine-sliced around a stretchable middle; with an opacity and a border. It tells a delegate of clicks
// and of being resized with its superview, can keep itself in front of its siblings and can let the
// pointer drag its window.
class OVImageView : public pf::View, public OVShadowedView
{
    Q_OBJECT

public:
    // Gravity bits: 2 top (else centred vertically), 16 right, else 8 left (else centred horizontally).
    // Fill (256) stretches to the bounds, or covers them with aspectFit.
    enum Gravity : int
    {
        Top = 2,
        Left = 8,
        Right = 16,
        Fill = 256,
    };

    explicit OVImageView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);
    ~OVImageView() override;

    QImage image() const { return m_image; }
    // A new image replaces an engine image; the same image again changes nothing. The stretchable middle
    // becomes the whole image.
    void setImage(const QImage& image);
    pf::Image ciImage() const { return m_ciImage; }
    // Replaces the interface image. Engine images are drawn at full strength, whatever the opacity.
    void setCIImage(const pf::Image& image);
    // An application image by name; options in a resource name ("Name#x-y-w-h") give the stretchable
    // middle in the image's points, from its lower left (missing numbers keep the whole image's).
    void setImageName(const QString& name);
    pf::Rect stretchRect() const { return m_stretchRect; }
    void setStretchRect(const pf::Rect& rect);

    int gravity() const { return m_gravity; }
    void setGravity(int gravity);
    bool aspectFit() const { return m_aspectFit; }
    void setAspectFit(bool flag);
    bool upscaleIfNeeded() const { return m_upscaleIfNeeded; }
    void setUpscaleIfNeeded(bool flag) { m_upscaleIfNeeded = flag; }
    double opacity() const { return m_opacity; }
    void setOpacity(double opacity);
    void setOpacityString(const QString& text);
    double borderWidth() const { return m_borderWidth; }
    void setBorderWidth(double width);
    std::optional<QColor> borderColor() const { return m_borderColor; }
    void setBorderColor(const std::optional<QColor>& color);
    // Colour text (see OVColor).
    void setBorderColorName(const QString& text);
    bool borderedImage() const { return m_borderedImage; }
    void setBorderedImage(bool flag);

    bool noHitTesting() const { return m_noHitTesting; }
    void setNoHitTesting(bool flag) { m_noHitTesting = flag; }
    bool dragsWindow() const { return m_dragsWindow; }
    void setDragsWindow(bool flag) { m_dragsWindow = flag; }
    // Views here have no layer whose transform a frame change could reset: the flag is kept for the
    // interfaces that set it.
    bool protectTransform() const { return m_protectTransform; }
    void setProtectTransform(bool flag) { m_protectTransform = flag; }
    bool keepFront() const { return m_keepFront; }
    void setKeepFront(bool flag);
    // Re-checks the front position at the next turn.
    void verifyKeepFrontHint();

    // Fixed sizes in place of layout constraints: with one of them the other follows the image's aspect.
    std::optional<double> fixedWidth() const { return m_fixedWidth; }
    void setFixedWidth(std::optional<double> width);
    std::optional<double> fixedHeight() const { return m_fixedHeight; }
    void setFixedHeight(std::optional<double> height);
    pf::Size intrinsicContentSize() const;
    QSize sizeHint() const override;

    OVViewDelegate* viewDelegate() const;
    // Not owned; a delegate that is a QObject is dropped when it goes.
    void setViewDelegate(OVViewDelegate* delegate);

    // Shows a picture of another view as it looks now.
    void captureView(pf::View* view);

    // Where the image is drawn for bounds of this size (y-up); the null rectangle when nothing is drawn.
    pf::Rect destinationRect() const;

    // A shadow under what the view draws (a named one through ViewORVExtension::setShadowName).
    std::optional<pf::Shadow> viewShadow() const override { return m_viewShadow; }
    void setViewShadow(const std::optional<pf::Shadow>& shadow) override;

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;
    pf::View* hitTest(pf::Point pointInSuperview) override;
    void mouseDown(const pf::Event& event) override;
    void mouseDragged(const pf::Event& event) override;
    void mouseUp(const pf::Event& event) override;
    void resizeWithOldSuperviewSize(pf::Size oldSuperviewSize) override;
    void viewDidMoveToSuperview() override;

private:
    pf::Size imageSize() const;
    void drawNineSlices(QPainter& painter, const pf::Rect& destination) const;
    void drawContent(QPainter& painter);
    QImage renderedCIImage(pf::Size size, double scale);
    void dropRendering();
    void updateKeepFrontTimer();
    void keepFrontTimed();

    QImage m_image;
    pf::Image m_ciImage;
    pf::Rect m_stretchRect;
    int m_gravity = Fill;
    bool m_aspectFit = false;
    bool m_upscaleIfNeeded = false;
    double m_opacity = 1.0;
    double m_borderWidth = 0;
    std::optional<QColor> m_borderColor;
    std::optional<pf::Shadow> m_viewShadow;
    bool m_borderedImage = false;
    bool m_noHitTesting = false;
    bool m_dragsWindow = false;
    bool m_protectTransform = true;
    bool m_keepFront = false;
    std::shared_ptr<pf::Timer> m_keepFrontTimer;
    std::optional<double> m_fixedWidth, m_fixedHeight;
    OVViewDelegate* m_delegate = nullptr;
    QPointer<QObject> m_delegateObject;
    bool m_delegateIsObject = false;

    // The engine image rendered at the size it was last drawn, in device pixels.
    QImage m_rendered;
    QSize m_renderedSize;

    // A drag of the window: the pointer and the window's origin on the screen when it started.
    bool m_draggingWindow = false;
    pf::Point m_dragStartPointer, m_dragStartOrigin;
};
