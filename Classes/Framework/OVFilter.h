#pragma once

#include "Platform/Foundation/Rect.h"
#include "Platform/Image/Filter.h"
#include "Platform/Image/Kernel.h"
#include "Platform/Image/Vector.h"

#include <QString>
#include <QStringList>
#include <QVariantList>
#include <memory>

// The base of the framework's kernel filters. Each concrete class passes its own class name up the
// constructor chain; by that name it finds its kernels (the resource named exactly after the class,
// compiled once per class), its registered input keys and the inputs duplicated on copy. A
// sub-subclass has entries of its own and inherits none of its parent's.
class OVFilter : public pf::Filter
{
public:
    explicit OVFilter(const QString& className = QStringLiteral("OVFilter"));
    // A member whose inputs are `inputs`, declared in that order without attributes.
    OVFilter(const QString& className, const QStringList& inputs);

    QString className() const { return name(); }

    // The class's single kernel; for a class with several, a warning and the kernel of the last name.
    pf::Kernel kernel() const;
    // The kernel of that function name; for a class with a single kernel, a warning and that kernel.
    pf::Kernel kernelWithName(const QString& kernelName) const;

    QStringList inputKeys() const override;
    QStringList outputKeys() const override { return {pf::OutputImageKey}; }
    // The input's attribute record as the base filter describes it (class, default, minimum, maximum).
    // Virtual: a member may answer a key afresh (a frame's current choices), and callers ask through
    // the base.
    virtual QVariantMap settingsForKey(const QString& key) const;

    // [x, y, width, height] with x and y truncated toward zero and width and height in single precision.
    static QVariantList arrayForRect(const pf::Rect& rect);
    static pf::Vector vectorForRect(const pf::Rect& rect);

    // Per class, at start-up. Sent for "OVFilter" itself they warn and still record.
    static void registerInputKeys(const QString& className, const QStringList& keys);
    static void registerForCopying(const QString& className, const QStringList& keyPaths);
    // What a member records at start-up besides its maker: either list may be empty, which records
    // nothing for it.
    struct Registration
    {
        QStringList inputKeys;
        QStringList copied;
    };
    // Registers the member `T` by `className`, made with its default arguments, with `registration`.
    template <class T>
    static void registerMember(const QString& className, const Registration& registration = {})
    {
        if (!registration.inputKeys.isEmpty())
            registerInputKeys(className, registration.inputKeys);
        if (!registration.copied.isEmpty())
            registerForCopying(className, registration.copied);
        pf::Filter::registerFilter(className, [] { return std::make_shared<T>(); });
    }

    pf::Image outputImage() const override { return pf::Image(); }
    // An image input set by key, for the members' typed setters.
    void setImage(const pf::Image& image, const QString& key) { setValue(QVariant::fromValue(image), key); }

    // Forgets loaded kernels and registrations (tests only).
    static void resetForTesting();

protected:
    void copyStateTo(pf::Filter& other) const override;
};
