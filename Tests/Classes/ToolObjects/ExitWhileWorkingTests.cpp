#include "Classes/Filters/OVDimmedBWFilter.h"
#include "Classes/ToolObjects/OVBrushFramework/OVHealingBrush.h"
#include "Classes/ToolObjects/OVFaceSource.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Filter.h"
#include "Platform/Image/Image.h"
#include "Platform/Image/RenderContext.h"
#include "Tests/ChildProcess.h"

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

std::atomic<int> roundsDone{0};

// What a render, a stroke stored in the background or a photo being opened does on its thread: filters
// made and asked for their image, the shared dimmed filter rendered, a healing brush
// made and the system's face search, over and over.
[[noreturn]] void workingWithTheFilters()
{
    pf::RenderContext own(QStringLiteral("exiting"));
    pf::Bitmap bitmap(48, 40, pf::Bitmap::Format::RGBA8);
    for (int y = 0; y < bitmap.height(); ++y)
        std::fill_n(bitmap.mutableRow(y), bitmap.bytesPerRow(), uint8_t(0x80));
    const pf::Image source = pf::Image::fromBitmap(bitmap);
    // The kernel filters, and the framework's filters that keep something for the process. (A filter that
    // reads its artwork from disk at every use would read it through Qt's image plugins, which Qt itself
    // unloads as the program ends: that is not what this test is about.)
    QStringList names;
    for (const QString& name : pf::Filter::registeredNames())
        if (name.startsWith(QLatin1String("GM")))
            names << name;
    names << QStringLiteral("OVDimmedBWFilter") << QStringLiteral("OVInpaintingFilter")
          << QStringLiteral("OVCombineFilter") << QStringLiteral("OVAdjustableBlendFilter");
    for (;;) {
        for (const QString& name : names) {
            const auto filter = pf::Filter::create(name);
            if (!filter)
                continue;
            filter->setDefaults();
            for (const QString& key : filter->inputKeys())
                if (key.endsWith(QLatin1String("Image")))
                    filter->setValue(QVariant::fromValue(source), key);
            (void)filter->outputImage();
        }
        const auto dimmed = OVDimmedBWFilter::sharedDimmedBWFilter();
        dimmed->setValue(QVariant::fromValue(source), QStringLiteral("inputImage"));
        (void)own.render(dimmed->outputImage(), pf::Rect(0, 0, 48, 40), pf::Bitmap::Format::RGBA8);
        (void)std::make_unique<OVHealingBrush>();
        (void)OVFaceSource::system()->faces(source);
        ++roundsDone;
    }
}

} // namespace

// The program ends while another thread still works with the filters (a render nobody waits for, a
// stroke being stored): what such a thread shares for the whole process outlives it, and the program
// ends cleanly every time (under the thread checker, a shared object freed at exit is a reported race).
TEST(Exit, WhileAnotherThreadWorksWithTheFiltersEndsCleanly)
{
    constexpr const char* child = "GM_TEST_EXIT_WHILE_FILTERING";
    if (qEnvironmentVariableIsSet(child)) {
        std::thread(workingWithTheFilters).detach();
        while (roundsDone < 1)
            std::this_thread::yield();
        return; // the process ends as every program does, the work still going
    }
    ChildProcess process;
    ASSERT_TRUE(process.start(
        QCoreApplication::applicationFilePath(),
        {QStringLiteral("--gtest_filter=Exit.WhileAnotherThreadWorksWithTheFiltersEndsCleanly")},
        {{QString::fromLatin1(child), QStringLiteral("1")}}));
    ASSERT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitCode(), 0) << process.errors().toStdString();
}
