#include "Classes/ToolObjects/OVBrushFramework/GMBrushPath.h"
#include "Classes/ToolObjects/OVBrushSegment.h"
#include "Classes/ToolObjects/OVRenderInfoGenerator.h"
#include "Platform/Foundation/ArchiveUid.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"
#include "Platform/Foundation/PropertyList.h"
#include "Tests/Classes/Filters/FilterTestSupport.h"

#include <gtest/gtest.h>
#include <limits>

using namespace pf;
using namespace filtertest;

namespace {

void registerRecords()
{
    GMBrushPath::registerArchiveClass();
    OVBrushSegment::registerArchiveClass();
}

GMBrushPtr drawBrush(double size)
{
    auto brush = std::make_shared<GMBrush>();
    brush->type = OVBrush::Draw;
    brush->size = size;
    brush->pressure = 1;
    return brush;
}

std::vector<Point> pointsOf(GMBrushPath& path, const std::vector<Point>& added)
{
    path.addSegmentWithBrush(drawBrush(0.1));
    for (const Point& p : added)
        path.addPointToLastSegment(p);
    return path.lastSegment()->points;
}

QByteArray archived(const QVariant& value)
{
    QString error;
    const auto data = KeyedArchiver::archivedData({{"root", value}}, &error);
    EXPECT_TRUE(data) << error.toStdString();
    return data.value_or(QByteArray());
}

// The archive with every object that has `key` changed by `edit`.
QByteArray damaged(const QByteArray& data, const std::function<void(QVariantMap&)>& edit)
{
    QVariantMap archive = PropertyList::fromData(data)->toMap();
    QVariantList objects = archive.value("$objects").toList();
    for (QVariant& object : objects) {
        if (object.metaType().id() == QMetaType::QVariantMap) {
            QVariantMap fields = object.toMap();
            edit(fields);
            object = fields;
        }
    }
    archive.insert("$objects", objects);
    return *PropertyList::toData(archive, PropertyList::Format::Binary);
}

// A replay over a 200 x 100 photo: the render information of the whole photo.
struct Replay
{
    OVRenderInfoGenerator generator{std::shared_ptr<OVFaceSource>()};
    OVRenderInfo info;
    Replay()
    {
        generator.setOriginalImage(marker(200, 100));
        info = generator.renderInfoForRect(Rect(0, 0, 1, 1), Size(200, 100));
    }
    static OVContentContainerPtr emptyMask()
    {
        auto container = std::make_shared<OVContentContainer>();
        container->imageContainer()->setImage(
            Image::constantColor(Color(0, 0, 0, 0)).imageByCroppingToRect(Rect(0, 0, 200, 100)));
        return container;
    }
};

std::array<float, 4> maskAt(const OVContentContainerPtr& container, int x, int y)
{
    return render(container->imageContainer()->image(), Rect(0, 0, 200, 100)).at(x, y);
}

} // namespace

TEST(OlderBrushRecords, PointsAreThinnedAlongStraightLines)
{
    struct Case
    {
        const char* what;
        std::vector<Point> added, kept;
    };
    const std::vector<Case> cases{
        {"too close to the last point", {{0.1, 0.1}, {0.10001, 0.1}}, {{0.1, 0.1}}},
        {"too close to the origin of an empty segment", {{0.00001, 0.00002}, {0.2, 0.2}}, {{0.2, 0.2}}},
        {"three in a line are kept while they come",
         {{0.1, 0.1}, {0.2, 0.1}, {0.3, 0.1}},
         {{0.1, 0.1}, {0.2, 0.1}, {0.3, 0.1}}},
        {"a fourth in line replaces the third",
         {{0.1, 0.1}, {0.2, 0.1}, {0.3, 0.1}, {0.4, 0.1}},
         {{0.1, 0.1}, {0.2, 0.1}, {0.4, 0.1}}},
        {"a corner is kept",
         {{0.1, 0.1}, {0.2, 0.1}, {0.3, 0.1}, {0.3, 0.3}},
         {{0.1, 0.1}, {0.2, 0.1}, {0.3, 0.1}, {0.3, 0.3}}},
        {"the first two stay", {{0.1, 0.1}, {0.1, 0.1}, {0.2, 0.1}}, {{0.1, 0.1}, {0.2, 0.1}}},
    };
    for (const Case& c : cases) {
        GMBrushPath path;
        EXPECT_EQ(pointsOf(path, c.added), c.kept) << c.what;
    }
    GMBrushPath empty;
    empty.addPointToLastSegment({0.5, 0.5}); // no segment: nothing to add to
    EXPECT_TRUE(empty.pathSegments().empty());
    EXPECT_EQ(GMBrushPath::distancePoint({0.5, 0.5}, {0.2, 0.2}, {0.2, 0.2}), 0.0);
}

