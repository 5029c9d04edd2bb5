#include "Classes/Framework/Toolkit/OVShadowedScrollView.h"

#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Platform/Foundation/NotificationCenter.h"
#include "Platform/UI/ClipView.h"

#include <algorithm>

OVShadowedScrollView::OVShadowedScrollView(const pf::Rect& frame, QWidget* parent)
    : pf::ScrollView(frame, parent)
{}

OVShadowedScrollView::~OVShadowedScrollView()
{
    m_observer.reset();
    // The shadows live in the superview; they go with the scroll view.
    delete m_topShadow.data();
    delete m_bottomShadow.data();
}

void OVShadowedScrollView::adopt(OVImageView* shadow, bool show)
{
    if (!shadow)
        return;
    pf::View* parent = superview();
    if (show && parent)
        parent->addSubview(shadow);
    else if (shadow->superview()) {
        shadow->removeFromSuperview();
        // Kept (and deleted) by the scroll view while not shown, in no view at all.
        shadow->hide();
    }
    if (show && parent)
        shadow->show();
}

void OVShadowedScrollView::setShowTopShadow(bool show)
{
    m_showTop = show;
    adopt(m_topShadow, show);
    placeShadows();
}

void OVShadowedScrollView::setShowBottomShadow(bool show)
{
    m_showBottom = show;
    adopt(m_bottomShadow, show);
    placeShadows();
}

void OVShadowedScrollView::pushShadowsToFront()
{
    adopt(m_topShadow, m_showTop);
    adopt(m_bottomShadow, m_showBottom);
}

void OVShadowedScrollView::viewWillMoveToSuperview(pf::View* newSuperview)
{
    pf::ScrollView::viewWillMoveToSuperview(newSuperview);
    if (!newSuperview)
        m_observer.reset();
}

void OVShadowedScrollView::viewDidMoveToSuperview()
{
    pf::ScrollView::viewDidMoveToSuperview();
    if (!superview()) {
        // Out of every superview: the shadows come along, hidden, until the next one.
        adopt(m_topShadow, false);
        adopt(m_bottomShadow, false);
        return;
    }
    m_observer = pf::NotificationCenter::defaultCenter().addObserver(
        QString::fromLatin1(pf::ClipView::boundsDidChangeNotification), contentView(),
        [this](const pf::Notification&) { scrollviewDidScroll(); });
    if (!m_bottomShadow) {
        m_bottomShadow = new OVImageView(pf::Rect());
        m_bottomShadow->setGravity(OVImageView::Fill);
        m_bottomShadow->setImageName(QStringLiteral("BentBottomShadow"));
        m_bottomShadow->setAutoresizingMask(pf::View::WidthSizable | pf::View::MaxYMargin);
        m_bottomShadow->setTransparentForMouse(true);
    }
    if (!m_topShadow) {
        m_topShadow = new OVImageView(pf::Rect());
        m_topShadow->setGravity(OVImageView::Fill);
        m_topShadow->setImageName(QStringLiteral("BentTopShadow"));
        m_topShadow->setAutoresizingMask(pf::View::WidthSizable | pf::View::MinYMargin);
        m_topShadow->setTransparentForMouse(true);
    }
    // Shadows left in another superview come along into this one.
    adopt(m_bottomShadow, m_showBottom);
    adopt(m_topShadow, m_showTop);
    placeShadows();
}

void OVShadowedScrollView::placeShadows()
{
    pf::View* parent = superview();
    if (!parent)
        return;
    const pf::Rect f = frame();
    const bool flipped = parent->isFlipped();
    const pf::Rect low(f.minX(), f.minY(), f.width(), shadowHeight);
    const pf::Rect high(f.minX(), f.minY() + f.height() - shadowHeight, f.width(), shadowHeight);
    if (m_bottomShadow)
        m_bottomShadow->setFrame(flipped ? high : low);
    if (m_topShadow)
        m_topShadow->setFrame(flipped ? low : high);
    scrollviewDidScroll();
}

void OVShadowedScrollView::scrollviewDidScroll()
{
    pf::View* document = documentView();
    if (!document)
        return;
    const pf::Rect visible = documentVisibleRect();
    const double d = document->frame().height();
    const double y = visible.minY(), h = visible.height();
    const double top = std::clamp((d - (y + h)) / fadeDistance, 0.0, 1.0);
    const double bottom =
        std::clamp((m_contentHeight >= 0 ? y + m_contentHeight - d : y) / fadeDistance, 0.0, 1.0);
    if (m_topShadow)
        m_topShadow->setAlphaValue(top);
    if (m_bottomShadow)
        m_bottomShadow->setAlphaValue(bottom);
}

void OVShadowedScrollView::moveEvent(QMoveEvent* event)
{
    pf::ScrollView::moveEvent(event);
    placeShadows();
}

void OVShadowedScrollView::resizeEvent(QResizeEvent* event)
{
    pf::ScrollView::resizeEvent(event);
    placeShadows();
}
