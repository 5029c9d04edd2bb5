#include "Classes/Framework/OVFilterConstructor.h"

namespace {
const QString PlugInFilterListKey = QStringLiteral("CIPlugInFilterList");
const QString FilterClassKey = QStringLiteral("CIFilterClass");
} // namespace

OVFilterConstructor& OVFilterConstructor::sharedFilterConstructor()
{
    static OVFilterConstructor* shared = new OVFilterConstructor;
    return *shared;
}

void OVFilterConstructor::registerFilterInDescriptionShared(const QVariantMap& description)
{
    sharedFilterConstructor().registerFilterInDescription(description);
}

void OVFilterConstructor::registerFilterInDescription(const QVariantMap& description)
{
    const QVariantMap list = description.value(PlugInFilterListKey).toMap();
    QStringList names;
    {
        std::lock_guard lock(m_mutex);
        for (auto it = list.begin(); it != list.end(); ++it) {
            m_filterDescriptions.insert(it.key(), it.value());
            names << it.key();
            const QString className = it.value().toMap().value(FilterClassKey).toString();
            // Keep the class's own way of making instances before its name is routed through here.
            if (!className.isEmpty() && !m_classes.contains(className)) {
                if (auto factory = pf::Filter::factory(className))
                    m_classes.insert(className, factory);
            }
        }
    }
    for (const QString& name : names) {
        const QString className = list.value(name).toMap().value(FilterClassKey).toString();
        if (!className.isEmpty())
            pf::Filter::registerFilter(className, [this, className] { return filterWithName(className); });
        pf::Filter::registerFilter(name, [this, name] { return filterWithName(name); });
    }
}

QVariantMap OVFilterConstructor::descriptionForClassName(const QString& className) const
{
    std::lock_guard lock(m_mutex);
    for (auto it = m_filterDescriptions.begin(); it != m_filterDescriptions.end(); ++it) {
        const QVariantMap attributes = it.value().toMap();
        if (attributes.value(FilterClassKey).toString() == className)
            return attributes;
    }
    return {};
}

std::shared_ptr<pf::Filter> OVFilterConstructor::filterWithName(const QString& name) const
{
    QVariantMap attributes;
    {
        std::lock_guard lock(m_mutex);
        attributes = m_filterDescriptions.value(name).toMap();
    }
    if (attributes.isEmpty())
        attributes = descriptionForClassName(name);
    if (attributes.isEmpty())
        return nullptr;
    pf::Filter::Factory factory;
    {
        std::lock_guard lock(m_mutex);
        factory = m_classes.value(attributes.value(FilterClassKey).toString());
    }
    return factory ? factory() : nullptr;
}
