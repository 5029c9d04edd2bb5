#include "Classes/Framework/BundleORVExtension.h"
#include "Classes/Framework/StringGMNSStringExtensions.h"
#include "Classes/Framework/StringORVExtension.h"
#include "Platform/Foundation/Log.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace ORVExtension;

namespace {

struct ParsedName
{
    const char* input;
    std::optional<QString> type;
    quint64 index;
    QString name;
    std::optional<QString> options;
};

constexpr quint64 none = OVResourceInfo::NotFound;

void writeImage(const QString& path, int size)
{
    QDir().mkpath(QFileInfo(path).path());
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(Qt::gray);
    ASSERT_TRUE(image.save(path)) << path.toStdString();
}

void touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

QStringList fileNames(const QStringList& paths)
{
    QStringList names;
    for (const QString& path : paths)
        names.append(QFileInfo(path).fileName());
    return names;
}

} // namespace

TEST(ResourceNames, ParsingTable)
{
    const ParsedName table[] = {
        {"ORV-B#001#Sky#tile.png", QStringLiteral("ORV-B"), 1, QStringLiteral("Sky"), QStringLiteral("tile")},
        {"/any/folder/FRM-M#012#Round-iPad.tiff", QStringLiteral("FRM-M"), 12, QStringLiteral("Round"), {}},
        {"Logo.png", {}, none, QStringLiteral("Logo"), {}},
        {"ORV-B#Sky.png", QStringLiteral("ORV-B"), none, QStringLiteral("Sky"), {}},
        {"ORV-B#001#Sky-iPad@2x", QStringLiteral("ORV-B"), 1, QStringLiteral("Sky-iPad"), {}},
        {"ORV-B#001#A#B#C", QStringLiteral("ORV-B"), 1, QStringLiteral("A"), QStringLiteral("B#C")},
        {"ORV-B#001#Sky-iPhone.png", QStringLiteral("ORV-B"), 1, QStringLiteral("Sky"), {}},
        // A mark counts only where its first occurrence ends the name.
        {"ORV-B#001#a-iPad-iPad", QStringLiteral("ORV-B"), 1, QStringLiteral("a-iPad-iPad"), {}},
        {"ORV-B#001#Sky#", QStringLiteral("ORV-B"), 1, QStringLiteral("Sky"), QStringLiteral("")},
        {"ORV#001#Sky", {}, none, QStringLiteral("ORV"), QStringLiteral("001#Sky")},
        {"007#Sky", {}, none, QStringLiteral("007"), QStringLiteral("Sky")},
        {"ORV-B#abc#Sky", QStringLiteral("ORV-B"), 0, QStringLiteral("Sky"), {}},
        {"ORV-B#1000#Sky", QStringLiteral("ORV-B"), none, QStringLiteral("1000"), QStringLiteral("Sky")},
        {"a.b/ORV-O#002#Two.dots.png", QStringLiteral("ORV-O"), 2, QStringLiteral("Two.dots"), {}},
        {"", {}, none, QString(), {}},
    };
    for (const ParsedName& row : table) {
        SCOPED_TRACE(row.input);
        const OVResourceInfo info = resourceInfo(QString::fromUtf8(row.input));
        EXPECT_EQ(info.type(), row.type);
        EXPECT_EQ(info.index(), row.index);
        EXPECT_EQ(info.name(), row.name);
        EXPECT_EQ(info.options().has_value(), row.options.has_value());
        EXPECT_EQ(info.options().value_or(QStringLiteral("-")), row.options.value_or(QStringLiteral("-")));
    }
}

