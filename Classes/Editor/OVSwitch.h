#pragma once

#include "Classes/Editor/OVSlideSwitch.h"

#include <QImage>

class OVSwitchDelegate;

// A two-state toggle: a knob that slides along a vertical bezel between an "on" pictogram (beside the
// bezel's upper end) and an "off" pictogram (beside its lower end). The pictograms stand left of the
// bezel, or above and below it. A click toggles and tells the delegate; setting the state from code
// moves the knob and tells no one. The look follows the frame it is made with: 43 points wide or less,
// or 47 high or less, is the small look; wider than 43 puts the pictograms on the left; a small switch
// with pictograms above and below sits on a little panel of its own. The switch sizes itself to its
// pictures. A switch faded out (see OVViewState) ignores the mouse.
class OVSwitch : public OVSlideSwitch
{
    Q_OBJECT

public:
    explicit OVSwitch(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);

    bool state() const { return m_state; }
    // Moves the knob (animated), tells no one.
    void setState(bool state) { setState(state, true); }
    void setState(bool state, bool updateKnob);
    // The same, then tells the delegate.
    void updateState(bool state, bool updateKnob);
    bool logoPlacementLeft() const { return m_logoPlacementLeft; }
    void setLogoPlacementLeft(bool left);
    bool drawsBackground() const { return m_drawsBackground; }
    void setDrawsBackground(bool draws);
    QImage onImage() const { return m_onImage; }
    void setOnImage(const QImage& image);
    QImage offImage() const { return m_offImage; }
    void setOffImage(const QImage& image);
    // Sizes the frame (keeping its origin) to the bezel and pictograms and places the knob.
    void updateFrame() override;

    double border() const { return m_border; }

    // Not owned; clear it before the delegate goes.
    OVSwitchDelegate* delegate() const { return m_delegate; }
    void setDelegate(OVSwitchDelegate* delegate) { m_delegate = delegate; }

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;
    static QStringList imageNames();

protected:
    // A click toggles.
    void pressed(const pf::Event& event) override;

private:
    QImage m_onImage, m_offImage;
    double m_border = 0;
    bool m_logoPlacementLeft = false;
    bool m_drawsBackground = false;
    bool m_state = true;
    OVSwitchDelegate* m_delegate = nullptr;
};
