#pragma once

#include "Platform/Foundation/Rect.h"
#include "Platform/Image/Image.h"

#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace pf {

class KernelData;

// Where and how a kernel's output exists, given when the kernel is applied. Everything here is captured
// by value at apply time.
struct ApplyOptions
{
    // Pixels outside the definition are transparent. Absent: the union of the samplers' definitions
    // (infinite for a kernel without samplers).
    std::optional<Rect> definition;
    // The output image's extent. Absent: the definition's bounding box.
    std::optional<Rect> extent;
    // Destination rectangle -> rectangle of sampler `index` (in the sampler's space) that the kernel
    // reads to compute it. Absent: the destination rectangle itself, for every sampler.
    std::function<Rect(int index, const Rect& destination)> regionOfInterest;

    // Accepts a Rect, a FilterShape, a Vector or list of four numbers (x, y, width, height), a Sampler
    // (its definition) or an Image (its definition). Returns false for anything else.
    bool setDefinition(const QVariant& value);
    // Accepts a Rect, a FilterShape, a Vector or list of four numbers.
    bool setExtent(const QVariant& value);
};

// One kernel function of a kernel text. Immutable and shareable across threads; a default-constructed
// Kernel is null.
class Kernel
{
public:
    enum class ParameterType
    {
        Sampler,
        Float,
        Vec2,
        Vec3,
        Vec4,
        Color
    };
    struct Parameter
    {
        ParameterType type;
        QString name;
    };

    Kernel() = default;

    // Every function declared `kernel` in the text, in source order. A text that does not compile gives
    // no kernels and one "Error: " line naming `sourceName`, the line in the text and the compiler's
    // message. Compiling the same text again reuses the first result.
    static std::vector<Kernel> kernelsWithString(const QString& text, const QString& sourceName = QString());

    // The engine's kernel that reads its one sampler at the pixel it computes: for a recipe that only
    // changes where an image is defined or what extent it reports. It runs on the CPU path like the
    // engine's other kernels, where a text of the same body given at run time would not.
    static const Kernel& copy();

    bool isNull() const { return !m_data; }
    QString name() const;
    const std::vector<Parameter>& parameters() const;

    // Applies the kernel to arguments in parameter order: an Image or Sampler for a sampler, a number
    // (or boolean) for a float, a Vector, Point, Size or Rect for a vector, a Color or 4-Vector for a
    // colour. A missing, extra or mismatched argument gives a null image and a warning naming the
    // kernel and the parameter. A null or empty image argument reads as transparent.
    Image apply(const QVariantList& arguments, const ApplyOptions& options = {}) const;

    const std::shared_ptr<const KernelData>& data() const { return m_data; }

private:
    explicit Kernel(std::shared_ptr<const KernelData> data) : m_data(std::move(data)) {}
    std::shared_ptr<const KernelData> m_data;
};

} // namespace pf