TEST(ResourceNames, IdentifiersAndRoundTrips)
{
    EXPECT_EQ(resourceIDForType(QStringLiteral("ORV-B"), 7), QStringLiteral("ORV-B#007"));
    EXPECT_EQ(resourceIDForType(QStringLiteral("ORV-B"), none), QStringLiteral("ORV-B"));
    EXPECT_EQ(resourceIDForType(std::nullopt, 7), QStringLiteral("#007"));
    EXPECT_EQ(resourceIDForType(std::nullopt, none), QString());
    EXPECT_EQ(resourceIDForType(QStringLiteral("ORV-B"), 1234), QStringLiteral("ORV-B#1234"));
    EXPECT_EQ(resourceIDNameFor(resourceInfo(QStringLiteral("Sky.png"))), QStringLiteral("Sky"));
    EXPECT_EQ(resourceID(QStringLiteral("ORV-B#001#Sky#tile.png")), QStringLiteral("ORV-B#001"));
    EXPECT_EQ(fileprefix(QStringLiteral("ORV-B#001#Sky#tile.png")), QStringLiteral("ORV-B#001"));
    EXPECT_EQ(resourceIDName(QStringLiteral("/x/ORV-B#001#Sky#tile.png")), QStringLiteral("ORV-B#001#Sky"));
    for (quint64 index : {0ull, 5ull, 999ull}) {
        const QString name = resourceIDForType(QStringLiteral("FRM-S"), index) + QStringLiteral("#Soft");
        EXPECT_EQ(resourceInfo(name).index(), index);
        EXPECT_EQ(resourceIDName(name), name);
    }
}

TEST(ResourceNames, TypeFoldersAndSubstrings)
{
    EXPECT_EQ(resourcePath(QStringLiteral("ORV-F")), QStringLiteral("Frames"));
    EXPECT_EQ(directoryForResourceType(QStringLiteral("FRM-E")), QStringLiteral("ExternalMasks"));
    EXPECT_EQ(directoryForResourceType(QStringLiteral("ORV-X")), QString());
    registerResourceDirectory(QStringLiteral("Extras"), QStringLiteral("TST-X"));
    EXPECT_EQ(directoryForResourceType(QStringLiteral("TST-X")), QStringLiteral("Extras"));

    EXPECT_TRUE(hasAnySubstringOf(QStringLiteral("skin smoothing"),
                                  {QStringLiteral("eye"), QStringLiteral("smooth")}));
    EXPECT_FALSE(hasAnySubstringOf(QStringLiteral("skin"), {QString()}));
    EXPECT_FALSE(GMNSStringExtensions::containsStringIn(QStringLiteral("skin"), {}));
    EXPECT_FALSE(GMNSStringExtensions::containsString(QStringLiteral("skin"), QString()));
    EXPECT_TRUE(GMNSStringExtensions::containsString(QStringLiteral("Skin"), QStringLiteral("sKIN"),
                                                     Qt::CaseInsensitive));
    EXPECT_FALSE(GMNSStringExtensions::containsString(QStringLiteral("Skin"), QStringLiteral("sKIN")));
}

TEST(ResourceNames, BoldMarkup)
{
    QTextCharFormat attributes;
    attributes.setFontFamilies({QStringLiteral("Serif")});
    attributes.setFontPointSize(13);
    const AttributedString text =
        atrributedStringWithAtributes(QStringLiteral("Hello <b>world</b> and <b>more</b>"), attributes);
    EXPECT_EQ(text.text, QStringLiteral("Hello world and more"));
    ASSERT_EQ(text.formats.size(), 4);
    const int expected[][3] = {{0, 6, 0}, {6, 5, 1}, {11, 5, 0}, {16, 4, 1}};
    for (int i = 0; i < 4; ++i) {
        const QTextLayout::FormatRange& range = text.formats[i];
        EXPECT_EQ(range.start, expected[i][0]);
        EXPECT_EQ(range.length, expected[i][1]);
        EXPECT_EQ(range.format.fontWeight() == QFont::Bold, expected[i][2] == 1);
        EXPECT_EQ(range.format.fontPointSize(), 13);
        EXPECT_EQ(range.format.fontFamilies().toStringList(), QStringList{QStringLiteral("Serif")});
    }

    // Without attributes: the defaults (10 points).
    const AttributedString plain = atrributedStringWithAtributes(QStringLiteral("<b>x</b>"));
    EXPECT_EQ(plain.text, QStringLiteral("x"));
    ASSERT_EQ(plain.formats.size(), 1);
    EXPECT_EQ(plain.formats[0].format.fontWeight(), QFont::Bold);
    EXPECT_EQ(plain.formats[0].format.fontPointSize(), 10);

    // Nested marks pair the first opening with the first closing mark, as the text is rewritten.
    const AttributedString nested = atrributedStringWithAtributes(QStringLiteral("<b>a<b>b</b>c</b>d"));
    EXPECT_EQ(nested.text, QStringLiteral("abcd"));
    ASSERT_EQ(nested.formats.size(), 2);
    EXPECT_EQ(nested.formats[0].length, 3);
    EXPECT_EQ(nested.formats[0].format.fontWeight(), QFont::Bold);

    // A closing mark first: the rest stays plain, marks and all.
    const AttributedString broken = atrributedStringWithAtributes(QStringLiteral("a</b>b<b>c"));
    EXPECT_EQ(broken.text, QStringLiteral("a</b>b<b>c"));
    ASSERT_EQ(broken.formats.size(), 1);
    EXPECT_NE(broken.formats[0].format.fontWeight(), QFont::Bold);
    const AttributedString half = atrributedStringWithAtributes(QStringLiteral("<b>a</b></b>b<b>c"));
    EXPECT_EQ(half.text, QStringLiteral("a</b>b<b>c"));
}

