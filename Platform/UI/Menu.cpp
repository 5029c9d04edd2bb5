#include "Platform/UI/Menu.h"

#include "Platform/UI/View.h"

#include <QGuiApplication>
#include <QScreen>

namespace pf {

namespace {

const char* const actionProperty = "pfMenuAction";
const char* const indentProperty = "pfIndentation";
const char* const titleProperty = "pfTitle";

QString indented(const QString& title, int level)
{
    return QString(level * 4, u' ') + title;
}

} // namespace

Menu::Menu(const QString& title, QWidget* parent) : QMenu(title, parent)
{
    connect(this, &QMenu::aboutToShow, this, &Menu::validateItems);
    connect(this, &QMenu::hovered, this, &Menu::noteHighlight);
    connect(this, &QMenu::aboutToHide, this, [this] { noteHighlight(nullptr); });
}

QAction* Menu::addItem(const QString& title, Action action, int tag)
{
    QAction* item = addAction(title);
    item->setData(tag);
    item->setProperty(titleProperty, title);
    if (action) {
        item->setProperty(actionProperty, true);
        connect(item, &QAction::triggered, this, [item, action] { action(item); });
    }
    return item;
}

QAction* Menu::addHeader(const QString& title)
{
    QAction* item = addItem(title);
    item->setEnabled(false);
    return item;
}

void Menu::setIndentationLevel(QAction* item, int level)
{
    level = std::clamp(level, 0, 15);
    item->setProperty(indentProperty, level);
    item->setText(indented(title(item), level));
}

int Menu::indentationLevel(const QAction* item)
{
    return item->property(indentProperty).toInt();
}

bool Menu::hasAction(const QAction* item)
{
    return item->property(actionProperty).toBool();
}

int Menu::tag(const QAction* item)
{
    return item->data().toInt();
}

QString Menu::title(const QAction* item)
{
    const QVariant stored = item->property(titleProperty);
    return stored.isValid() ? stored.toString() : item->text();
}

void Menu::setTitle(QAction* item, const QString& title)
{
    item->setProperty(titleProperty, title);
    item->setText(indented(title, indentationLevel(item)));
}

QAction* Menu::itemWithTag(int tag) const
{
    for (QAction* item : actions())
        if (!item->isSeparator() && Menu::tag(item) == tag)
            return item;
    return nullptr;
}

void Menu::validateItems()
{
    if (!m_validator)
        return;
    for (QAction* item : actions())
        if (item->property(actionProperty).toBool())
            item->setEnabled(m_validator(item));
}

void Menu::noteHighlight(QAction* action)
{
    if (action && (action->isSeparator() || !action->isEnabled()))
        action = nullptr;
    if (action == m_highlighted)
        return;
    m_highlighted = action;
    if (m_highlightHandler)
        m_highlightHandler(action);
}

bool Menu::event(QEvent* event)
{
    const bool result = QMenu::event(event);
    // Qt reports entering items only; leaving every item shows as no active action.
    if ((event->type() == QEvent::MouseMove || event->type() == QEvent::Leave) && !activeAction())
        noteHighlight(nullptr);
    return result;
}

QAction* Menu::popUpPositioningItem(QAction* item, Point location, View* view)
{
    QPoint global;
    if (view) {
        global = view->mapToGlobal(view->pointToWidget(location)).toPoint();
    } else {
        const QScreen* screen = QGuiApplication::primaryScreen();
        global = QPoint(int(location.x), int((screen ? screen->geometry().height() : 0) - location.y));
    }
    return exec(global, item);
}

} // namespace pf
