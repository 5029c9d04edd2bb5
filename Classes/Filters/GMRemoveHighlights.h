#pragma once

#include "Classes/Framework/OVFilter.h"

// Pulls the image's highlights down toward the background by "inputIntensity" and lays the result
// over the background; the output covers both images.
class GMRemoveHighlights : public OVFilter
{
public:
    explicit GMRemoveHighlights(const QString& className = QStringLiteral("GMRemoveHighlights"));

    pf::Image outputImage() const override;
};
