#pragma once

#include <QImage>
#include <optional>

class GMSlider;

// Hears a slider's value while the user moves it.
class GMSliderDelegate
{
public:
    virtual ~GMSliderDelegate() = default;

    // `preview` is true while the button is held and false once at release.
    virtual void sliderDidChangeValue(GMSlider* slider, double value, bool preview) = 0;
    // A picture to show as the cursor while dragging; none keeps the cursor.
    virtual std::optional<QImage> imageForSlider(GMSlider*) { return std::nullopt; }
};
