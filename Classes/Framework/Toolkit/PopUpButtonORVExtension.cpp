#include "Classes/Framework/Toolkit/PopUpButtonORVExtension.h"

#include "Classes/Framework/Toolkit/OVLocalizeHelper.h"
#include "Platform/Foundation/Log.h"
#include "Platform/UI/Menu.h"

namespace PopUpButtonORVExtension {

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
            menu.addHeader(category);
        } else if (!category.isEmpty() && translation.size() > category.size() &&
                   translation.startsWith(category)) {
            QAction* item = addEntryWithTitle(menu, translation.mid(category.size()), category);
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
