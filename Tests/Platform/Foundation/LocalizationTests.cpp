#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/FileSystem.h"
#include "Platform/Foundation/Localization.h"
#include "Platform/Foundation/PropertyList.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace pf;

TEST(Localization, LooksUpTablesPerLanguageAndFallsBackToEnglish)
{
    QTemporaryDir resources;
    auto writeTable = [&](const QString& language, const QString& table, const QVariantMap& entries) {
        QDir(resources.path()).mkpath(QStringLiteral("Localization/") + language);
        auto data = PropertyList::toData(entries, PropertyList::Format::Xml);
        ASSERT_TRUE(data);
        ASSERT_TRUE(FileSystem::writeFileAtomically(
            resources.filePath(QStringLiteral("Localization/%1/%2.plist").arg(language, table)), *data));
    };
    writeTable("de", "Controls", {{"Intensity", "Stärke"}});
    writeTable("de", "Localizable", {{"Effect", "Effekt"}});
    writeTable("de_CH", "Menu", {{"Undo", "Rückgängig (CH)"}});
    const Bundle bundle(resources.path());

    EXPECT_EQ(Localization::lookup(bundle, "de_CH", "Intensity", "Controls"), "Stärke"); // falls back to "de"
    EXPECT_EQ(Localization::lookup(bundle, "de_CH", "Undo", "Menu"), "Rückgängig (CH)");
    EXPECT_EQ(Localization::lookup(bundle, "de", "Undo", "Menu"), "Undo"); // no "de" Menu table
    EXPECT_EQ(Localization::lookup(bundle, "de", "Effect", QString()), "Effekt");
    EXPECT_EQ(Localization::lookup(bundle, "de", "Missing", "Controls"), "Missing");
    EXPECT_EQ(Localization::lookup(bundle, "fr", "Effect", QString()), "Effect");
    EXPECT_EQ(Localization::lookup(bundle, "en_US", "Effect", QString()), "Effect");
}
