#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Log.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class BundleTest : public ::testing::Test
{
protected:
    QString path(const QString& relative) const { return m_dir.path() + u'/' + relative; }
    // Empty files at the relative paths, with the folders they need.
    void touch(std::initializer_list<const char*> relatives)
    {
        for (const char* relative : relatives) {
            const QString file = path(QString::fromUtf8(relative));
            QDir().mkpath(QFileInfo(file).absolutePath());
            EXPECT_TRUE(QFile(file).open(QIODevice::WriteOnly)) << relative;
        }
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(BundleTest, FindsResourcesByNameAndType)
{
    touch({"Resources/Blur.kernel", "Resources/Sharpen.kernel", "Resources/README", "Resources/Upper.KERNEL",
           "Resources/Blueprints/Skin.plist", "secret.kernel"});
    const pf::Bundle bundle(path(QStringLiteral("Resources/")));
    const QString resources = path(QStringLiteral("Resources"));
    EXPECT_EQ(bundle.resourcePath(), resources);

    EXPECT_EQ(bundle.pathForResource(QStringLiteral("Blur"), QStringLiteral("kernel")),
              resources + QStringLiteral("/Blur.kernel"));
    EXPECT_EQ(bundle.pathForResource(QStringLiteral("Blur.kernel"), QStringLiteral("kernel")),
              resources + QStringLiteral("/Blur.kernel"));
    EXPECT_EQ(bundle.pathForResource(QStringLiteral("Blur"), QStringLiteral(".kernel")),
              resources + QStringLiteral("/Blur.kernel"));
    EXPECT_EQ(bundle.pathForResource(QStringLiteral("Blur.kernel")),
              resources + QStringLiteral("/Blur.kernel"));
    EXPECT_EQ(bundle.pathForResource(QStringLiteral("README")), resources + QStringLiteral("/README"));
    EXPECT_EQ(
        bundle.pathForResource(QStringLiteral("Skin"), QStringLiteral("plist"), QStringLiteral("Blueprints")),
        resources + QStringLiteral("/Blueprints/Skin.plist"));

    EXPECT_EQ(bundle.pathForResource(QStringLiteral("Blur"), QStringLiteral("plist")), QString());
    EXPECT_EQ(bundle.pathForResource(QStringLiteral("Skin"), QStringLiteral("plist")), QString());
    EXPECT_EQ(bundle.pathForResource(QStringLiteral("Blur")), QString());
    EXPECT_EQ(bundle.pathForResource(QString(), QStringLiteral("kernel")), QString());
    // Nothing outside the folder, however the name is spelled.
    EXPECT_EQ(bundle.pathForResource(QStringLiteral("../secret"), QStringLiteral("kernel")), QString());
    EXPECT_EQ(
        bundle.pathForResource(QStringLiteral("secret"), QStringLiteral("kernel"), QStringLiteral("..")),
        QString());
    EXPECT_EQ(bundle.pathForResource(path(QStringLiteral("secret")), QStringLiteral("kernel")), QString());

    EXPECT_EQ(bundle.pathsForResourcesOfType(QStringLiteral("kernel")),
              (QStringList{resources + QStringLiteral("/Blur.kernel"),
                           resources + QStringLiteral("/Sharpen.kernel")}));
    EXPECT_EQ(bundle.pathsForResourcesOfType(QStringLiteral("plist"), QStringLiteral("Blueprints")),
              QStringList{resources + QStringLiteral("/Blueprints/Skin.plist")});
    EXPECT_EQ(bundle.pathsForResourcesOfType(QString()).size(), 5);
    EXPECT_TRUE(
        bundle.pathsForResourcesOfType(QStringLiteral("kernel"), QStringLiteral("Missing")).isEmpty());
    EXPECT_TRUE(bundle.pathsForResourcesOfType(QStringLiteral("kernel"), QStringLiteral("../..")).isEmpty());
}

TEST_F(BundleTest, ChoosesTheResourcesFolderInOrder)
{
    const QByteArray previous = qgetenv("PF_RESOURCES_DIR");
    qunsetenv("PF_RESOURCES_DIR");
    const QString bin = path(QStringLiteral("prefix/bin"));
    QDir().mkpath(bin);

    // The library compiles in the source tree's Resources folder.
    const QString sourceResources =
        QDir::cleanPath(QStringLiteral(GLIMORA_TESTS_DATA_DIR "/../../Resources"));

    // Nothing installed: the source tree's folder.
    pf::LogCapture capture;
    EXPECT_EQ(pf::Bundle::findResourcesDirectory(bin, QStringLiteral("app")), sourceResources);

    QDir().mkpath(path(QStringLiteral("prefix/share/app/Resources")));
    EXPECT_EQ(pf::Bundle::findResourcesDirectory(bin, QStringLiteral("app")),
              path(QStringLiteral("prefix/share/app/Resources")));
    EXPECT_EQ(pf::Bundle::findResourcesDirectory(bin, QStringLiteral("other")), sourceResources);

    QDir().mkpath(bin + QStringLiteral("/Resources"));
    EXPECT_EQ(pf::Bundle::findResourcesDirectory(bin, QStringLiteral("app")),
              bin + QStringLiteral("/Resources"));

    QDir().mkpath(path(QStringLiteral("elsewhere")));
    qputenv("PF_RESOURCES_DIR", path(QStringLiteral("elsewhere")).toUtf8());
    EXPECT_EQ(pf::Bundle::findResourcesDirectory(bin, QStringLiteral("app")),
              path(QStringLiteral("elsewhere")));
    qputenv("PF_RESOURCES_DIR", path(QStringLiteral("no-such-folder")).toUtf8());
    capture.clear();
    EXPECT_EQ(pf::Bundle::findResourcesDirectory(bin, QStringLiteral("app")),
              bin + QStringLiteral("/Resources"));
    EXPECT_TRUE(capture.contains(QStringLiteral("PF_RESOURCES_DIR names no folder")));

    if (previous.isNull())
        qunsetenv("PF_RESOURCES_DIR");
    else
        qputenv("PF_RESOURCES_DIR", previous);
    EXPECT_EQ(&pf::Bundle::main(), &pf::Bundle::main());
}

TEST_F(BundleTest, BuiltResourcesAreFoundAfterTheMainFolder)
{
    touch({"Resources/Knob.png", "Resources/Masks/ORV-M#001#Oval.png", "Built/Knob.png", "Built/Knob@2x.png",
           "Built/Masks/ORV-M#002#Soft.png"});
    const pf::Bundle bundle(path(QStringLiteral("Resources")), {path(QStringLiteral("Built"))});
    EXPECT_EQ(bundle.resourcePaths(),
              QStringList({path(QStringLiteral("Resources")), path(QStringLiteral("Built"))}));
    // The main folder wins; what only the built folder has is found there, also in sub-folders.
    EXPECT_EQ(bundle.pathForResource(QStringLiteral("Knob"), QStringLiteral("png")),
              path(QStringLiteral("Resources/Knob.png")));
    EXPECT_EQ(bundle.pathForResource(QStringLiteral("Knob@2x"), QStringLiteral("png")),
              path(QStringLiteral("Built/Knob@2x.png")));
    EXPECT_EQ(bundle.pathsForResourcesOfType(QStringLiteral("png"), QStringLiteral("Masks")),
              QStringList({path(QStringLiteral("Resources/Masks/ORV-M#001#Oval.png")),
                           path(QStringLiteral("Built/Masks/ORV-M#002#Soft.png"))}));
    EXPECT_EQ(
        bundle.pathsForResourcesOfType(QStringLiteral("png")),
        QStringList({path(QStringLiteral("Resources/Knob.png")), path(QStringLiteral("Built/Knob@2x.png"))}));
    // The built folder is still a folder of the bundle: nothing outside it is reachable.
    EXPECT_EQ(bundle.pathForResource(QStringLiteral("../Built/Knob"), QStringLiteral("png")), QString());
}

TEST_F(BundleTest, LooksInTheUsersLocalisationThenEnglishAfterTheFolderItself)
{
    touch({"Informations/Layers.mov", "Informations/en.lproj/Layers.srt", "Informations/de.lproj/Layers.srt",
           "Informations/en.lproj/Brushes.srt", "Informations/Shared.srt",
           "Informations/de.lproj/Shared.srt"});
    const QString root = path(QStringLiteral("Informations"));
    struct Case
    {
        const char* language;
        const char* name;
        QString found;
    };
    const Case cases[] = {
        {"de_CH", "Layers", root + QStringLiteral("/de.lproj/Layers.srt")},
        {"de", "Layers", root + QStringLiteral("/de.lproj/Layers.srt")},
        {"fr_FR", "Layers", root + QStringLiteral("/en.lproj/Layers.srt")},
        {"de_DE", "Brushes", root + QStringLiteral("/en.lproj/Brushes.srt")},
        // What the folder itself holds serves every language.
        {"de_DE", "Shared", root + QStringLiteral("/Shared.srt")},
        {"de_DE", "Missing", QString()},
        {"../..", "Layers", root + QStringLiteral("/en.lproj/Layers.srt")},
    };
    for (const Case& c : cases) {
        const pf::Bundle bundle(root, {}, pf::Bundle::localizationFolders(QString::fromLatin1(c.language)));
        EXPECT_EQ(bundle.pathForResource(QString::fromLatin1(c.name), QStringLiteral("srt")), c.found)
            << c.language << " " << c.name;
    }
    // A bundle made without localisation folders looks in none.
    const pf::Bundle plain(root);
    EXPECT_EQ(plain.pathForResource(QStringLiteral("Layers"), QStringLiteral("srt")), QString());
    EXPECT_EQ(plain.pathForResource(QStringLiteral("Layers"), QStringLiteral("mov")),
              root + QStringLiteral("/Layers.mov"));
}
