#include "Classes/Framework/Toolkit/OVImagePreviewer.h"
#include "Classes/Framework/Toolkit/OVImageView.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/UserDefaults.h"
#include "Platform/UI/FilePanel.h"
#include "Platform/UI/Layer.h"
#include "Platform/UI/View.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QImage solid(int width, int height, QColor color = Qt::red)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

class Previewer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        pf::UserDefaults::standard().setFileForTesting(dir.filePath(QStringLiteral("defaults.plist")));
        previewer.clearHistory();
        previewer.setHistorySize(10);
    }
    void TearDown() override
    {
        previewer.clearHistory();
        pf::FilePanel::setResponder(nullptr);
        previewer.forceCloseWindow();
    }
    QTemporaryDir dir;
    OVImagePreviewer& previewer = OVImagePreviewer::sharedImagePreviewer();
};

TEST_F(Previewer, HistoryIsBoundedAndBrowsable)
{
    previewer.setHistorySize(3);
    for (int i = 1; i <= 5; ++i)
        OVImagePreviewer::showNSImage(solid(10 * i, 10));
    EXPECT_EQ(previewer.historyLength(), 3);
    EXPECT_EQ(previewer.currentImage().width(), 50) << "the fifth shows";
    previewer.previousImage();
    previewer.previousImage();
    EXPECT_EQ(previewer.currentImage().width(), 30);
    EXPECT_FALSE(previewer.hasPrevious());
    previewer.previousImage();
    EXPECT_EQ(previewer.currentImage().width(), 30) << "stays at the oldest";

    previewer.setHistorySize(10);
    previewer.clearHistory();
    for (int i = 0; i < 10; ++i)
        previewer.addImage(solid(i + 1, 4));
    previewer.setHistorySize(2);
    EXPECT_EQ(previewer.historyLength(), 2);
    EXPECT_EQ(previewer.index(), 1);
    previewer.setHistorySize(0);
    EXPECT_EQ(previewer.historySize(), 1u);
    EXPECT_EQ(pf::UserDefaults::standard().integerForKey(OVImagePreviewer::historySizeKey), 1);
}

TEST_F(Previewer, NamesCountAndShowInTheTitle)
{
    const unsigned long before = OVImagePreviewer::namedPreviewCount();
    const QString first = OVImagePreviewer::showNSImage(solid(40, 30), QStringLiteral("mask"));
    EXPECT_EQ(first, QStringLiteral("mask.Previewer%1").arg(before + 1));
    EXPECT_TRUE(OVImagePreviewer::showNSImage(solid(20, 10)).isNull()) << "no name, no count";
    const QString second = OVImagePreviewer::showNSImage(solid(20, 10), QStringLiteral("other"));
    EXPECT_EQ(second, QStringLiteral("other.Previewer%1").arg(before + 2));
    EXPECT_EQ(previewer.window()->title(), QStringLiteral("Image Previewer (other): 20 x 10"));
    previewer.previousImage();
    EXPECT_EQ(previewer.window()->title(), QStringLiteral("Image Previewer: 20 x 10"));
    EXPECT_EQ(previewer.imageView()->image().size(), QSize(20, 10));
    previewer.clearHistory();
    EXPECT_EQ(previewer.window()->title(), QStringLiteral("Image Previewer"));

    // Tall and wide pictures both show whole, none cropped to the view's shape.
    for (const QSize size : {QSize(100, 400), QSize(400, 100)}) {
        OVImagePreviewer::showNSImage(solid(size.width(), size.height()));
        const pf::Rect shown = previewer.imageView()->destinationRect();
        const pf::Rect bounds = previewer.imageView()->bounds();
        EXPECT_TRUE(bounds.insetBy(-0.5, -0.5).contains(shown)) << size.width() << "x" << size.height();
        EXPECT_NEAR(shown.width() / shown.height(), double(size.width()) / size.height(), 0.01);
    }
}

TEST_F(Previewer, RefusesWhatCannotBeShown)
{
    pf::LogCapture log;
    EXPECT_TRUE(OVImagePreviewer::showNSImage(QImage(), QStringLiteral("a")).isNull());
    EXPECT_TRUE(OVImagePreviewer::showCGImage(pf::Bitmap(), QStringLiteral("b")).isNull());
    EXPECT_TRUE(OVImagePreviewer::showCIImage(pf::Image(), QStringLiteral("c")).isNull());
    EXPECT_TRUE(OVImagePreviewer::showLayer(nullptr, QStringLiteral("d")).isNull());
    EXPECT_TRUE(OVImagePreviewer::showView(nullptr, QStringLiteral("e")).isNull());
    EXPECT_EQ(log.lines().size(), 5);
    EXPECT_TRUE(log.contains(QStringLiteral("Warning: Previewing Null image with name b")));
    EXPECT_EQ(previewer.historyLength(), 0);
}

TEST_F(Previewer, TakesLayersAndViews)
{
    auto layer = pf::Layer::create();
    layer->setBounds(pf::Rect(0, 0, 30.7, 20.2));
    layer->setBackgroundColor(Qt::green);
    OVImagePreviewer::showLayer(layer.get(), QStringLiteral("layer"));
    EXPECT_EQ(previewer.currentImage().size(), QSize(30, 20)) << "whole pixels, truncated";
    EXPECT_EQ(previewer.currentImage().pixelColor(5, 5), QColor(Qt::green));
    pf::View view(pf::Rect(40, 40, 25, 15));
    OVImagePreviewer::showView(&view);
    EXPECT_EQ(previewer.currentImage().size(), QSize(25, 15)) << "from its own bounds";
}

TEST_F(Previewer, SavesThePngAndNothingWithAnEmptyHistory)
{
    int asked = 0;
    const QString target = dir.filePath(QStringLiteral("saved"));
    pf::FilePanel::setResponder([&](const pf::FilePanel& panel) {
        ++asked;
        EXPECT_EQ(panel.allowedFileTypes, QStringList{QStringLiteral("png")});
        EXPECT_EQ(panel.nameFieldStringValue, QStringLiteral("picture"));
        return QStringList{target};
    });
    previewer.window();
    EXPECT_FALSE(previewer.canSave());
    previewer.save();
    EXPECT_EQ(asked, 0) << "nothing to save";
    QImage image = solid(16, 12, QColor(10, 200, 30));
    image.setPixelColor(3, 4, QColor(250, 0, 90));
    OVImagePreviewer::showNSImage(image, QStringLiteral("picture"));
    EXPECT_TRUE(previewer.canSave());
    previewer.save();
    EXPECT_EQ(asked, 1);
    const QImage read(target + QStringLiteral(".png"));
    ASSERT_FALSE(read.isNull());
    EXPECT_EQ(read.convertToFormat(QImage::Format_ARGB32), image.convertToFormat(QImage::Format_ARGB32));
}

} // namespace
