#include "Classes/Editor/GMBackgroundLayer.h"

#include "Classes/Editor/HostedViewGeometry.h"
#include "Platform/UI/Transaction.h"
#include "Platform/UI/Window.h"

GMBackgroundLayer::GMBackgroundLayer()
{
    setAutoresizingMask(NotSizable);
}

void GMBackgroundLayer::setReferenceView(pf::View* view)
{
    m_referenceView = view;
    updateFrame();
}

void GMBackgroundLayer::updateFrame()
{
    pf::Window* window = m_referenceView ? m_referenceView->window() : nullptr;
    pf::View* content = window ? window->contentView() : nullptr;
    if (!content)
        return;
    pf::Rect r = m_referenceView->convertRectFromView(content->bounds(), content);
    // From the reference view's layer into this layer's superlayer, when both lie in one tree.
    const auto referenceLayer = HostedViewGeometry::layerOfView(m_referenceView);
    if (referenceLayer && superlayer() && superlayer()->rootLayer() == referenceLayer->rootLayer())
        r = superlayer()->convertRectFromLayer(r, referenceLayer.get());
    const pf::Transaction::Scope atOnce(true);
    setFrame(r);
}
