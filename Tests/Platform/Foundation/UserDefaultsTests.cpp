#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/Rect.h"
#include "Platform/Foundation/UserDefaults.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using pf::UserDefaults;

namespace {

class UserDefaultsTest : public ::testing::Test
{
protected:
    QString file() const { return m_dir.path() + QStringLiteral("/prefs/defaults.conf"); }
    QByteArray fileContents() const
    {
        QFile f(file());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QTemporaryDir m_dir;
};

void expectSameTypeAndValue(const QVariant& actual, const QVariant& expected)
{
    EXPECT_EQ(actual.metaType(), expected.metaType()) << actual.typeName() << " vs " << expected.typeName();
    EXPECT_EQ(actual, expected);
}

} // namespace

TEST_F(UserDefaultsTest, ValuesReadBackWithTheirTypes)
{
    const QDateTime date(QDate(2024, 2, 29), QTime(13, 14, 15, 678), QTimeZone::utc());
    const QVariantMap nested{
        {QStringLiteral("list"), QVariantList{qint64(1), 2.5, QStringLiteral("three"), false}},
        {QStringLiteral("inner"), QVariantMap{{QStringLiteral("data"), QByteArray("\0\1\2", 3)}}}};
    const QVariantMap values{
        {QStringLiteral("string"), QStringLiteral("Grüße, \"quoted\" = ; # [x]")},
        {QStringLiteral("integer"), qint64(9007199254740993)}, // 2^53 + 1: not a double
        {QStringLiteral("smallInteger"), qint64(7)},
        {QStringLiteral("real"), 0.1},
        {QStringLiteral("wholeReal"), 2.0},
        {QStringLiteral("bool"), true},
        {QStringLiteral("stringThatLooksLikeANumber"), QStringLiteral("42")},
        {QStringLiteral("date"), date},
        {QStringLiteral("data"), QByteArray("\0binary\xff", 8)},
        {QStringLiteral("empty list"), QVariantList()},
        {QStringLiteral("nested"), nested},
        // Keys the settings file would otherwise read as groups or mangle.
        {QStringLiteral("group/key"), 1.5},
        {QStringLiteral("back\\slash"), 1.5},
        {QStringLiteral("%41 ünï =;"), 1.5},
        {QStringLiteral("General"), 1.5},
    };
    {
        UserDefaults defaults(file());
        for (auto it = values.begin(); it != values.end(); ++it)
            defaults.setValue(it.key(), it.value());
        ASSERT_TRUE(defaults.synchronize());
    }
    UserDefaults reread(file());
    EXPECT_EQ(reread.dictionaryRepresentation().keys(), values.keys());
    for (auto it = values.begin(); it != values.end(); ++it) {
        SCOPED_TRACE(it.key().toStdString());
        expectSameTypeAndValue(reread.value(it.key()), it.value());
    }
    // Other integer types, float and string lists are stored in their property-list form.
    reread.setValue(QStringLiteral("int"), 5);
    reread.setValue(QStringLiteral("float"), 0.5f);
    reread.setValue(QStringLiteral("strings"), QStringList{QStringLiteral("a"), QStringLiteral("b")});
    expectSameTypeAndValue(reread.value(QStringLiteral("int")), QVariant(qint64(5)));
    expectSameTypeAndValue(reread.value(QStringLiteral("float")), QVariant(0.5));
    expectSameTypeAndValue(reread.value(QStringLiteral("strings")),
                           QVariant(QVariantList{QStringLiteral("a"), QStringLiteral("b")}));
}

TEST_F(UserDefaultsTest, RegisteredDefaultsAreALayerThatIsNeverSaved)
{
    {
        UserDefaults defaults(file());
        defaults.registerDefaults(
            {{QStringLiteral("size"), 10}, {QStringLiteral("name"), QStringLiteral("default")}});
        EXPECT_EQ(defaults.integerForKey(QStringLiteral("size")), 10);
        defaults.setInteger(QStringLiteral("size"), 20);
        EXPECT_EQ(defaults.integerForKey(QStringLiteral("size")), 20);
        defaults.removeObject(QStringLiteral("size"));
        EXPECT_EQ(defaults.integerForKey(QStringLiteral("size")), 10);
        defaults.setInteger(QStringLiteral("size"), 30);
        ASSERT_TRUE(defaults.synchronize());
    }
    UserDefaults reread(file());
    EXPECT_EQ(reread.integerForKey(QStringLiteral("size")), 30);
    EXPECT_FALSE(reread.value(QStringLiteral("name")).isValid());
    EXPECT_FALSE(fileContents().contains("default"));
}

TEST_F(UserDefaultsTest, ClassicConversions)
{
    UserDefaults defaults(file());
    const auto set = [&](const QVariant& v) { defaults.setValue(QStringLiteral("k"), v); };
    const QString k = QStringLiteral("k");

    EXPECT_FALSE(defaults.boolForKey(k));
    EXPECT_EQ(defaults.integerForKey(k), 0);
    EXPECT_EQ(defaults.doubleForKey(k), 0.0);
    EXPECT_TRUE(defaults.stringForKey(k).isNull());
    EXPECT_TRUE(defaults.arrayForKey(k).isEmpty());
    EXPECT_TRUE(defaults.dictionaryForKey(k).isEmpty());

    for (const char* yes : {"YES", "yes", "true", "T", "1", "  +007", "-3", "Yup"}) {
        set(QString::fromLatin1(yes));
        EXPECT_TRUE(defaults.boolForKey(k)) << yes;
    }
    for (const char* no : {"NO", "false", "0", "000", "", "  ", "maybe", "-0"}) {
        set(QString::fromLatin1(no));
        EXPECT_FALSE(defaults.boolForKey(k)) << no;
    }
    set(2.5);
    EXPECT_TRUE(defaults.boolForKey(k));
    EXPECT_EQ(defaults.integerForKey(k), 2);
    EXPECT_EQ(defaults.stringForKey(k), QStringLiteral("2.5"));
    set(-2.9);
    EXPECT_EQ(defaults.integerForKey(k), -2);
    set(1e300);
    EXPECT_EQ(defaults.integerForKey(k), std::numeric_limits<qint64>::max());
    set(qint64(-12));
    EXPECT_EQ(defaults.doubleForKey(k), -12.0);
    EXPECT_EQ(defaults.stringForKey(k), QStringLiteral("-12"));
    set(true);
    EXPECT_EQ(defaults.integerForKey(k), 1);
    EXPECT_EQ(defaults.stringForKey(k), QStringLiteral("1"));
    set(QStringLiteral(" 3.75 "));
    EXPECT_EQ(defaults.doubleForKey(k), 3.75);
    EXPECT_EQ(defaults.integerForKey(k), 3);
    set(QStringLiteral("3,75")); // never read as 3 or 375
    EXPECT_EQ(defaults.doubleForKey(k), 0.0);
    EXPECT_EQ(defaults.integerForKey(k), 0);
    set(QStringLiteral("9223372036854775807"));
    EXPECT_EQ(defaults.integerForKey(k), std::numeric_limits<qint64>::max());
    set(QVariantList{1, 2});
    EXPECT_EQ(defaults.arrayForKey(k).size(), 2);
    EXPECT_TRUE(defaults.dictionaryForKey(k).isEmpty());
    EXPECT_TRUE(defaults.stringForKey(k).isEmpty());
    EXPECT_FALSE(defaults.boolForKey(k));
    set(QVariantMap{{QStringLiteral("a"), 1}});
    EXPECT_EQ(defaults.dictionaryForKey(k).value(QStringLiteral("a")), QVariant(qint64(1)));
    EXPECT_TRUE(defaults.arrayForKey(k).isEmpty());
}

TEST_F(UserDefaultsTest, RefusesValuesWithoutAPropertyListForm)
{
    pf::LogCapture capture;
    UserDefaults defaults(file());
    defaults.setInteger(QStringLiteral("k"), 1);
    defaults.setValue(QStringLiteral("k"), QVariant::fromValue(pf::Rect(1, 2, 3, 4)));
    defaults.setValue(QStringLiteral("k"), QVariantList{QVariant::fromValue(pf::Point(1, 2))});
    defaults.setValue(QStringLiteral("k"), QVariant(std::numeric_limits<quint64>::max()));
    defaults.setValue(QString(), 1);
    EXPECT_EQ(defaults.value(QStringLiteral("k")), QVariant(qint64(1)));
    EXPECT_EQ(capture.lines().size(), 4);
    EXPECT_TRUE(
        capture.contains(QStringLiteral("Warning: Refused a user default of type pf::Rect for \"k\"")));

    defaults.setValue(QStringLiteral("k"), QVariant()); // an invalid value removes
    EXPECT_FALSE(defaults.value(QStringLiteral("k")).isValid());
}

TEST_F(UserDefaultsTest, ObserversSeeEveryChangeOfTheEffectiveValue)
{
    UserDefaults defaults(file());
    std::vector<QVariant> seen;
    pf::ObserverToken token = defaults.observe(QStringLiteral("size"), [&](const QVariant& value) {
        // Called after the change: the new value is already readable.
        EXPECT_EQ(defaults.value(QStringLiteral("size")), value);
        seen.push_back(value);
    });
    pf::ObserverToken other =
        defaults.observe(QStringLiteral("other"), [&](const QVariant&) { ADD_FAILURE(); });

    defaults.registerDefaults({{QStringLiteral("size"), 10}});
    defaults.setInteger(QStringLiteral("size"), 20);
    defaults.setInteger(QStringLiteral("size"), 20); // unchanged: no call
    defaults.setDouble(QStringLiteral("size"), 20);  // a real is a different value
    defaults.removeObject(QStringLiteral("size"));   // back to the default
    defaults.setInteger(QStringLiteral("size"), 10); // same as the default: effective value unchanged
    defaults.removeObject(QStringLiteral("size"));
    defaults.registerDefaults({{QStringLiteral("size"), 11}});
    defaults.removeObject(QStringLiteral("absent"));
    ASSERT_EQ(seen.size(), 5u);
    expectSameTypeAndValue(seen[0], QVariant(qint64(10)));
    expectSameTypeAndValue(seen[1], QVariant(qint64(20)));
    expectSameTypeAndValue(seen[2], QVariant(20.0));
    expectSameTypeAndValue(seen[3], QVariant(qint64(10)));
    expectSameTypeAndValue(seen[4], QVariant(qint64(11)));

    // A callback may change other values and remove its own registration.
    pf::ObserverToken chained;
    chained = defaults.observe(QStringLiteral("a"), [&](const QVariant& value) {
        defaults.setValue(QStringLiteral("b"), value);
        chained.reset();
    });
    defaults.setInteger(QStringLiteral("a"), 1);
    defaults.setInteger(QStringLiteral("a"), 2);
    EXPECT_EQ(defaults.integerForKey(QStringLiteral("b")), 1);

    token.reset();
    defaults.setInteger(QStringLiteral("size"), 99);
    EXPECT_EQ(seen.size(), 5u);
}

TEST_F(UserDefaultsTest, WritesPromptlyAndOnDestruction)
{
    {
        UserDefaults defaults(file());
        defaults.setString(QStringLiteral("written"), QStringLiteral("by the event loop"));
        QCoreApplication::processEvents();
        EXPECT_TRUE(fileContents().contains("written"));
        defaults.setString(QStringLiteral("late"), QStringLiteral("by the destructor"));
    }
    UserDefaults reread(file());
    EXPECT_EQ(reread.stringForKey(QStringLiteral("late")), QStringLiteral("by the destructor"));
    // Only the settings file: no temporary or lock file left beside it.
    EXPECT_EQ(QDir(m_dir.path() + QStringLiteral("/prefs")).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("defaults.conf")});

