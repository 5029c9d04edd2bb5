#pragma once

#include "Classes/Framework/Toolkit/OVInterfaceOwner.h"
#include "Platform/UI/View.h"

#include <QPointer>

// A controller of one view that an interface builds (see pf::InterfaceRegistry): found by the
// controller's class name, built the first time the view is asked for, with the interface's other
// top-level objects kept for as long as the controller lives. A plain object, not in the responder
// chain. Panels derive from it and override loadView(), calling the base first and then working on
// their outlets.
class OVViewController : public OVInterfaceOwner
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
    QString nibName() const { return storedNibName().value_or(className()); }

    // Builds the interface and takes its "view" outlet; without one, logs a warning and stays unloaded.
    virtual void loadView();

    // Archives keep the name and the bundle ("VCnibName", "VCnibBundle"); live views cannot be archived,
    // so a decoded controller starts unloaded and builds its view when first asked.
    void encodeWithCoder(pf::KeyedArchiver& coder) const { encodeInterface(coder); }
    void decodeWithCoder(pf::KeyedUnarchiver& coder);

private:
    QPointer<pf::View> m_view;
};
