#pragma once

#include "Platform/UI/AttributedString.h"
#include "Platform/UI/View.h"

#include <functional>

namespace pf {
class TrackingArea;
}

// A text field that tells its target when the pointer enters and leaves it (the target reads `hovered`
// to tell which), fades out while disabled, and can be nudged away from where it joined its superview.
class OVHoverTextField : public pf::View
{
    Q_OBJECT

public:
    explicit OVHoverTextField(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);
    ~OVHoverTextField() override;

    QString stringValue() const { return m_text.string(); }
    void setStringValue(const QString& text);
    // Sent with the field itself on every entry and exit.
    void setAction(std::function<void(OVHoverTextField*)> action) { m_action = std::move(action); }

    bool hovered() const { return m_hovered; }
    void setHovered(bool hovered) { m_hovered = hovered; }
    pf::Rect orgFrame() const { return m_orgFrame; }
    // Fades in or out; enabled, the pointer's entries and exits are reported while the window is key.
    // Disabled while hovered, the exit is reported at once.
    void setEnabled(bool enabled);
    // The frame's origin moved by `shift` from where it was when the field joined its superview.
    void setShift(pf::Point shift);

    void viewDidMoveToSuperview() override;
    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;
    void mouseEntered(const pf::Event& event) override;
    void mouseExited(const pf::Event& event) override;

private:
    void sendAction();
    void exited();

    pf::AttributedString m_text;
    bool m_hovered = false;
    pf::Rect m_orgFrame;
    pf::TrackingArea* m_trackingArea = nullptr;
    std::function<void(OVHoverTextField*)> m_action;
};
