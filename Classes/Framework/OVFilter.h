#pragma once

#include "Platform/Foundation/Rect.h"
#include "Platform/Image/Filter.h"
#include "Platform/Image/Kernel.h"
#include "Platform/Image/Vector.h"

#include <QString>
#include <QStringList>
#include <QVariantList>

// The base of the framework's kernel filters. Each concrete class passes its own class name up the
// constructor chain; by that name it finds its kernels (the resource named exactly after the class,
// compiled once per class), its registered input keys and the inputs duplicated on copy. A
// sub-subclass has entries of its own and inherits none of its parent's.
class OVFilter : public pf::Filter
{
public:
    explicit OVFilter(const QString& className = QStringLiteral("OVFilter"));

    QString className() const { return name(); }

    // The class's single kernel; for a class with several, a warning and the kernel of the last name.
    pf::Kernel kernel() const;
    // The kernel of that function name; for a class with a single kernel, a warning and that kernel.
    pf::Kernel kernelWithName(const QString& kernelName) const;

    QStringList inputKeys() const override;
    QStringList outputKeys() const override { return {pf::OutputImageKey}; }
    // The input's attribute record as the base filter describes it (class, default, minimum, maximum).
    QVariantMap settingsForKey(const QString& key) const;

    // [x, y, width, height] with x and y truncated toward zero and width and height in single precision.
    static QVariantList arrayForRect(const pf::Rect& rect);
    static pf::Vector vectorForRect(const pf::Rect& rect);

    // Per class, at start-up. Sent for "OVFilter" itself they warn and still record.
    static void registerInputKeys(const QString& className, const QStringList& keys);
    static void registerForCopying(const QString& className, const QStringList& keyPaths);

    pf::Image outputImage() const override { return pf::Image(); }

    // Forgets loaded kernels and registrations (tests only).
    static void resetForTesting();

protected:
    void copyStateTo(pf::Filter& other) const override;
};
