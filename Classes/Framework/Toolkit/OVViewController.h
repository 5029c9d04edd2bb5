#pragma once

#include "Classes/Framework/Toolkit/OVTopLevelObjects.h"
#include "Platform/UI/InterfaceRegistry.h"
#include "Platform/UI/View.h"

#include <QObject>
#include <QPointer>
#include <optional>

namespace pf {
class Bundle;
class KeyedArchiver;
class KeyedUnarchiver;
} // namespace pf

// A controller of one view that an interface builds (see pf::InterfaceRegistry): found by the
// controller's class name, built the first time the view is asked for, with the interface's other
// top-level objects kept for as long as the controller lives. A plain object, not in the responder
// chain. Panels derive from it and override loadView(), calling the base first and then working on
// their outlets.
class OVViewController : public QObject
{
    Q_OBJECT

public:
    // An empty name selects the class name, no bundle the main bundle.
    explicit OVViewController(const QString& nibName = QString(), const pf::Bundle* bundle = nullptr);
    ~OVViewController() override;

    // The name interfaces are found by when none is set: the class's own name. Subclasses override it
    // with theirs (there is no walk up to a parent's interface).
    virtual QString className() const { return QStringLiteral("OVViewController"); }

    // The view, built first when none is held (nullptr when building failed; the next call tries again).
    pf::View* view();
    // Holds `view` (the controller deletes a view nothing else holds when it lets it go). Setting no view
    // releases the interface's other objects as well.
    void setView(pf::View* view);
    bool isViewLoaded() const { return m_view != nullptr; }

    // The stored name, else the class name.
    QString nibName() const;
    void setNibName(const QString& name);
    // The stored bundle, else the main bundle.
    const pf::Bundle& nibBundle() const;
    void setNibBundle(const pf::Bundle* bundle);
    std::vector<QObject*> topLevelObjects() const { return m_topLevelObjects.objects(); }
    void setTopLevelObjects(const std::vector<QObject*>& objects) { m_topLevelObjects.set(objects); }

    // Builds the interface and takes its "view" outlet; without one, logs a warning and stays unloaded.
    virtual void loadView();

    // An outlet of the loaded interface (nullptr when absent, of another type, or gone).
    template <typename T> T* outlet(const QString& name) const
    {
        return qobject_cast<T*>(m_outlets.value(name).data());
    }

    // Archives keep the name and the bundle as stored; live views cannot be archived, so a decoded
    // controller starts unloaded and builds its view when first asked.
    void encodeWithCoder(pf::KeyedArchiver& coder) const;
    void decodeWithCoder(pf::KeyedUnarchiver& coder);

private:
    QPointer<pf::View> m_view;
    std::optional<QString> m_nibName;
    const pf::Bundle* m_bundle = nullptr;
    OVTopLevelObjects m_topLevelObjects;
    QHash<QString, QPointer<QObject>> m_outlets;
};
