#include "Classes/Framework/Toolkit/OVNegateValueTransformer.h"
#include "Classes/Framework/Toolkit/OVTempCleaner.h"
#include "Platform/Foundation/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

namespace {

// TMPDIR points at a fresh folder for each test; beside it lies a folder of the user's.
class TemporaryFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_oldTmp = qgetenv("TMPDIR");
        ASSERT_TRUE(QDir().mkpath(tmp()) && QDir().mkpath(user()));
        qputenv("TMPDIR", QFile::encodeName(tmp()));
    }
    void TearDown() override
    {
        if (m_oldTmp.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", m_oldTmp);
    }
    QString tmp() const { return m_base.filePath(QStringLiteral("tmp")); }
    QString user() const { return m_base.filePath(QStringLiteral("user")); }
    static bool write(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write("x") == 1;
    }

    QTemporaryDir m_base;
    QByteArray m_oldTmp;
};

TEST_F(TemporaryFiles, CopiesKeepTypeCounterBaseNameAndOptions)
{
    const QString source = user() + QStringLiteral("/ORV-T#004#Canvas#scale=2#tile.jpg");
    ASSERT_TRUE(QImage(4, 4, QImage::Format_RGB32).save(source, "JPEG"));
    OVTempCleaner cleaner;
    const QString first = cleaner.tempCopyURLFor(source);
    const QString second = cleaner.tempCopyURLFor(source, QStringLiteral("Linen"));
    EXPECT_EQ(QFileInfo(first).fileName(), "ORV-X#000#Canvas#scale=2#tile.jpg");
    EXPECT_EQ(QFileInfo(second).fileName(), "ORV-X#001#Linen#scale=2#tile.jpg");
    EXPECT_TRUE(QFileInfo::exists(first) && QFileInfo::exists(second));
    EXPECT_TRUE(first.startsWith(tmp() + u'/'));

    // A copy that fails answers nothing (no path naming no file), and the counter still moves on.
    pf::LogCapture log;
    EXPECT_EQ(cleaner.tempCopyURLFor(user() + QStringLiteral("/missing.png")), QString());
    EXPECT_TRUE(log.contains(QStringLiteral("Warning: Could not copy")));
    EXPECT_EQ(QFileInfo(cleaner.tempCopyURLFor(source)).fileName(), "ORV-X#003#Canvas#scale=2#tile.jpg");

    const QString relative = OVTempCleaner::tempCopyFor(source);
    EXPECT_EQ(relative.count(u'/'), 1);
    EXPECT_TRUE(QFileInfo::exists(tmp() + u'/' + relative)) << relative.toStdString();
    EXPECT_EQ(OVTempCleaner::tempCopyFor(user() + QStringLiteral("/missing.png")), QString());

    cleaner.flush();
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(first).absolutePath())) << "the emptied copy folder goes";
    const QString afterFlush = cleaner.tempCopyURLFor(source);
    EXPECT_TRUE(QFileInfo::exists(afterFlush)) << "a later copy gets a new folder";
    cleaner.flush();
    OVTempCleaner::sharedTempCleaner().flush();
    EXPECT_FALSE(QFileInfo::exists(tmp() + u'/' + relative));
}

TEST_F(TemporaryFiles, FlushTakesFilesAndTheirEmptiedFoldersButKeepsTheTemporaryFolder)
{
    OVTempCleaner cleaner;
    const QString named = cleaner.fileURLForName(QStringLiteral("a.png"));
    ASSERT_TRUE(named.startsWith(tmp() + u'/'));
    const QString folder = QFileInfo(named).absolutePath();
    const QString sibling = folder + QStringLiteral("/b.png");
    ASSERT_TRUE(write(named) && write(sibling));
    cleaner.addURL(sibling);
    cleaner.addURL(sibling); // twice is harmless
    const QString neverWritten = cleaner.fileURLForName(QStringLiteral("never.png"));
    const QString direct = OVTempCleaner::tempURLWithExtension(QStringLiteral("jpg"));
    ASSERT_EQ(QFileInfo(direct).absolutePath(), tmp());
    ASSERT_TRUE(write(direct));
    cleaner.addFile(direct);
    EXPECT_NE(QFileInfo(neverWritten).absolutePath(), folder) << "a fresh folder per call";

    cleaner.flush();
    EXPECT_FALSE(QFileInfo::exists(named) || QFileInfo::exists(sibling) || QFileInfo::exists(direct));
    EXPECT_FALSE(QFileInfo::exists(folder));
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(neverWritten).absolutePath()));
    EXPECT_TRUE(QFileInfo(tmp()).isDir()) << "the emptied temporary folder itself stays";
    EXPECT_TRUE(cleaner.registeredURLs().isEmpty());
}

TEST_F(TemporaryFiles, PathsOutsideTheTemporaryFolderAreRefused)
{
    ASSERT_TRUE(write(user() + QStringLiteral("/photo.jpg")));
    ASSERT_TRUE(QFile::link(user(), tmp() + QStringLiteral("/link")));
    OVTempCleaner cleaner;
    struct Case
    {
        QString path;
        bool registered;
    };
    const Case cases[] = {
        {user() + QStringLiteral("/photo.jpg"), false},
        {user(), false},
        {tmp(), false},
        {tmp() + QStringLiteral("/"), false},
        {tmp() + QStringLiteral("/../user/photo.jpg"), false},
        {tmp() + QStringLiteral("/link/photo.jpg"), false}, // through a link to the user's folder
        {tmp() + QStringLiteral("/link"), true},            // the link itself
        {QStringLiteral("relative.png"), false},
    };
    for (const Case& c : cases) {
        pf::LogCapture log;
        const qsizetype before = cleaner.registeredURLs().size();
        cleaner.addURL(c.path);
        EXPECT_EQ(cleaner.registeredURLs().size() - before, c.registered ? 1 : 0) << c.path.toStdString();
        EXPECT_EQ(log.contains(QStringLiteral("Warning: ")), !c.registered) << c.path.toStdString();
    }
    cleaner.flush();
    EXPECT_TRUE(QFileInfo::exists(user() + QStringLiteral("/photo.jpg")));
    EXPECT_FALSE(QFileInfo(tmp() + QStringLiteral("/link")).isSymLink()) << "the link went, not its target";
    EXPECT_TRUE(QFileInfo(tmp()).isDir());
}

