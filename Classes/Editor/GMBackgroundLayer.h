#pragma once

#include "Platform/UI/Layer.h"
#include "Platform/UI/View.h"

#include <QPointer>
#include <memory>

// A layer that covers the whole content of the window of a reference view, in its own superlayer's
// coordinates: a window background behind layers that reach beyond their views. It does not resize with
// its superlayer; updateFrame() places it again.
class GMBackgroundLayer : public pf::Layer
{
public:
    GMBackgroundLayer();
    static std::shared_ptr<GMBackgroundLayer> create() { return std::make_shared<GMBackgroundLayer>(); }

    pf::View* referenceView() const { return m_referenceView; }
    void setReferenceView(pf::View* view);
    void updateFrame();

private:
    QPointer<pf::View> m_referenceView;
};
