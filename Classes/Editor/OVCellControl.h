#pragma once

#include "Platform/UI/View.h"

#include <functional>
#include <memory>

class OVCell;

// The small host that shows a cell: it draws the cell in its bounds; a press highlights the cell, a
// release inside sends the action (a release outside only ends the highlight).
class OVCellControl : public pf::View
{
    Q_OBJECT

public:
    explicit OVCellControl(const pf::Rect& frame, std::unique_ptr<OVCell> cell, QWidget* parent = nullptr);
    ~OVCellControl() override;

    OVCell* cell() const { return m_cell.get(); }
    // A number the cell may read (the inverse text cell lowers its text by it).
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }
    void setAction(std::function<void(OVCellControl*)> action) { m_action = std::move(action); }

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;
    void mouseDown(const pf::Event& event) override;
    void mouseDragged(const pf::Event& event) override;
    void mouseUp(const pf::Event& event) override;

private:
    bool inside(const pf::Event& event) const;

    std::unique_ptr<OVCell> m_cell;
    int m_tag = 0;
    std::function<void(OVCellControl*)> m_action;
};
