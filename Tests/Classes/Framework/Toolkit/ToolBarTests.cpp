#include "Classes/Framework/Toolkit/OVToolBarButton.h"
#include "Classes/Framework/Toolkit/OVToolBarShade.h"
#include "Classes/Framework/Toolkit/OVToolBarView.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

namespace {

using pf::Rect;

const QColor kLeft(220, 40, 40);  // left cap
const QColor kMid(40, 180, 60);   // first half of the middle tile
const QColor kMid2(230, 210, 40); // second half of the middle tile
const QColor kRight(40, 80, 220); // right cap

// A shade image of 36 x 10 points: a 12-point red left cap, a 16-point middle (green, then yellow), an
// 8-point blue right cap; the "@2x" file has the same parts at twice the pixels.
void writeShade(const QString& folder, const QString& name, int scale)
{
    QImage image(36 * scale, 10 * scale, QImage::Format_ARGB32);
    QPainter p(&image);
    p.fillRect(0, 0, 12 * scale, 10 * scale, kLeft);
    p.fillRect(12 * scale, 0, 8 * scale, 10 * scale, kMid);
    p.fillRect(20 * scale, 0, 8 * scale, 10 * scale, kMid2);
    p.fillRect(28 * scale, 0, 8 * scale, 10 * scale, kRight);
    p.end();
    image.save(folder + u'/' + name + (scale == 2 ? QStringLiteral("@2x.png") : QStringLiteral(".png")));
}

struct BarBundle
{
    QTemporaryDir dir;
    std::unique_ptr<pf::Bundle> bundle;

