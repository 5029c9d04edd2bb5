#pragma once

#include "Platform/Foundation/Rect.h"
#include "Platform/Image/Kernel.h"

#include <QString>
#include <QVariantList>
#include <optional>
#include <vector>

// Kernel texts of the application's resources (files "<name>.cikernel" in "Resources/Kernels") and
// the rectangle forms filters pass to the kernel apply call.
class KernelResource
{
public:
    // The text of the kernel resource of that name; nothing when there is no such resource or it
    // cannot be read (silently: a filter without its kernel simply makes no image).
    static std::optional<QString> text(const QString& name);
    // Compiles the resource, with the shared functions it calls in front (KernelPrelude); an empty list
    // when it is missing or does not compile (the compiler's message is logged once by the engine).
    static std::vector<pf::Kernel> kernels(const QString& name, bool* missing = nullptr);

    // Tests put their own kernel texts here; they are found before the application's.
    static void setTestDirectory(const QString& directory);

    // The full extent of a rectangle as the apply call takes it: x and y truncated toward zero to
    // whole numbers, width and height at single precision. A null rectangle gives zeros; an infinite
    // one stays infinite.
    static pf::Rect fullExtent(const pf::Rect& rect);
    // The same with the origin at (0, 0).
    static pf::Rect originZeroExtent(const pf::Rect& rect);
    // The full extent as the list of four numbers (two integers, two floats).
    static QVariantList arrayForRect(const pf::Rect& rect);
};