    reread.removeObject(QStringLiteral("late"));
    reread.removeObject(QStringLiteral("written"));
    ASSERT_TRUE(reread.synchronize());
    EXPECT_TRUE(UserDefaults(file()).dictionaryRepresentation().isEmpty());
}

TEST_F(UserDefaultsTest, ReadsHandEditedAndDamagedFiles)
{
    QDir().mkpath(m_dir.path() + QStringLiteral("/prefs"));
    QFile f(file());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[General]\nplain=5\nbroken=@ByteArray(garbage)\nbrushSize=\"12.5\"\n");
    f.close();

    pf::LogCapture capture;
    UserDefaults defaults(file());
    EXPECT_EQ(defaults.integerForKey(QStringLiteral("plain")), 5);
    EXPECT_EQ(defaults.doubleForKey(QStringLiteral("brushSize")), 12.5);
    EXPECT_FALSE(defaults.value(QStringLiteral("broken")).isValid());
    EXPECT_TRUE(capture.contains(QStringLiteral("Ignored the unreadable user default \"broken\"")));
}

TEST_F(UserDefaultsTest, ReportsFilesThatCannotBeWritten)
{
    QFile blocker(m_dir.path() + QStringLiteral("/prefs"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
    blocker.close();
    pf::LogCapture capture;
    UserDefaults defaults(file());
    defaults.setBool(QStringLiteral("k"), true);
    EXPECT_FALSE(defaults.synchronize());
    EXPECT_TRUE(capture.contains(QStringLiteral("Error: Could not save the user defaults")));
    EXPECT_TRUE(defaults.boolForKey(QStringLiteral("k"))); // kept in memory

    defaults.setFileForTesting(m_dir.path() + QStringLiteral("/other.conf"));
    EXPECT_FALSE(defaults.value(QStringLiteral("k")).isValid());
    defaults.setBool(QStringLiteral("k"), true);
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_TRUE(UserDefaults(m_dir.path() + QStringLiteral("/other.conf")).boolForKey(QStringLiteral("k")));
}

TEST_F(UserDefaultsTest, FileLocation)
{
    const QByteArray previous = qgetenv("PF_USER_DEFAULTS_FILE");
    qputenv("PF_USER_DEFAULTS_FILE", file().toUtf8());
    EXPECT_EQ(UserDefaults::defaultFilePath(), file());
    qunsetenv("PF_USER_DEFAULTS_FILE");
    EXPECT_TRUE(UserDefaults::defaultFilePath().endsWith(QStringLiteral("/pf-tests/defaults.conf")));
    if (!previous.isNull())
        qputenv("PF_USER_DEFAULTS_FILE", previous);
}

TEST_F(UserDefaultsTest, ConcurrentUse)
{
    UserDefaults defaults(file());
    std::atomic<int> calls = 0;
    pf::ObserverToken token = defaults.observe(QStringLiteral("shared"), [&](const QVariant&) { ++calls; });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            const QString own = QStringLiteral("thread%1").arg(t);
            for (int i = 1; i <= 200; ++i) {
                defaults.setInteger(own, i);
                defaults.setInteger(QStringLiteral("shared"), t * 1000 + i);
                EXPECT_EQ(defaults.integerForKey(own), i);
                if (i % 50 == 0)
                    defaults.synchronize();
            }
        });
    // Registering and removing observers while values change.
    for (int i = 0; i < 100; ++i)
        pf::ObserverToken passing = defaults.observe(QStringLiteral("shared"), [](const QVariant&) {});
    for (auto& thread : threads)
        thread.join();
    EXPECT_GT(calls.load(), 0);
    ASSERT_TRUE(defaults.synchronize());
    UserDefaults reread(file());
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(reread.integerForKey(QStringLiteral("thread%1").arg(t)), 200);
    EXPECT_EQ(reread.integerForKey(QStringLiteral("shared")) % 1000, 200);
}
