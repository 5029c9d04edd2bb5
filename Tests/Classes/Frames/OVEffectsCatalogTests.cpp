#include "Classes/Frames/OVEffect.h"
#include "Classes/Frames/OVEffectPicker.h"
#include "Classes/Frames/OVEffectPickerDelegate.h"
#include "Classes/Frames/OVEffectsCatalog.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/PropertyList.h"
#include "Platform/UI/Menu.h"
#include "Platform/UI/View.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <gtest/gtest.h>
#include <set>

namespace {

QVariantMap describe(const QString& name, const QString& displayName = {})
{
    QVariantMap d{{QStringLiteral("name"), name}};
    if (!displayName.isEmpty())
        d[QStringLiteral("displayName")] = displayName;
    return d;
}

struct Report
{
    bool chosen;    // false: a preview
    QString effect; // empty for null
};

struct RecordingDelegate : OVEffectPickerDelegate
{
    void effectPickerDidSelectEffect(OVEffectPicker&, std::unique_ptr<OVEffect> effect) override
    {
        reports.push_back({true, effect ? effect->name() : QString()});
    }
    void effectPickerPreviewing(OVEffectPicker&, std::unique_ptr<OVEffect> effect) override
    {
        reports.push_back({false, effect ? effect->name() : QString()});
    }
    std::vector<Report> reports;
    int choices(const QString& effect) const
    {
        return int(std::count_if(reports.begin(), reports.end(),
                                 [&](const Report& r) { return r.chosen && r.effect == effect; }));
    }
};

void turnEventLoop()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

TEST(EffectsCatalog, StoredSettingsFindTheirEffect)
{
    const OVEffectsCatalog catalog({describe(QStringLiteral("OVDimmedBWFilter"), QStringLiteral("Dimmed")),
                                    describe(QStringLiteral("OVGradientMultiplyFilter"))});
    struct Case
    {
        const char* what;
        QVariantMap settings;
        QString effect; // empty: none
        QString settingsName;
    };
    const Case cases[] = {
        {"catalogued",
         {{"name", "OVDimmedBWFilter"}, {"inputBrightness", 0.3}},
         "OVDimmedBWFilter",
         "OVDimmedBWFilter"},
        {"the name followed by Filter is catalogued",
         {{"name", "OVDimmedBW"}},
         "OVDimmedBWFilter",
         "OVDimmedBWFilter"},
        {"not catalogued, yet a filter",
         {{"name", "OVRotateColorFilter"}},
         "OVRotateColorFilter",
         "OVRotateColorFilter"},
        {"renamed effect",
         {{"name", "OVColorMultiplyFilter"}},
         "OVGradientMultiplyFilter",
         "OVGradientMultiplyFilter"},
        {"no name at all", {{"inputBrightness", 0.3}}, {}, {}},
        {"no such filter", {{"name", "Nowhere"}}, {}, {}},
    };
    for (const Case& c : cases) {
        pf::LogCapture log;
        const std::unique_ptr<OVEffect> effect = catalog.effectWithSettings(c.settings);
        if (c.effect.isEmpty()) {
            EXPECT_FALSE(effect) << c.what;
            // In particular no look-up of a filter named "Filter".
            EXPECT_FALSE(log.contains(QStringLiteral("name Filter"))) << c.what;
            continue;
        }
        ASSERT_TRUE(effect) << c.what;
        EXPECT_EQ(effect->name(), c.effect) << c.what;
        EXPECT_EQ(effect->settings().value(QStringLiteral("name")).toString(), c.settingsName) << c.what;
    }
}

TEST(EffectsCatalog, MigrationMovesRenamedInputs)
{
    const QString gradient = QStringLiteral("0 1 0 0 1 1 0 0 1 1");
    const QVariantMap migrated = OVEffectsCatalog::verifyEffectSettings(
        {{"name", "OVColorMultiplyFilter"}, {"inputColor", gradient}, {"inputAngle", 0.5}});
    EXPECT_EQ(migrated,
              (QVariantMap{
                  {"name", "OVGradientMultiplyFilter"}, {"inputGradient", gradient}, {"inputAngle", 0.5}}));
    const QVariantMap current{{"name", "OVDimmedBWFilter"}, {"inputColor", gradient}};
    EXPECT_EQ(OVEffectsCatalog::verifyEffectSettings(current), current);

    const OVEffectsCatalog catalog({describe(QStringLiteral("OVGradientMultiplyFilter"))});
    const auto effect =
        catalog.effectWithSettings({{"name", "OVColorMultiplyFilter"}, {"inputColor", gradient}});
    ASSERT_TRUE(effect);
    EXPECT_EQ(effect->name(), QStringLiteral("OVGradientMultiplyFilter"));
    EXPECT_TRUE(effect->settings().contains(QStringLiteral("inputGradient")));
    EXPECT_FALSE(effect->settings().contains(QStringLiteral("inputColor")));
}

TEST(EffectsCatalog, NamesKeysAndReplacement)
{
    pf::LogCapture log;
    OVEffectsCatalog catalog({describe(QStringLiteral("OVDimmedBWFilter"), QStringLiteral("beta")),
                              QVariantMap{{"ciName", "OVRotateColorFilter"}, {"displayName", "alpha"}},
                              QVariantMap{{"displayName", "Alpha"}},
                              QVariantMap{{"settingsUI", QVariantMap()}}});
    EXPECT_TRUE(log.contains(QStringLiteral("Warning: No Name! Skipping Effect")));
    EXPECT_EQ(catalog.catalog().size(), 3);
    EXPECT_TRUE(catalog.catalog().contains(QStringLiteral("OVRotateColorFilter")));
    EXPECT_TRUE(catalog.catalog().contains(QStringLiteral("Alpha")));
    EXPECT_EQ(catalog.sortedDisplayNames(), (QStringList{"Alpha", "alpha", "beta"}));
    EXPECT_FALSE(catalog.effectForDisplayName(QStringLiteral("gamma")));
    ASSERT_TRUE(catalog.effectForDisplayName(QStringLiteral("beta")));
    EXPECT_EQ(catalog.effectForDisplayName(QStringLiteral("beta"))->name(),
              QStringLiteral("OVDimmedBWFilter"));

    // The same key again replaces the entry, its shown name included.
    catalog.addEffectWithDescription(describe(QStringLiteral("OVDimmedBWFilter"), QStringLiteral("Grey")));
    EXPECT_EQ(catalog.sortedDisplayNames(), (QStringList{"Alpha", "alpha", "Grey"}));
    EXPECT_EQ(catalog.catalog().value(QStringLiteral("OVDimmedBWFilter")).value("displayName"), "Grey");
}

class EffectPickerTest : public ::testing::Test
{
protected:
    OVEffectsCatalog catalog{{describe(QStringLiteral("OVDimmedBWFilter"), QStringLiteral("beta")),
                              describe(QStringLiteral("OVRotateColorFilter"), QStringLiteral("alpha")),
                              describe(QStringLiteral("OVKeepColorFilter"), QStringLiteral("Alpha"))}};
    OVEffectPicker picker{catalog};
    pf::View view{pf::Rect(0, 0, 200, 100)};
};

TEST_F(EffectPickerTest, MenuListsNamesInPlainOrder)
{
    QStringList titles;
    for (QAction* item : picker.listMenu()->actions())
        titles << pf::Menu::title(item);
    EXPECT_EQ(titles, (QStringList{"Alpha", "alpha", "beta"}));
}

TEST_F(EffectPickerTest, ARunReportsOnceAndDropsItsDelegate)
{
    enum class End
    {
        Choice,
        Close,
        ChoiceThenCloseHandler
    };
    struct Case
    {
        const char* what;
        End end;
    };
    const Case cases[] = {{"chosen by the keyboard", End::Choice},
                          {"closed without a choice", End::Close},
                          {"hidden before the choice fires", End::ChoiceThenCloseHandler}};
    view.show();
    for (const Case& c : cases) {
        auto delegate = std::make_shared<RecordingDelegate>();
        const std::weak_ptr<RecordingDelegate> watch = delegate;
        picker.showPickerOver(&view, delegate);
        pf::Menu* menu = picker.listMenu();
        turnEventLoop();
        QAction* second = menu->actions().at(1);
        switch (c.end) {
        case End::Choice: {
            menu->setActiveAction(second);
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QCoreApplication::sendEvent(menu, &press);
            break;
        }
        case End::Close:
            menu->setActiveAction(second);
            menu->hide();
            break;
        case End::ChoiceThenCloseHandler:
            // The order the menu itself keeps: it hides, then the item fires.
            menu->hide();
            second->trigger();
            break;
        }
        turnEventLoop();
        const bool chosen = c.end != End::Close;
        EXPECT_EQ(delegate->choices(QStringLiteral("OVRotateColorFilter")), chosen ? 1 : 0) << c.what;
        EXPECT_EQ(delegate->choices(QString()), chosen ? 0 : 1) << c.what;
        ASSERT_FALSE(delegate->reports.empty()) << c.what;
        EXPECT_TRUE(delegate->reports.back().chosen) << c.what;
        EXPECT_FALSE(picker.isRunning()) << c.what;
        delegate.reset();
        EXPECT_TRUE(watch.expired()) << c.what << ": the picker still holds the delegate";
    }
}

TEST_F(EffectPickerTest, ARunStartedBeforeTheCloseReportEndsThePreviousOne)
{
    auto first = std::make_shared<RecordingDelegate>();
    auto second = std::make_shared<RecordingDelegate>();
    picker.showPickerOver(&view, first);
    pf::Menu* menu = picker.listMenu();
    turnEventLoop();
    menu->hide();
    picker.showPickerOver(&view, second);
    turnEventLoop();
    EXPECT_EQ(first->choices(QString()), 1);
    EXPECT_EQ(second->choices(QString()), 0);
    EXPECT_TRUE(picker.isRunning());
    menu->hide();
    turnEventLoop();
    EXPECT_EQ(second->choices(QString()), 1);
    EXPECT_EQ(first->choices(QString()), 1);
}

TEST_F(EffectPickerTest, HighlightPreviewsAndLeavingSendsNull)
{
    auto delegate = std::make_shared<RecordingDelegate>();
    picker.showPickerOver(&view, delegate);
    pf::Menu* menu = picker.listMenu();
    turnEventLoop();
    menu->setActiveAction(menu->actions().at(2));
    QCoreApplication::processEvents();
    ASSERT_FALSE(delegate->reports.empty());
    EXPECT_FALSE(delegate->reports.back().chosen);
    EXPECT_EQ(delegate->reports.back().effect, QStringLiteral("OVDimmedBWFilter"));
    picker.menuWillHighlightItem(nullptr);
    EXPECT_FALSE(delegate->reports.back().chosen);
    EXPECT_TRUE(delegate->reports.back().effect.isEmpty());
    menu->hide();
    turnEventLoop();
}

} // namespace

