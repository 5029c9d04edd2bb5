#pragma once

#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Platform/Foundation/ObserverToken.h"
#include "Platform/UI/ScrollView.h"

#include <QPointer>

// A scroll view with a soft shadow along its top edge while content is hidden above, and one along its
// bottom edge while content is hidden below, each at full strength once 15 points are hidden on its side.
// The shadows are image views in the scroll view's superview, over its top and bottom 14 points; they go
// along when the scroll view moves to another superview. A list that makes its document at least as tall
// as the scroll view sets contentHeight, so that the bottom shadow measures the real content.
class OVShadowedScrollView : public pf::ScrollView
{
    Q_OBJECT

public:
    static constexpr double shadowHeight = 14;
    static constexpr double fadeDistance = 15;

    explicit OVShadowedScrollView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);
    ~OVShadowedScrollView() override;

    bool showTopShadow() const { return m_showTop; }
    void setShowTopShadow(bool show);
    bool showBottomShadow() const { return m_showBottom; }
    void setShowBottomShadow(bool show);
    // -1: unset, the document's own height counts.
    double contentHeight() const { return m_contentHeight; }
    void setContentHeight(double height) { m_contentHeight = height; }
    OVImageView* topShadow() const { return m_topShadow; }
    OVImageView* bottomShadow() const { return m_bottomShadow; }

    // Puts both shadows above views added to the superview since.
    void pushShadowsToFront();
    // Recomputes the shadows' opacity.
    void scrollviewDidScroll();
    // Places the shadows over the edges of the frame.
    void placeShadows();

    void viewWillMoveToSuperview(pf::View* superview) override;
    void viewDidMoveToSuperview() override;

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void adopt(OVImageView* shadow, bool show);

    QPointer<OVImageView> m_topShadow, m_bottomShadow;
    bool m_showTop = true;
    bool m_showBottom = true;
    double m_contentHeight = -1;
    pf::ObserverToken m_observer;
};
