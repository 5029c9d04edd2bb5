#include "Platform/UI/Menu.h"

#include "Platform/UI/View.h"

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProxyStyle>
#include <QScreen>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>

namespace pf {

namespace {

const char* const actionProperty = "pfMenuAction";
const char* const indentProperty = "pfIndentation";
const char* const titleProperty = "pfTitle";
const char* const trailingProperty = "pfTrailing";

// Draws the trailing part of an item's title in light grey: the style draws the whole title in grey,
// then the leading part again in the usual colours over it, from a transparent layer that holds only
// what the style draws of the text (so the item's highlight shows through). Styles draw a menu item's
// text in one piece, so this is the only way to colour a part of it whatever the style.
class TrailingPartStyle : public QProxyStyle
{
public:
    // Over a style of the application's own kind (the proxy owns it).
    TrailingPartStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        const auto* menu = qobject_cast<const QMenu*>(widget);
        const QAction* action =
            element == CE_MenuItem && item && menu ? menu->actionAt(option->rect.center()) : nullptr;
        const QString trailing = action ? Menu::trailingPart(action) : QString();
        if (trailing.isEmpty() || !item->text.endsWith(trailing)) {
            QProxyStyle::drawControl(element, option, painter, widget);
            return;
        }
        const QColor lightGrey(170, 170, 170);
        QStyleOptionMenuItem grey(*item);
        for (QPalette::ColorRole role :
             {QPalette::Text, QPalette::WindowText, QPalette::ButtonText, QPalette::HighlightedText})
            grey.palette.setColor(role, lightGrey);
        QProxyStyle::drawControl(element, &grey, painter, widget);

        QStyleOptionMenuItem leading(*item);
        leading.text = item->text.chopped(trailing.size());
        for (QPalette::ColorRole role :
             {QPalette::Window, QPalette::Base, QPalette::Button, QPalette::Highlight, QPalette::Light,
              QPalette::Midlight, QPalette::Mid, QPalette::Dark, QPalette::Shadow, QPalette::AlternateBase})
            leading.palette.setColor(role, Qt::transparent);
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QImage layer((QSizeF(option->rect.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
        layer.setDevicePixelRatio(ratio);
        layer.fill(Qt::transparent);
        {
            QPainter layerPainter(&layer);
            layerPainter.translate(-option->rect.topLeft());
            QProxyStyle::drawControl(element, &leading, &layerPainter, widget);
        }
        painter->drawImage(option->rect.topLeft(), layer);
    }
};

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

void Menu::setTitleWithTrailingPart(QAction* item, const QString& title, const QString& trailing)
{
    if (!trailing.isEmpty() && !property("pfTrailingStyle").toBool()) {
        auto* style = new TrailingPartStyle;
        style->setParent(this);
        setStyle(style);
        setProperty("pfTrailingStyle", true);
    }
    item->setProperty(trailingProperty, trailing);
    setTitle(item, trailing.isEmpty() ? title : title + u' ' + trailing);
}

QString Menu::trailingPart(const QAction* item)
{
    return item->property(trailingProperty).toString();
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
