#pragma once

class EffectIntensity;

// Hears the intensity knob: every move as a preview, the release as final.
class EffectIntensityDelegate
{
public:
    virtual ~EffectIntensityDelegate() = default;

    virtual void effectIntensityDidChangeIntensity(EffectIntensity* control, double intensity,
                                                   bool preview) = 0;
};
