#pragma once

#include <QString>
#include <QStringList>

class QAction;

namespace pf {
class Menu;
}

// Filling a pop-up's menu from a list of entries with separators and category headers. Main thread.
namespace PopUpButtonORVExtension {

// Each entry is translated (OVLocalizeHelper) and becomes: for "-", a separator; for a translation
// ending in "-", a disabled header of the text before it, which starts a category; for a translation
// that begins with the current category's text (and is longer), an item titled with the rest and the
// category after it in light grey, indented one level; otherwise a plain item, which ends the
// category. Empty entries are skipped with a warning.
void addEntries(pf::Menu& menu, const QStringList& entries);

// Appends an item titled `title`, followed by `category` in light grey unless that is empty. Items of
// equal titles all stay.
QAction* addEntryWithTitle(pf::Menu& menu, const QString& title, const QString& category);

} // namespace PopUpButtonORVExtension
