#include "Platform/Foundation/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using pf::FileSystem;

namespace {

class FileSystemTest : public ::testing::Test
{
protected:
    QString path(const QString& relative) const { return m_dir.path() + u'/' + relative; }

    void write(const QString& relative, const QByteArray& data = "x")
    {
        QDir().mkpath(QFileInfo(path(relative)).absolutePath());
        QFile file(path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
    }
    QByteArray read(const QString& relative) const
    {
        QFile file(path(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    bool exists(const QString& relative) const
    {
        return QFileInfo(path(relative)).exists() || QFileInfo(path(relative)).isSymLink();
    }
    QStringList entries(const QString& relative = {}) const
    {
        return QDir(path(relative))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(FileSystemTest, ApplicationSupportFolderChoiceAndCreation)
{
    const QByteArray previousData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", path(QStringLiteral("data")).toUtf8());
    EXPECT_EQ(FileSystem::applicationSupportDirectory(), path(QStringLiteral("data/pf-tests")));
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("data/pf-tests"))).isDir());

    qputenv("PF_APPLICATION_SUPPORT_DIR", path(QStringLiteral("from-env/deep")).toUtf8());
    EXPECT_EQ(FileSystem::applicationSupportDirectory(), path(QStringLiteral("from-env/deep")));
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("from-env/deep"))).isDir());

    FileSystem::setApplicationSupportDirectoryForTesting(path(QStringLiteral("for-testing")));
    EXPECT_EQ(FileSystem::applicationSupportDirectory(), path(QStringLiteral("for-testing")));
    FileSystem::setApplicationSupportDirectoryForTesting({});
    EXPECT_EQ(FileSystem::applicationSupportDirectory(), path(QStringLiteral("from-env/deep")));

    qunsetenv("PF_APPLICATION_SUPPORT_DIR");
    if (previousData.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", previousData);
}

TEST_F(FileSystemTest, WritesFilesAtomically)
{
    QString error;
    ASSERT_TRUE(FileSystem::writeFileAtomically(path(QStringLiteral("a.txt")), "first", &error))
        << error.toStdString();
    EXPECT_EQ(read(QStringLiteral("a.txt")), "first");

    ::chmod(QFile::encodeName(path(QStringLiteral("a.txt"))).constData(), 0640);
    ASSERT_TRUE(FileSystem::writeFileAtomically(path(QStringLiteral("a.txt")), "second", &error));
    EXPECT_EQ(read(QStringLiteral("a.txt")), "second");
    struct stat info;
    ASSERT_EQ(::stat(QFile::encodeName(path(QStringLiteral("a.txt"))).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);

    // Through a link: the link stays a link, its target gets the data.
    write(QStringLiteral("real/target.txt"), "old");
    ASSERT_TRUE(QFile::link(path(QStringLiteral("real/target.txt")), path(QStringLiteral("link.txt"))));
    ASSERT_TRUE(FileSystem::writeFileAtomically(path(QStringLiteral("link.txt")), "through link", &error));
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("link.txt"))).isSymLink());
    EXPECT_EQ(read(QStringLiteral("real/target.txt")), "through link");

    EXPECT_EQ(entries(),
              (QStringList{QStringLiteral("a.txt"), QStringLiteral("link.txt"), QStringLiteral("real")}));
    EXPECT_EQ(entries(QStringLiteral("real")), QStringList{QStringLiteral("target.txt")});
}

TEST_F(FileSystemTest, FailedWriteLeavesEverythingAsItWas)
{
    QString error;
    write(QStringLiteral("folder/inside.txt"), "keep");
    EXPECT_FALSE(FileSystem::writeFileAtomically(path(QStringLiteral("folder")), "data", &error));
    EXPECT_TRUE(error.contains(path(QStringLiteral("folder")))) << error.toStdString();
    EXPECT_EQ(read(QStringLiteral("folder/inside.txt")), "keep");
    EXPECT_EQ(entries(), QStringList{QStringLiteral("folder")}); // no temporary file left behind

    EXPECT_FALSE(FileSystem::writeFileAtomically(path(QStringLiteral("missing/a.txt")), "data", &error));
    EXPECT_TRUE(error.contains(QStringLiteral("No such file"))) << error.toStdString();

    if (::geteuid() != 0) { // root writes anywhere
        write(QStringLiteral("locked/file.txt"), "old");
        ::chmod(QFile::encodeName(path(QStringLiteral("locked"))).constData(), 0555);
        EXPECT_FALSE(FileSystem::writeFileAtomically(path(QStringLiteral("locked/file.txt")), "new", &error));
        ::chmod(QFile::encodeName(path(QStringLiteral("locked"))).constData(), 0755);
        EXPECT_EQ(read(QStringLiteral("locked/file.txt")), "old");
        EXPECT_EQ(entries(QStringLiteral("locked")), QStringList{QStringLiteral("file.txt")});
    }
}

