#include "Classes/Framework/Toolkit/OVHoverWindowController.h"

#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Classes/Framework/Toolkit/OVToolkitInterfaces.h"
#include "Platform/UI/TrackingArea.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"

#include <cmath>

namespace {

// The window's margins: above the picture, between it and the description, below the description.
constexpr double topMargin = 10, gap = 10, bottomMargin = 14, sideMargin = 10;

} // namespace

OVHoverWindowController::OVHoverWindowController()
{
    OVToolkitInterfaces::registerInterfaces();
}

OVHoverWindowController::~OVHoverWindowController()
{
    if (m_exitTrackingArea && m_exitTrackingView)
        m_exitTrackingView->removeTrackingArea(m_exitTrackingArea);
}

void OVHoverWindowController::windowDidLoad()
{
    OVWindowController::windowDidLoad();
    pf::Window* w = loadedWindow();
    w->setBackgroundColor(Qt::transparent);
    w->setOpaque(false);
}

OVImageView* OVHoverWindowController::imageView() const
{
    return outlet<OVImageView>(QStringLiteral("imageView"));
}

QLabel* OVHoverWindowController::titleTF()
{
    return window() ? outlet<QLabel>(QStringLiteral("titleTF")) : nullptr;
}

QLabel* OVHoverWindowController::descriptionTF()
{
    return window() ? outlet<QLabel>(QStringLiteral("descriptionTF")) : nullptr;
}

void OVHoverWindowController::shrinkToFit()
{
    pf::Window* w = window();
    QLabel* description = descriptionTF();
    OVImageView* picture = imageView();
    if (!w || !description || !picture)
        return;
    const double d = description->text().isEmpty() ? 0 : description->heightForWidth(int(descriptionWidth));
    const double height = picture->intrinsicContentSize().height + std::max(0.0, d) + 20.0 + 10.0 + 4.0;
    const pf::Rect frame = w->frame();
    w->setFrame(pf::Rect(frame.minX(), frame.minY(), frame.width(), height));
    layOut(pf::Size(frame.width(), height));
}

void OVHoverWindowController::layOut(pf::Size window)
{
    OVImageView* picture = imageView();
    if (!picture)
        return;
    // From the window's new size: a hidden window's content takes its size only when shown.
    const pf::Rect content(0, 0, window.width, window.height);
    const pf::Size size = picture->intrinsicContentSize();
    // The picture at the top left, the title beside it, the description below: all from the top.
    picture->setFrame(
        pf::Rect(sideMargin, content.height() - topMargin - size.height, size.width, size.height));
    const int pictureBottom = int(std::lround(topMargin + size.height));
    if (QLabel* title = outlet<QLabel>(QStringLiteral("titleTF"))) {
        const int x = int(std::lround(sideMargin * 2 + size.width));
        title->setGeometry(x, int(topMargin), std::max(0, int(content.width()) - x - int(sideMargin)),
                           std::max(16, int(std::lround(size.height))));
    }
    if (QLabel* description = outlet<QLabel>(QStringLiteral("descriptionTF")))
        description->setGeometry(
            int(sideMargin), pictureBottom + int(gap), int(descriptionWidth),
            std::max(0, int(content.height()) - pictureBottom - int(gap) - int(bottomMargin) + 4));
}

void OVHoverWindowController::showWindowOverView(pf::View* view)
{
    pf::Window* w = window();
    OVImageView* picture = imageView();
    pf::Window* owner = view ? view->window() : nullptr;
    if (!w || !picture || !owner)
        return;
    picture->captureView(view);
    shrinkToFit();
    const bool wasVisible = w->isVisible() && w->parentWindow() == owner;
    // The picture exactly over the view.
    const pf::Point inWindow = picture->convertPointToView(pf::Point(0, 0), nullptr);
    const pf::Point onScreen =
        owner->convertPointToScreen(view->convertPointToView(pf::Point(0, 0), nullptr));
    const pf::Rect frame = w->frame();
    w->setFrame(pf::Rect(onScreen.x - inWindow.x, onScreen.y - inWindow.y, frame.width(), frame.height()));
    if (!wasVisible) {
        owner->addChildWindow(w);
        // Showing tells the window's observers, who may delete the window or this controller with it.
        const QPointer<pf::Window> guard(w);
        w->orderFront();
        if (guard)
            updateTrackingArea();
    }
}

void OVHoverWindowController::updateTrackingArea()
{
    if (m_exitTrackingArea) {
        if (m_exitTrackingView)
            m_exitTrackingView->removeTrackingArea(m_exitTrackingArea);
        m_exitTrackingArea = nullptr;
    }
    pf::Window* w = loadedWindow();
    pf::View* track = trackView();
    if (!w || !w->isVisible() || !track)
        return;
    // Following the view's visible rectangle, the area keeps up with the view's size by itself.
    m_exitTrackingView = track;
    m_exitTrackingArea = track->addTrackingArea(std::make_unique<pf::TrackingArea>(
        track->bounds(),
        pf::TrackingArea::MouseEnteredAndExited | pf::TrackingArea::ActiveInActiveApp |
            pf::TrackingArea::InVisibleRect,
        this));
}

void OVHoverWindowController::close()
{
    pf::Window* w = loadedWindow();
    if (!w)
        return;
    // Closing tells the window's observers, who may delete it (and this controller with it).
    const QPointer<pf::Window> guard(w);
    w->close();
    if (!guard)
        return;
    if (pf::Window* owner = w->parentWindow())
        owner->removeChildWindow(w);
}
