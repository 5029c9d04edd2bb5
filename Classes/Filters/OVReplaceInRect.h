#pragma once

#include "Classes/Framework/OVFilter.h"

// Places an image into an original inside the rectangle "inputRect" (x, y, width, height): inside it the
// image, outside the original. The output covers the original. Without a rectangle there is no output.
class OVReplaceInRect : public OVFilter
{
public:
    explicit OVReplaceInRect(const QString& className = QStringLiteral("OVReplaceInRect"));
    static void registerClass();

    pf::Image outputImage() const override;
};
