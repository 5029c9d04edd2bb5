#pragma once

#include "Platform/Image/Filter.h"

#include <QHash>
#include <QString>
#include <QVariantMap>
#include <memory>
#include <mutex>

// Makes filters described by a plug-in filter list: each description names the class that implements
// the filter under "CIFilterClass". Registering a description makes both the filter's name and its
// class name create filters through this constructor.
class OVFilterConstructor
{
public:
    static OVFilterConstructor& sharedFilterConstructor();
    static void registerFilterInDescriptionShared(const QVariantMap& description);

    OVFilterConstructor() = default;

    // Merges the description's "CIPlugInFilterList" (filter name -> attribute dictionary) into the
    // known descriptions and registers each filter's class name and filter name.
    void registerFilterInDescription(const QVariantMap& description);
    // The first description (in name order) whose "CIFilterClass" is the class name; empty when none.
    QVariantMap descriptionForClassName(const QString& className) const;
    // A new filter of the class named by the description of that filter name (or of that class
    // name); null when nothing matches or the class is unknown.
    std::shared_ptr<pf::Filter> filterWithName(const QString& name) const;

private:
    mutable std::mutex m_mutex;
    QVariantMap m_filterDescriptions;
    // Class name -> how to make an instance of that class, taken before the name is routed here.
    QHash<QString, pf::Filter::Factory> m_classes;
};