TEST_F(TemporaryFiles, NamesThatLeadOutOfTheirFolderGiveNoPathAndLeaveNoFolder)
{
    OVTempCleaner cleaner;
    const auto entries = [this] { return QDir(tmp()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot); };
    const QStringList before = entries();
    const struct
    {
        QString name;
        bool given;
    } cases[] = {
        {QStringLiteral("../../x"), false},   {QStringLiteral(".."), false},
        {QStringLiteral("."), false},         {QString(), false},
        {QStringLiteral("a/../../x"), false}, {QStringLiteral("/x"), false},
        {QStringLiteral("a.png"), true},      {QStringLiteral("a/../b"), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        pf::LogCapture log;
        const QString path = cleaner.fileURLForName(c.name);
        EXPECT_EQ(!path.isEmpty(), c.given);
        EXPECT_EQ(log.contains(QStringLiteral("Warning: ")), !c.given);
        if (c.given) {
            EXPECT_TRUE(path.startsWith(tmp() + u'/'));
            EXPECT_TRUE(cleaner.registeredURLs().contains(path));
        }
    }
    EXPECT_EQ(cleaner.registeredURLs().size(), 2);
    cleaner.flush();
    EXPECT_EQ(entries(), before) << "no folder is left behind";
}

TEST_F(TemporaryFiles, AFolderThatCannotBeMadeGivesNoPath)
{
    // A file where the temporary folder should be: nothing can be made in it.
    const QString blocked = user() + QStringLiteral("/not-a-folder");
    ASSERT_TRUE(write(blocked));
    OVTempCleaner cleaner;
    qputenv("TMPDIR", QFile::encodeName(blocked));
    pf::LogCapture log;
    EXPECT_EQ(cleaner.fileURLForName(QStringLiteral("a.png")), QString());
    EXPECT_TRUE(log.contains(QStringLiteral("Warning: Could not create folder")));
    EXPECT_TRUE(cleaner.registeredURLs().isEmpty());
    EXPECT_EQ(OVTempCleaner().tempCopyURLFor(blocked), QString()) << "no folder for copies either";
}

// TMPDIR naming a folder that is missing leaves no temporary folder (the system answers an empty path), and
// the file system's root is none either (every absolute path lies in it): nothing is handed out at the
// root, no path of the user's is registered, and a flush deletes none of the user's files or folders.
TEST_F(TemporaryFiles, AMissingTemporaryFolderHandsOutRegistersAndDeletesNothing)
{
    const QString photo = user() + QStringLiteral("/photo.jpg");
    ASSERT_TRUE(write(photo));
    for (const QString& unusable : {m_base.filePath(QStringLiteral("missing")), QStringLiteral("/")}) {
        SCOPED_TRACE(unusable.toStdString());
        OVTempCleaner cleaner;
        qputenv("TMPDIR", QFile::encodeName(unusable));
        pf::LogCapture log;
        for (const QString& path : {photo, user(), QStringLiteral("/"), QStringLiteral("/photo.jpg")}) {
            SCOPED_TRACE(path.toStdString());
            EXPECT_FALSE(cleaner.addURL(path));
        }
        EXPECT_EQ(cleaner.fileURLForName(QStringLiteral("a.png")), QString());
        EXPECT_EQ(OVTempCleaner::tempURLWithExtension(QStringLiteral("png")), QString());
        EXPECT_EQ(cleaner.tempCopyURLFor(photo), QString());
        EXPECT_TRUE(cleaner.registeredURLs().isEmpty());
        EXPECT_TRUE(log.contains(QStringLiteral("Warning: Could not create folder")));

        // Registered while the folder was there, flushed once it has gone: kept.
        qputenv("TMPDIR", QFile::encodeName(tmp()));
        const QString named = cleaner.fileURLForName(QStringLiteral("b.png"));
        ASSERT_FALSE(named.isEmpty());
        ASSERT_TRUE(write(named));
        qputenv("TMPDIR", QFile::encodeName(unusable));
        cleaner.flush();
        EXPECT_TRUE(QFileInfo::exists(photo));
        EXPECT_TRUE(QFileInfo::exists(named));
        qputenv("TMPDIR", QFile::encodeName(tmp()));
    }
}

TEST(NegateValueTransformer, NegatesBothWays)
{
    const OVNegateValueTransformer transformer;
    EXPECT_TRUE(OVNegateValueTransformer::allowsReverseTransformation());
    EXPECT_EQ(transformer.transformedValue(2.5).toDouble(), -2.5);
    EXPECT_EQ(transformer.reverseTransformedValue(2.5).toDouble(), -2.5);
    EXPECT_EQ(transformer.transformedValue(-4).toDouble(), 4);
    const double missing = transformer.transformedValue(QVariant()).toDouble();
    EXPECT_TRUE(missing == 0 && std::signbit(missing));
}

} // namespace
