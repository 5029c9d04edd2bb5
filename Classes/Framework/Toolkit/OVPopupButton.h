#pragma once

#include "Classes/Framework/Toolkit/OVButton.h"

#include <QPointer>
#include <functional>
#include <memory>

class QAction;
namespace pf {
class Menu;
}

// A skinned button that pops up its menu under the pointer, shows the chosen item's title and draws a
// small up-and-down arrow at its right end. It owns its menu (the only owner). Items without an action
// of their own send the button's action when chosen (the button as sender, the choice already its
// selected item); items with their own action keep it, and the button takes them as its selection as the
// menu closes. While the menu is open, a hover callback hears each item the highlight reaches and
// nullptr when it leaves every item or the menu closes, so a target can preview and revert. A menu
// dismissed without a choice changes neither the selection nor the title.
class OVPopupButton : public OVButton
{
    Q_OBJECT

public:
    explicit OVPopupButton(const pf::Rect& frame = pf::Rect(), QWidget* parent = nullptr);
    ~OVPopupButton() override;

    pf::Menu* menu() const { return m_menu.get(); }
    // Takes the menu over: clears the selection, translates its titles through "Controls", makes every
    // item without an action (also one added later) send the button's action and, unless the title is
    // kept, shows the selection's title (none without a menu). The old menu is let go once the event
    // loop turns, so an item's action may replace the menu it belongs to.
    void setMenu(std::unique_ptr<pf::Menu> menu);

    // The chosen item, else the menu's first item; nullptr for an empty menu. A chosen item that is
    // deleted is no longer chosen, and the title follows.
    QAction* selectedItem() const;
    void setSelectedItem(QAction* item);
    // The chosen item's index among the menu's items; -1 when none was chosen.
    int selectedIndex() const;
    // A new item of that title (not translated), sending the button's action, at `index` (appended past
    // the end).
    QAction* inserItemWithTitle(const QString& title, int index);
    // Makes `sender` the selection and sends the button's action.
    void itemSelected(QAction* sender);

    bool keepTitle() const { return m_keepTitle; }
    void setKeepTitle(bool flag) { m_keepTitle = flag; }
    QAction* hoveredItem() const { return m_hoveredItem; }
    void setHoveredItem(QAction* item) { m_hoveredItem = item; }
    void setHoverAction(std::function<void(OVPopupButton*)> action) { m_hoverAction = std::move(action); }

    // The menu's notifications.
    void menuWillHighlightItem(QAction* item);
    void menuDidClose();

    // Where the menu is placed: the selected item at this point of the button (y-up).
    pf::Point menuLocation() const;
    // The arrow's two triangles, in the button's coordinates.
    QPainterPath arrowPath() const;

    void mouseDown(const pf::Event& event) override;
    void mouseUp(const pf::Event& event) override;
    void drawRect(QPainter& painter, const pf::Rect& dirtyRect) override;

private:
    void itemTriggered(QAction* item);

    std::unique_ptr<pf::Menu> m_menu;
    QPointer<QAction> m_selectedItem;
    QMetaObject::Connection m_selectionWatch;
    QPointer<QAction> m_hoveredItem;
    std::function<void(OVPopupButton*)> m_hoverAction;
    bool m_keepTitle = false;
    bool m_menuOpen = false; // the menu runs from a press
    quint64 m_choices = 0;   // items chosen through the button, so a press knows its choice was heard
};
