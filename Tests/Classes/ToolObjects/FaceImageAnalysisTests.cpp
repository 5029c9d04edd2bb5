#include "Classes/ToolObjects/OVRenderInfoGenerator.h"
#include "Tests/Classes/Filters/FilterTestSupport.h"

#include <gtest/gtest.h>

using namespace pf;
using namespace filtertest;

namespace {

class OneFace : public OVFaceSource
{
public:
    explicit OneFace(std::vector<FaceFeature> faces) : m_faces(std::move(faces)) {}
    std::vector<FaceFeature> faces(const Image&) override { return m_faces; }

private:
    std::vector<FaceFeature> m_faces;
};

// Dark on the left, light on the right of column 20, with a faint ripple on each side.
Image step(int w, int h)
{
    return floatImage(w, h, [](int x, int y) {
        const float v = (x < 20 ? 0.2f : 0.8f) + 0.02f * float((x + y) % 3 - 1);
        return std::array<float, 4>{v, v, v, 1};
    });
}

void expectNear(const std::array<float, 4>& got, const std::array<float, 4>& expected, const char* where)
{
    for (size_t i = 0; i < 4; ++i)
        EXPECT_NEAR(got[i], expected[i], 1e-4f) << where << " channel " << i;
}

} // namespace

TEST(FaceImageAnalysis, OverlayMarksFacesEyesAndMouth)
{
    const Image grey =
        Image::constantColor(Color(0.5, 0.5, 0.5, 1)).imageByCroppingToRect(Rect(0, 0, 200, 200));
    OVRenderInfoGenerator none(std::make_shared<OneFace>(std::vector<FaceFeature>{}));
    none.setOriginalImage(grey);
    EXPECT_EQ(none.detectedFacesInImage(grey), grey);

    OVRenderInfoGenerator generator(std::make_shared<OneFace>(
        std::vector<FaceFeature>{{Rect(50, 50, 100, 100), Point(80, 120), Point(120, 120), Point(100, 70)}}));
    generator.setOriginalImage(grey);
    const Image marked = generator.detectedFacesInImage(grey);
    EXPECT_EQ(marked.extent(), Rect(0, 0, 200, 200));
    const Pixels p = render(marked, Rect(0, 0, 200, 200));
    // Each mark is blended through a mask of half strength.
    const std::array<float, 4> face{0.25f, 0.75f, 0.25f, 1};
    expectNear(p.at(10, 10), {0.5f, 0.5f, 0.5f, 1}, "outside");
    expectNear(p.at(60, 100), face, "face");
    expectNear(p.at(80, 120), {0.625f, 0.375f, 0.125f, 1}, "eye"); // a 20-pixel square
    expectNear(p.at(91, 120), face, "beside the eye");
    expectNear(p.at(100, 70), {0.125f, 0.375f, 0.625f, 1}, "mouth"); // a 40-pixel square
}

TEST(FaceImageAnalysis, EdgesAndTheBlurThatKeepsThem)
{
    OVRenderInfoGenerator generator(std::make_shared<OneFace>(std::vector<FaceFeature>{}));
    const Image image = step(40, 24);
    const Image edges = generator.renderEdges(image);
    ASSERT_FALSE(edges.isNull());
    EXPECT_EQ(edges.extent(), Rect(0, 0, 40, 24));
    const Pixels e = render(edges, Rect(0, 0, 40, 24));
    // One line of edge pixels along the step, nothing where there is only the ripple.
    int onStep = 0;
    for (int y = 4; y < 20; ++y)
        onStep += (e.at(19, y)[1] == 1.0f || e.at(20, y)[1] == 1.0f) ? 1 : 0;
    EXPECT_EQ(onStep, 16);
    for (int y = 4; y < 20; ++y) {
        EXPECT_EQ(e.at(8, y)[1], 0.0f) << y;
        EXPECT_EQ(e.at(32, y)[1], 0.0f) << y;
    }

    const Image blurred = generator.gaussBlurImage(image, 3);
    EXPECT_EQ(blurred.extent(), Rect(0, 0, 40, 24));
    const Pixels b = render(generator.renderEdgeAwareBlur(image), Rect(0, 0, 40, 24));
    // The ripple is smoothed away; the step is not.
    EXPECT_NEAR(b.at(8, 12)[0], 0.2f, 0.01f);
    EXPECT_NEAR(b.at(32, 12)[0], 0.8f, 0.01f);
    EXPECT_LT(b.at(17, 12)[0], 0.3f);
    EXPECT_GT(b.at(22, 12)[0], 0.7f);
}
