#include "Classes/Framework/OVFilter.h"

#include "Classes/Framework/KernelResource.h"
#include "Platform/Foundation/Log.h"

#include <QHash>
#include <QMap>
#include <mutex>

namespace {

// What a class loaded: one kernel, or several by function name. A text that did not compile is
// remembered as a failure so it is neither compiled nor reported again.
struct KernelEntry
{
    pf::Kernel single;
    QMap<QString, pf::Kernel> named;
    bool failed = false;
};

struct Tables
{
    std::mutex mutex;
    QHash<QString, KernelEntry> kernels;
    QHash<QString, QStringList> inputKeys;
    QHash<QString, QStringList> copyKeys;
};

Tables& tables()
{
    // Never destroyed: worker threads (renders, strokes, openings) may still use it while the program exits.
    static auto* t = new Tables;
    return *t;
}

// Stores one class's key list in one of the tables. A list under the base class's own name is still
// stored, with a warning: it means a subclass did not give its name.
void registerKeys(QHash<QString, QStringList> Tables::*table, const QString& className,
                  const QStringList& keys)
{
    if (className == QLatin1String("OVFilter"))
        pf::warning(QStringLiteral("cannot determing class, please use [self registerForCopying:]"));
    Tables& t = tables();
    std::lock_guard lock(t.mutex);
    (t.*table).insert(className, keys);
}

QString describe(const QMap<QString, pf::Kernel>& named)
{
    QStringList lines;
    for (auto it = named.begin(); it != named.end(); ++it)
        lines << QStringLiteral("    %1 = <kernel %1>;").arg(it.key());
    return QStringLiteral("{\n") + lines.join(QLatin1Char('\n')) + QStringLiteral("\n}");
}

KernelEntry entryFor(const QString& className)
{
    Tables& t = tables();
    std::lock_guard lock(t.mutex);
    return t.kernels.value(className);
}

} // namespace

OVFilter::OVFilter(const QString& className) : pf::Filter(className)
{
    Tables& t = tables();
    // Loading under the lock makes two threads creating the first filters of a class load once.
    std::lock_guard lock(t.mutex);
    if (t.kernels.contains(className))
        return;
    bool missing = false;
    const std::vector<pf::Kernel> kernels = KernelResource::kernels(className, &missing);
    if (missing)
        return; // tried again by the next filter of this class
    KernelEntry entry;
    if (kernels.empty()) {
        entry.failed = true; // the engine logged why, once
    } else if (kernels.size() == 1) {
        entry.single = kernels.front();
    } else {
        for (const pf::Kernel& k : kernels)
            entry.named.insert(k.name(), k);
    }
    t.kernels.insert(className, entry);
}

OVFilter::OVFilter(const QString& className, const QStringList& inputs) : OVFilter(className)
{
    for (const QString& key : inputs)
        declareInput(key);
}

pf::Kernel OVFilter::kernel() const
{
    const KernelEntry entry = entryFor(className());
    if (!entry.named.isEmpty()) {
        pf::warning(
            QStringLiteral("requesting single Kernel, even though the filter '%1 has multiple kernel in a "
                           "Dictionary (%2)")
                .arg(className(), describe(entry.named)));
        return entry.named.last();
    }
    return entry.single;
}

pf::Kernel OVFilter::kernelWithName(const QString& kernelName) const
{
    const KernelEntry entry = entryFor(className());
    if (!entry.named.isEmpty()) {
        auto it = entry.named.find(kernelName);
        if (it != entry.named.end())
            return *it;
        pf::warning(QStringLiteral("Filter '%1' has no Kernel named '%2':\n%3")
                        .arg(className(), kernelName, describe(entry.named)));
        return pf::Kernel();
    }
    if (!entry.single.isNull())
        pf::warning(QStringLiteral("requesting named Kernel '%1' even thought '%2' has only one Kernel")
                        .arg(kernelName, className()));
    return entry.single;
}

QStringList OVFilter::inputKeys() const
{
    Tables& t = tables();
    {
        std::lock_guard lock(t.mutex);
        auto it = t.inputKeys.find(className());
        if (it != t.inputKeys.end())
            return *it;
    }
    return pf::Filter::inputKeys();
}

QVariantMap OVFilter::settingsForKey(const QString& key) const
{
    const QVariant record = pf::Filter::attributes().value(key);
    return record.toMap();
}

QVariantList OVFilter::arrayForRect(const pf::Rect& rect)
{
    return KernelResource::arrayForRect(rect);
}

pf::Vector OVFilter::vectorForRect(const pf::Rect& rect)
{
    return pf::Vector::fromRect(rect);
}

void OVFilter::registerInputKeys(const QString& className, const QStringList& keys)
{
    registerKeys(&Tables::inputKeys, className, keys);
}

void OVFilter::registerForCopying(const QString& className, const QStringList& keyPaths)
{
    registerKeys(&Tables::copyKeys, className, keyPaths);
}

void OVFilter::resetForTesting()
{
    Tables& t = tables();
    std::lock_guard lock(t.mutex);
    t.kernels.clear();
    t.inputKeys.clear();
    t.copyKeys.clear();
}

void OVFilter::copyStateTo(pf::Filter& other) const
{
    pf::Filter::copyStateTo(other);
    QStringList keyPaths;
    {
        Tables& t = tables();
        std::lock_guard lock(t.mutex);
        keyPaths = t.copyKeys.value(className());
    }
    // Values are copied, never shared: a list duplicated here is the copy's own.
    for (const QString& keyPath : keyPaths) {
        if (!hasValue(keyPath))
            continue;
        QVariant value = pf::Filter::value(keyPath);
        if (value.metaType().id() == QMetaType::QVariantList) {
            QVariantList list = value.toList();
            list.detach();
            value = list;
        }
        other.setValue(value, keyPath);
    }
}
