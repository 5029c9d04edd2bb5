#include "ImageTestSupport.h"

#include "Platform/Foundation/Log.h"
#include "Platform/Image/Color.h"
#include "Platform/Image/FaceDetector.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTransform>
#include <gtest/gtest.h>

using namespace pf;
using namespace pftest;

namespace {

const QString PortraitPath = QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png");

// Where the person's eyes are in the portrait (y up), read off the picture.
const Point LeftEye(202, 411), RightEye(247, 409);

const FaceDetector& detector()
{
    static const FaceDetector shared;
    return shared;
}

bool near(Point a, Point b, double tolerance)
{
    return std::hypot(a.x - b.x, a.y - b.y) <= tolerance;
}

Image portrait()
{
    return Image::fromFile(PortraitPath);
}

} // namespace

class FaceDetection : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFileInfo::exists(PortraitPath))
            << "the shared test photos must be beside this checkout, in ../shared/testdata";
        ASSERT_TRUE(detector().isValid()) << detector().errorMessage().toStdString();
    }
};

TEST_F(FaceDetection, FindsThePortraitsOneFaceWithEyesAndMouthAndNothingInTextures)
{
    const auto faces = detector().features(portrait(), &context());
    ASSERT_EQ(faces.size(), 1u);
    const FaceFeature& face = faces[0];
    EXPECT_TRUE(face.bounds.contains(LeftEye));
    EXPECT_TRUE(face.bounds.contains(RightEye));
    EXPECT_GE(face.bounds.width(), 0.25 * 512);
    EXPECT_LE(face.bounds.width(), 0.60 * 512);
    ASSERT_TRUE(face.leftEye && face.rightEye);
    EXPECT_TRUE(near(*face.leftEye, LeftEye, 8)) << face.leftEye->x << "," << face.leftEye->y;
    EXPECT_TRUE(near(*face.rightEye, RightEye, 8)) << face.rightEye->x << "," << face.rightEye->y;
    ASSERT_TRUE(face.mouth);
    EXPECT_TRUE(near(*face.mouth, Point(224, 371), 12)) << face.mouth->x << "," << face.mouth->y;

    // The same pixels as a bitmap (rows top-down) give the same face.
    const auto fromBitmap = detector().features(*context().render(portrait(), Rect(0, 0, 512, 512)));
    ASSERT_EQ(fromBitmap.size(), 1u);
    EXPECT_NEAR(fromBitmap[0].bounds.midX(), face.bounds.midX(), 3);
    EXPECT_NEAR(fromBitmap[0].bounds.midY(), face.bounds.midY(), 3);

    for (const char* texture : {"brick.png", "grass.png"}) {
        const Image image = Image::fromFile(QStringLiteral(GLIMORA_TESTDATA_DIR "/") + texture);
        ASSERT_FALSE(image.isNull()) << texture;
        EXPECT_TRUE(detector().features(image, &context()).empty()) << texture;
    }
}

TEST_F(FaceDetection, MirroredAndEnlargedCopiesShowTheFaceWhereItMoved)
{
    const FaceFeature original = detector().features(portrait(), &context()).at(0);

    const Image mirrored =
        portrait().imageByApplyingTransform(AffineTransform::translation(512, 0).scaled(-1, 1));
    const auto flipped = detector().features(mirrored, &context());
    ASSERT_EQ(flipped.size(), 1u);
    EXPECT_NEAR(flipped[0].bounds.midX(), 512 - original.bounds.midX(), 0.04 * 512);
    EXPECT_NEAR(flipped[0].bounds.midY(), original.bounds.midY(), 0.04 * 512);
    EXPECT_NEAR(flipped[0].bounds.width(), original.bounds.width(), 0.1 * original.bounds.width());
    // Mirrored, the person's eyes trade sides of the picture.
    ASSERT_TRUE(flipped[0].leftEye);
    EXPECT_TRUE(near(*flipped[0].leftEye, Point(512 - RightEye.x, RightEye.y), 10));

    // Enlarged to 3000 pixels and held as pixels, through both ways in.
    const double k = 3000.0 / 512;
    const auto large = context().render(portrait().imageByApplyingTransform(AffineTransform::scale(k, k)),
                                        Rect(0, 0, 3000, 3000));
    ASSERT_TRUE(large);
    for (const auto& faces :
         {detector().features(*large), detector().features(Image::fromBitmap(*large), &context())}) {
        ASSERT_EQ(faces.size(), 1u);
        EXPECT_NEAR(faces[0].bounds.midX(), original.bounds.midX() * k, 0.04 * 3000);
        EXPECT_NEAR(faces[0].bounds.midY(), original.bounds.midY() * k, 0.04 * 3000);
        EXPECT_NEAR(faces[0].bounds.width(), original.bounds.width() * k, 0.1 * original.bounds.width() * k);
        EXPECT_TRUE(faces[0].bounds.contains(Point(LeftEye.x * k, LeftEye.y * k)));
    }
}

TEST_F(FaceDetection, APhotoTurnedByItsOrientationTagIsSearchedUpright)
{
    // Stored lying on its side, tagged to be turned a quarter clockwise when shown.
    const QImage upright(PortraitPath);
    const QImage lying = upright.transformed(QTransform().rotate(-90));
    QTemporaryDir dir;
    QFile file(dir.filePath("lying.jpg"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(jpegWithOrientation(lying, 6));
    file.close();

    const auto faces = detector().features(Image::fromFile(file.fileName()), &context());
    ASSERT_EQ(faces.size(), 1u);
    EXPECT_TRUE(faces[0].bounds.contains(LeftEye));
    EXPECT_TRUE(faces[0].bounds.contains(RightEye));
    // As stored, the face lies sideways, and a frontal search does not see it.
    QImageReader raw(file.fileName());
    raw.setAutoTransform(false);
    const QImage stored = raw.read();
    auto distance = [&](const QImage& other) {
        int sum = 0;
        for (int y = 0; y < 512; y += 16)
            for (int x = 0; x < 512; x += 16)
                sum += std::abs(qGray(stored.pixel(x, y)) - qGray(other.pixel(x, y)));
        return sum;
    };
    ASSERT_LT(distance(lying), distance(upright) / 4);
    EXPECT_TRUE(detector().features(Bitmap::fromQImage(stored)).empty());
}

TEST(FaceDetector, MissingCascadesAndUnboundedImagesAreReported)
{
    QTemporaryDir empty;
    const FaceDetector blind({empty.path()});
    EXPECT_FALSE(blind.isValid());
    EXPECT_TRUE(blind.errorMessage().contains("haarcascade_frontalface_alt2.xml"));
    EXPECT_TRUE(blind.errorMessage().contains(empty.path()));
    LogCapture capture;
    EXPECT_TRUE(
        blind.features(Image::constantColor(Color(1, 1, 1)).imageByCroppingToRect(Rect(0, 0, 8, 8))).empty());
    EXPECT_TRUE(capture.contains("Error: Face detection is unavailable"));

    capture.clear();
    if (detector().isValid()) {
        EXPECT_TRUE(detector().features(Image::constantColor(Color(1, 1, 1)), &context()).empty());
        EXPECT_TRUE(capture.contains("Error: Faces can only be found in an image of finite size"));
    }
}
