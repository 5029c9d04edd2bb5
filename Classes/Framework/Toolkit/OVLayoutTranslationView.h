#pragma once

#include "Platform/UI/View.h"

// Lets a view laid out by autoresizing masks live in a Qt layout. While active it pins its minimum and
// maximum size to its frame size, so the layout keeps it at that size, and it carries out its own
// autoresizing when its superview changes size; inactive, it is a plain view.
class OVLayoutTranslationView : public pf::View
{
    Q_OBJECT

public:
    explicit OVLayoutTranslationView(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);

    bool active() const { return m_active; }
    void setActive(bool active);
    // The pinned size, kept in step with the frame also while inactive.
    pf::Size pinnedSize() const { return m_active ? m_pinned : frame().size; }

    // Stores the size to pin, then sets the frame.
    void setFrameAndPin(const pf::Rect& frame);
    void resizeWithOldSuperviewSize(pf::Size oldSuperviewSize) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void applyPin();

    pf::Size m_pinned;
    bool m_active = false;
};
