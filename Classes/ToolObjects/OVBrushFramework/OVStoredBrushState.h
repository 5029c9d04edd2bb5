#pragma once

#include "Classes/ToolObjects/OVBrushFramework/OVMaskBrushProtocol.h"

// The part of a mask brush that is only held: the start and background images, the brush size and the
// face width, kept as set. `Protocol` is the brush protocol the brush adopts; a brush that does more
// when one of them is set overrides that setter.
template <class Protocol> class OVStoredBrushState : public Protocol
{
public:
    pf::Image startImage() const override { return m_startImage; }
    void setStartImage(const pf::Image& image) override { m_startImage = image; }
    pf::Image backgroundImage() const override { return m_backgroundImage; }
    void setBackgroundImage(const pf::Image& image) override { m_backgroundImage = image; }
    double brushSize() const override { return m_brushSize; }
    void setBrushSize(double size) override { m_brushSize = size; }
    void setFaceWidth(double width) override { m_faceWidth = width; }

protected:
    pf::Image m_startImage;
    pf::Image m_backgroundImage;
    double m_brushSize = 0;
    double m_faceWidth = 0;
};
