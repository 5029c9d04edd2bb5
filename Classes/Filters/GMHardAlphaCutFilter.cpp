#include "Classes/Filters/GMHardAlphaCutFilter.h"

GMHardAlphaCutFilter::GMHardAlphaCutFilter(const QString& className)
    : GMKernelPassFilter(className, imagePass(ApplyExtent::Full))
{}
