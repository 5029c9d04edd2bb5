#pragma once

#include <memory>

class OVEffect;
class OVEffectPicker;

// Told by the effect picker what the user highlights (to preview it) and what they choose. Each effect
// is new and the delegate's to keep; null when the highlight left every item, or when the menu closed
// without a choice.
class OVEffectPickerDelegate
{
public:
    virtual ~OVEffectPickerDelegate() = default;
    virtual void effectPickerDidSelectEffect(OVEffectPicker& picker, std::unique_ptr<OVEffect> effect) = 0;
    virtual void effectPickerPreviewing(OVEffectPicker& picker, std::unique_ptr<OVEffect> effect) = 0;
};
