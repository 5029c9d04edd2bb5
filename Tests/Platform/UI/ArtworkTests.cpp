#include "Tests/ChildProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The build step that renders Resources/Artwork, run on artwork made here.
struct ArtworkTool : ::testing::Test
{
    QTemporaryDir dir;
    QString artwork() const { return dir.path() + QStringLiteral("/Artwork"); }
    QString output() const { return dir.path() + QStringLiteral("/Built"); }

    void write(const QString& relative, const QByteArray& content)
    {
        const QString path = artwork() + u'/' + relative;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    int run(QString* errors = nullptr)
    {
        ChildProcess process;
        if (!process.start(QStringLiteral(GLIMORA_RENDER_ARTWORK), {artwork(), output()}))
            return -1;
        process.waitForFinished(60000);
        if (errors)
            *errors = QString::fromUtf8(process.errors());
        return process.exitCode();
    }
    QImage image(const QString& relative) const { return QImage(output() + u'/' + relative); }
};

const QByteArray square =
    R"(<svg xmlns="http://www.w3.org/2000/svg" width="20" height="10" viewBox="0 0 20 10">
  <rect x="0" y="0" width="10" height="10" fill="#ff0000"/></svg>)";

TEST_F(ArtworkTool, RendersByNameConventionAndManifest)
{
    write(QStringLiteral("Knob.svg"), square);
    write(QStringLiteral("Masks/Oval.svg"), square);
    write(QStringLiteral("Masks/Plain.svg"), square);
    write(QStringLiteral("Masks/artwork.json"),
          R"({"scales": [1], "images": {"Oval.svg": {"name": "ORV-M#001#Oval", "size": [64, 32]}}})");
    write(QStringLiteral("Bars/artwork.json"), R"({"folder": "", "size": [8, 4], "scales": [1, 2]})");
    write(QStringLiteral("Bars/Bar.svg"), square);
    write(QStringLiteral("Paper.jpg.svg"), square);
    QString errors;
    ASSERT_EQ(run(&errors), 0) << errors.toStdString();

    struct Expected
    {
        const char* file;
        int width, height;
    };
    const Expected expected[] = {
        {"Knob.png", 20, 10},        {"Knob@2x.png", 40, 20}, {"Masks/ORV-M#001#Oval.png", 64, 32},
        {"Masks/Plain.png", 20, 10}, {"Bar.png", 8, 4},       {"Bar@2x.png", 16, 8},
    };
    for (const Expected& e : expected) {
        const QImage rendered = image(QString::fromLatin1(e.file));
        ASSERT_FALSE(rendered.isNull()) << e.file;
        EXPECT_EQ(rendered.size(), QSize(e.width, e.height)) << e.file;
    }
    EXPECT_FALSE(QFile::exists(output() + QStringLiteral("/Masks/Oval.png")));
    EXPECT_FALSE(QFile::exists(output() + QStringLiteral("/Masks/Plain@2x.png")));
    // The drawing is scaled, not cropped: red on the left half, clear on the right, at 2x too.
    const QImage knob = image(QStringLiteral("Knob@2x.png"));
    EXPECT_EQ(knob.pixelColor(5, 10), QColor(Qt::red));
    EXPECT_EQ(knob.pixelColor(35, 10).alpha(), 0);
    // A JPEG has no transparency: what the drawing leaves clear is black.
    const QImage paper = image(QStringLiteral("Paper.jpg"));
    EXPECT_EQ(paper.size(), QSize(20, 10));
    EXPECT_LT(paper.pixelColor(15, 5).value(), 10);
    EXPECT_GT(paper.pixelColor(3, 5).red(), 240);

    // Removing a drawing removes what it rendered at the next run.
    QFile::remove(artwork() + QStringLiteral("/Knob.svg"));
    ASSERT_EQ(run(), 0);
    EXPECT_FALSE(QFile::exists(output() + QStringLiteral("/Knob.png")));
    EXPECT_TRUE(QFile::exists(output() + QStringLiteral("/Bar.png")));
}

TEST_F(ArtworkTool, FaultsStopTheBuildWithAMessage)
{
    struct Case
    {
        const char* file;
        QByteArray content;
        const char* message;
    };
    const Case cases[] = {
        {"Broken.svg", "<svg", "not a readable SVG"},
        {"artwork.json", R"({"scales": [0]})", "\"scales\""},
        {"artwork.json", R"({"images": {"Missing.svg": {}}})", "no such SVG"},
        {"artwork.json", R"({"images": {"A.svg": {"name": "../x"}}})", "may not contain"},
        {"artwork.json", R"({"images": {"A.svg": {"name": "B"}}})", "both render"},
        {"artwork.json", R"({"colour": 1})", "unknown key"},
    };
    for (const Case& c : cases) {
        QDir(artwork()).removeRecursively();
        write(QStringLiteral("A.svg"), square);
        write(QStringLiteral("B.svg"), square);
        write(QString::fromLatin1(c.file), c.content);
        QString errors;
        EXPECT_NE(run(&errors), 0) << c.file << " " << c.content.toStdString();
        EXPECT_TRUE(errors.contains(QString::fromLatin1(c.message))) << errors.toStdString();
    }
}

} // namespace
