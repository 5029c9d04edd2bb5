// Framework effects: a slider change of the middle effect in a chain of three (dimmed black and white,
// reflection, gradient map) to the rendered 1024 x 683 output, and the same change in the effects window
// (with its undo registration and its own render); building the settings view of the largest catalogued
// effect; and the memory a chain of three holds for a 6000 x 4000 picture. Each time is the median of
// five runs, printed with the load average, since other work shares the machine. Reports only.

#include "Classes/Document/GMFrameworkEffectsWindow.h"
#include "Classes/Frames/OVEffect.h"
#include "Classes/Frames/OVEffectsCatalog.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/RenderContext.h"
#include "Platform/Image/RenderStatistics.h"
#include "bench/BenchStatistics.h"
#include "bench/FramesBenchSetup.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace pf;

namespace {

using bench::loadAverage;
using bench::median;

double residentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

double milliseconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

Image picture(int width, int height)
{
    Bitmap bitmap(width, height, Bitmap::Format::RGBA8);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bitmap.mutableRow(y);
        for (int x = 0; x < width; ++x) {
            row[4 * x] = uint8_t(x * 255 / width);
            row[4 * x + 1] = uint8_t(y * 255 / height);
            row[4 * x + 2] = uint8_t((x + y) % 256);
            row[4 * x + 3] = 255;
        }
    }
    return Image::fromBitmap(bitmap);
}

// The chain's end: renders what arrives, as the effects window shows it.
struct RenderingSink : OVEffectSuccessor
{
    void setInputImage(const Image& image) override
    {
        last = image;
        if (render)
            rendered = RenderContext::shared()->render(image, image.extent()).has_value();
    }
    void setGlobalSettings(const QVariantMap&) override {}
    void removeImageInput() override { last = Image(); }
    void addResourcesToArray(QStringList&) override {}
    Image last;
    bool render = true;
    bool rendered = false;
};

struct Chain
{
    std::vector<std::unique_ptr<OVEffect>> effects;
    RenderingSink sink;

    Chain()
    {
        OVEffectsCatalog& catalog = OVEffectsCatalog::sharedEffectsCatalog();
        for (const char* name : {"Dimmed Black and White", "Reflection", "Gradient Map"})
            effects.push_back(catalog.effectForDisplayName(QString::fromLatin1(name)));
        for (size_t i = 0; i < effects.size(); ++i)
            effects[i]->setSuccessor(
                i + 1 < effects.size() ? static_cast<OVEffectSuccessor*>(effects[i + 1].get()) : &sink);
    }
};

} // namespace

int main(int argc, char** argv)
{
    const bench::FramesBenchApplication application(argc, argv);

    {
        Chain chain;
        // The settings view binds the keys its controls edit, as in the window.
        chain.effects[1]->settingsView();
        chain.effects.front()->setInputImage(picture(1024, 683));
        std::vector<double> times;
        uint64_t passes = 0;
        for (int run = 0; run < 6; ++run) {
            const auto start = std::chrono::steady_clock::now();
            chain.sink.rendered = false;
            RenderStatistics::resetPasses();
            chain.effects[1]->setValue(QStringLiteral("inputHeight"), 0.3 + 0.1 * run);
            const double ms = milliseconds(start);
            if (!chain.sink.rendered) {
                std::fprintf(stderr, "the chain did not render\n");
                return 1;
            }
            if (run > 0) { // the first compiles the engine's programs and keeps the effect's input
                times.push_back(ms);
                passes = RenderStatistics::passes() + RenderStatistics::cpuPasses();
            }
        }
        std::printf("slider change, chain of three, to the full 1024 x 683 output: %.1f ms (median of 5; "
                    "%llu passes; target < 40 ms; load %.2f)\n",
                    median(times), static_cast<unsigned long long>(passes), loadAverage());
    }
    {
        // The same change in the effects window.
        GMFrameworkEffectsWindow window(picture(1024, 683));
        OVEffectsCatalog& catalog = OVEffectsCatalog::sharedEffectsCatalog();
        for (const char* name : {"Dimmed Black and White", "Reflection", "Gradient Map"})
            window.appendEffect(catalog.effectForDisplayName(QString::fromLatin1(name)));
        OVEffect* middle = window.effects()[1].get();
        std::vector<double> times;
        uint64_t passes = 0;
        for (int run = 0; run < 6; ++run) {
            const qint64 before = window.shownImage().cacheKey();
            RenderStatistics::resetPasses();
            const auto start = std::chrono::steady_clock::now();
            middle->setValue(QStringLiteral("inputHeight"), 0.3 + 0.1 * run);
            const double ms = milliseconds(start);
            passes = RenderStatistics::passes() + RenderStatistics::cpuPasses();
            if (window.shownImage().cacheKey() == before) {
                std::fprintf(stderr, "the window did not render\n");
                return 1;
            }
            if (run > 0)
                times.push_back(ms);
        }
        std::printf("slider change, chain of three, in the effects window (%d x %d shown): %.1f ms (median "
                    "of 5; %llu passes; target < 40 ms; load %.2f)\n",
                    window.shownImage().width(), window.shownImage().height(), median(times),
                    static_cast<unsigned long long>(passes), loadAverage());
    }
    {
        OVEffectsCatalog& catalog = OVEffectsCatalog::sharedEffectsCatalog();
        QString largest;
        qsizetype rows = -1;
        for (auto it = catalog.catalog().begin(); it != catalog.catalog().end(); ++it) {
            const qsizetype n = it.value().value(QStringLiteral("settingsUI")).toMap().size();
            const QString name = it.value().value(QStringLiteral("displayName")).toString();
            if (n > rows || (n == rows && name < largest))
                rows = n, largest = name;
        }
        std::vector<double> times;
        for (int run = 0; run < 6; ++run) {
            auto effect = catalog.effectForDisplayName(largest);
            const auto start = std::chrono::steady_clock::now();
            effect->settingsView();
            if (run > 0)
                times.push_back(milliseconds(start));
        }
        std::printf("settings view of %s (%lld rows): %.2f ms (median of 5; target < 5 ms; load %.2f)\n",
                    qPrintable(largest), static_cast<long long>(rows), median(times), loadAverage());
    }
    {
        const Image big = picture(6000, 4000);
        const double before = residentMegabytes();
        Chain chain;
        chain.sink.render = false;
        const auto start = std::chrono::steady_clock::now();
        chain.effects.front()->setInputImage(big);
        const double ms = milliseconds(start);
        std::printf("chain of three on 6000 x 4000: %.0f MB more resident (%.0f ms to run it; load %.2f)\n",
                    residentMegabytes() - before, ms, loadAverage());
        // An edited effect keeps its input rendered, so the changes after the first render only the rest.
        chain.effects[1]->settingsView();
        chain.effects[1]->setValue(QStringLiteral("inputHeight"), 0.5);
        std::printf("  with its middle effect edited: %.0f MB more resident (load %.2f)\n",
                    residentMegabytes() - before, loadAverage());
    }
    return 0;
}
