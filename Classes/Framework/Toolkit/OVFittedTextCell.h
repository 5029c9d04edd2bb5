#pragma once

#include "Platform/UI/TextFieldCell.h"

#include <memory>

// A text field cell whose font is exactly as large as its text needs to fill the field: the text set in
// the font's face at 100 points is measured, and the size that makes it fit both the width and the height
// is taken (not rounded). It re-fits at its first drawing, when its text changes, when a font is set
// from outside, and when its view's size differs at a drawing from the size it last fitted. While a
// re-fit is in progress (until the main queue has run after it) fonts pass straight through.
//
// Nothing is re-fitted for an empty text, a text that measures nothing in one direction (only line
// breaks) or a field without area: the font stays as it is.
class OVFittedTextCell : public pf::TextFieldCell
{
public:
    ~OVFittedTextCell() override { *m_alive = false; }

    // The text with the cell's alignment, line breaking, font and colour.
    pf::AttributedString stringWithFieldAttributes() const;
    // Re-fits to `font`'s face when something changed; whether it did.
    bool adaptToFont(const QFont& font);

    void drawWithFrame(QPainter& painter, const pf::Rect& frame, pf::View* view) override;
    // Every call from outside a re-fit counts as a change of font.
    void setFont(const QFont& font) override;
    void textDidChange() override;

    bool isAdapting() const { return m_isAdapting; }
    pf::Size lastSize() const { return m_lastSize; }

private:
    bool m_isAdapting = false;
    bool m_textChange = false;
    bool m_fontChange = false;
    pf::Size m_lastSize;
    // Tells a queued clearing block whether the cell still exists.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