class BundleImages : public ::testing::Test
{
protected:
    void TearDown() override { setBackingScaleFactorProvider({}); }
    QString path(const QString& relative) const { return m_dir.path() + u'/' + relative; }
    // Square images of the given sizes at paths below the folder.
    void writeImages(std::initializer_list<std::pair<const char*, int>> images) const
    {
        for (const auto& [relative, size] : images)
            writeImage(path(QString::fromUtf8(relative)), size);
    }
    void setScale(double scale)
    {
        setBackingScaleFactorProvider([scale] { return scale; });
    }
    QTemporaryDir m_dir;
};

TEST_F(BundleImages, HighResolutionVariantsByFlagAndScreenScale)
{
    writeImages({{"Both.tiff", 4},
                 {"Both@2x.tiff", 8},
                 {"OnlyHigh@2x.tiff", 8},
                 {"Png.png", 4},
                 {"Png@2x.png", 8},
                 {"Jpeg@2x.jpg", 8}});
    const pf::Bundle bundle(m_dir.path());

    setScale(2.0);
    EXPECT_EQ(imageNamed(bundle, QStringLiteral("Both"), true).width(), 8);
    EXPECT_EQ(imageNamed(bundle, QStringLiteral("Both"), false).width(), 4);
    EXPECT_EQ(imageNamed(bundle, QStringLiteral("OnlyHigh"), true).width(), 8);
    // Only a "@2x" file, no preference, a high-resolution screen: not found.
    EXPECT_TRUE(imageNamed(bundle, QStringLiteral("OnlyHigh")).isNull());
    // A PNG never prefers its "@2x" file.
    EXPECT_EQ(imageNamed(bundle, QStringLiteral("Png"), true).width(), 4);
    EXPECT_EQ(imageNamed(bundle, QStringLiteral("Jpeg"), true).width(), 8);

    setScale(1.0);
    EXPECT_EQ(imageNamed(bundle, QStringLiteral("OnlyHigh")).width(), 8);
    EXPECT_EQ(imageNamed(bundle, QStringLiteral("Both")).width(), 4);
    EXPECT_TRUE(imageNamed(bundle, QString()).isNull());
    EXPECT_TRUE(imageNamed(bundle, QStringLiteral("Missing")).isNull());
}

TEST_F(BundleImages, PrefixesFoldersAndPlainFilesFirst)
{
    writeImages({{"ORV-B#001#Sky.tiff", 4},
                 {"ORV-B#001#Sky@2x.tiff", 8},
                 {"ORV-B#002#Sea~iPad.tiff", 6},
                 {"Backgrounds/ORV-B#003#Hill.png", 4},
                 {"Backgrounds/ORV-B#004#Dune-iPad.tiff", 4}});
    touch(path(QStringLiteral("Backgrounds/notes.txt")));
    const pf::Bundle bundle(m_dir.path());

    EXPECT_EQ(fileNames(imagePathsInDirectory(bundle, QString())),
              (QStringList{QStringLiteral("ORV-B#001#Sky.tiff"), QStringLiteral("ORV-B#002#Sea~iPad.tiff")}));
    EXPECT_EQ(QFileInfo(pathForImageWithPrefix(bundle, QStringLiteral("ORV-B#001"))).fileName(),
              QStringLiteral("ORV-B#001#Sky.tiff"));
    EXPECT_EQ(imageWithPrefix(bundle, QStringLiteral("#001#")).width(), 4);
    EXPECT_TRUE(imageWithPrefix(bundle, QString()).isNull());
    EXPECT_EQ(pathForImageNamed(bundle, QStringLiteral("ORV-B#001#Sky")),
              path(QStringLiteral("ORV-B#001#Sky.tiff")));

    // tiff before png, whatever the names.
    EXPECT_EQ(
        fileNames(pathsForImageResourcesAvoding(bundle, QString(), QStringLiteral("Backgrounds"))),
        (QStringList{QStringLiteral("ORV-B#004#Dune-iPad.tiff"), QStringLiteral("ORV-B#003#Hill.png")}));
    EXPECT_EQ(resourceIDNamesForImageResourcesAvoding(bundle, QStringLiteral("-iPad"),
                                                      QStringLiteral("Backgrounds")),
              QStringList{QStringLiteral("ORV-B#003#Hill")});
    EXPECT_EQ(QFileInfo(pathForImageResourceWithPrefix(bundle, QStringLiteral("ORV-B#"),
                                                       QStringLiteral("Backgrounds"), QStringLiteral("Dune")))
                  .fileName(),
              QStringLiteral("ORV-B#003#Hill.png"));
    EXPECT_EQ(pathForImageResourceWithPrefix(bundle, QStringLiteral("Nothing"), QStringLiteral("Backgrounds"),
                                             QString()),
              QString());
}

