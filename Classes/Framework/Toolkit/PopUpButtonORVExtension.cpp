#include "Classes/Framework/Toolkit/PopUpButtonORVExtension.h"

#include "Classes/Framework/Toolkit/OVLocalizeHelper.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/Menu.h"

namespace PopUpButtonORVExtension {

namespace {

// What an entry under `category` shows: the entry less the category. A spaced header ("Wood -") names
// entries written "Wood - Light Oak", whose separator is not part of the title. Empty when the entry is
// not the category's.
QString categorisedTitle(const QString& entry, const QString& category)
{
    if (category.isEmpty() || entry.size() <= category.size() || !entry.startsWith(category))
        return QString();
    QString rest = entry.mid(category.size());
    if (category.back().isSpace()) {
        qsizetype start = 0;
        while (start < rest.size() && (rest.at(start).isSpace() || rest.at(start) == u'-'))
            ++start;
        rest = rest.mid(start);
    }
    return rest;
}

} // namespace

void addEntries(pf::Menu& menu, const QStringList& entries)
{
    QString category;
    for (const QString& entry : entries) {
        if (entry.isEmpty()) {
            pf::warning(QStringLiteral("An empty entry of a pop-up menu is left out"));
            continue;
        }
        const QString translation = OVLocalizeHelper::localizedString(entry);
        if (entry == QLatin1String("-")) {
            menu.addSeparator();
        } else if (translation.endsWith(u'-')) {
            category = translation.chopped(1);
            menu.addHeader(category.trimmed());
        } else if (const QString rest = categorisedTitle(translation, category); !rest.isEmpty()) {
            QAction* item = addEntryWithTitle(menu, rest, category.trimmed());
            pf::Menu::setIndentationLevel(item, 1);
        } else {
            menu.addItem(translation);
            category.clear();
        }
    }
}

QAction* addEntryWithTitle(pf::Menu& menu, const QString& title, const QString& category)
{
    QAction* item = menu.addItem(title);
    if (!category.isEmpty())
        menu.setTitleWithTrailingPart(item, title, category);
    return item;
}

} // namespace PopUpButtonORVExtension
