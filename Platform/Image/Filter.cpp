#include "Platform/Image/Filter.h"

#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/Size.h"

#include <QHash>
#include <cmath>
#include <limits>
#include <mutex>

namespace pf {

namespace {

std::mutex& registryMutex()
{
    static std::mutex mutex;
    return mutex;
}

QHash<QString, Filter::Factory>& registry()
{
    // Never destroyed: filters are made on worker threads too, which may still run while the program exits.
    static auto* factories = new QHash<QString, Filter::Factory>;
    return *factories;
}

} // namespace

Filter::Filter(QString name) : m_name(std::move(name)) {}

Filter::~Filter() = default;

void Filter::registerFilter(const QString& name, Factory factory)
{
    std::lock_guard lock(registryMutex());
    registry().insert(name, std::move(factory));
}

bool Filter::isRegistered(const QString& name)
{
    std::lock_guard lock(registryMutex());
    return registry().contains(name);
}

Filter::Factory Filter::factory(const QString& name)
{
    std::lock_guard lock(registryMutex());
    return registry().value(name);
}

QStringList Filter::registeredNames()
{
    std::lock_guard lock(registryMutex());
    QStringList names = registry().keys();
    names.sort();
    return names;
}

std::shared_ptr<Filter> Filter::create(const QString& name)
{
    Factory factory;
    {
        std::lock_guard lock(registryMutex());
        auto it = registry().find(name);
        if (it != registry().end())
            factory = *it;
    }
    if (!factory) {
        pf::warning(QStringLiteral("No filter is named '%1'").arg(name));
        return nullptr;
    }
    return factory();
}

QStringList Filter::inputKeys() const
{
    return m_declared;
}

QVariantMap Filter::attributes() const
{
    QVariantMap all = m_attributes;
    all.insert(FilterAttribute::FilterName, m_name);
    return all;
}

QVariantMap Filter::attributesForKey(const QString& key) const
{
    return attributes().value(key).toMap();
}

void Filter::declareInput(const QString& key, const QVariantMap& attributes)
{
    if (!m_declared.contains(key))
        m_declared.append(key);
    m_attributes.insert(key, attributes);
}

bool Filter::isDeclared(const QString& key) const
{
    return m_declared.contains(key);
}

void Filter::setValue(const QVariant& value, const QString& key)
{
    if (!isDeclared(key)) {
        pf::warning(QStringLiteral("Filter '%1' has no input '%2'; the value is ignored").arg(m_name, key));
        return;
    }
    if (value.isValid())
        m_values.insert(key, value);
    else
        m_values.remove(key);
}

QVariant Filter::value(const QString& key) const
{
    if (key == OutputImageKey) {
        const Image image = outputImage();
        return image.isNull() ? QVariant() : QVariant::fromValue(image);
    }
    if (!isDeclared(key)) {
        pf::warning(QStringLiteral("Filter '%1' has no input '%2'").arg(m_name, key));
        return {};
    }
    return m_values.value(key);
}

void Filter::setDefaults()
{
    for (const QString& key : m_declared) {
        const QVariantMap attributes = m_attributes.value(key).toMap();
        auto it = attributes.find(FilterAttribute::Default);
        if (it != attributes.end())
            setValue(*it, key);
    }
}

Image Filter::outputImage() const
{
    return Image();
}

std::shared_ptr<Filter> Filter::copy() const
{
    std::shared_ptr<Filter> other = create(m_name);
    if (!other)
        return nullptr;
    copyStateTo(*other);
    return other;
}

void Filter::copyStateTo(Filter& other) const
{
    other.m_declared = m_declared;
    other.m_attributes = m_attributes;
    other.m_values = m_values;
}

int Filter::saturatingInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (value <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

Image Filter::imageValue(const QString& key) const
{
    const QVariant v = m_values.value(key);
    if (v.metaType() == QMetaType::fromType<Image>())
        return v.value<Image>();
    return Image();
}

double Filter::numberValue(const QString& key, double fallback) const
{
    const QVariant v = m_values.value(key);
    if (!v.isValid())
        return fallback;
    if (v.metaType() == QMetaType::fromType<Vector>())
        return v.value<Vector>().x();
    bool ok = false;
    const double number = v.toDouble(&ok);
    return ok ? number : fallback;
}

Vector Filter::vectorValue(const QString& key) const
{
    const QVariant v = m_values.value(key);
    const QMetaType type = v.metaType();
    if (type == QMetaType::fromType<Vector>())
        return v.value<Vector>();
    if (type == QMetaType::fromType<Point>())
        return Vector::fromPoint(v.value<Point>());
    if (type == QMetaType::fromType<Size>())
        return Vector(v.value<Size>().width, v.value<Size>().height);
    if (type == QMetaType::fromType<Rect>())
        return Vector::fromRect(v.value<Rect>());
    if (type == QMetaType::fromType<AffineTransform>())
        return Vector::fromTransform(v.value<AffineTransform>());
    if (type.id() == QMetaType::QString)
        return Vector::fromString(v.toString());
    return Vector();
}

Color Filter::colorValue(const QString& key) const
{
    const QVariant v = m_values.value(key);
    if (v.metaType() == QMetaType::fromType<Color>())
        return v.value<Color>();
    if (v.metaType() == QMetaType::fromType<Vector>()) {
        const Vector c = v.value<Vector>();
        return Color(c.x(), c.y(), c.z(), c.count() > 3 ? c.w() : 1.0);
    }
    if (v.metaType().id() == QMetaType::QString)
        return Color::fromString(v.toString());
    return Color();
}

AffineTransform Filter::transformValue(const QString& key) const
{
    const QVariant v = m_values.value(key);
    if (v.metaType() == QMetaType::fromType<AffineTransform>())
        return v.value<AffineTransform>();
    if (v.metaType() == QMetaType::fromType<Vector>() && v.value<Vector>().count() == 6)
        return v.value<Vector>().transform();
    return AffineTransform();
}

QString Filter::stringValue(const QString& key) const
{
    return m_values.value(key).toString();
}

} // namespace pf
