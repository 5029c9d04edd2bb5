#pragma once

#include "Classes/Framework/Toolkit/OVLine.h"
#include "Platform/UI/View.h"

#include <QColor>
#include <QPen>
#include <optional>
#include <vector>

// Draws straight lines given relative to its size, so they stretch with the view; every line takes the
// prototype pen's width, dash and cap. A shared instance serves as the dashed blue overlay of snapping
// guides.
class OVLineView : public pf::View
{
    Q_OBJECT

public:
    explicit OVLineView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);

    // Appends the line and answers its index.
    int addLine(const OVLine& line);
    // Out of range: a warning and no change.
    void removeLineAtIndex(int index);
    void removeAllLines();
    const std::vector<OVLine>& lines() const { return m_lines; }

    const QPen& linePrototype() const { return m_prototype; }
    // Nothing gives a plain pen 1 point wide.
    void setLinePrototype(const std::optional<QPen>& pen);
    // An invalid colour draws nothing.
    QColor color() const { return m_color; }
    void setColor(const QColor& color);

    // The one snap line view of the process, made on first use (zero frame, width and height sizable,
    // blue, dashed 4 on and 1 off) and deleted with the application object.
    static OVLineView* sharedLineSnapView();

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;

private:
    std::vector<OVLine> m_lines;
    QPen m_prototype;
    QColor m_color;
};
