#pragma once

#include "Platform/Image/PaintColor.h"
#include "Platform/UI/Drawing.h"

#include <functional>
#include <optional>

// A painted view that draws a shadow under what it draws, given by name (ViewORVExtension::setShadowName)
// or directly; one that draws text may take the text colour that goes with a named shadow as well.
class OVShadowedView
{
public:
    virtual ~OVShadowedView() = default;

    virtual std::optional<pf::Shadow> viewShadow() const = 0;
    virtual void setViewShadow(const std::optional<pf::Shadow>& shadow) = 0;
    virtual bool hasTextColor() const { return false; }
    virtual void setTextColor(const pf::PaintColor&) {}

protected:
    // Draws `content` over `area` with the view's shadow under it, or plainly when it has none.
    void drawUnderViewShadow(QPainter& painter, const pf::Rect& area,
                             const std::function<void(QPainter&)>& content) const
    {
        if (const std::optional<pf::Shadow> shadow = viewShadow())
            pf::drawWithShadow(painter, *shadow, area, content);
        else
            content(painter);
    }
};