namespace {

QVariantMap englishTable(const QString& name)
{
    const QString path =
        pf::Bundle::main().pathForResource(name, QStringLiteral("plist"), QStringLiteral("Localization/en"));
    return pf::PropertyList::fromFile(path).value_or(QVariant()).toMap();
}

// The shipped catalog: every effect is made by its shown name, every row's label and every effect's
// name has its text, and the rows cover all six control types and the description's optional keys.
TEST(EffectsCatalog, ShippedEffectsAreComplete)
{
    const OVEffectsCatalog& catalog = OVEffectsCatalog::sharedEffectsCatalog();
    EXPECT_GE(catalog.catalog().size(), 12);
    const QVariantMap labels = englishTable(QStringLiteral("EffectSettings"));
    const QVariantMap names = englishTable(QStringLiteral("Localizable"));
    EXPECT_TRUE(labels.contains(QStringLiteral("Enable")) && labels.contains(QStringLiteral("Disable")));
    std::set<int> types;
    std::set<QString> keys;
    for (const QString& displayName : catalog.sortedDisplayNames()) {
        const std::unique_ptr<OVEffect> effect = catalog.effectForDisplayName(displayName);
        ASSERT_TRUE(effect) << qPrintable(displayName);
        const QVariantMap description = catalog.catalog().value(effect->name());
        for (const char* key : {"ciName", "relative", "globals", "defaultSettings"})
            if (description.contains(QString::fromLatin1(key)))
                keys.insert(QString::fromLatin1(key));
        if (description.value(QStringLiteral("ciName"), effect->name()) != effect->name())
            keys.insert(QStringLiteral("a ciName of its own"));
        const QVariantMap rows = description.value(QStringLiteral("settingsUI")).toMap();
        for (auto row = rows.begin(); row != rows.end(); ++row) {
            EXPECT_TRUE(labels.contains(row.key())) << qPrintable(row.key());
            types.insert(row.value().toMap().value(QStringLiteral("type")).toInt());
            if (row.value().toMap().contains(QStringLiteral("expFactor")))
                keys.insert(QStringLiteral("expFactor"));
        }
        EXPECT_TRUE(displayName == effect->name() || names.contains(effect->name()))
            << qPrintable(displayName);
    }
    EXPECT_EQ(types, (std::set<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(keys.size(), 6u);
}

} // namespace
