#include "Classes/Framework/Toolkit/OVLocalizeHelper.h"
#include "Classes/Framework/Toolkit/OVMenuTranslationController.h"
#include "Classes/Framework/Toolkit/OVTranslatingButton.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/UI/Menu.h"

#include <gtest/gtest.h>

namespace {

// The test tables (language "de") translate "Frame Oak", but neither "Oak" nor "Frame Birch".
class GermanInterface : public ::testing::Test
{
protected:
    void SetUp() override { pf::Localization::setLanguageForTesting(QStringLiteral("de")); }
    void TearDown() override { pf::Localization::setLanguageForTesting(QStringLiteral("en")); }
};

TEST_F(GermanInterface, OverridesComeBeforeTheDefaultTable)
{
    OVLocalizeHelper::setLocalizedString(QStringLiteral("Frame Oak"), QStringLiteral("Oak"));
    OVLocalizeHelper::setLocalizedString(QStringLiteral("Frame Birch"), QStringLiteral("Birch"));
    OVLocalizeHelper::setLocalizedString(QStringLiteral("Anything"), QString()); // no key: ignored
    EXPECT_EQ(OVLocalizeHelper::localizedString(QStringLiteral("Oak")), QStringLiteral("Eichenrahmen"));
    EXPECT_EQ(OVLocalizeHelper::localizedString(QStringLiteral("Birch")), QStringLiteral("Frame Birch"));
    EXPECT_EQ(OVLocalizeHelper::localizedString(QStringLiteral("Pine")), QStringLiteral("Pine"));
    // An empty text removes an override just as no text does: the key shows again, never a blank.
    OVLocalizeHelper::setLocalizedString(QStringLiteral(""), QStringLiteral("Oak"));
    OVLocalizeHelper::setLocalizedString(QString(), QStringLiteral("Birch"));
    EXPECT_EQ(OVLocalizeHelper::localizedString(QStringLiteral("Oak")), QStringLiteral("Oak"));
    EXPECT_EQ(OVLocalizeHelper::localizedString(QStringLiteral("Birch")), QStringLiteral("Birch"));
}

TEST_F(GermanInterface, MenusAreTranslatedAtEveryLevelOnlyWhereATableExists)
{
    const struct
    {
        QString language;
        QStringList expected; // menu, item, missing item, submenu, its item
    } cases[] = {
        {QStringLiteral("de"),
         {QStringLiteral("Bearbeiten"), QStringLiteral("Widerrufen"), QStringLiteral("Missing"),
          QStringLiteral("Umwandeln"), QStringLiteral("Drehen")}},
        {QStringLiteral("en"),
         {QStringLiteral("Edit"), QStringLiteral("Undo"), QStringLiteral("Missing"),
          QStringLiteral("Transform"), QStringLiteral("Rotate")}},
        {QStringLiteral("fr"),
         {QStringLiteral("Edit"), QStringLiteral("Undo"), QStringLiteral("Missing"),
          QStringLiteral("Transform"), QStringLiteral("Rotate")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language.toStdString());
        pf::Localization::setLanguageForTesting(c.language);
        pf::Menu menu(QStringLiteral("Edit"));
        QAction* undo = menu.addItem(QStringLiteral("Undo"));
        pf::Menu::setIndentationLevel(undo, 1);
        QAction* missing = menu.addItem(QStringLiteral("Missing"));
        menu.addSeparator();
        auto* submenu = new pf::Menu(QStringLiteral("Transform"), &menu);
        QAction* rotate = submenu->addItem(QStringLiteral("Rotate"));
        menu.addMenu(submenu);
        OVMenuTranslationController::translateMenu(&menu, QStringLiteral("Menu"));
        EXPECT_EQ((QStringList{menu.QMenu::title(), pf::Menu::title(undo), pf::Menu::title(missing),
                               submenu->QMenu::title(), pf::Menu::title(rotate)}),
                  c.expected);
        EXPECT_EQ(pf::Menu::indentationLevel(undo), 1);
    }
}

TEST_F(GermanInterface, TranslatingButtonsTranslateTitlesSetLaterToo)
{
    OVTranslatingButton button;
    button.setText(QStringLiteral("Apply")); // as an interface sets it
    button.QPushButton::setToolTip(QStringLiteral("Apply the effect"));
    button.awakeFromInterface();
    EXPECT_EQ(button.title(), QStringLiteral("Anwenden"));
    EXPECT_EQ(button.toolTip(), QStringLiteral("Den Effekt anwenden"));
    button.setTitle(QStringLiteral("Brush"));
    EXPECT_EQ(button.title(), QStringLiteral("Pinsel"));
    button.setTitle(QStringLiteral("Untranslated"));
    EXPECT_EQ(button.title(), QStringLiteral("Untranslated"));
}

} // namespace
