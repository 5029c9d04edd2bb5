#pragma once

#include <QColor>

class ColorPicker;

// Hears the colours the user picks in the colour panel for a picker.
class ColorPickerDelegate
{
public:
    virtual ~ColorPickerDelegate() = default;

    // Every change as a preview, then once as final after a short pause.
    virtual void colorPickerDidChangeColor(ColorPicker* picker, const QColor& color, bool preview) = 0;
};
