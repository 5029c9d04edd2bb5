#include "Classes/ToolObjects/OVFilterGenerator.h"
#include "Classes/ToolObjects/OVGroupedFilter.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/Color.h"

#include <QHash>
#include <gtest/gtest.h>

using namespace pf;

namespace {

// Counts how often each tagged member is re-fed its "inputImage"; its output moves the input image by
// "inputShift" (or is a constant image of that grey without an input), so values are visible in extents.
QHash<QString, int>& feeds()
{
    static QHash<QString, int> counts;
    return counts;
}

class CountingFilter : public Filter
{
public:
    CountingFilter() : Filter(QStringLiteral("TestCountingFilter"))
    {
        declareInput(QStringLiteral("inputImage"));
        declareInput(QStringLiteral("inputShift"), {{FilterAttribute::Default, 0.0}});
        declareInput(QStringLiteral("inputTag"));
        declareInput(QStringLiteral("inputList"));
    }
    void setValue(const QVariant& value, const QString& key) override
    {
        if (key == QLatin1String("inputImage"))
            feeds()[stringValue(QStringLiteral("inputTag"))]++;
        Filter::setValue(value, key);
    }
    Image outputImage() const override
    {
        const Image input = imageValue(QStringLiteral("inputImage"));
        const double shift = numberValue(QStringLiteral("inputShift"));
        if (input.isNull())
            return Image::constantColor(Color(shift, shift, shift)).imageByCroppingToRect(Rect(0, 0, 10, 10));
        return input.imageByApplyingTransform(AffineTransform::translation(shift, 0));
    }
};

std::shared_ptr<CountingFilter> member(const QString& tag, double shift = 0)
{
    static bool registered = false;
    if (!registered) {
        Filter::registerFilter(QStringLiteral("TestCountingFilter"),
                               [] { return std::make_shared<CountingFilter>(); });
        registered = true;
    }
    auto filter = std::make_shared<CountingFilter>();
    filter->setValue(tag, QStringLiteral("inputTag"));
    filter->setValue(shift, QStringLiteral("inputShift"));
    return filter;
}

// root <- middle <- leaf, with the leaf's and the root's shifts exported.
struct Chain
{
    std::shared_ptr<CountingFilter> leaf = member("leaf", 1);
    std::shared_ptr<CountingFilter> middle = member("middle", 10);
    std::shared_ptr<CountingFilter> root = member("root", 100);
    std::shared_ptr<OVGroupedFilter> group;

    Chain()
    {
        OVFilterGenerator generator;
        generator.exportKey(OutputImageKey, root.get());
        generator.exportKey("inputShift", leaf.get(), "leafShift");
        generator.exportKey("inputShift", root.get(), "rootShift");
        generator.connectObject(leaf.get(), OutputImageKey, middle.get(), "inputImage");
        generator.connectObject(middle.get(), OutputImageKey, root.get(), "inputImage");
        group = generator.filter();
    }
    double outputX() const { return group->value(OutputImageKey).value<Image>().extent().minX(); }
};

} // namespace

TEST(OVGroupedFilter, PullsReFeedOnlyDirtyMembersAndTheirConsumers)
{
    feeds().clear();
    Chain chain;
    EXPECT_EQ(chain.group->description(), "<- leafShift rootShift -> outputImage ");
    EXPECT_EQ(chain.outputX(), 110); // a constant at 0 (the leaf has no image), moved by 10 and 100
    EXPECT_EQ(feeds().value("middle"), 1);
    EXPECT_EQ(feeds().value("root"), 1);

    EXPECT_EQ(chain.outputX(), 110);
    EXPECT_EQ(feeds().value("middle"), 1) << "a second pull re-feeds nothing";

    chain.group->setValue(2.0, "rootShift");
    EXPECT_EQ(chain.outputX(), 12);
    EXPECT_EQ(feeds().value("middle"), 1) << "a change at the root does not re-feed what lies below it";
    EXPECT_EQ(feeds().value("root"), 2);

    chain.group->setValue(5.0, "leafShift");
    chain.outputX();
    EXPECT_EQ(feeds().value("middle"), 2);
    EXPECT_EQ(feeds().value("root"), 3);
    EXPECT_TRUE(chain.group->dirtyFilters().isEmpty());
}

