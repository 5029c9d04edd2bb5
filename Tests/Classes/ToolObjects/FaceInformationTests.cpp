#include "Classes/ToolObjects/OVRenderInfoGenerator.h"
#include "Tests/Classes/Filters/FilterTestSupport.h"

#include <QFileInfo>

#include <gtest/gtest.h>
#include <thread>

using namespace pf;

namespace {

// Faces given by the test, and how often they were asked for.
class FixedFaces : public OVFaceSource
{
public:
    explicit FixedFaces(std::vector<Rect> bounds) : m_bounds(std::move(bounds)) {}
    std::vector<pf::FaceFeature> faces(const Image&) override
    {
        ++calls;
        std::vector<pf::FaceFeature> found;
        for (const Rect& rect : m_bounds)
            found.push_back({rect, {}, {}, {}});
        return found;
    }
    int calls = 0;

private:
    std::vector<Rect> m_bounds;
};

// A 400 x 200 photo with three faces: A and B overlap, C stands apart.
struct ThreeFaces
{
    std::shared_ptr<FixedFaces> faces = std::make_shared<FixedFaces>(
        std::vector<Rect>{Rect(100, 50, 40, 40), Rect(120, 60, 80, 80), Rect(300, 50, 20, 20)});
    OVRenderInfoGenerator generator{faces};
    ThreeFaces() { generator.setOriginalImage(filtertest::marker(400, 200)); }
};

} // namespace

TEST(FaceInformation, NearestFaceWithTiesAndEdges)
{
    ThreeFaces photo;
    OVRenderInfoGenerator& g = photo.generator;
    EXPECT_EQ(photo.faces->calls, 1);
    // Inside A and B: the first in detector order.
    EXPECT_DOUBLE_EQ(g.normedFaceWidthAt(Point(130, 70)), 40.0 / 400);
    // Only in B.
    EXPECT_DOUBLE_EQ(g.normedFaceWidthAt(Point(190, 130)), 80.0 / 400);
    // On A's right edge (outside B): distance 0, so A.
    EXPECT_DOUBLE_EQ(g.normedFaceWidthAt(Point(140, 55)), 40.0 / 400);
    // Equally far (50) from B's right edge and C's left edge: the earlier face, B.
    EXPECT_DOUBLE_EQ(g.normedFaceWidthAt(Point(250, 60)), 80.0 / 400);
    // Nearer C.
    EXPECT_DOUBLE_EQ(g.normedFaceWidthAt(Point(260, 60)), 20.0 / 400);
    EXPECT_EQ(photo.faces->calls, 1); // every answer from the stored faces

    OVRenderInfoGenerator none(std::make_shared<FixedFaces>(std::vector<Rect>{}));
    none.setOriginalImage(filtertest::marker(10, 10));
    EXPECT_EQ(none.normedFaceWidthAt(Point(5, 5)), 0);
    OVRenderInfoGenerator empty(std::make_shared<FixedFaces>(std::vector<Rect>{Rect(0, 0, 5, 5)}));
    EXPECT_EQ(empty.normedFaceWidthAt(Point(1, 1)), 0);
}