TEST(OlderBrushRecords, BrushConvertsToThePhotosPixels)
{
    GMBrush old;
    old.type = OVBrush::SmartBrush;
    old.size = 0.05;
    old.smoothness = 0.3;
    old.pressure = 0.8;
    old.tolerance = 0.1;
    old.allowedColor = QStringLiteral("kept");
    const OVBrush brush = old.ovBrushWithSize(4000);
    EXPECT_EQ(brush.size, 200);
    EXPECT_EQ(brush.type, OVBrush::SmartBrush);
    EXPECT_EQ(brush.brushSubType, OVBrush::None);
    EXPECT_TRUE(brush.kernelName.isEmpty());
    EXPECT_EQ(brush.smoothness, 0.3);
    EXPECT_EQ(brush.pressure, 0.8);
    EXPECT_EQ(brush.tolerance, 0.1);
    EXPECT_EQ(brush.allowedColor.toString(), "kept");
}

TEST(OlderBrushRecords, ArchivedPathsDecodeInOrderAndDamagedOnesFailCleanly)
{
    registerRecords();
    auto path = std::make_shared<GMBrushPath>();
    path->addSegmentWithBrush(drawBrush(0.05));
    path->addPointsToLastSegment({{0.1, 0.2}, {0.3, 0.4}, {0.5, 0.25}});
    path->addSegmentWithBrush(drawBrush(0.02));
    path->addPointsToLastSegment({{0.9, 0.8}});
    const QByteArray data = archived(QVariant::fromValue(path));

    QString error;
    const auto roots = KeyedUnarchiver::unarchive(data, &error);
    ASSERT_TRUE(roots) << error.toStdString();
    const GMBrushPathPtr decoded = roots->value("root").value<GMBrushPathPtr>();
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->pathSegments().size(), 2u);
    EXPECT_EQ(decoded->pathSegments()[0]->points, (std::vector<Point>{{0.1, 0.2}, {0.3, 0.4}, {0.5, 0.25}}));
    EXPECT_EQ(decoded->pathSegments()[0]->brush->size, 0.05);
    EXPECT_EQ(decoded->pathSegments()[1]->points, (std::vector<Point>{{0.9, 0.8}}));

    struct Damage
    {
        const char* what;
        std::function<void(QVariantMap&)> edit;
        bool fails;
    };
    const std::vector<Damage> damages{
        {"a count far beyond the points",
         [](QVariantMap& o) {
             if (o.contains("number of points"))
                 o.insert("number of points", qint64(2000000000));
         },
         true},
        {"a missing point", [](QVariantMap& o) { o.remove("$2"); }, true},
        {"a point that is no point",
         [](QVariantMap& o) {
             if (o.contains("$0"))
                 o.insert("$0", o.value("number of points"));
         },
         true},
        {"a negative count",
         [](QVariantMap& o) {
             if (o.contains("number of points"))
                 o.insert("number of points", qint64(-3));
         },
         false},
    };
    // The path's list holding a brush where a segment belongs.
    QVariant brushReference;
    damaged(data, [&](QVariantMap& o) {
        if (o.contains("brush"))
            brushReference = o.value("brush");
    });
    const QByteArray wrongEntry = damaged(data, [&](QVariantMap& o) {
        if (o.contains("NS.objects")) {
            QVariantList entries = o.value("NS.objects").toList();
            entries[0] = brushReference;
            o.insert("NS.objects", entries);
        }
    });
    QString problem;
    EXPECT_FALSE(KeyedUnarchiver::unarchive(wrongEntry, &problem));
    EXPECT_TRUE(problem.contains("not a segment")) << problem.toStdString();

    for (const Damage& d : damages) {
        QString problem;
        const auto result = KeyedUnarchiver::unarchive(damaged(data, d.edit), &problem);
        EXPECT_EQ(!result, d.fails) << d.what;
        if (d.fails)
            EXPECT_FALSE(problem.isEmpty()) << d.what;
        else
            EXPECT_TRUE(result->value("root").value<GMBrushPathPtr>()->pathSegments()[0]->points.empty());
    }
}

