#include "Classes/Frames/OVTextureCatalog.h"
#include "FramesTestSupport.h"

#include <gtest/gtest.h>

namespace {

struct OptionsCase
{
    const char* options;
    bool shouldScale, repeating;
    quint64 sections;
    double hue, saturation, value, baseScale;
};

} // namespace

TEST(OVTextureCatalog, ReadsTheDrawingOptionsFromTheEndOfTheOptionsText)
{
    const OptionsCase cases[] = {
        {"", false, false, 1, 0, 1, 1, 4.0},
        {"$0.05", false, false, 1, 0, 1, 1, 0.1},
        {"$0.5", false, false, 1, 0, 1, 1, 0.5},
        {"R7", false, true, 4, 0, 1, 1, 4.0},
        {"0", false, false, 1, 0, 1, 1, 4.0},
        {"R", false, true, 1, 0, 1, 1, 4.0},
        {"#120", false, false, 1, 1.0 / 3, 1, 1, 4.0},
        {"#120-50-50-3$8", false, false, 1, 1.0 / 3, 0.5, 0.5, 3.0},
        {"S2#30-50-80$2.5", true, false, 2, 30.0 / 360, 0.5, 0.8, 2.5},
        // The fourth number is a scale too and must not scale a texture to nothing.
        {"#30-50-80-0", false, false, 1, 30.0 / 360, 0.5, 0.8, 0.1},
        {"S#10-20-30-0.02$3", true, false, 1, 10.0 / 360, 0.2, 0.3, 0.1},
    };
    for (const OptionsCase& c : cases) {
        SCOPED_TRACE(c.options);
        const OVTextureDescription d =
            OVTextureCatalog::descriptionForOptions(QStringLiteral("/x.jpg"), QString::fromLatin1(c.options));
        EXPECT_EQ(d.shouldScale(), c.shouldScale);
        EXPECT_EQ(d.repeating(), c.repeating);
        EXPECT_EQ(d.sections(), c.sections);
        EXPECT_NEAR(d.baseColor().hue, c.hue, 1e-12);
        EXPECT_NEAR(d.baseColor().saturation, c.saturation, 1e-12);
        EXPECT_NEAR(d.baseColor().value, c.value, 1e-12);
        EXPECT_NEAR(d.baseScale(), c.baseScale, 1e-12);
    }
}

TEST(OVTextureCatalog, FindsTexturesByIDNameResourceIDAndPlainName)
{
    framestest::TempBundle bundle;
    for (const char* name : {"ORV-T#010#Wood-Light-Knots#S2.jpg", "ORV-T#020#Paper-Laid.jpg",
                             "ORV-T#021#Paper-Laid#R.jpg", "notes.txt"}) {
        QFile file(bundle.file(QStringLiteral("Textures"), QString::fromLatin1(name)));
        QDir().mkpath(QFileInfo(file).path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    OVTextureCatalog catalog(QStringLiteral("ORV-T"), {bundle.path()});
    EXPECT_EQ(catalog.textureIDNames(),
              QStringList({"ORV-T#010#Wood-Light-Knots", "ORV-T#020#Paper-Laid", "ORV-T#021#Paper-Laid"}));

    struct Lookup
    {
        const char* asked;
        const char* answered; // empty: nothing found
        bool repeating;
    };
    const Lookup lookups[] = {
        {"ORV-T#010#Wood-Light-Knots", "ORV-T#010#Wood-Light-Knots", false},
        {"ORV-T#010", "ORV-T#010#Wood-Light-Knots", false},
        {"Wood-Light-Knots", "ORV-T#010#Wood-Light-Knots", false},
        {"ORV-T#020#Renamed", "ORV-T#020#Paper-Laid", false},
        // Two files with one name part: the later one in name order holds the plain name.
        {"Paper-Laid", "ORV-T#021#Paper-Laid", true},
        {"Plain Color", "", false},
        {"ORV-T#999", "", false},
        {"", "", false},
    };
    for (const Lookup& l : lookups) {
        SCOPED_TRACE(l.asked);
        QString name = QString::fromLatin1(l.asked);
        const auto texture = catalog.textureForName(name);
        EXPECT_EQ(name, QString::fromLatin1(l.answered));
        EXPECT_EQ(texture != nullptr, *l.answered != 0);
        if (texture) {
            EXPECT_EQ(texture->repeating(), l.repeating);
        }
    }
}

TEST(OVTextureCatalog, TheMenuListStartsWithPlainColorAndGroupsUnderHeaders)
{
    const QStringList& names = OVTextureCatalog::sharedTextureNames();
    ASSERT_GE(names.size(), 4);
    EXPECT_EQ(names[0], QStringLiteral("Plain Color"));
    EXPECT_EQ(names[1], QStringLiteral("-"));
    const qsizetype paper = names.indexOf(QStringLiteral("Paper -"));
    const qsizetype wood = names.indexOf(QStringLiteral("Wood -"));
    ASSERT_GT(paper, 1);
    ASSERT_GT(wood, paper);
    // The build's textures: the new-frame recipe's wood is there and sorts under its header.
    const qsizetype oak = names.indexOf(QStringLiteral("ORV-T#010#Wood-Light-Knots"));
    EXPECT_GT(oak, wood);
    QString plain = QStringLiteral("Plain Color");
    EXPECT_EQ(OVTextureCatalog::sharedTextureCatalog().textureForName(plain), nullptr);
    EXPECT_TRUE(plain.isEmpty());
}
