#pragma once

#include "Platform/Foundation/Point.h"

#include <QMenu>
#include <functional>

namespace pf {

class View;

// A menu with what the interface asks of one: items with an action (the target's call) and a tag,
// separators, disabled group headers, indented items, a callback as the highlight moves (nullptr when
// it leaves every item), validation of every item just before the menu shows, and popping up with a
// chosen item placed at a point of a view.
class Menu : public QMenu
{
    Q_OBJECT

public:
    using Action = std::function<void(QAction*)>;

    explicit Menu(const QString& title = QString(), QWidget* parent = nullptr);

    QAction* addItem(const QString& title, Action action = nullptr, int tag = 0);
    // A header: disabled, it names the group of items after it.
    QAction* addHeader(const QString& title);
    // Items of a group are shown indented by level.
    static void setIndentationLevel(QAction* item, int level);
    static int indentationLevel(const QAction* item);
    static int tag(const QAction* item);
    // Whether the item was added with an action of its own.
    static bool hasAction(const QAction* item);
    QAction* itemWithTag(int tag) const;
    // The title without its indentation.
    static QString title(const QAction* item);
    // Gives the item another title, keeping its indentation (any QAction).
    static void setTitle(QAction* item, const QString& title);
    // Titles the item "<title> <trailing>" with the trailing part drawn in light grey (the group an item
    // belongs to, after its name); title() then answers the whole text. An item of this menu only.
    void setTitleWithTrailingPart(QAction* item, const QString& title, const QString& trailing);
    static QString trailingPart(const QAction* item);

    // Asked for each item with an action before the menu shows: true enables it.
    void setValidator(std::function<bool(QAction*)> validator) { m_validator = std::move(validator); }
    void setHighlightHandler(std::function<void(QAction*)> handler)
    {
        m_highlightHandler = std::move(handler);
    }
    QAction* highlightedItem() const { return m_highlighted; }

    // Shows the menu with `item` (or the first item) at `location` in `view`'s coordinates (the screen's,
    // y-up, without a view) and waits until it closes; returns the chosen item or nullptr.
    QAction* popUpPositioningItem(QAction* item, Point location, View* view);

protected:
    bool event(QEvent* event) override;

private:
    void validateItems();
    void noteHighlight(QAction* action);

    std::function<bool(QAction*)> m_validator;
    std::function<void(QAction*)> m_highlightHandler;
    QAction* m_highlighted = nullptr;
};

} // namespace pf
