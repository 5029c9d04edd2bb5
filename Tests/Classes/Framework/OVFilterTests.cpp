#include "Classes/Framework/KernelResource.h"
#include "Classes/Framework/OVFilter.h"
#include "Classes/Framework/OVFilterConstructor.h"
#include "Platform/Foundation/Log.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>

using namespace pf;

namespace {

// Kernel texts written for each test into a folder of its own.
class OVFilterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        OVFilter::resetForTesting();
        KernelResource::setTestDirectory(m_dir.path());
    }
    void TearDown() override
    {
        KernelResource::setTestDirectory(QString());
        OVFilter::resetForTesting();
    }
    void writeKernel(const QString& name, const QByteArray& text)
    {
        QFile file(m_dir.filePath(name + QStringLiteral(".cikernel")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    QTemporaryDir m_dir;
};

class OneKernel : public OVFilter
{
public:
    explicit OneKernel(const QString& className = QStringLiteral("TestOneKernel")) : OVFilter(className)
    {
        declareInput(QStringLiteral("inputImage"));
        declareInput(QStringLiteral("inputColors"));
        declareInput(QStringLiteral("inputRadius"),
                     {{FilterAttribute::Default, 3.0}, {FilterAttribute::Min, 0.0}});
    }
};

class SubKernel : public OneKernel
{
public:
    SubKernel() : OneKernel(QStringLiteral("TestSubKernel")) {}
};

const QByteArray oneKernelText = "kernel vec4 only() { return vec4(1.0); }";
const QByteArray twoKernelText =
    "kernel vec4 a() { return vec4(0.25); }\nkernel vec4 b() { return vec4(0.5); }";

} // namespace

TEST_F(OVFilterTest, OneKernelAnsweredByNameWithAWarning)
{
    writeKernel("TestOneKernel", oneKernelText);
    OneKernel filter;
    EXPECT_EQ(filter.kernel().name(), "only");
    LogCapture capture;
    EXPECT_EQ(filter.kernelWithName("anything").name(), "only");
    EXPECT_EQ(
        capture.lines(),
        QStringList{
            "Warning: requesting named Kernel 'anything' even thought 'TestOneKernel' has only one Kernel"});
}

TEST_F(OVFilterTest, SeveralKernelsByNameAndTheWarningsForAmbiguity)
{
    writeKernel("TestOneKernel", twoKernelText);
    OneKernel filter;
    LogCapture capture;
    EXPECT_EQ(filter.kernelWithName("a").name(), "a");
    EXPECT_EQ(filter.kernelWithName("b").name(), "b");
    EXPECT_TRUE(capture.lines().isEmpty());
    EXPECT_TRUE(filter.kernelWithName("c").isNull());
    ASSERT_EQ(capture.lines().size(), 1);
    EXPECT_TRUE(capture.lines()[0].startsWith("Warning: Filter 'TestOneKernel' has no Kernel named 'c':\n{"));
    capture.clear();
    EXPECT_FALSE(filter.kernel().isNull());
    ASSERT_EQ(capture.lines().size(), 1);
    EXPECT_TRUE(capture.lines()[0].startsWith("Warning: requesting single Kernel, even though the filter "
                                              "'TestOneKernel has multiple kernel in a Dictionary ("));
}

TEST_F(OVFilterTest, MissingResourceIsSilentAndTriedAgain)
{
    LogCapture capture;
    {
        OneKernel filter;
        EXPECT_TRUE(filter.kernel().isNull());
    }
    EXPECT_TRUE(capture.lines().isEmpty());
    writeKernel("TestOneKernel", oneKernelText);
    OneKernel later;
    EXPECT_EQ(later.kernel().name(), "only");
}

TEST_F(OVFilterTest, BrokenTextIsReportedOnceAndNotRetried)
{
    writeKernel("TestOneKernel", "kernel vec4 broken() { return nonsense; }");
    LogCapture capture;
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([] { OneKernel filter; });
    for (auto& thread : threads)
        thread.join();
    OneKernel filter;
    EXPECT_TRUE(filter.kernel().isNull());
    const QStringList errors = capture.lines().filter(QStringLiteral("Error: TestOneKernel"));
    EXPECT_EQ(errors.size(), 1) << capture.lines().join("\n").toStdString();
    // Even a repaired text is not read again in this process: the class keeps its first result.
    writeKernel("TestOneKernel", oneKernelText);
    EXPECT_TRUE(OneKernel().kernel().isNull());
}

TEST_F(OVFilterTest, SubSubclassHasItsOwnKernelsAndKeys)
{
    writeKernel("TestOneKernel", oneKernelText);
    writeKernel("TestSubKernel", twoKernelText);
    OVFilter::registerInputKeys("TestOneKernel", {"inputImage"});
    OneKernel parent;
    SubKernel child;
    EXPECT_EQ(parent.inputKeys(), QStringList{"inputImage"});
    EXPECT_EQ(child.inputKeys(), (QStringList{"inputImage", "inputColors", "inputRadius"}));
    EXPECT_EQ(parent.kernel().name(), "only");
    EXPECT_EQ(child.kernelWithName("b").name(), "b");
    EXPECT_EQ(child.outputKeys(), QStringList{"outputImage"});
    EXPECT_EQ(child.settingsForKey("inputRadius").value(FilterAttribute::Min).toDouble(), 0.0);
}

TEST_F(OVFilterTest, RegistrationOnTheBaseClassWarnsAndStillRecords)
{
    LogCapture capture;
    OVFilter::registerInputKeys("OVFilter", {"inputX"});
    OVFilter::registerForCopying("OVFilter", {"inputX"});
    EXPECT_EQ(capture.lines(),
              QStringList(2, "Warning: cannot determing class, please use [self registerForCopying:]"));
    EXPECT_EQ(OVFilter().inputKeys(), QStringList{"inputX"});
}

TEST_F(OVFilterTest, CopiesOwnTheirRegisteredValues)
{
    Filter::registerFilter("TestOneKernel", [] { return std::make_shared<OneKernel>(); });
    OVFilter::registerForCopying("TestOneKernel", {"inputColors"});
    OneKernel filter;
    filter.setValue(QVariantList{1, 2}, "inputColors");
    FilterPtr copy = filter.copy();
    ASSERT_TRUE(copy);
    QVariantList changed = copy->value("inputColors").toList();
    changed.append(3);
    copy->setValue(changed, "inputColors");
    EXPECT_EQ(filter.value("inputColors").toList().size(), 2);
    EXPECT_EQ(copy->value("inputColors").toList().size(), 3);
}

TEST(KernelResource, ApplyExtentsTruncateTheOriginAndKeepInfinity)
{
    EXPECT_EQ(OVFilter::arrayForRect(Rect(-2.7, 3.9, 10.5, 20.25)), (QVariantList{-2, 3, 10.5f, 20.25f}));
    EXPECT_EQ(OVFilter::arrayForRect(Rect(-2.7, 3.9, 10.5, 20.25))[0].metaType().id(), QMetaType::Int);
    EXPECT_EQ(KernelResource::fullExtent(Rect(10.7, -3.2, 100.5, 50.25)), Rect(10, -3, 100.5, 50.25));
    EXPECT_EQ(KernelResource::originZeroExtent(Rect(10.7, -3.2, 100.5, 50.25)), Rect(0, 0, 100.5, 50.25));
    EXPECT_TRUE(KernelResource::fullExtent(Rect::infinite()).isInfinite());
    EXPECT_EQ(KernelResource::fullExtent(Rect::null()), Rect(0, 0, 0, 0));
    // The array form of an infinite rectangle reads back as infinite in an apply.
    ApplyOptions options;
    ASSERT_TRUE(options.setExtent(OVFilter::arrayForRect(Rect::infinite())));
    EXPECT_TRUE(options.extent->isInfinite());
}

TEST(OVFilterConstructor, CreatesByFilterNameAndByClassName)
{
    Filter::registerFilter("TestConstructedClass", [] { return std::make_shared<OneKernel>(); });
    OVFilterConstructor constructor;
    const QVariantMap attributes{{"CIFilterClass", "TestConstructedClass"},
                                 {"CIAttributeFilterDisplayName", "X"}};
    constructor.registerFilterInDescription(
        {{"CIPlugInFilterList", QVariantMap{{"TestConstructedFilter", attributes}}}});
    EXPECT_EQ(constructor.descriptionForClassName("TestConstructedClass"), attributes);
    EXPECT_TRUE(constructor.descriptionForClassName("Nothing").isEmpty());
    auto byName = constructor.filterWithName("TestConstructedFilter");
    auto byClass = constructor.filterWithName("TestConstructedClass");
    ASSERT_TRUE(byName && byClass);
    EXPECT_EQ(byName->name(), "TestOneKernel");
    EXPECT_FALSE(constructor.filterWithName("Unknown"));
    // The registry now routes both names through the constructor.
    EXPECT_TRUE(Filter::create("TestConstructedFilter"));
    EXPECT_TRUE(Filter::create("TestConstructedClass"));
}
