#include "Classes/Framework/Toolkit/OVOverlayScrollView.h"

#include "Platform/UI/ClipView.h"

void OVOverlayScrollView::setScrollerKnobStyle(OVScroller::KnobStyle style)
{
    m_knobStyle = style;
    tile();
}

void OVOverlayScrollView::tile()
{
    ScrollView::tile();
    contentView()->setFrame(bounds());
    if (auto* scroller = qobject_cast<OVScroller*>(verticalScroller())) {
        scroller->setKnobStyle(m_knobStyle == OVScroller::KnobStyle::Light ? OVScroller::KnobStyle::Light
                                                                           : OVScroller::KnobStyle::Dark);
        scroller->raise();
    }
    reflectScrolledClipView();
}
