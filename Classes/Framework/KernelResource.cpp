#include "Classes/Framework/KernelResource.h"

#include "Classes/Framework/KernelPrelude.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/FileRead.h"
#include "Platform/Foundation/Guarded.h"

#include <QFile>
#include <cmath>
#include <limits>

namespace {

constinit pf::Guarded<QString> testDirectory;

int truncatedInt(double value)
{
    if (std::isnan(value))
        return 0;
    const double t = std::trunc(value);
    if (t >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (t <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(t);
}

} // namespace

void KernelResource::setTestDirectory(const QString& directory)
{
    testDirectory.set(directory);
}

std::optional<QString> KernelResource::text(const QString& name)
{
    QString path;
    if (const QString directory = testDirectory.get(); !directory.isEmpty()) {
        const QString candidate = directory + QLatin1Char('/') + name + QStringLiteral(".cikernel");
        if (QFile::exists(candidate))
            path = candidate;
    }
    if (path.isEmpty())
        path =
            pf::Bundle::main().pathForResource(name, QStringLiteral("cikernel"), QStringLiteral("Kernels"));
    if (path.isEmpty())
        path = pf::Bundle::main().pathForResource(name, QStringLiteral("cikernel"));
    if (path.isEmpty())
        return std::nullopt;
    const std::optional<QByteArray> bytes = pf::FileRead::bytes(path);
    if (!bytes)
        return std::nullopt;
    return QString::fromUtf8(*bytes);
}

std::vector<pf::Kernel> KernelResource::kernels(const QString& name, bool* missing)
{
    const auto source = text(name);
    if (missing)
        *missing = !source.has_value();
    if (!source)
        return {};
    return pf::Kernel::kernelsWithString(KernelPrelude::applied(*source), name);
}

pf::Rect KernelResource::fullExtent(const pf::Rect& rect)
{
    if (rect.isInfinite())
        return rect;
    if (rect.isNull())
        return pf::Rect(0, 0, 0, 0);
    const pf::Rect r = rect.standardized();
    return pf::Rect(truncatedInt(r.origin.x), truncatedInt(r.origin.y), double(float(r.size.width)),
                    double(float(r.size.height)));
}

pf::Rect KernelResource::originZeroExtent(const pf::Rect& rect)
{
    if (rect.isInfinite())
        return rect;
    if (rect.isNull())
        return pf::Rect(0, 0, 0, 0);
    return pf::Rect(0, 0, double(float(rect.width())), double(float(rect.height())));
}

QVariantList KernelResource::arrayForRect(const pf::Rect& rect)
{
    const pf::Rect r = fullExtent(rect);
    if (r.isInfinite())
        return {r.origin.x, r.origin.y, r.size.width, r.size.height};
    return {int(r.origin.x), int(r.origin.y), float(r.size.width), float(r.size.height)};
}
