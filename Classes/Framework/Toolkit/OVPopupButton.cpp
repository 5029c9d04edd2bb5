#include "Classes/Framework/Toolkit/OVPopupButton.h"

#include "Classes/Framework/Toolkit/OVMenuTranslationController.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/Menu.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

OVPopupButton::OVPopupButton(const pf::Rect& frame, QWidget* parent) : OVButton(frame, parent) {}

OVPopupButton::~OVPopupButton()
{
    disconnect(m_selectionWatch);
    if (m_menu) {
        m_menu->setHighlightHandler(nullptr);
        if (m_menuOpen) {
            // Deleted from inside an action of its open menu, whose handlers are still running: the menu
            // goes once control is back in the event loop.
            disconnect(m_menu.get(), nullptr, this, nullptr);
            m_menu.release()->deleteLater();
        }
    }
}

void OVPopupButton::setMenu(std::unique_ptr<pf::Menu> menu)
{
    disconnect(m_selectionWatch);
    m_selectedItem = nullptr;
    m_hoveredItem = nullptr;
    if (m_menu) {
        m_menu->setHighlightHandler(nullptr);
        disconnect(m_menu.get(), nullptr, this, nullptr);
        // The old menu may be the one whose item is being chosen right now (an action that replaces
        // its own menu): its key or mouse handler is still running, so it goes once control is back in
        // the event loop.
        m_menu.release()->deleteLater();
    }
    m_menu = std::move(menu);
    if (m_menu) {
        OVMenuTranslationController::translateMenu(m_menu.get(), QStringLiteral("Controls"));
        m_menu->setHighlightHandler([this](QAction* item) { menuWillHighlightItem(item); });
        connect(m_menu.get(), &QMenu::aboutToHide, this, [this] { menuDidClose(); });
        // Through the menu rather than item by item, so that items added after the menu was set (a
        // pop-up filled once it is in place, or refilled) send the button's action too.
        connect(m_menu.get(), &QMenu::triggered, this, [this](QAction* item) { itemTriggered(item); });
    }
    if (!m_keepTitle) {
        QAction* selected = selectedItem();
        setTitle(selected ? pf::Menu::title(selected) : QString());
    }
}

void OVPopupButton::itemTriggered(QAction* item)
{
    // Items of submenus, separators and items with their own action are not the button's to send.
    if (!m_menu || !item || item->isSeparator() || pf::Menu::hasAction(item) ||
        !m_menu->actions().contains(item))
        return;
    itemSelected(item);
}

QAction* OVPopupButton::selectedItem() const
{
    if (m_selectedItem)
        return m_selectedItem;
    if (!m_menu || m_menu->actions().isEmpty())
        return nullptr;
    return m_menu->actions().first();
}

void OVPopupButton::setSelectedItem(QAction* item)
{
    // The button shows and answers its own menu's items only: another menu's item would title it with
    // a choice it does not offer (and go with that menu).
    if (item && (!m_menu || !m_menu->actions().contains(item))) {
        pf::warning(QStringLiteral("The pop-up button cannot select \"%1\": it is no item of its menu")
                        .arg(pf::Menu::title(item)));
        return;
    }
    disconnect(m_selectionWatch);
    m_selectedItem = item;
    // A chosen item that is deleted leaves the selection to the first item, and the title with it.
    if (item)
        m_selectionWatch = connect(item, &QObject::destroyed, this, [this] { setSelectedItem(nullptr); });
    if (m_keepTitle)
        return;
    QAction* selected = selectedItem();
    setTitle(selected ? pf::Menu::title(selected) : QString());
}

int OVPopupButton::selectedIndex() const
{
    if (!m_selectedItem || !m_menu)
        return -1;
    return int(m_menu->actions().indexOf(m_selectedItem.data()));
}

QAction* OVPopupButton::inserItemWithTitle(const QString& title, int index)
{
    if (!m_menu)
        setMenu(std::make_unique<pf::Menu>());
    auto* item = new QAction(title, m_menu.get());
    pf::Menu::setTitle(item, title);
    item->setData(0);
    const QList<QAction*> items = m_menu->actions();
    m_menu->insertAction(index >= 0 && index < items.size() ? items[index] : nullptr, item);
    return item;
}