TEST_F(BundleImages, FolderTreeLookupFollowsBaseLinks)
{
    touch(path(QStringLiteral("shared/Frames/FRM-M#001#Round.png")));
    touch(path(QStringLiteral("shared/Frames/FRM-M#002#Oval_small.png")));
    touch(path(QStringLiteral("shared/Frames/FRM-M#000#Readme.txt")));
    QDir().mkpath(path(QStringLiteral("local/Frames")));
    ASSERT_TRUE(QFile::link(QStringLiteral("../shared"), path(QStringLiteral("local/Base.lnk"))));

    pf::LogCapture log;
    EXPECT_EQ(URLForImageResourceIn(path(QStringLiteral("shared")), QStringLiteral("FRM-M#00"),
                                    QStringLiteral("Frames"), QString())
                  .toLocalFile(),
              path(QStringLiteral("shared/Frames/FRM-M#001#Round.png")));
    // The prefix must begin the name and the avoided text end it.
    EXPECT_EQ(QFileInfo(URLForImageResourceIn(path(QStringLiteral("local")), QStringLiteral("FRM-M"),
                                              QStringLiteral("Frames"), QStringLiteral("Round"))
                            .toLocalFile())
                  .fileName(),
              QStringLiteral("FRM-M#002#Oval_small.png"));
    EXPECT_TRUE(URLForImageResourceIn(path(QStringLiteral("local")), QStringLiteral("Round"),
                                      QStringLiteral("Frames"), QString())
                    .isEmpty());
    EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join(u'\n').toStdString();

    // A missing folder without a link is logged.
    EXPECT_TRUE(
        URLForImageResourceIn(path(QStringLiteral("shared")), QString(), QStringLiteral("Nope"), QString())
            .isEmpty());
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(
        log.lines()[0].startsWith(QStringLiteral("Error: Looking for '' in '%1' avoiding '' failed, because ")
                                      .arg(path(QStringLiteral("shared")))));
}

TEST_F(BundleImages, CircularBaseLinksEndWithTheError)
{
    QDir().mkpath(path(QStringLiteral("a/Frames")));
    QDir().mkpath(path(QStringLiteral("b/Frames")));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("b")), path(QStringLiteral("a/Base.lnk"))));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("a")), path(QStringLiteral("b/Base.lnk"))));
    touch(path(QStringLiteral("c/Base.lnk"))); // not a link

    pf::LogCapture log;
    EXPECT_TRUE(URLForImageResourceIn(path(QStringLiteral("a")), QStringLiteral("X"),
                                      QStringLiteral("Frames"), QStringLiteral("Y"))
                    .isEmpty());
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines()[0].startsWith(QStringLiteral("Error: Looking for 'X' in '")));
    EXPECT_TRUE(log.lines()[0].contains(QStringLiteral("' avoiding 'Y' failed, because ")));

    log.clear();
    EXPECT_TRUE(
        URLForImageResourceIn(path(QStringLiteral("c")), QString(), QStringLiteral("Frames"), QString())
            .isEmpty());
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines()[0].contains(QStringLiteral("is not a symbolic link")));
}
