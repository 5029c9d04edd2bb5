#pragma once

#include "Classes/Filters/GMKernelFilter.h"

// Passes the image through its own kernel, defined and cut to its size at the origin.
class GMNullFilter : public GMKernelFilter
{
public:
    explicit GMNullFilter(const QString& className = QStringLiteral("GMNullFilter"));
    pf::Image outputImage() const override;
};
