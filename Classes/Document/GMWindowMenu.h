#pragma once

#include <QString>

class QMenu;
class QWidget;
namespace pf {
class DocumentController;
}

// The Window menu's list of open documents, below its own items: one item per document window, named
// as its title bar names it (with the edited mark), the front one checked; choosing an item brings that
// window to the front. The list is made afresh each time the menu opens. Main thread only.
class GMWindowMenu
{
public:
    // Fills `menu` each time it is about to show, with the documents of `documents`.
    static void attach(QMenu* menu, const pf::DocumentController* documents);
    // Replaces the document items of `menu` with those of the documents open now.
    static void update(QMenu* menu, const pf::DocumentController* documents);
    // The title as the title bar shows it: "[*]" becomes the edited mark "*" of an edited window.
    static QString titleOf(const QWidget* window);
};