    BarBundle()
    {
        writeShade(dir.path(), QStringLiteral("BAR-S#001#Caps#12-R-8"), 1);
        writeShade(dir.path(), QStringLiteral("BAR-S#001#Caps#12-R-8"), 2);
        writeShade(dir.path(), QStringLiteral("BAR-S#002#Plain#R"), 1);
        writeShade(dir.path(), QStringLiteral("BAR-T#003#Grain#3-4"), 1);
        QFile plist(dir.filePath(QStringLiteral("ToolBar.plist")));
        plist.open(QIODevice::WriteOnly);
        plist.write(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict>
<key>Default</key><array><dict><key>Image</key><string>Caps</string></dict></array>
<key>Grainy</key><array><dict><key>Image</key><string>Grain</string><key>BlendMode</key><string>overlay</string></dict></array>
</dict></plist>)");
        plist.close();
        bundle = std::make_unique<pf::Bundle>(dir.path());
        pf::UserDefaults::standard().removeObject(QString::fromLatin1(OVToolBarView::currentBarKey));
    }
};

// The colour at a point of the bar (y-up, in points) drawn at a scale.
QColor pixel(const QImage& image, double x, double y, double barHeight)
{
    const double scale = image.devicePixelRatio();
    return image.pixelColor(int(x * scale), int((barHeight - y) * scale) - 1);
}

TEST(OVToolBarShade, OptionsGiveCapsAndTiling)
{
    BarBundle b;
    const struct
    {
        const char* name;
        double left, right;
        bool repeat, texture;
        int blend;
    } cases[] = {
        {"Caps", 12, 8, true, false, 0},
        {"Plain", 0, 0, true, false, 0},
        {"Grain", 0, 0, false, true, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OVToolBarShade shade(QString::fromLatin1(c.name), c.blend ? QStringLiteral("overlay") : QString(),
                             *b.bundle);
        EXPECT_EQ(shade.leftMargin(), c.left);
        EXPECT_EQ(shade.rightMargin(), c.right);
        EXPECT_EQ(shade.repeat(), c.repeat);
        EXPECT_EQ(shade.isTexture(), c.texture);
        EXPECT_EQ(shade.blendMode(), c.blend);
        EXPECT_EQ(shade.left().isNull(), c.left == 0);
        EXPECT_EQ(shade.mid().width(), 36 - c.left - c.right);
    }
}

TEST(OVToolBarShade, HighResolutionSlicesKeepTheirSizeInPointsAndAreRebuiltOnChange)
{
    BarBundle b;
    OVToolBarShade shade(QStringLiteral("Caps"), QString(), *b.bundle);
    const qint64 first = shade.left().cacheKey();
    shade.setUseRetina(false);
    EXPECT_EQ(shade.left().cacheKey(), first) << "no change, no rebuild";
    shade.setUseRetina(true);
    const QImage left2x = shade.left();
    EXPECT_NE(left2x.cacheKey(), first);
    EXPECT_EQ(left2x.size(), QSize(24, 20));
    EXPECT_EQ(left2x.devicePixelRatio(), 2);
    EXPECT_EQ(shade.mid().height() / shade.mid().devicePixelRatio(), 10);
    shade.setUseRetina(false);
    EXPECT_EQ(shade.left().size(), QSize(12, 10));
}

TEST(OVToolBarView, GapsGetCapsOnlyAtTheirCutEdges)
{
    BarBundle b;
    OVToolBarView bar(Rect(0, 0, 300, 10), *b.bundle);
    ASSERT_EQ(bar.currentBar(), QStringLiteral("Default"));
    ASSERT_EQ(bar.shades().size(), 1u);

    QImage plain = bar.snapshot(1);
    EXPECT_EQ(pixel(plain, 2, 5, 10), kMid) << "no cap at the bar's left end: the tiles start at x = 0";
    EXPECT_EQ(pixel(plain, 10, 5, 10), kMid2);
    EXPECT_EQ(pixel(plain, 297, 5, 10), kMid2) << "no cap at the right end";

    pf::View notch(Rect(100, 0, 40, 10));
    bar.registerBarButton(&notch);
    bar.updateBarSegments();
    EXPECT_EQ(bar.barSegments(), (std::vector<Rect>{Rect(0, 0, 100, 10), Rect(140, 0, 160, 10)}));
    const QImage cut = bar.snapshot(1);
    EXPECT_EQ(pixel(cut, 93, 5, 10), kRight);
    EXPECT_EQ(pixel(cut, 91, 5, 10), kMid2);
    EXPECT_EQ(pixel(cut, 120, 5, 10).alpha(), 0) << "the notch";
    EXPECT_EQ(pixel(cut, 141, 5, 10), kLeft);
    EXPECT_EQ(pixel(cut, 151, 5, 10), kLeft);
    // The tiles are laid from the gap's start, under its cap.
    EXPECT_EQ(pixel(cut, 153, 5, 10), kMid2);
    EXPECT_EQ(pixel(cut, 157, 5, 10), kMid);
    EXPECT_EQ(pixel(cut, 299, 5, 10), kMid2);

    // A gap narrower than the left cap gets none.
    pf::View second(Rect(145, 0, 40, 10));
    bar.registerBarButton(&second);
    const QImage narrow = bar.snapshot(1);
    EXPECT_EQ(pixel(narrow, 142, 5, 10), kMid);
}

TEST(OVToolBarView, RightAlignedTilesLineUpWithTheRightEdge)
{
    BarBundle b;
    OVToolBarView bar(Rect(0, 0, 300, 10), *b.bundle);
    EXPECT_EQ(pixel(bar.snapshot(1), 6, 5, 10), kMid);
    bar.setRightAlign(true);
    // 300 - 18 x 16 = 12: a tile starts at 12, so 4..12 is the second half of the one before.
    EXPECT_EQ(pixel(bar.snapshot(1), 6, 5, 10), kMid2);
    EXPECT_EQ(pixel(bar.snapshot(1), 14, 5, 10), kMid);
}

TEST(OVToolBarView, AtEveryScaleTheTiledMiddleCoversTheBarAtItsHeight)
{
    BarBundle b;
    OVToolBarView bar(Rect(0, 0, 300, 30), *b.bundle);
    for (double scale : {1.0, 2.0}) {
        SCOPED_TRACE(scale);
        const QImage image = bar.snapshot(scale);
        // Every device pixel of the shade's band: the tiles (16 points, green then yellow) from x = 0.
        int wrong = 0;
        for (int row = 0; row < int(10 * scale); ++row)
            for (int column = 0; column < image.width(); ++column) {
                const double x = (column + 0.5) / scale;
                const QColor expected = std::fmod(x, 16) < 8 ? kMid : kMid2;
                wrong += image.pixelColor(column, image.height() - 1 - row) != expected;
            }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(pixel(image, 50, 15, 30).alpha(), 0) << "the shade is 10 points high at every scale";
    }
    EXPECT_TRUE(bar.shades()[0]->useRetina()) << "the last drawing was at twice the pixels";
}

TEST(OVToolBarView, NamesAndDescriptions)
{
    BarBundle b;
    OVToolBarView bar(Rect(0, 0, 100, 10), *b.bundle);
    bar.setCurrentBar(QStringLiteral("Grainy"));
    ASSERT_EQ(bar.shades().size(), 1u);
    EXPECT_EQ(bar.shades()[0]->blendMode(), OVToolBarShade::Overlay);
    bar.setCurrentBar(QStringLiteral("Missing"));
    EXPECT_TRUE(bar.shades().empty());

    QTemporaryDir empty;
    pf::Bundle none(empty.path());
    OVToolBarView bare(Rect(0, 0, 100, 10), none);
    bare.setCurrentBar(QStringLiteral("Default"));
    EXPECT_TRUE(bare.currentBar().isEmpty()) << "without a description every name is ignored";
    EXPECT_EQ(bare.snapshot(1).pixelColor(50, 5).alpha(), 0);
}

TEST(OVToolBarButton, SkinsComeFromTheBarsFolderOnceBothNamesAreSet)
{
    QTemporaryDir dir;
    const QString skin = dir.filePath(QStringLiteral("Dark.barButton/Save.button"));
    QDir().mkpath(skin);
    for (const char* part : {"Left", "Mid", "Right"}) {
        QImage image(6, 20, QImage::Format_ARGB32);
        image.fill(Qt::gray);
        image.save(skin + QStringLiteral("/%1-Normal.png").arg(QLatin1String(part)));
    }
    pf::Bundle bundle(dir.path());
    for (bool barFirst : {true, false}) {
        SCOPED_TRACE(barFirst);
        OVToolBarButton button(Rect(0, 0, 60, 20));
        button.setBundle(&bundle);
        if (barFirst)
            button.setBarName(QStringLiteral("Dark"));
        else
            button.setName(QStringLiteral("Save"));
        EXPECT_TRUE(button.skinFolders().isEmpty());
        if (barFirst)
            button.setName(QStringLiteral("Save"));
        else
            button.setBarName(QStringLiteral("Dark"));
        EXPECT_EQ(button.skinFolders(), QStringList{skin});
        EXPECT_TRUE(button.midImages(false)) << "the skin is loaded";
    }
    OVToolBarButton stray(Rect(0, 0, 60, 20));
    stray.setBundle(&bundle);
    stray.setBarName(QStringLiteral("Dark"));
    stray.setName(QStringLiteral("../Dark.barButton/Save"));
    EXPECT_TRUE(stray.skinFolders().isEmpty()) << "a skin name is one folder name";
}

TEST(OVToolBarButton, RegistrationFollowsTheButton)
{
    QTemporaryDir dir;
    pf::Bundle none(dir.path());
    pf::View window(Rect(0, 0, 400, 100));
    auto* first = new OVToolBarView(Rect(0, 0, 400, 40), none);
    auto* second = new OVToolBarView(Rect(0, 50, 400, 40), none);
    window.addSubview(first);
    window.addSubview(second);

    auto* button = new OVToolBarButton(Rect(10, 0, 40, 30));
    button->setCutsBar(true);
    EXPECT_TRUE(first->barButtons().isEmpty()) << "outside a bar the flag is only stored";
    first->addSubview(button);
    EXPECT_EQ(first->barButtons(), QList<pf::View*>{button});
    second->addSubview(button);
    EXPECT_TRUE(first->barButtons().isEmpty());
    EXPECT_EQ(second->barButtons(), QList<pf::View*>{button});
    button->setCutsBar(false);
    EXPECT_TRUE(second->barButtons().isEmpty());
    button->setCutsBar(true);
    EXPECT_EQ(second->barButtons(), QList<pf::View*>{button});
}

} // namespace
