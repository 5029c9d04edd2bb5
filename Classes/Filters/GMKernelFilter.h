#pragma once

#include "Platform/Image/Filter.h"
#include "Platform/Image/Kernel.h"
#include "Platform/Image/Sampler.h"

#include <QString>
#include <optional>
#include <vector>

// The shape every member of the product's kernel filter family shares: created by class name, inputs
// set by key, kernels read once per class from resources (as a rule "<class name>Kernel") into slots of
// the class's own, and an output built anew at every request.
class GMKernelFilter : public pf::Filter
{
public:
    // One kernel slot: element `index` of the kernels compiled from resource `resource`.
    struct Slot
    {
        QString resource;
        int index = 0;
    };

    explicit GMKernelFilter(const QString& className) : pf::Filter(className) {}

    // Forgets every class's slots (tests only).
    static void resetForTesting();

protected:
    enum class ApplyExtent
    {
        Full,      // the input's rectangle, origin truncated to whole pixels
        OriginZero // the input's size at the origin
    };

    // An image input a kernel samples: how it is read, and how many pixels around each destination
    // pixel the kernel reads of this image alone.
    struct PassImage
    {
        QString key;
        double margin = 0;
        pf::Sampler::FilterMode filter = pf::Sampler::FilterMode::Linear;
        pf::Sampler::WrapMode wrap = pf::Sampler::WrapMode::Transparent;
    };
    // A number input passed to the kernel: its value, or the fallback when it was never set; without a
    // fallback a number never set is an invalid argument, so the apply warns and gives no image.
    struct PassNumber
    {
        QString key;
        std::optional<double> fallback;
        QVariantMap attributes; // declared with the input
    };
    // An image read pixel by pixel, its edge pixels repeated outward.
    static PassImage exactImage(const QString& key, double margin = 0)
    {
        return {key, margin, pf::Sampler::FilterMode::Nearest, pf::Sampler::WrapMode::Clamp};
    }
    // A number input whose value is passed as it is: never set, it is a missing argument.
    static PassNumber numberInput(const QString& key, const QVariantMap& attributes = {})
    {
        return {key, std::nullopt, attributes};
    }
    // How one kernel is applied to the filter's inputs: the samplers first, then the numbers. The output
    // covers the rectangle of image `extentOf` and is defined where the sampler of image `domainOf`
    // is, or over that same rectangle for `DomainIsExtent`. With a `reach`, the kernel reads that many
    // pixels around each destination pixel of every sampler, those given beside the pass included.
    static constexpr int DomainIsExtent = -1;
    struct Pass
    {
        std::vector<PassImage> images;
        std::vector<PassNumber> numbers;
        ApplyExtent extent = ApplyExtent::Full;
        int extentOf = 0;
        int domainOf = 0;
        double reach = 0;
        bool needsEveryImage = true;       // a missing image gives no output
        std::vector<int> declarationOrder; // the images' indices as declared, when not in kernel order
    };
    // A pass over "inputImage" alone, as most one-image members apply their kernel: a number never set
    // is a missing argument, and a missing image is handed on to the kernel.
    static Pass imagePass(ApplyExtent extent, std::vector<PassNumber> numbers = {}, double margin = 0);
    // That pass with one number, "inputIntensity" from 0 to 1: 0.5 by default, 0 changing nothing.
    static Pass intensityPass(ApplyExtent extent);
    // The kernel in `slot` applied as `pass` says, with `extra` after the pass's own arguments. No
    // kernel (or a missing image the pass needs), no image.
    pf::Image applyPass(const Pass& pass, const QVariantList& extra = {}, size_t slot = 0) const;
    // Declares the pass's images, in the order given, and then its numbers.
    void declarePassInputs(const Pass& pass);
    // The attributes of a number from 0 up, its slider from 0 to `sliderMax`, measured as a distance.
    static QVariantMap distanceAttributes(double defaultValue, double sliderMax = 1.0);
    // The family's common pass: the kernel in `slot` applied to a plain sampler of "inputImage" followed
    // by `arguments`, defined where that sampler is, over the input's full or origin-zero extent; with a
    // margin, each destination pixel reads that many pixels around it. No kernel, no image.
    pf::Image applyToInputImage(size_t slot, ApplyExtent extent, const QVariantList& arguments = {},
                                double margin = 0) const;
    // A number input as a kernel argument: invalid when never set, so the apply warns and gives no image.
    QVariant numberArgument(const QString& key) const;

    // Fills the class's slots on first use: safe when the first filters of a class are made on two
    // threads at once. A missing resource leaves the slots empty and is tried again by the next
    // filter; a text that does not compile, or that holds fewer kernels than a slot asks for, is
    // reported once and not retried.
    void loadKernels(const std::vector<Slot>& wanted);
    // The kernel in `slot` applied to `arguments` with `options`; no kernel, no image.
    pf::Image applySlot(size_t slot, const QVariantList& arguments, const pf::ApplyOptions& options) const;
    // The kernel in slot `i`, or a null kernel when it could not be loaded.
    pf::Kernel kernelSlot(size_t i) const;
    // The usual single slot: element 0 of "<class name>Kernel".
    void loadDefaultKernel() { loadKernels({{name() + QStringLiteral("Kernel"), 0}}); }

private:
    std::vector<pf::Kernel> m_slots;
};
