#pragma once

#include "Classes/Filters/GMKernelPassFilter.h"

// Fills the holes of a mask: a pixel enclosed on every side within 22 pixels is raised to the level of the
// lowest wall around it.
class GMFillHoles22Filter : public GMKernelPassFilter
{
public:
    explicit GMFillHoles22Filter(const QString& className = QStringLiteral("GMFillHoles22Filter"));
};
