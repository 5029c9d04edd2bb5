#include "Classes/Framework/KernelPrelude.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Image/Kernel.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

QString read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The definitions of a function in a text, each on one line with single spaces.
QStringList definitions(const QString& text, const QString& name)
{
    QStringList found;
    const QRegularExpression start(QStringLiteral("(^|\\n)\\w+ %1\\(").arg(name));
    for (auto it = start.globalMatch(text); it.hasNext();) {
        const qsizetype from = it.next().capturedStart() + 1;
        qsizetype at = text.indexOf(u'{', from);
        for (int depth = 0; at >= 0 && at < text.size(); ++at) {
            depth += text[at] == u'{' ? 1 : text[at] == u'}' ? -1 : 0;
            if (depth == 0)
                break;
        }
        found.append(text.mid(from, at + 1 - from).simplified());
    }
    return found;
}

} // namespace

// Every kernel text the application ships must compile as the loader hands it to the engine, with the
// shared functions in front: a broken kernel fails here, naming the file, the line and the compiler's
// message, instead of silently leaving an effect without its filter. A shared function is defined only
// in the shared folder, so no copy can drift from it.
TEST(KernelResources, EveryKernelTextCompilesAndSharedFunctionsLiveOnce)
{
    const QString root = pf::Bundle::main().resourcePath();
    ASSERT_FALSE(root.isEmpty());
    const QStringList shared = KernelPrelude::functionNames();
    for (const char* name : {"compositeBlend", "setLum", "softLightChannel", "clampInto", "lumaAt"})
        EXPECT_TRUE(shared.contains(QString::fromLatin1(name))) << name;
    QStringList sharedDefinitions;
    for (const QString& path : QDir(root + QStringLiteral("/Kernels/Shared")).entryList({"*.cikernel"}))
        for (const QString& name : shared)
            sharedDefinitions += definitions(read(root + QStringLiteral("/Kernels/Shared/") + path), name);
    EXPECT_EQ(sharedDefinitions.size(), shared.size());
    QDirIterator it(root, {QStringLiteral("*.cikernel")}, QDir::Files, QDirIterator::Subdirectories);
    int count = 0;
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.contains(QStringLiteral("/Kernels/Shared/")))
            continue;
        const QString text = read(path);
        // A text may define its own variant of a shared function, but not a copy of it.
        for (const QString& name : shared)
            for (const QString& definition : definitions(text, name))
                EXPECT_FALSE(sharedDefinitions.contains(definition))
                    << path.toStdString() << " carries a copy of " << name.toStdString();
        pf::LogCapture capture;
        const auto kernels = pf::Kernel::kernelsWithString(KernelPrelude::applied(text), it.fileName());
        EXPECT_FALSE(kernels.empty())
            << path.toStdString() << ": " << capture.lines().join("\n").toStdString();
        ++count;
    }
    EXPECT_GT(count, 0);
}

TEST(KernelPrelude, PutsWhatATextCallsInFrontAndKeepsItsLines)
{
    struct Case
    {
        const char* name;
        const char* text;
        QStringList inFront, notInFront;
    };
    const std::vector<Case> cases{
        {"calls and what they call",
         "// a comment on the first line\n"
         "kernel vec4 k(sampler s) { vec4 c = sample(s, samplerCoord(s)); return vec4(setLum(c.rgb, 0.5), "
         "c.a); }\n",
         {"float lum(", "vec3 clipColor(", "vec3 setLum("},
         {"compositeBlend", "screenChannel"}},
        {"a function of its own",
         "float lum(vec3 c) { return c.g; }\n"
         "kernel vec4 k(sampler s) { vec4 c = sample(s, samplerCoord(s)); return vec4(setLum(c.rgb, "
         "lum(c.rgb)), 1.0); }\n",
         {"vec3 setLum(", "float lum(vec3 c);"},
         {"dot(c, vec3(0.3, 0.59, 0.11))"}},
        {"after preprocessor lines",
         "#define HALF \\\n    0.5\n"
         "kernel vec4 k(sampler s) { return vec4(vec3(screenChannel(HALF, HALF)), 1.0); }\n",
         {"float screenChannel("},
         {}},
        {"nothing shared", "kernel vec4 k(sampler s) { return sample(s, samplerCoord(s)); }\n", {}, {"lum"}},
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        const QString applied = KernelPrelude::applied(text);
        for (const QString& expected : c.inFront)
            EXPECT_TRUE(applied.contains(expected)) << c.name << ": " << expected.toStdString();
        for (const QString& unexpected : c.notInFront)
            EXPECT_EQ(applied.count(unexpected), text.count(unexpected))
                << c.name << ": " << unexpected.toStdString();
        EXPECT_EQ(applied.count(u'\n'), text.count(u'\n')) << c.name;
        pf::LogCapture capture;
        EXPECT_FALSE(pf::Kernel::kernelsWithString(applied, QString::fromUtf8(c.name)).empty())
            << c.name << ": " << capture.lines().join("\n").toStdString();
    }

    // A compiler message names the line of the author's text, whatever was put in front of it.
    pf::LogCapture capture;
    EXPECT_TRUE(pf::Kernel::kernelsWithString(
                    KernelPrelude::applied(
                        "// line 1\n"
                        "kernel vec4 k(sampler s)\n"
                        "{\n"
                        "    vec4 c = compositeBlend(sample(s, samplerCoord(s)), vec4(0.0), vec3(0.0));\n"
                        "    return c + undeclared;\n"
                        "}\n"),
                    QStringLiteral("broken"))
                    .empty());
    EXPECT_TRUE(capture.contains(QStringLiteral("line 5"))) << capture.lines().join("\n").toStdString();
}
