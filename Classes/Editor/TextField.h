#pragma once

#include "Platform/UI/TextLayer.h"

#include <memory>

namespace pf {
class Timer;
}

// A transient message over a layer tree: one line of white text on a dark translucent plate with a
// white rounded border, centred across its superlayer, shown for a while and then hidden.
class TextField : public pf::TextLayer
{
public:
    TextField();
    ~TextField() override;
    static std::shared_ptr<TextField> create() { return std::make_shared<TextField>(); }

    // The line's size with 10 points of room on either side.
    pf::Size preferredFrameSize() const;
    // Shows the message now and hides it after `seconds` (on the interface clock); a message shown
    // meanwhile replaces it and starts the time again.
    void showFieldWithMessage(const QString& message, double seconds);
    void hideField();

    // Centred in the superlayer at every layout and whenever the superlayer's size changes.
    void layoutSublayers() override;
    void resizeWithOldSuperlayerSize(pf::Size oldSize) override;
    // One line centred vertically in the bounds.
    void drawInContext(QPainter& painter) override;

private:
    void centre();

    std::shared_ptr<pf::Timer> m_hideTimer;
};
