#pragma once

#include <QObject>
#include <QStringList>
#include <memory>

class OVEffectPickerDelegate;
class OVEffectsCatalog;
class QAction;

namespace pf {
class Menu;
class View;
} // namespace pf

// The catalogued effects as a context menu over a view. A run lasts from showPickerOver() to the
// choice, or to the report that the menu closed without one; the delegate is held for that long and
// dropped afterwards. The close report is deferred to the next turn of the event loop, because the menu
// hides before its chosen item fires: so a choice is never followed by a null report. Main thread only.
class OVEffectPicker : public QObject
{
    Q_OBJECT

public:
    // Over the shared catalog; made on first use, lives for the process.
    static OVEffectPicker& sharedEffectPicker();

    explicit OVEffectPicker(const OVEffectsCatalog& catalog, QObject* parent = nullptr);
    ~OVEffectPicker() override;

    // The shown names, in plain (case-sensitive) order.
    const QStringList& effectDisplayNames() const { return m_effectDisplayNames; }

    // Pops the menu up at the view's origin (its lower left) and returns at once.
    void showPickerOver(pf::View* view, std::shared_ptr<OVEffectPickerDelegate> delegate);
    bool isRunning() const { return m_delegate != nullptr; }

    // Built once: one item per shown name.
    pf::Menu* listMenu();

    // The menu's handlers.
    void itemSelected(QAction* item);
    void menuWillHighlightItem(QAction* item);
    void menuDidClose();

private:
    const OVEffectsCatalog& m_catalog;
    QStringList m_effectDisplayNames;
    std::shared_ptr<OVEffectPickerDelegate> m_delegate;
    bool m_didSelectEffect = false;
    quint64 m_run = 0;
    std::unique_ptr<pf::Menu> m_menu;
};
