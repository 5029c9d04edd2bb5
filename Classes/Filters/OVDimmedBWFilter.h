#pragma once

#include "Classes/Framework/OVFilter.h"

#include <memory>

// The image in black and white, dimmed by a brightness factor (default 0.6).
class OVDimmedBWFilter : public OVFilter
{
public:
    explicit OVDimmedBWFilter(const QString& className = QStringLiteral("OVDimmedBWFilter"));

    // One instance for the whole process, made with its defaults on first use (from any thread).
    static std::shared_ptr<OVDimmedBWFilter> sharedDimmedBWFilter();

    pf::Image outputImage() const override;
};
