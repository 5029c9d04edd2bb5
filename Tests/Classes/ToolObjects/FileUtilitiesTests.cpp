#include "Classes/ToolObjects/GMFileUtilities.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/PropertyList.h"
#include "WorkingAreaOverride.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

// An application folder inside a sandbox, with a "victim" folder beside it that nothing may touch.
class ShadowCopies : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_sandbox.isValid());
        m_app = m_sandbox.path() + QStringLiteral("/app");
        m_victim = m_sandbox.path() + QStringLiteral("/victim");
        ASSERT_TRUE(QDir().mkpath(m_victim));
        QFile file(m_victim + QStringLiteral("/keep.txt"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("precious");
        m_override = std::make_unique<WorkingAreaOverride>(m_app);
    }
    void TearDown() override { m_override.reset(); }

    QVariantMap entry(const QString& path) const
    {
        return GMFileUtilities::shadowCopyDictionary().value(path).toMap();
    }
    void writeEntry(const QString& path, const QVariant& filename)
    {
        QVariantMap registry = GMFileUtilities::shadowCopyDictionary();
        registry.insert(path,
                        QVariantMap{{QStringLiteral("filename"), filename},
                                    {QStringLiteral("modification_time"), QDateTime::currentDateTimeUtc()},
                                    {QStringLiteral("pinned"), false}});
        ASSERT_TRUE(GMFileUtilities::writeDictionaryAsShadowCopyDictionary(registry));
    }
    bool victimIntact() const { return QFileInfo::exists(m_victim + QStringLiteral("/keep.txt")); }

    QTemporaryDir m_sandbox;
    QString m_app;
    QString m_victim;
    std::unique_ptr<WorkingAreaOverride> m_override;
};

} // namespace

