#include "Classes/Framework/Toolkit/OVMenuTranslationController.h"

#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/UI/Menu.h"

#include <QHash>
#include <memory>

OVMenuTranslationController::OVMenuTranslationController() : m_tableName(QStringLiteral("Menu")) {}

const pf::Bundle& OVMenuTranslationController::bundle() const
{
    return m_bundle ? *m_bundle : pf::Bundle::main();
}

std::optional<QString> OVMenuTranslationController::tableName() const
{
    if (pf::Localization::tablePath(bundle(), pf::Localization::currentLanguage(), m_tableName).isEmpty())
        return std::nullopt;
    return m_tableName;
}

void OVMenuTranslationController::awakeFromInterface()
{
    translate();
    if (m_releaseWhenDone)
        deleteLater();
}

void OVMenuTranslationController::translateMenu(QMenu* menu) const
{
    const std::optional<QString> table = tableName();
    if (!menu || !table)
        return;
    translateMenu(menu, *table, pf::Localization::currentLanguage());
}

void OVMenuTranslationController::translateMenu(QMenu* menu, const QString& table,
                                                const QString& language) const
{
    auto translated = [&](const QString& text) {
        return pf::Localization::lookup(bundle(), language, text, table);
    };
    menu->setTitle(translated(menu->title()));
    for (QAction* item : menu->actions()) {
        if (!item->isSeparator())
            pf::Menu::setTitle(item, translated(pf::Menu::title(item)));
        if (QMenu* submenu = item->menu())
            translateMenu(submenu, table, language);
    }
}

OVMenuTranslationController& OVMenuTranslationController::sharedControllerForTable(const QString& tableName)
{
    static QHash<QString, std::shared_ptr<OVMenuTranslationController>> shared;
    std::shared_ptr<OVMenuTranslationController>& controller = shared[tableName];
    if (!controller) {
        controller = std::make_shared<OVMenuTranslationController>();
        controller->setTableName(tableName);
    }
    return *controller;
}

void OVMenuTranslationController::translateMenu(QMenu* menu, const QString& tableName)
{
    sharedControllerForTable(tableName).translateMenu(menu);
}
