#include "Classes/Document/GMWindowMenu.h"

#include "Platform/UI/Document.h"
#include "Platform/UI/DocumentController.h"
#include "Platform/UI/Window.h"

#include <QAction>
#include <QMenu>
#include <QPointer>

namespace {

const char* const documentItem = "glimoraDocumentItem";

} // namespace

void GMWindowMenu::attach(QMenu* menu, const pf::DocumentController* documents)
{
    if (!menu)
        return;
    QObject::connect(menu, &QMenu::aboutToShow, menu, [menu, documents] { update(menu, documents); });
}

QString GMWindowMenu::titleOf(const QWidget* window)
{
    QString title = window->windowTitle();
    title.replace(QStringLiteral("[*]"), window->isWindowModified() ? QStringLiteral("*") : QString());
    return title;
}

void GMWindowMenu::update(QMenu* menu, const pf::DocumentController* documents)
{
    for (QAction* action : menu->actions())
        if (action->property(documentItem).toBool())
            delete action;
    if (!documents)
        return;
    bool first = true;
    for (const std::shared_ptr<pf::Document>& document : documents->documents()) {
        pf::Window* window = document ? document->window() : nullptr;
        if (!window || !window->isVisible())
            continue;
        if (first) {
            menu->addSeparator()->setProperty(documentItem, true);
            first = false;
        }
        // An ampersand in a name is a character, not a shortcut mark.
        QAction* item = menu->addAction(titleOf(window).replace(QLatin1Char('&'), QStringLiteral("&&")));
        item->setProperty(documentItem, true);
        item->setObjectName(document->displayName());
        item->setCheckable(true);
        item->setChecked(window->isKeyWindow());
        QPointer<pf::Window> target(window);
        QObject::connect(item, &QAction::triggered, menu, [target] {
            if (!target)
                return;
            if (target->isMinimized())
                target->showNormal();
            target->makeKeyAndOrderFront();
            target->raise();
            target->activateWindow();
        });
    }
}
