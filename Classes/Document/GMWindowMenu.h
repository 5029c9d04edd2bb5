#pragma once

#include <QString>

class QMenu;
class QWidget;

// The Window menu's list of open documents, below its own items: one item per document window, named
// as its title bar names it (with the edited mark), the front one checked; choosing an item brings that
// window to the front. The list is made afresh each time the menu opens. Main thread only.
class GMWindowMenu
{
public:
    // Fills `menu` each time it is about to show.
    static void attach(QMenu* menu);
    // Replaces the document items of `menu` with those of the documents open now.
    static void update(QMenu* menu);
    // The title as the title bar shows it: "[*]" becomes the edited mark "*" of an edited window.
    static QString titleOf(const QWidget* window);
};
