#include "Classes/Framework/Toolkit/OVButton.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/PropertyList.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using pf::Rect;

// A bundle made in a temporary folder, with images of one colour each and property lists.
class SkinBundle
{
public:
    SkinBundle() : m_bundle(m_dir.path()) {}

    void image(const QString& path, QColor color, QSize size = QSize(8, 20))
    {
        QDir(m_dir.path()).mkpath(QFileInfo(m_dir.filePath(path)).path());
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(color);
        ASSERT_TRUE(image.save(m_dir.filePath(path)));
    }
    // One plain image of the default size for each path.
    void images(std::initializer_list<std::pair<const char*, QColor>> files)
    {
        for (const auto& [path, color] : files)
            image(QString::fromUtf8(path), color);
    }
    void plist(const QString& path, const QVariantMap& contents)
    {
        QDir(m_dir.path()).mkpath(QFileInfo(m_dir.filePath(path)).path());
        const auto data = pf::PropertyList::toData(contents, pf::PropertyList::Format::Xml);
        ASSERT_TRUE(data);
        QFile file(m_dir.filePath(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(*data);
    }
    const pf::Bundle& bundle() const { return m_bundle; }
    // Gives the button this bundle, then the skin of that name from it.
    void dress(OVButton& button, const QString& name) const
    {
        button.setBundle(&m_bundle);
        button.setName(name);
    }

private:
    QTemporaryDir m_dir;
    pf::Bundle m_bundle;
};

QColor colorOf(const std::shared_ptr<OVSkinImage>& image)
{
    const QImage pixels = image->image(1);
    return pixels.pixelColor(pixels.width() / 2, pixels.height() / 2);
}

QList<QColor> colorsOf(const OVImageSet& set)
{
    QList<QColor> colors;
    if (set)
        for (const auto& image : *set)
            colors << colorOf(image);
    return colors;
}

const QColor red(255, 0, 0), green(0, 255, 0), blue(0, 0, 255), grey(128, 128, 128);

TEST(OVButtonSkins, AFolderWithOnlyTheMiddleNormalImage)
{
    SkinBundle skins;
    const QColor halfRed(255, 0, 0, 128);
    skins.image(QStringLiteral("Plain.button/Mid-Normal.png"), halfRed);
    OVButton button;
    skins.dress(button, QStringLiteral("Plain"));
    const QList<QColor> mid = colorsOf(button.midImages(false));
    ASSERT_EQ(mid.size(), 4);
    EXPECT_EQ(mid[0], mid[1]);
    EXPECT_EQ(mid[3], mid[1]);
    // Hover: the image over itself at half strength: 0.25 over 0.5 gives 0.25 + 0.5 * 0.75.
    EXPECT_NEAR(mid[2].alphaF(), 0.625, 0.01);
    EXPECT_EQ(button.midImages(true), button.midImages(false));
    EXPECT_FALSE(button.leftImages(false));
    EXPECT_FALSE(button.rightImages(false));
    EXPECT_FALSE(button.buttonInfo());
}

// The bare name is the symbol: on, its normal look is the down image and its down look the disabled one.
TEST(OVButtonSkins, ANamedImageSkin)
{
    SkinBundle skins;
    skins.images({{"Knob.png", red},
                  {"KnobDown.png", green},
                  {"KnobMid.png", blue},
                  {"KnobLeft.png", grey},
                  {"KnobRight.png", grey}});
    OVButton button;
    skins.dress(button, QStringLiteral("Knob"));
    EXPECT_EQ(colorsOf(button.symbolImages(false)),
              (QList<QColor>{red, red, colorsOf(button.symbolImages(false))[2], green}));
    EXPECT_EQ(colorsOf(button.symbolImages(true))[1], green);
    EXPECT_EQ(colorsOf(button.symbolImages(true))[3], red); // the disabled look, which is the normal image
    EXPECT_EQ(colorsOf(button.midImages(false))[1], blue);
    EXPECT_EQ(colorsOf(button.leftImages(true))[1], grey);
}

TEST(OVButtonSkins, SymbolsFromTheFolderOrFromASymbolFolderSetFirst)
{
    SkinBundle skins;
    skins.images({{"Tab.button/Mid-Normal.png", grey},
                  {"Tab.button/Symbol-Normal.png", red},
                  {"Tab.button/Symbol-Down.png", green},
                  {"Star.symbol/Symbol-Normal.png", blue}});
    {
        OVButton button;
        skins.dress(button, QStringLiteral("Tab"));
        EXPECT_EQ(colorsOf(button.symbolImages(true))[1], green);
        EXPECT_EQ(colorsOf(button.symbolImages(true))[3], red);
    }
    {
        OVButton button;
        button.setBundle(&skins.bundle());
        button.setSymbolName(QStringLiteral("Star"));
        button.setName(QStringLiteral("Tab"));
        EXPECT_EQ(colorsOf(button.symbolImages(false))[1], blue);
        button.setSymbolName(QStringLiteral("Missing"));
        EXPECT_FALSE(button.symbolImages(false));
    }
}

// Padding comes from every state's style (0 where it says nothing); margin and offset are kept.
TEST(OVButtonSkins, StylesApplyPerStateAndOnOff)
{
    SkinBundle skins;
    skins.image(QStringLiteral("Styled.button/Mid-Normal.png"), grey);
    skins.plist(
        QStringLiteral("Styled.button/Info.plist"),
        {{QStringLiteral("autoswitch"), true},
         {QStringLiteral("normal"), QVariantMap{{QStringLiteral("padding.left"), 5},
                                                {QStringLiteral("text.margin"), 4},
                                                {QStringLiteral("text.offset.y"), QStringLiteral("-1.5")},
                                                {QStringLiteral("text.alignment"), 0}}},
         {QStringLiteral("hover"), QVariantMap{{QStringLiteral("padding.top"), 2}}},
         {QStringLiteral("normal.on"), QVariantMap{{QStringLiteral("padding.right"), 7}}}});
    OVButton button(Rect(0, 0, 80, 20));
    skins.dress(button, QStringLiteral("Styled"));
    EXPECT_TRUE(button.isSwitchButton());
    EXPECT_EQ(button.padding(), (OVButton::Padding{0, 0, 5, 0}));
    EXPECT_EQ(button.alignment(), 0);
    button.setButtonState(2);
    EXPECT_EQ(button.padding(), (OVButton::Padding{2, 0, 0, 0}));
    EXPECT_EQ(button.textMargin(), 4);
    EXPECT_EQ(button.textOffsetY(), -1.5);
    button.setButtonState(1);
    button.setState(true);
    EXPECT_EQ(button.padding(), (OVButton::Padding{0, 0, 0, 7}));
}

TEST(OVButtonSkins, AnUnreadableStyleIsReported)
{
    SkinBundle skins;
    skins.image(QStringLiteral("Broken.button/Mid-Normal.png"), grey);
    QDir().mkpath(QFileInfo(skins.bundle().resourcePath() + QStringLiteral("/Broken.button")).filePath());
    QFile file(skins.bundle().resourcePath() + QStringLiteral("/Broken.button/Info.plist"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<plist><dict><key>normal</key>");
    file.close();
    pf::LogCapture log;
    OVButton button;
    skins.dress(button, QStringLiteral("Broken"));
    EXPECT_TRUE(log.contains(QStringLiteral("Warning: The button skin")));
    EXPECT_TRUE(button.midImages(false));
}

// Without scaling the skin keeps its size: left cap and middle centred, the right cap at the right edge.
TEST(OVButtonSkins, NoScalingCentresTheSkin)
{
    SkinBundle skins;
    skins.image(QStringLiteral("Small.button/Left-Normal.png"), red, QSize(4, 10));
    skins.image(QStringLiteral("Small.button/Mid-Normal.png"), green, QSize(12, 10));
    skins.image(QStringLiteral("Small.button/Right-Normal.png"), blue, QSize(4, 10));
    OVButton button(Rect(0, 0, 100, 30));
    skins.dress(button, QStringLiteral("Small"));
    button.setNoScaling(true);
    const QImage drawn = button.snapshot(1.0);
    // The skin is 20 x 10 centred: x 40 to 60, y 10 to 20.
    EXPECT_EQ(drawn.pixelColor(41, 15), red);
    EXPECT_EQ(drawn.pixelColor(50, 15), green);
    EXPECT_EQ(drawn.pixelColor(97, 15), blue);
    EXPECT_EQ(drawn.pixelColor(50, 5).alpha(), 0);
    EXPECT_EQ(button.intrinsicContentSize().height, 10);
}

TEST(OVButtonSkins, TitlesDimWhenDisabledUnlessGrey)
{
    OVButton button;
    button.setTitle(QStringLiteral("Apply"));
    button.setEnabled(false);
    EXPECT_EQ(button.stringWithFieldAttributes().attributesAt(0).color.alphaF(), 1.0f);
    button.setTextColor(pf::PaintColor::calibratedRGB(1, 0.5, 0, 1));
    EXPECT_NEAR(button.stringWithFieldAttributes().attributesAt(0).color.alphaF(), 0.5, 0.01);
    button.setEnabled(true);
    EXPECT_NEAR(button.stringWithFieldAttributes().attributesAt(0).color.alphaF(), 1.0, 0.01);
}

// The image keeps its aspect inside the padded box; a box or image without height has no rectangle
// (and never a division by zero).
TEST(OVButtonSkins, ImageRectanglesInThePaddedBox)
{
    const struct
    {
        QSize image;
        Rect in;
        int alignment;
        Rect expected;
    } cases[] = {
        {{16, 16}, Rect(0, 0, 100, 20), 0, Rect(0, 0, 20, 20)},
        {{16, 16}, Rect(0, 0, 100, 20), 1, Rect(80, 0, 20, 20)},
        {{16, 16}, Rect(0, 0, 100, 20), 2, Rect(40, 0, 20, 20)},
        {{40, 10}, Rect(10, 5, 20, 20), 0, Rect(10, 5, 20, 5)},
        {{16, 16}, Rect(0, 0, 100, 0), 0, Rect(0, 0, 0, 0)},
        {{16, 0}, Rect(0, 0, 100, 20), 0, Rect(0, 0, 0, 0)},
    };
    for (const auto& c : cases) {
        OVButton button;
        QImage image(c.image, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::red);
        button.setImage(c.image.height() ? image : QImage(16, 0, QImage::Format_ARGB32));
        button.setImageAlignment(c.alignment);
        const Rect r = button.imageRectIn(c.in);
        if (c.image.height() == 0) {
            EXPECT_TRUE(r.isNull() || r == c.expected); // a null image is no image at all
            continue;
        }
        EXPECT_EQ(r, c.expected);
    }
}

// Every skin the application ships loads a face or a symbol, and its style is readable.
TEST(OVButtonSkins, TheApplicationsSkinsAreWhole)
{
    const QStringList names = {QStringLiteral("DefaultStyle"),    QStringLiteral("DefaultStyleActive"),
                               QStringLiteral("StepScrollerTab"), QStringLiteral("InfoButton"),
                               QStringLiteral("Remove"),          QStringLiteral("Grab"),
                               QStringLiteral("SmallWhite")};
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        pf::LogCapture log;
        OVButton button;
        button.setName(name);
        EXPECT_TRUE(button.midImages(false) || button.symbolImages(false));
        EXPECT_FALSE(log.contains(QStringLiteral("Warning")));
        const QStringList folders =
            OVButton::resourceFolders(pf::Bundle::main(), name, QStringLiteral("button"));
        for (const QString& folder : folders)
            if (QFileInfo::exists(folder + QStringLiteral("/Info.plist"))) {
                EXPECT_TRUE(button.buttonInfo());
            }
        for (const auto* set : {&button.midImages(false), &button.symbolImages(false)}) {
            if (!*set)
                continue;
            for (const auto& image : **set) {
                EXPECT_FALSE(image->image(1).isNull());
            }
        }
    }
}

} // namespace
