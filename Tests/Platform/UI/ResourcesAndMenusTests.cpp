#include "Platform/Foundation/Bundle.h"
#include "Platform/UI/Menu.h"
#include "Platform/UI/NamedImage.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(NamedImage, PrefersTheDoubleSizedFileOnDenseScreensAndCaches)
{
    QTemporaryDir dir;
    auto write = [&](const QString& name, int size, const char* format) {
        QImage image(size, size, QImage::Format_RGB32);
        image.fill(Qt::gray);
        QDir().mkpath(QFileInfo(dir.filePath(name)).absolutePath());
        ASSERT_TRUE(image.save(dir.filePath(name), format));
    };
    write(QStringLiteral("Knob.png"), 4, "PNG");
    write(QStringLiteral("Knob@2x.png"), 8, "PNG");
    write(QStringLiteral("OnlyDense@2x.png"), 8, "PNG");
    write(QStringLiteral("Photo.jpg"), 6, "JPEG");
    write(QStringLiteral("Masks/Oval.tiff"), 5, "TIFF");
    const pf::Bundle bundle(dir.path());
    struct Case
    {
        const char* name;
        double scale;
        int pixels;
        double ratio;
    };
    const Case cases[] = {
        {"Knob", 1, 4, 1},  {"Knob", 2, 8, 2},       {"Knob.png", 2, 8, 2}, {"OnlyDense", 1, 8, 2},
        {"Photo", 2, 6, 1}, {"Masks/Oval", 1, 5, 1}, {"Knob@2x", 1, 8, 2},
    };
    for (const Case& c : cases) {
        const QImage image = pf::NamedImage::image(QString::fromLatin1(c.name), c.scale, bundle);
        ASSERT_FALSE(image.isNull()) << c.name;
        EXPECT_EQ(image.width(), c.pixels) << c.name << " at " << c.scale;
        EXPECT_EQ(image.devicePixelRatio(), c.ratio) << c.name;
    }
    EXPECT_TRUE(pf::NamedImage::image(QStringLiteral("Missing"), 1, bundle).isNull());
    EXPECT_TRUE(pf::NamedImage::image(QStringLiteral("../Knob"), 1, bundle).isNull());
    // Loaded once: a file replaced on disk is not read again until the cache is cleared.
    QFile::remove(dir.filePath(QStringLiteral("Knob.png")));
    EXPECT_EQ(pf::NamedImage::image(QStringLiteral("Knob"), 1, bundle).width(), 4);
    pf::NamedImage::clearCache();
    EXPECT_EQ(pf::NamedImage::image(QStringLiteral("Knob"), 1, bundle).width(), 8); // only the @2x is left
}

TEST(Menu, ValidatesBeforeShowingAndKeepsTagsAndIndentation)
{
    pf::Menu menu;
    int chosen = 0;
    QAction* header = menu.addHeader(QStringLiteral("Wood"));
    QAction* oak = menu.addItem(
        QStringLiteral("Oak"), [&](QAction* item) { chosen = pf::Menu::tag(item); }, 7);
    pf::Menu::setIndentationLevel(oak, 1);
    QAction* walnut = menu.addItem(
        QStringLiteral("Walnut"), [&](QAction* item) { chosen = pf::Menu::tag(item); }, 8);
    bool allowWalnut = false;
    menu.setValidator([&](QAction* item) { return item != walnut || allowWalnut; });
    EXPECT_FALSE(header->isEnabled());
    EXPECT_EQ(pf::Menu::title(oak), QStringLiteral("Oak"));
    EXPECT_EQ(pf::Menu::indentationLevel(oak), 1);
    EXPECT_EQ(menu.itemWithTag(8), walnut);

    emit menu.aboutToShow();
    EXPECT_FALSE(walnut->isEnabled());
    EXPECT_FALSE(header->isEnabled()); // headers have no action and are never validated into life
    allowWalnut = true;
    emit menu.aboutToShow();
    EXPECT_TRUE(walnut->isEnabled());
    oak->trigger();
    EXPECT_EQ(chosen, 7);

    // Highlight reports enabled items, then nothing when the menu goes.
    std::vector<QAction*> highlights;
    menu.setHighlightHandler([&](QAction* item) { highlights.push_back(item); });
    emit menu.hovered(header);
    emit menu.hovered(oak);
    emit menu.aboutToHide();
    EXPECT_EQ(highlights, (std::vector<QAction*>{oak, nullptr}));
}

} // namespace
