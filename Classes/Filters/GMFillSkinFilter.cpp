#include "Classes/Filters/GMFillSkinFilter.h"

GMFillSkinFilter::GMFillSkinFilter(const QString& className) : GMFillFromImageFilter(className) {}
