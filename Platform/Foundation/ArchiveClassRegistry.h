#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>

namespace pf {

class KeyedArchiver;
class KeyedUnarchiver;

// How objects of one of our classes go into and come out of a keyed archive.
//
// An archivable value is a QVariant of a registered metatype `type`: usually
// `std::shared_ptr<SomeClass>` (declared with Q_DECLARE_METATYPE), or a plain value struct. The
// archiver finds the coder by the value's metatype; the unarchiver by the archived class name.
// `encode` writes the object's fields with the archiver's encode...() calls; `decode` reads them with
// the unarchiver's decode...() calls and returns the object. Wrong types met while decoding are errors
// that the unarchiver records by itself; a coder reports its own objections with failWithError().
struct ArchiveClass
{
    QString name;             // the archived class name
    QStringList superclasses; // the rest of the archived class chain, e.g. {"NSObject"}
    QMetaType type;
    std::function<void(const QVariant&, KeyedArchiver&)> encode;
    std::function<QVariant(KeyedUnarchiver&)> decode; // an invalid QVariant means failure
    // Optional: the identity of the object a value refers to. Values with the same identity are
    // archived once and come back as one shared value; an object that contains itself is refused.
    std::function<const void*(const QVariant&)> identity;
};

// Process-wide registry of archivable classes. Each library registers its classes with an explicit
// call at start-up (never from a static initialiser); the registry is safe to use from any thread.
class ArchiveClassRegistry
{
public:
    // Registering a name or a type twice is a programmer error.
    static void registerClass(ArchiveClass archiveClass);

    // Typed form. For T = std::shared_ptr<U>, the pointer is the identity, and a decoder returning a
    // null pointer fails.
    template <typename T>
    static void registerClass(const QString& name, const QStringList& superclasses,
                              std::function<void(const T&, KeyedArchiver&)> encode,
                              std::function<T(KeyedUnarchiver&)> decode);

    static void unregisterClass(const QString& name);
    static std::optional<ArchiveClass> classNamed(const QString& name);
    static std::optional<ArchiveClass> classForType(QMetaType type);
};

namespace detail {
template <typename T> struct IsSharedPtr : std::false_type
{};
template <typename U> struct IsSharedPtr<std::shared_ptr<U>> : std::true_type
{};
} // namespace detail

template <typename T>
void ArchiveClassRegistry::registerClass(const QString& name, const QStringList& superclasses,
                                         std::function<void(const T&, KeyedArchiver&)> encode,
                                         std::function<T(KeyedUnarchiver&)> decode)
{
    ArchiveClass archiveClass{name, superclasses, QMetaType::fromType<T>(), nullptr, nullptr, nullptr};
    archiveClass.encode = [encode](const QVariant& value, KeyedArchiver& archiver) {
        encode(value.value<T>(), archiver);
    };
    archiveClass.decode = [decode](KeyedUnarchiver& unarchiver) -> QVariant {
        T object = decode(unarchiver);
        if constexpr (detail::IsSharedPtr<T>::value) {
            if (!object)
                return QVariant();
        }
        return QVariant::fromValue(std::move(object));
    };
    if constexpr (detail::IsSharedPtr<T>::value) {
        archiveClass.identity = [](const QVariant& value) -> const void* { return value.value<T>().get(); };
    }
    registerClass(std::move(archiveClass));
}

} // namespace pf