TEST(FaceInformation, RecordsMapTheirPixelsToThePhoto)
{
    ThreeFaces photo;
    OVRenderInfoGenerator& g = photo.generator;
    EXPECT_EQ(g.pointAt(Point(0.5, 0.5), Rect(0, 0, 1, 1), Size(7, 3)), Point(200, 100));
    EXPECT_EQ(g.pointAt(Point(0.5, 0.5), Rect(0.5, 0.5, 0.5, 0.5), Size()), Point(300, 150));

    // The right half of the photo, bottom half, shown at 400 x 200: two record pixels per photo pixel.
    const OVRenderInfo info = g.renderInfoForRect(Rect(0.5, 0, 0.5, 0.5), Size(400, 200));
    EXPECT_EQ(info.originalSize(), Size(400, 200));
    EXPECT_EQ(info.image().extent(), Rect(0, 0, 400, 200));
    EXPECT_EQ(info.backgroundImage(), info.image());
    EXPECT_EQ(info.features().size(), 3u);
    // Photo (310, 60) is inside C (20 wide): 40 record pixels.
    EXPECT_DOUBLE_EQ(info.faceWidthAtPoint(Point(220, 120)), 40);
    // Photo (320, 60) is on C's right edge: outside for a record.
    EXPECT_EQ(info.faceWidthAtPoint(Point(240, 120)), 0);
    EXPECT_DOUBLE_EQ(info.faceWidthAtPoint(Point(238, 120)), 40);
    EXPECT_EQ(info.faceWidthAtPoint(Point(220, 20)), 0);
    // The photo cut to the part, enlarged twice: record pixel centre (1.5, 1.5) shows photo (200.75, 0.75).
    const auto pixels = filtertest::render(info.image(), Rect(0, 0, 4, 4));
    EXPECT_NEAR(pixels.at(1, 1)[0], 200.75f / 400, 1e-5f);
    EXPECT_NEAR(pixels.at(1, 1)[1], 0.75f / 200, 1e-5f);

    OVRenderInfo flat = info;
    flat.setRect(Rect(0.5, 0, 0, 0.5));
    EXPECT_EQ(flat.faceWidthAtPoint(Point(220, 120)), 0);
    flat = info;
    flat.setRectSize(Size(0, 200));
    EXPECT_EQ(flat.faceWidthAtPoint(Point(220, 120)), 0);

    OVRenderInfoGenerator nothing(std::make_shared<FixedFaces>(std::vector<Rect>{}));
    const OVRenderInfo blank = nothing.renderInfoForRect(Rect(0, 0, 1, 1), Size(10, 10));
    EXPECT_EQ(blank.originalSize(), Size(0, 0));
    EXPECT_TRUE(blank.image().isNull());
    EXPECT_TRUE(blank.features().empty());
}

TEST(FaceInformation, RecordsKeepTheFacesOfTheirPhoto)
{
    ThreeFaces photo;
    const OVRenderInfo before = photo.generator.renderInfoForRect(Rect(0, 0, 1, 1), Size(400, 200));
    photo.generator.setOriginalImage(filtertest::marker(400, 200));
    EXPECT_EQ(photo.faces->calls, 2);
    EXPECT_EQ(before.features().size(), 3u);
    EXPECT_NE(before.sharedFeatures(), photo.generator.features());

    // Questions from render threads while the photo is replaced.
    std::atomic<bool> stop = false;
    std::thread reader([&] {
        while (!stop)
            EXPECT_DOUBLE_EQ(photo.generator.normedFaceWidthAt(Point(130, 70)), 0.1);
    });
    for (int i = 0; i < 50; ++i)
        photo.generator.setOriginalImage(filtertest::marker(400, 200));
    stop = true;
    reader.join();
}

TEST(FaceInformation, TheFaceOfThePortrait)
{
    const QString path = QStringLiteral(GLIMORA_TESTDATA_DIR "/portrait-512.png");
    ASSERT_TRUE(QFileInfo::exists(path))
        << "the shared test photos must be beside this checkout, in ../shared/testdata";
    OVRenderInfoGenerator generator;
    generator.setOriginalImage(Image::fromFile(path));
    ASSERT_EQ(generator.features()->size(), 1u); // one person
    const Rect face = generator.features()->front().bounds;
    EXPECT_TRUE(Rect(0, 0, 512, 512).contains(face));
    // Photographed head and shoulders.
    EXPECT_GT(face.width(), 0.1 * 512);
    EXPECT_LT(face.width(), 0.6 * 512);

    const double normed = face.width() / 512;
    EXPECT_DOUBLE_EQ(generator.normedFaceWidthAt(Point(face.midX(), face.midY())), normed);
    EXPECT_DOUBLE_EQ(generator.normedFaceWidthAt(Point(0, 0)), normed);
    // The face's own rectangle shown at 128 pixels: the face is 128 pixels wide there.
    const Rect normalised(face.minX() / 512, face.minY() / 512, normed, face.height() / 512);
    const OVRenderInfo info = generator.renderInfoForRect(normalised, Size(128, 128));
    EXPECT_EQ(info.image().extent(), Rect(0, 0, 128, 128));
    EXPECT_NEAR(info.faceWidthAtPoint(Point(64, 64)), 128, 1e-9);
    EXPECT_EQ(info.faceWidthAtPoint(Point(128, 64)), 0);
}
