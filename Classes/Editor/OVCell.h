#pragma once

#include "Platform/Foundation/Rect.h"
#include "Platform/UI/AttributedString.h"

#include <QColor>
#include <QImage>
#include <QString>

class QPainter;
namespace pf {
class View;
}

// A drawing object a control shows: its bezel, then its interior (the title or the text value) in the
// frame the control gives it. Our interfaces have no cells of their own; OVCellControl shows one.
class OVCell
{
public:
    OVCell() = default;
    explicit OVCell(const QString& text);
    explicit OVCell(const QImage& image);
    virtual ~OVCell() = default;

    // The attributed title (a button's) or string value (a text field's).
    const pf::AttributedString& attributedStringValue() const { return m_value; }
    void setAttributedStringValue(const pf::AttributedString& value) { m_value = value; }
    QString stringValue() const { return m_value.string(); }
    virtual void setStringValue(const QString& text);
    QImage image() const { return m_image; }

    bool isHighlighted() const { return m_highlighted; }
    void setHighlighted(bool highlighted) { m_highlighted = highlighted; }
    // The plate behind a text field's text; none by default.
    QColor backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const QColor& color) { m_backgroundColor = color; }

    // Where the text goes in the frame: the frame, 2 points in on each side.
    virtual pf::Rect titleRectForBounds(const pf::Rect& frame) const;
    void drawWithFrame(QPainter& painter, const pf::Rect& frame, pf::View* controlView);
    virtual void drawBezelWithFrame(QPainter& painter, const pf::Rect& frame, pf::View* controlView);
    // Draws the text centred vertically in the title rectangle.
    virtual void drawInteriorWithFrame(QPainter& painter, const pf::Rect& frame, pf::View* controlView);

private:
    pf::AttributedString m_value;
    QImage m_image;
    QColor m_backgroundColor;
    bool m_highlighted = false;
};
