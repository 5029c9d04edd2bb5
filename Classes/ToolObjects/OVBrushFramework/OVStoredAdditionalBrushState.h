#pragma once

#include "Classes/ToolObjects/OVBrushFramework/OVAdditionalBrushProtocol.h"
#include "Classes/ToolObjects/OVBrushFramework/OVStoredBrushState.h"

// The part of an additional brush that is only held: what every mask brush keeps, plus the stroke's
// mask and the mask it started from, kept as set. A brush that does more when one of the masks is set
// overrides that setter.
class OVStoredAdditionalBrushState : public OVStoredBrushState<OVAdditionalBrushProtocol>
{
public:
    pf::Image maskImage() const override { return m_maskImage; }
    void setMaskImage(const pf::Image& image) override { m_maskImage = image; }
    pf::Image startMaskImage() const override { return m_startMaskImage; }
    void setStartMaskImage(const pf::Image& image) override { m_startMaskImage = image; }

protected:
    // The stock picture `name`.`type` among the resources. Where it is missing or unreadable the
    // picture is null and a warning names it as `what` and says what the brush does without it.
    static pf::Image stockPicture(const QString& what, const QString& name, const QString& type,
                                  const QString& without);

    pf::Image m_maskImage;
    pf::Image m_startMaskImage;
};
