#include "Classes/ToolObjects/OVGroupedFilter.h"

#include "Platform/Foundation/Log.h"

using namespace pf;

OVGroupedFilter::OVGroupedFilter() : Filter(QStringLiteral("OVGroupedFilter")) {}

std::shared_ptr<Filter> OVGroupedFilter::copy() const
{
    auto group = std::make_shared<OVGroupedFilter>();
    copyStateTo(*group);
    return group;
}

QString OVGroupedFilter::identityOf(const Filter* filter)
{
    return QStringLiteral("0x%1").arg(reinterpret_cast<quintptr>(filter), 0, 16);
}

Filter* OVGroupedFilter::intern(const Filter* filter)
{
    if (!filter)
        return nullptr;
    const QString identity = identityOf(filter);
    auto it = m_filters.find(identity);
    if (it != m_filters.end())
        return it->get();
    FilterPtr copy = filter->copy();
    if (!copy)
        return nullptr;
    m_filters.insert(identity, copy);
    m_dirty.insert(identity);
    return copy.get();
}

void OVGroupedFilter::exportKey(const QString& key, const Filter* filter, const QString& name)
{
    if (!intern(filter)) {
        pf::log(QStringLiteral("OVGroupedFilter: Cannot export %1 as it is neither an input nor output key.")
                    .arg(key));
        return;
    }
    exportFromMember(key, identityOf(filter), name);
}

void OVGroupedFilter::exportFromMember(const QString& key, const QString& identity, const QString& name)
{
    const FilterPtr member = m_filters.value(identity);
    const QString exported = name.isEmpty() ? key : name;
    if (member && member->inputKeys().contains(key)) {
        if (m_outputValues.contains(exported)) {
            pf::log(QStringLiteral("OVGroupedFilter: Key %1 is already exported as an output key.")
                        .arg(exported));
            return;
        }
        if (!m_inputValues.contains(exported))
            m_inputValues.append(exported);
        m_inputMapping[exported].push_back({identity, key});
    } else if (member && member->outputKeys().contains(key)) {
        if (m_inputValues.contains(exported)) {
            pf::log(
                QStringLiteral("OVGroupedFilter: Key %1 is already exported as an input key.").arg(exported));
            return;
        }
        if (!m_outputValues.contains(exported))
            m_outputValues.append(exported);
        if (m_outputMapping.contains(exported)) {
            pf::log(QStringLiteral("OVGroupedFilter: Mapping already exists for key %1.").arg(key));
            return;
        }
        m_outputMapping.insert(exported, {identity, key});
    } else {
        pf::log(QStringLiteral("OVGroupedFilter: Cannot export %1 as it is neither an input nor output key.")
                    .arg(key));
    }
}

void OVGroupedFilter::connectObject(const Filter* source, const QString& sourceKey, const Filter* target,
                                    const QString& targetKey)
{
    Filter* member = intern(target);
    if (!member)
        return;
    // The source becomes a member too: a leaf whose inputs are all literal would otherwise never be
    // read, and its consumer would receive nothing.
    intern(source);
    const Connection connection{identityOf(source), sourceKey, identityOf(target), targetKey};
    m_inverseMapping[connection.target].push_back(connection);
    m_connections.push_back(connection);
}

void OVGroupedFilter::connectConstant(const QVariant& value, const Filter* target, const QString& targetKey)
{
    Filter* member = intern(target);
    if (!member)
        return;
    member->setValue(value, targetKey);
    m_connections.push_back({QString(), QString(), identityOf(target), targetKey});
}

void OVGroupedFilter::setValue(const QVariant& value, const QString& key)
{
    auto it = m_inputMapping.find(key);
    if (it == m_inputMapping.end()) {
        pf::warning(QStringLiteral("OVGroupedFilter %1 has no input '%2'; the value is ignored")
                        .arg(description(), key));
        return;
    }
    for (const Target& target : *it) {
        m_dirty.insert(target.object);
        if (FilterPtr member = m_filters.value(target.object))
            member->setValue(value, target.key);
    }
}

QVariant OVGroupedFilter::value(const QString& key) const
{
    auto output = m_outputMapping.find(key);
    if (output != m_outputMapping.end()) {
        calculateDirtyStateClosure(output->object);
        return pull(output->key, output->object);
    }
    auto input = m_inputMapping.find(key);
    if (input != m_inputMapping.end() && !input->empty()) {
        const Target& first = input->front();
        FilterPtr member = m_filters.value(first.object);
        return member ? member->value(first.key) : QVariant();
    }
    pf::warning(QStringLiteral("OVGroupedFilter %1 has no key '%2'").arg(description(), key));
    return {};
}

void OVGroupedFilter::calculateDirtyStateClosure(const QString& identity) const
{
    auto it = m_inverseMapping.find(identity);
    if (it == m_inverseMapping.end())
        return;
    for (const Connection& connection : *it) {
        calculateDirtyStateClosure(connection.source);
        if (m_dirty.contains(connection.source))
            m_dirty.insert(identity);
    }
}

QVariant OVGroupedFilter::pull(const QString& key, const QString& identity) const
{
    FilterPtr member = m_filters.value(identity);
    if (!member)
        return {};
    if (m_dirty.contains(identity)) {
        auto it = m_inverseMapping.find(identity);
        if (it != m_inverseMapping.end()) {
            for (const Connection& connection : *it)
                member->setValue(pull(connection.sourceKey, connection.source), connection.targetKey);
        }
        m_dirty.remove(identity);
    }
    return member->value(key);
}

QStringList OVGroupedFilter::inputKeys() const
{
    return m_inputValues;
}

QStringList OVGroupedFilter::outputKeys() const
{
    return m_outputValues;
}

Image OVGroupedFilter::outputImage() const
{
    if (!m_outputMapping.contains(OutputImageKey))
        return Image();
    return value(OutputImageKey).value<Image>();
}

QString OVGroupedFilter::description() const
{
    QString text = QStringLiteral("<- ");
    for (const QString& name : m_inputValues)
        text += name + QLatin1Char(' ');
    text += QStringLiteral("-> ");
    for (const QString& name : m_outputValues)
        text += name + QLatin1Char(' ');
    return text;
}

void OVGroupedFilter::copyStateTo(Filter& other) const
{
    auto* group = dynamic_cast<OVGroupedFilter*>(&other);
    if (!group)
        return;
    // Rebuilt by replaying the construction over this group's members: the copy interns copies of
    // them, with whatever inputs were last set, and starts with every member dirty.
    for (const Connection& connection : m_connections) {
        const Filter* target = m_filters.value(connection.target).get();
        if (connection.sourceKey.isEmpty()) {
            if (target)
                group->connectConstant(target->value(connection.targetKey), target, connection.targetKey);
        } else {
            group->connectObject(m_filters.value(connection.source).get(), connection.sourceKey, target,
                                 connection.targetKey);
        }
    }
    for (const QString& name : m_inputValues) {
        for (const Target& target : m_inputMapping.value(name))
            group->exportKey(target.key, m_filters.value(target.object).get(), name);
    }
    for (const QString& name : m_outputValues) {
        const Target target = m_outputMapping.value(name);
        group->exportKey(target.key, m_filters.value(target.object).get(), name);
    }
}
