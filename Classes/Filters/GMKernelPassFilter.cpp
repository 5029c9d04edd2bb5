#include "Classes/Filters/GMKernelPassFilter.h"

GMKernelPassFilter::GMKernelPassFilter(const QString& className, Pass pass, const QString& kernelResource)
    : GMKernelFilter(className), m_pass(std::move(pass))
{
    Q_ASSERT(!m_pass.images.empty());
    if (kernelResource.isEmpty())
        loadDefaultKernel();
    else
        loadKernels({{kernelResource, 0}});
    declarePassInputs(m_pass);
}

pf::Image GMKernelPassFilter::outputImage() const
{
    return applyPass(m_pass);
}
