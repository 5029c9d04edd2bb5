#pragma once

#include "Classes/Editor/OVStatefulSlideSwitch.h"

#include <QImage>

class OVSwitchDelegate;

// A two-state toggle: a knob that slides along a vertical bezel between an "on" pictogram (beside the
// bezel's upper end) and an "off" pictogram (beside its lower end). The pictograms stand left of the
// bezel, or above and below it. A click toggles and tells the delegate; setting the state from code
// moves the knob and tells no one. The look follows the frame it is made with: 43 points wide or less,
// or 47 high or less, is the small look; wider than 43 puts the pictograms on the left; a small switch
// with pictograms above and below sits on a little panel of its own. The switch sizes itself to its
// pictures. A switch faded out (see OVViewState) ignores the mouse.
class OVSwitch : public OVStatefulSlideSwitch<bool, OVSwitchDelegate>
{
    Q_OBJECT

public:
    explicit OVSwitch(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);

    bool logoPlacementLeft() const { return m_logoPlacementLeft; }
    void setLogoPlacementLeft(bool left) { setSizing(m_logoPlacementLeft, left); }
    bool drawsBackground() const { return m_drawsBackground; }
    void setDrawsBackground(bool draws);
    QImage onImage() const { return m_onImage; }
    void setOnImage(const QImage& image) { setSizing(m_onImage, image); }
    QImage offImage() const { return m_offImage; }
    void setOffImage(const QImage& image) { setSizing(m_offImage, image); }
    // Sizes the frame (keeping its origin) to the bezel and pictograms and places the knob.
    void updateFrame() override;

    double border() const { return m_border; }

    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;
    static QStringList imageNames();

protected:
    // A click toggles.
    void pressed(const pf::Event& event) override;
    double positionOfState(bool state) const override { return state ? 1 : 0; }
    void tellDelegate(OVSwitchDelegate& delegate, bool state) override;

private:
    // A setting the switch's size follows: stores it and sizes the switch again.
    template <typename T> void setSizing(T& setting, const T& value)
    {
        setting = value;
        updateFrame();
    }
    QImage m_onImage, m_offImage;
    double m_border = 0;
    bool m_logoPlacementLeft = false;
    bool m_drawsBackground = false;
};
