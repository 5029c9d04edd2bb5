#pragma once

#include "Classes/ToolObjects/OVGroupedFilter.h"

#include <memory>

// The builder through which effect graphs are assembled.
class OVFilterGenerator
{
public:
    OVFilterGenerator() : m_filter(std::make_shared<OVGroupedFilter>()) {}
    void exportKey(const QString& key, const pf::Filter* filter, const QString& name = QString())
    {
        m_filter->exportKey(key, filter, name);
    }
    void connectObject(const pf::Filter* source, const QString& sourceKey, const pf::Filter* target,
                       const QString& targetKey)
    {
        m_filter->connectObject(source, sourceKey, target, targetKey);
    }
    std::shared_ptr<OVGroupedFilter> filter() const { return m_filter; }

private:
    std::shared_ptr<OVGroupedFilter> m_filter;
};