TEST(OlderBrushRecords, RecordedSegmentsArchiveTheirPointsAndBrush)
{
    registerRecords();
    auto segment = std::make_shared<OVBrushSegment>();
    segment->points = {{0.25, 0.5}, {0.75, 0.125}, {1, 0}};
    segment->brush = std::make_shared<OVBrush>();
    segment->brush->size = 12;
    const QByteArray data = archived(QVariant::fromValue(segment));
    const auto roots = KeyedUnarchiver::unarchive(data);
    ASSERT_TRUE(roots);
    const OVBrushSegmentPtr decoded = roots->value("root").value<OVBrushSegmentPtr>();
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->points, segment->points);
    EXPECT_EQ(decoded->brush->size, 12);
    EXPECT_FALSE(KeyedUnarchiver::unarchive(damaged(data, [](QVariantMap& o) {
        if (o.contains("number of points"))
            o.insert("number of points", qint64(4));
    })));

    // Points that mark no place ("nan", "inf" read as numbers) are left out; the rest keep their order.
    const double nan = std::numeric_limits<double>::quiet_NaN(),
                 inf = std::numeric_limits<double>::infinity();
    segment->points = {{0.25, 0.5}, {nan, 0.5}, {0.75, inf}, {-inf, nan}, {1, 0}};
    const auto withHoles = KeyedUnarchiver::unarchive(archived(QVariant::fromValue(segment)));
    ASSERT_TRUE(withHoles);
    EXPECT_EQ(withHoles->value("root").value<OVBrushSegmentPtr>()->points,
              (std::vector<Point>{{0.25, 0.5}, {1, 0}}));
}

TEST(OlderBrushRecords, ReplayPaintsEachSegmentOnTheLastOnesResult)
{
    Replay replay;
    const OVContentContainerPtr start = Replay::emptyMask();
    const Image startMask = start->imageContainer()->image();

    // No segments, or a segment without points: the container as it came.
    EXPECT_EQ(OVBrushSegment::renderPath(GMBrushPath(), Size(200, 100), replay.info, start), start);
    GMBrushPath pointless;
    pointless.addSegmentWithBrush(drawBrush(0.1));
    EXPECT_EQ(OVBrushSegment::renderPath(pointless, Size(200, 100), replay.info, start), start);
    EXPECT_EQ(start->imageContainer()->image(), startMask);

    // Two one-point strokes: each stamps its dot, the second on top of the first.
    GMBrushPath path;
    path.addSegmentWithBrush(drawBrush(0.1)); // 20 pixels
    path.addPointsToLastSegment({{0.25, 0.5}});
    path.addSegmentWithBrush(drawBrush(0.1));
    path.addPointsToLastSegment({{0.75, 0.5}});
    const OVContentContainerPtr result = OVBrushSegment::renderPath(path, Size(200, 100), replay.info, start);
    ASSERT_EQ(result, start);
    for (const auto& [x, y] : {std::pair{50, 50}, std::pair{150, 50}}) {
        // A plain mask, white where painted, with nothing of the stroke's working encoding left in it.
        const auto dot = maskAt(result, x, y);
        EXPECT_NEAR(dot[0], 1.0f, 1e-3f) << x;
        EXPECT_NEAR(dot[1], 1.0f, 1e-3f) << x;
    }
    EXPECT_EQ(maskAt(result, 100, 50)[1], 0.0f);
    EXPECT_EQ(maskAt(result, 50, 85)[1], 0.0f);

    // An eraser through the first dot takes it away again.
    auto eraser = drawBrush(0.1);
    eraser->type = OVBrush::Eraser;
    GMBrushPath erase;
    erase.addSegmentWithBrush(eraser);
    erase.addPointsToLastSegment({{0.25, 0.5}});
    OVBrushSegment::renderPath(erase, Size(200, 100), replay.info, result);
    EXPECT_NEAR(maskAt(result, 50, 50)[1], 0.0f, 1e-3f);
    EXPECT_NEAR(maskAt(result, 150, 50)[1], 1.0f, 1e-3f);

    // A long path (rendered to pixels on the way) keeps every stroke.
    GMBrushPath dots;
    for (int i = 0; i < 12; ++i) {
        dots.addSegmentWithBrush(drawBrush(0.04));
        dots.addPointsToLastSegment({{(i + 0.5) / 12.0, 0.2}});
    }
    const OVContentContainerPtr dotted =
        OVBrushSegment::renderPath(dots, Size(200, 100), replay.info, Replay::emptyMask());
    const Pixels row = render(dotted->imageContainer()->image(), Rect(0, 0, 200, 100));
    for (int i = 0; i < 12; ++i)
        EXPECT_NEAR(row.at(int((i + 0.5) / 12.0 * 200), 20)[1], 1.0f, 1e-3f) << i;
}