TEST_F(FileSystemTest, ReplacesFoldersByExchangeAndByRenamingAside)
{
    for (bool exchangeDisabled : {false, true}) {
        SCOPED_TRACE(exchangeDisabled ? "rename aside" : "exchange");
        FileSystem::setDirectoryExchangeDisabledForTesting(exchangeDisabled);
        write(QStringLiteral("store/old.txt"), "old");
        write(QStringLiteral("store/sub/deep.txt"), "old");
        write(QStringLiteral(".store.new/new.txt"), "new");

        QString error;
        ASSERT_TRUE(FileSystem::replaceDirectoryAtomically(path(QStringLiteral("store")),
                                                           path(QStringLiteral(".store.new")), &error))
            << error.toStdString();
        EXPECT_EQ(entries(QStringLiteral("store")), QStringList{QStringLiteral("new.txt")});
        EXPECT_EQ(entries(), QStringList{QStringLiteral("store")}); // old folder and leftovers are gone
        ASSERT_TRUE(QDir(path(QStringLiteral("store"))).removeRecursively());
    }
    FileSystem::setDirectoryExchangeDisabledForTesting(false);
}

TEST_F(FileSystemTest, ReplacingFolderRefusesBadArguments)
{
    QString error;
    write(QStringLiteral("new/n.txt"), "new");
    EXPECT_TRUE(FileSystem::replaceDirectoryAtomically(path(QStringLiteral("fresh")),
                                                       path(QStringLiteral("new")), &error));
    EXPECT_EQ(read(QStringLiteral("fresh/n.txt")), "new");
    EXPECT_FALSE(exists(QStringLiteral("new")));

    write(QStringLiteral("store/keep.txt"), "keep");
    EXPECT_FALSE(FileSystem::replaceDirectoryAtomically(path(QStringLiteral("store")),
                                                        path(QStringLiteral("nothing")), &error));
    EXPECT_FALSE(FileSystem::replaceDirectoryAtomically(path(QStringLiteral("store")),
                                                        path(QStringLiteral("store/keep.txt")), &error));
    EXPECT_FALSE(FileSystem::replaceDirectoryAtomically(path(QStringLiteral("store")),
                                                        path(QStringLiteral("store")), &error));
    write(QStringLiteral("file"), "a file");
    EXPECT_FALSE(FileSystem::replaceDirectoryAtomically(path(QStringLiteral("file")),
                                                        path(QStringLiteral("fresh")), &error));
    EXPECT_EQ(read(QStringLiteral("store/keep.txt")), "keep");
    EXPECT_EQ(read(QStringLiteral("file")), "a file");
    EXPECT_EQ(read(QStringLiteral("fresh/n.txt")), "new");
}

TEST_F(FileSystemTest, RemovesOnlyInsideTheRootAndNeverFollowsLinks)
{
    write(QStringLiteral("outside/precious.txt"), "precious");
    write(QStringLiteral("root/cache/a/b.txt"));
    write(QStringLiteral("root/cache/c.txt"));
    const QString root = path(QStringLiteral("root"));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("outside")), path(QStringLiteral("root/cache/a/out-link"))));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("outside")), path(QStringLiteral("root/escape"))));
    ASSERT_TRUE(QFile::link(root, path(QStringLiteral("root-link"))));

    QString error;
    for (const QString& refused :
         {root, root + u'/', root + QStringLiteral("/."), root + QStringLiteral("/cache/.."),
          root + QStringLiteral("/../outside"), root + QStringLiteral("/../outside/precious.txt"),
          root + QStringLiteral("/escape/precious.txt"), path(QStringLiteral("outside")),
          QStringLiteral("/")}) {
        EXPECT_FALSE(FileSystem::removeRecursively(refused, root, &error)) << refused.toStdString();
        EXPECT_TRUE(error.startsWith(QStringLiteral("Refused to delete"))) << error.toStdString();
    }
    EXPECT_FALSE(FileSystem::removeRecursively(path(QStringLiteral("root/cache")),
                                               path(QStringLiteral("nowhere")), &error));
    EXPECT_EQ(read(QStringLiteral("outside/precious.txt")), "precious");
    EXPECT_TRUE(exists(QStringLiteral("root/cache/c.txt")));

    // A tree holding a link that leads out: the link goes, the place it leads to stays.
    ASSERT_TRUE(FileSystem::removeRecursively(root + QStringLiteral("/cache"), root, &error))
        << error.toStdString();
    EXPECT_FALSE(exists(QStringLiteral("root/cache")));
    EXPECT_EQ(read(QStringLiteral("outside/precious.txt")), "precious");

    // A link itself, reached through a root given as a link.
    ASSERT_TRUE(FileSystem::removeRecursively(path(QStringLiteral("root-link/escape")),
                                              path(QStringLiteral("root-link")), &error));
    EXPECT_FALSE(exists(QStringLiteral("root/escape")));
    EXPECT_EQ(read(QStringLiteral("outside/precious.txt")), "precious");

    EXPECT_TRUE(FileSystem::removeRecursively(root + QStringLiteral("/never/was"), root, &error));
    EXPECT_FALSE(FileSystem::removeRecursively(root + QStringLiteral("/../never"), root, &error));
    EXPECT_EQ(entries(QStringLiteral("root")), QStringList());
}

TEST_F(FileSystemTest, CreatesFoldersWithParents)
{
    QString error;
    EXPECT_TRUE(FileSystem::createDirectory(path(QStringLiteral("a/b/c")), &error));
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("a/b/c"))).isDir());
    EXPECT_TRUE(FileSystem::createDirectory(path(QStringLiteral("a/b/c")), &error));
    write(QStringLiteral("file"));
    EXPECT_FALSE(FileSystem::createDirectory(path(QStringLiteral("file")), &error));
    EXPECT_FALSE(FileSystem::createDirectory(path(QStringLiteral("file/sub")), &error));
    EXPECT_TRUE(error.contains(path(QStringLiteral("file/sub")))) << error.toStdString();
}