TEST(FileUtilities, RandomNamesAndApplicationFolder)
{
    const QString name = GMFileUtilities::genRandStringLength(20);
    EXPECT_EQ(name.size(), 20);
    EXPECT_TRUE(GMFileUtilities::isShadowCopyFilename(name));
    EXPECT_NE(name, GMFileUtilities::genRandStringLength(20));
    EXPECT_EQ(GMFileUtilities::genRandStringLength(0), QString());
    EXPECT_EQ(GMFileUtilities::genRandStringLength(-3), QString());
    for (const char* bad : {"", "cache", "files", "abcdefghij0123456789x", "../abcdefghij0123456",
                            "abcdefghij/123456789", "abcdefghij.123456789", "abcdefghij 123456789"})
        EXPECT_FALSE(GMFileUtilities::isShadowCopyFilename(QString::fromUtf8(bad))) << bad;

    QTemporaryDir dir;
    QFile blocker(dir.path() + QStringLiteral("/blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    WorkingAreaOverride blocked(dir.path() + QStringLiteral("/blocked/app"));
    pf::LogCapture log;
    EXPECT_EQ(GMFileUtilities::applicationSupportDirectory(), QString());
    EXPECT_TRUE(
        log.contains(QStringLiteral("Warning: Unable to find or create application support directory:\n")));
    EXPECT_TRUE(GMFileUtilities::handleURLAsShadowCopy(QUrl::fromLocalFile(QStringLiteral("/photos/a.jpg")))
                    .isEmpty());
    WorkingAreaOverride::set(dir.path() + QStringLiteral("/app"));
    EXPECT_EQ(GMFileUtilities::applicationSupportDirectory(), dir.path() + QStringLiteral("/app"));
    EXPECT_TRUE(QFileInfo(dir.path() + QStringLiteral("/app")).isDir());

    QString error = QStringLiteral("untouched");
    const QString made = GMFileUtilities::findOrCreateDirectory(
        QStandardPaths::TempLocation, QStringLiteral("glimora-find-or-create"), &error);
    EXPECT_TRUE(QFileInfo(made).isDir());
    EXPECT_TRUE(error.isEmpty());
    QDir(made).removeRecursively();
}

TEST_F(ShadowCopies, TheSameImageKeepsItsFolderAndOnlyMovesItsTime)
{
    const QUrl photo = QUrl::fromLocalFile(QStringLiteral("/photos/holiday one.jpg"));
    const QUrl first = GMFileUtilities::handleURLAsShadowCopy(photo);
    ASSERT_FALSE(first.isEmpty());
    const QString filename = QFileInfo(first.toLocalFile()).fileName();
    EXPECT_EQ(QFileInfo(first.toLocalFile()).path(), m_app);
    EXPECT_TRUE(GMFileUtilities::isShadowCopyFilename(filename));
    EXPECT_FALSE(QFileInfo::exists(first.toLocalFile())); // the document writes it later

    const QVariantMap created = entry(QStringLiteral("/photos/holiday one.jpg"));
    EXPECT_EQ(created.value(QStringLiteral("filename")).toString(), filename);
    EXPECT_EQ(created.value(QStringLiteral("pinned")), QVariant(false));
    const QDateTime createdAt = created.value(QStringLiteral("modification_time")).toDateTime();

    QThread::msleep(5);
    EXPECT_EQ(GMFileUtilities::handleURLAsShadowCopy(photo), first);
    const QVariantMap again = entry(QStringLiteral("/photos/holiday one.jpg"));
    EXPECT_EQ(again.value(QStringLiteral("filename")).toString(), filename);
    EXPECT_GT(again.value(QStringLiteral("modification_time")).toDateTime(), createdAt);

    const QUrl other =
        GMFileUtilities::handleURLAsShadowCopy(QUrl::fromLocalFile(QStringLiteral("/photos/two.jpg")));
    EXPECT_NE(other, first);
    EXPECT_EQ(GMFileUtilities::shadowCopyDictionary().size(), 2);
    // The registry lives in the application's folder, beside (not in) "cache", as an XML property list.
    QFile registry(m_app + QStringLiteral("/files"));
    ASSERT_TRUE(registry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(registry.readAll().startsWith("<?xml"));
}

TEST_F(ShadowCopies, PinningRemovingAndPreviews)
{
    const QUrl folder =
        GMFileUtilities::handleURLAsShadowCopy(QUrl::fromLocalFile(QStringLiteral("/p/a.png")));
    ASSERT_TRUE(QDir().mkpath(folder.toLocalFile()));
    QImage preview(6, 4, QImage::Format_RGB32);
    preview.fill(Qt::red);
    ASSERT_TRUE(preview.save(folder.toLocalFile() + QStringLiteral("/preview.jpg")));
    EXPECT_EQ(
        GMFileUtilities::previewImageForShadowCopyWithFilename(QFileInfo(folder.toLocalFile()).fileName())
            .size(),
        QSize(6, 4));

    GMFileUtilities::setPinned(true, QStringLiteral("/p/a.png"));
    EXPECT_EQ(entry(QStringLiteral("/p/a.png")).value(QStringLiteral("pinned")), QVariant(true));

    // An unknown path changes nothing: the registry file is not even written.
    const QDateTime written = QFileInfo(m_app + QStringLiteral("/files")).lastModified();
    QThread::msleep(20);
    GMFileUtilities::setPinned(true, QStringLiteral("/p/unknown.png"));
    EXPECT_EQ(QFileInfo(m_app + QStringLiteral("/files")).lastModified(), written);
    EXPECT_FALSE(GMFileUtilities::shadowCopyDictionary().contains(QStringLiteral("/p/unknown.png")));

    GMFileUtilities::removeShadowCopyWithPath(QStringLiteral("/p/a.png"));
    EXPECT_FALSE(QFileInfo::exists(folder.toLocalFile()));
    EXPECT_TRUE(GMFileUtilities::shadowCopyDictionary().isEmpty());

    // An unknown path still writes the registry, without that key.
    writeEntry(QStringLiteral("/p/b.png"), GMFileUtilities::genRandStringLength(20));
    QFile::remove(m_app + QStringLiteral("/files"));
    GMFileUtilities::removeShadowCopyWithPath(QStringLiteral("/p/b.png"));
    EXPECT_TRUE(QFileInfo::exists(m_app + QStringLiteral("/files")));
    EXPECT_TRUE(GMFileUtilities::shadowCopyDictionary().isEmpty());
}

TEST_F(ShadowCopies, HostileFilenamesNeverReachOutsideTheFolder)
{
    const QString cache = m_app + QStringLiteral("/cache");
    ASSERT_TRUE(QDir().mkpath(cache));
    const QVariant hostile[] = {QStringLiteral("../victim"),
                                m_victim,
                                QStringLiteral("cache"),
                                QStringLiteral(""),
                                QStringLiteral("."),
                                QVariant(42),
                                QVariantMap{{QStringLiteral("x"), 1}},
                                QStringLiteral("abcdefghij/../../victim")};
    for (const QVariant& filename : hostile) {
        SCOPED_TRACE(filename.toString().toStdString());
        writeEntry(QStringLiteral("/p/evil.jpg"), filename);
        pf::LogCapture log;
        GMFileUtilities::setPinned(true, QStringLiteral("/p/evil.jpg"));
        EXPECT_NE(entry(QStringLiteral("/p/evil.jpg")).value(QStringLiteral("pinned")), QVariant(true));
        EXPECT_TRUE(GMFileUtilities::previewImageForShadowCopyWithFilename(filename.toString()).isNull());
        GMFileUtilities::removeShadowCopyWithPath(QStringLiteral("/p/evil.jpg"));
        EXPECT_TRUE(log.contains(QStringLiteral("names no valid folder")));
        EXPECT_TRUE(victimIntact());
        EXPECT_TRUE(QFileInfo(cache).isDir());
        EXPECT_TRUE(QFileInfo::exists(m_app + QStringLiteral("/files")));
        EXPECT_FALSE(GMFileUtilities::shadowCopyDictionary().contains(QStringLiteral("/p/evil.jpg")));

        // Handling the image replaces the entry by a fresh folder inside the application's folder.
        writeEntry(QStringLiteral("/p/evil.jpg"), filename);
        const QUrl url =
            GMFileUtilities::handleURLAsShadowCopy(QUrl::fromLocalFile(QStringLiteral("/p/evil.jpg")));
        EXPECT_EQ(QFileInfo(url.toLocalFile()).path(), m_app);
        EXPECT_TRUE(GMFileUtilities::isShadowCopyFilename(QFileInfo(url.toLocalFile()).fileName()));
        EXPECT_EQ(entry(QStringLiteral("/p/evil.jpg")).value(QStringLiteral("filename")).toString(),
                  QFileInfo(url.toLocalFile()).fileName());
        GMFileUtilities::removeShadowCopyWithPath(QStringLiteral("/p/evil.jpg"));
    }

    // A damaged registry reads as empty and the next change writes a fresh one.
    QFile damaged(m_app + QStringLiteral("/files"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("<?xml version=\"1.0\"?><plist><dict><key>");
    damaged.close();
    pf::LogCapture log;
    EXPECT_TRUE(GMFileUtilities::shadowCopyDictionary().isEmpty());
    GMFileUtilities::handleURLAsShadowCopy(QUrl::fromLocalFile(QStringLiteral("/p/new.jpg")));
    EXPECT_EQ(GMFileUtilities::shadowCopyDictionary().keys(), QStringList{QStringLiteral("/p/new.jpg")});
}

TEST_F(ShadowCopies, NoFolderIsHandedOutWhenTheRegistryCannotBeWritten)
{
    GMFileUtilities::applicationSupportDirectory();
    ASSERT_TRUE(QDir().mkpath(m_app + QStringLiteral("/files"))); // where the registry file should be
    pf::LogCapture log;
    EXPECT_TRUE(
        GMFileUtilities::handleURLAsShadowCopy(QUrl::fromLocalFile(QStringLiteral("/p/new.png"))).isEmpty());
    EXPECT_TRUE(log.contains(QStringLiteral("Error: No shadow copy can be made for \"/p/new.png\"")));
}

TEST_F(ShadowCopies, ADamagedRegistryIsKeptAsideNotOverwrittenAndExtraValuesMerge)
{
    ASSERT_TRUE(QDir().mkpath(m_app));
    QFile damaged(m_app + QStringLiteral("/files"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("<?xml version=\"1.0\"?><plist><dict><key>/a.jpg</key><dict><key>filen");
    damaged.close();
    pf::LogCapture log;
    const QUrl folder = GMFileUtilities::handleURLAsShadowCopy(QUrl::fromLocalFile(QStringLiteral("/b.jpg")));
    EXPECT_FALSE(folder.isEmpty());
    QFile kept(m_app + QStringLiteral("/files.damaged"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly)) << "the unreadable registry is kept for repair";
    EXPECT_TRUE(kept.readAll().contains("/a.jpg"));
    EXPECT_EQ(GMFileUtilities::shadowCopyDictionary().keys(), QStringList{"/b.jpg"});

    EXPECT_TRUE(GMFileUtilities::setShadowCopyValues(
        "/b.jpg", {{"file_size", 12}, {"filename", "outsideTheRegistry00"}}));
    EXPECT_EQ(entry("/b.jpg").value("file_size").toInt(), 12);
    EXPECT_EQ(entry("/b.jpg").value("filename").toString(), folder.fileName());
    EXPECT_FALSE(GMFileUtilities::setShadowCopyValues("/unknown.jpg", {{"file_size", 1}}));
}