TEST(OVGroupedFilter, GroupsWorkOnCopiesAndCopiesAreIndependent)
{
    Chain chain;
    chain.root->setValue(7.0, "inputShift"); // the group holds its own copy
    EXPECT_EQ(chain.outputX(), 110);

    auto copy = std::dynamic_pointer_cast<OVGroupedFilter>(chain.group->copy());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->description(), chain.group->description());
    copy->setValue(-100.0, "rootShift");
    EXPECT_EQ(copy->value(OutputImageKey).value<Image>().extent().minX(), -90);
    EXPECT_EQ(chain.outputX(), 110);
    EXPECT_EQ(copy->dirtyFilters().size(), 0);
}

TEST(OVGroupedFilter, ExportRulesAndTheirMessages)
{
    auto a = member("a"), b = member("b");
    OVGroupedFilter group;
    LogCapture capture;
    group.exportKey("inputShift", a.get(), "shift");
    group.exportKey("inputShift", b.get(), "shift"); // one input feeding two members
    group.exportKey("inputShift", a.get(), "other"); // one member input under two names
    group.exportKey(OutputImageKey, a.get());
    EXPECT_TRUE(capture.lines().isEmpty());
    group.setValue(3.0, "shift");
    EXPECT_EQ(group.value("shift").toDouble(), 3.0);
    group.setValue(4.0, "other");
    EXPECT_EQ(group.value("shift").toDouble(), 4.0);

    group.exportKey(OutputImageKey, a.get(), "shift");
    group.exportKey("inputShift", a.get(), OutputImageKey);
    group.exportKey(OutputImageKey, b.get());
    group.exportKey("inputMissing", a.get());
    group.exportKey("inputShift", nullptr);
    EXPECT_EQ(capture.lines(),
              (QStringList{
                  "OVGroupedFilter: Key shift is already exported as an input key.",
                  "OVGroupedFilter: Key outputImage is already exported as an output key.",
                  "OVGroupedFilter: Mapping already exists for key outputImage.",
                  "OVGroupedFilter: Cannot export inputMissing as it is neither an input nor output key.",
                  "OVGroupedFilter: Cannot export inputShift as it is neither an input nor output key.",
              }));
    EXPECT_EQ(OVGroupedFilter().description(), "<- -> ");

    // Unknown names are refused with a warning, never an exception.
    capture.clear();
    group.setValue(1.0, "nothing");
    EXPECT_TRUE(capture.contains("has no input 'nothing'"));
}

TEST(OVGroupedFilter, LiteralLeavesConnectedAsSourcesAreMembers)
{
    // A leaf with only literal inputs is never exported from; connecting it must still make it a member,
    // or its consumer would read nothing.
    auto leaf = member("literal", 3);
    auto root = member("root", 0);
    OVFilterGenerator generator;
    generator.exportKey(OutputImageKey, root.get());
    generator.connectObject(leaf.get(), OutputImageKey, root.get(), "inputImage");
    const Image out = generator.filter()->value(OutputImageKey).value<Image>();
    EXPECT_EQ(out.extent(), Rect(0, 0, 10, 10));
    EXPECT_EQ(generator.filter()->filters().size(), 2);
}

TEST(OVGroupedFilter, ConstantsAreSetAtOnceAndReplayedInCopies)
{
    auto target = member("target");
    OVGroupedFilter group;
    group.connectConstant(QVariantList{1, 2}, target.get(), "inputList");
    group.exportKey("inputList", target.get(), "list");
    EXPECT_EQ(group.value("list").toList().size(), 2);
    auto copy = std::dynamic_pointer_cast<OVGroupedFilter>(group.copy());
    EXPECT_EQ(copy->value("list").toList().size(), 2);
    copy->setValue(QVariantList{1}, "list");
    EXPECT_EQ(group.value("list").toList().size(), 2);
}
