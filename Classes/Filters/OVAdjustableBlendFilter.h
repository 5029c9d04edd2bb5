#pragma once

#include "Classes/Framework/OVFilter.h"

#include <QStringList>

// Lays an image over a background with one of fifteen named blend modes, weighted by an intensity.
// The general blend of the framework: frame, texture and watermark filters create it by class, and
// the frame editor lists its modes.
class OVAdjustableBlendFilter : public OVFilter
{
public:
    explicit OVAdjustableBlendFilter(const QString& className = QStringLiteral("OVAdjustableBlendFilter"));
    static void registerClass();

    // The fifteen mode names in menu order; empty when the kernel resource could not be read or holds
    // fewer than two kernels.
    static QStringList blendModeNames();
    // `name` when the kernel resource has a kernel of that name, otherwise "sourceOver".
    static QString verifiedBlendMode(const QString& name);
    // Forgets the class's tables, so the next use fills them again (tests only).
    static void resetForTesting();

    pf::Image inputImage() const { return imageValue(QStringLiteral("inputImage")); }
    void setInputImage(const pf::Image& image) { setImage(image, QStringLiteral("inputImage")); }
    pf::Image inputBackgroundImage() const { return imageValue(QStringLiteral("inputBackgroundImage")); }
    void setInputBackgroundImage(const pf::Image& image)
    {
        setImage(image, QStringLiteral("inputBackgroundImage"));
    }
    double inputIntensity() const { return numberValue(QStringLiteral("inputIntensity")); }
    void setInputIntensity(double intensity) { setValue(intensity, QStringLiteral("inputIntensity")); }
    QString inputBlendName() const { return stringValue(QStringLiteral("inputBlendName")); }
    void setInputBlendName(const QString& name) { setValue(name, QStringLiteral("inputBlendName")); }
    bool inputSwitchImages() const { return boolValue(QStringLiteral("inputSwitchImages")); }
    void setInputSwitchImages(bool on) { setValue(on, QStringLiteral("inputSwitchImages")); }
    bool inputStretchToFit() const { return boolValue(QStringLiteral("inputStretchToFit")); }
    void setInputStretchToFit(bool on) { setValue(on, QStringLiteral("inputStretchToFit")); }
    bool inputUseBGExtent() const { return boolValue(QStringLiteral("inputUseBGExtent")); }
    void setInputUseBGExtent(bool on) { setValue(on, QStringLiteral("inputUseBGExtent")); }

    // Without an intensity it sets its own to 1 first (that value stays set). No image when the image
    // or the background was never set, or when no kernel could be loaded.
    pf::Image outputImage() const override;
};