void OVPopupButton::itemSelected(QAction* sender)
{
    ++m_choices;
    setSelectedItem(sender);
    sendAction();
}

void OVPopupButton::menuWillHighlightItem(QAction* item)
{
    m_hoveredItem = item;
    // A copy runs: the action may replace itself or delete the button.
    if (const std::function<void(OVPopupButton*)> action = m_hoverAction)
        action(this);
}

void OVPopupButton::menuDidClose()
{
    // Only a choice changes the selection: a dismissed menu leaves what the button shows as it was
    // (the hover callback has heard nullptr, so a previewing target can revert).
    setButtonState(Normal);
}

// Pointer -------------------------------------------------------------------------------------------

pf::Point OVPopupButton::menuLocation() const
{
    return pf::Point(5.0, bounds().height() / 2 + 10.0);
}

void OVPopupButton::mouseDown(const pf::Event& event)
{
    if (!isEnabled())
        return;
    QPointer<OVPopupButton> guard(this);
    setButtonState(Down);
    if (!guard)
        return;
    const bool inside = bounds().contains(convertPointFromView(event.locationInWindow(), nullptr));
    if (!inside || event.clickCount() < 1 || !m_menu)
        return;
    m_menuOpen = true;
    const quint64 choices = m_choices;
    QAction* chosen = m_menu->popUpPositioningItem(selectedItem(), menuLocation(), this);
    if (!guard)
        return;
    m_menuOpen = false;
    // A choice the button sent on has been selected already, and its action may have selected another
    // item since (an "Add" pop-up going back to its title): that stands. An item of a menu replaced
    // while it was open is no item of this button's any more.
    if (chosen && m_choices == choices && chosen != m_selectedItem && m_menu &&
        m_menu->actions().contains(chosen))
        setSelectedItem(chosen);
}

void OVPopupButton::mouseUp(const pf::Event& event)
{
    if (!isEnabled())
        return;
    const bool inside = bounds().contains(convertPointFromView(event.locationInWindow(), nullptr));
    setButtonState(inside && event.clickCount() >= 1 ? Hover : Normal);
}

// Drawing -------------------------------------------------------------------------------------------

QPainterPath OVPopupButton::arrowPath() const
{
    // Three points in from the padding, but never so near the edge that the 5-point-wide triangles are
    // cut off by it: a button without right padding keeps a point to spare.
    const double x0 = std::min(bounds().width() - 3.0 - padding().right, bounds().width() - 6.0);
    const double y0 = std::floor(bounds().height() / 2 - 5.0);
    QPainterPath path;
    path.moveTo(x0, y0 + 4);
    path.lineTo(x0 + 2.5, y0);
    path.lineTo(x0 + 5, y0 + 4);
    path.closeSubpath();
    path.moveTo(x0, y0 + 7);
    path.lineTo(x0 + 2.5, y0 + 11);
    path.lineTo(x0 + 5, y0 + 7);
    path.closeSubpath();
    return path;
}

void OVPopupButton::drawRect(QPainter& painter, const pf::Rect& dirtyRect)
{
    // Title and symbol leave room for the arrow.
    const Padding saved = padding();
    Padding widened = saved;
    widened.right += 6.0;
    setPadding(widened);
    OVButton::drawRect(painter, dirtyRect);
    setPadding(saved);

    const pf::PaintColor color = textColor();
    QColor fill = color.toQColor();
    if (!isEnabled() && color.space() == pf::PaintColor::Space::CalibratedRGB)
        fill.setAlphaF(float(color.alpha() / 2));
    const QPainterPath arrow = arrowPath();
    if (const std::optional<pf::Shadow> shadow = textShadow())
        pf::drawWithShadow(painter, *shadow, pf::Rect::fromQRectF(arrow.boundingRect()),
                           [&](QPainter& p) { p.fillPath(arrow, fill); });
    else
        painter.fillPath(arrow, fill);
}
