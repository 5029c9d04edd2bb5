#include "Classes/Filters/GMFillFromBorderFilter.h"

GMFillFromBorderFilter::GMFillFromBorderFilter(const QString& className) : GMFillFromImageFilter(className) {}
