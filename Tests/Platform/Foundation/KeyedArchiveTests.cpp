#include "Platform/Foundation/ArchiveClassRegistry.h"
#include "Platform/Foundation/ArchiveUid.h"
#include "Platform/Foundation/ArchivedObject.h"
#include "Platform/Foundation/KeyedArchiver.h"
#include "Platform/Foundation/KeyedUnarchiver.h"
#include "Platform/Foundation/PropertyList.h"
#include "ValueComparison.h"

#include <QDateTime>
#include <QPointF>
#include <gtest/gtest.h>
#include <limits>

using namespace pf;

namespace {

struct TestBrush
{
    QString name;
    double radius = 0;
    qint32 steps = 0;
    qint64 seed = 0;
    bool soft = false;
    QVariant tags;
    std::shared_ptr<TestBrush> parent;
};

} // namespace

Q_DECLARE_METATYPE(std::shared_ptr<TestBrush>)

namespace {

using BrushPtr = std::shared_ptr<TestBrush>;
const QString brushClass = QStringLiteral("GMTestBrush");

QVariant uid(quint64 value)
{
    return QVariant::fromValue(ArchiveUid{value});
}

QVariantMap classRecord(const QString& name)
{
    return {{"$classname", name}, {"$classes", QVariantList{name, "NSObject"}}};
}

// An archive made by hand: `objects` follow the nil object, the root refers to object 1.
QByteArray handMadeArchive(const QVariantList& objects, const QVariant& root = uid(1))
{
    QVariantMap archive{{"$archiver", "NSKeyedArchiver"},
                        {"$version", qint64(100000)},
                        {"$top", QVariantMap{{"root", root}}},
                        {"$objects", QVariantList{"$null"} + objects}};
    return *PropertyList::toData(archive, PropertyList::Format::Binary);
}

void expectRefused(const QByteArray& data, const char* fragment)
{
    QString error;
    EXPECT_FALSE(KeyedUnarchiver::unarchive(data, &error));
    EXPECT_TRUE(error.contains(QString::fromUtf8(fragment))) << error.toStdString();
}

class KeyedArchive : public ::testing::Test
{
protected:
    void SetUp() override { registerBrush(); }
    void TearDown() override { ArchiveClassRegistry::unregisterClass(brushClass); }

    static void registerBrush()
    {
        ArchiveClassRegistry::registerClass<BrushPtr>(
            brushClass, {"GMBrushBase", "NSObject"},
            [](const BrushPtr& brush, KeyedArchiver& archiver) {
                archiver.encodeObject("name", brush->name);
                archiver.encodeDouble("radius", brush->radius);
                archiver.encodeInt32("steps", brush->steps);
                archiver.encodeInt64("seed", brush->seed);
                archiver.encodeBool("soft", brush->soft);
                archiver.encodeObject("$tags", brush->tags);
                archiver.encodeObject("parent", QVariant::fromValue(brush->parent));
            },
            [](KeyedUnarchiver& unarchiver) {
                auto brush = std::make_shared<TestBrush>();
                brush->name = unarchiver.decodeObjectOfType<QString>("name");
                brush->radius = unarchiver.decodeDouble("radius");
                brush->steps = unarchiver.decodeInt32("steps");
                brush->seed = unarchiver.decodeInt64("seed");
                brush->soft = unarchiver.decodeBool("soft");
                brush->tags = unarchiver.decodeObject("$tags");
                if (unarchiver.containsValueForKey("parent"))
                    brush->parent = unarchiver.decodeObjectOfType<BrushPtr>("parent");
                if (brush->radius < 0)
                    unarchiver.failWithError("A brush radius cannot be negative.");
                return brush;
            });
    }
};

} // namespace

TEST_F(KeyedArchive, RoundTripsEveryValueInTheStandardLayout)
{
    const QVariantMap roots{
        {"root", QVariantMap{{"text", QStringLiteral("Grüße")},
                             {"same text", QStringLiteral("Grüße")},
                             {"integers", QVariantList{qint64(-3), std::numeric_limits<qint64>::max()}},
                             {"real", 2.0},
                             {"flag", true},
                             {"data", QByteArray("\x00\x01", 2)},
                             {"date", QDateTime::fromMSecsSinceEpoch(1700000000123, Qt::UTC)},
                             {"nil in list", QVariantList{qint64(1), QVariant(), qint64(3)}},
                             {"empty", QVariantList{QVariantList(), QVariantMap()}},
                             {"nested", QVariantMap{{"list", QVariantList{QVariantMap{{"k", "v"}}}}}}}},
        {"second root", QStringLiteral("alone")},
    };
    QString error;
    const auto data = KeyedArchiver::archivedData(roots, &error);
    ASSERT_TRUE(data) << error.toStdString();
    const auto read = KeyedUnarchiver::unarchive(*data, &error);
    ASSERT_TRUE(read) << error.toStdString();
    expectSameValue(roots, *read);

    // The layout itself, as other readers of these files expect it.
    const QVariantMap archive = PropertyList::fromData(*data)->toMap();
    EXPECT_TRUE(data->startsWith("bplist00"));
    EXPECT_EQ(archive.value("$archiver"), QVariant("NSKeyedArchiver"));
    EXPECT_EQ(archive.value("$version"), QVariant(qint64(100000)));
    const QVariantList objects = archive.value("$objects").toList();
    EXPECT_EQ(objects.value(0), QVariant("$null"));
    const QVariantMap top = archive.value("$top").toMap();
    EXPECT_EQ(objects.value(int(top.value("second root").value<ArchiveUid>().value)), QVariant("alone"));
    const QVariantMap dictionary = objects.value(int(top.value("root").value<ArchiveUid>().value)).toMap();
    EXPECT_EQ(dictionary.value("NS.keys").toList().size(), 10);
    const QVariantMap dictionaryClass =
        objects.value(int(dictionary.value("$class").value<ArchiveUid>().value)).toMap();
    EXPECT_EQ(dictionaryClass.value("$classname"), QVariant("NSDictionary"));
    EXPECT_EQ(dictionaryClass.value("$classes"), QVariant(QVariantList{"NSDictionary", "NSObject"}));
    EXPECT_EQ(objects.count(QVariant("Grüße")), 1);
    bool sawDate = false;
    for (const QVariant& object : objects) {
        if (object.toMap().contains("NS.time")) {
            sawDate = true;
            EXPECT_EQ(object.toMap().value("NS.time").metaType().id(), QMetaType::Double);
            EXPECT_NEAR(object.toMap().value("NS.time").toDouble(), 721692800.123, 1e-6);
        }
    }
    EXPECT_TRUE(sawDate);
}

TEST_F(KeyedArchive, ReadsMutableVariantsAndWrappedStrings)
{
    const QByteArray data = handMadeArchive({
        QVariantMap{
            {"NS.keys", QVariantList{uid(3)}}, {"NS.objects", QVariantList{uid(4)}}, {"$class", uid(2)}},
        classRecord("NSMutableDictionary"),
        QStringLiteral("key"),
        QVariantMap{{"NS.objects", QVariantList{uid(6), uid(0)}}, {"$class", uid(5)}},
        classRecord("NSMutableArray"),
        QVariantMap{{"NS.string", "wrapped"}, {"$class", uid(7)}},
        classRecord("NSMutableString"),
    });
    QString error;
    const auto read = KeyedUnarchiver::unarchive(data, &error);
    ASSERT_TRUE(read) << error.toStdString();
    expectSameValue(QVariantMap{{"root", QVariantMap{{"key", QVariantList{"wrapped", QVariant()}}}}}, *read);
}

TEST_F(KeyedArchive, RegisteredClassesRoundTripAndKeepSharing)
{
    auto parent = std::make_shared<TestBrush>();
    parent->name = "base";
    parent->radius = 3.0;
    auto brush = std::make_shared<TestBrush>();
    brush->name = "child";
    brush->radius = 12.5;
    brush->steps = -7;
    brush->seed = qint64(1) << 40;
    brush->soft = true;
    brush->tags = QVariantList{"a", QVariant::fromValue(parent)};
    brush->parent = parent;

    QString error;
    const auto data = KeyedArchiver::archivedData({{"brush", QVariant::fromValue(brush)}}, &error);
    ASSERT_TRUE(data) << error.toStdString();
    const auto read = KeyedUnarchiver::unarchive(*data, &error);
    ASSERT_TRUE(read) << error.toStdString();
    const BrushPtr back = read->value("brush").value<BrushPtr>();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->name, "child");
    EXPECT_EQ(back->radius, 12.5);
    EXPECT_EQ(back->steps, -7);
    EXPECT_EQ(back->seed, qint64(1) << 40);
    EXPECT_TRUE(back->soft);
    ASSERT_TRUE(back->parent);
    EXPECT_EQ(back->parent->name, "base");
    EXPECT_FALSE(back->parent->parent);
    // The parent was archived once and comes back as one object.
    EXPECT_EQ(back->tags.toList().value(1).value<BrushPtr>(), back->parent);

    // The class chain, and the escaped '$' key, as stored.
    const QVariantList objects = PropertyList::fromData(*data)->toMap().value("$objects").toList();
    bool sawClass = false;
    for (const QVariant& object : objects) {
        if (object.toMap().value("$classname") == QVariant(brushClass)) {
            sawClass = true;
            EXPECT_EQ(object.toMap().value("$classes"),
                      QVariant(QVariantList{brushClass, "GMBrushBase", "NSObject"}));
        }
        if (object.toMap().contains("name")) {
            EXPECT_TRUE(object.toMap().contains("$$tags"));
        }
    }
    EXPECT_TRUE(sawClass);
}

TEST_F(KeyedArchive, UnregisteredClassesComeBackAsGenericRecordsAndGoBackUnchanged)
{
    auto brush = std::make_shared<TestBrush>();
    brush->name = "kept";
    brush->radius = 2.0;
    brush->tags = QVariantList{qint64(1)};
    const QByteArray data = *KeyedArchiver::archivedData({{"brush", QVariant::fromValue(brush)}});

    ArchiveClassRegistry::unregisterClass(brushClass);
    QString error;
    const auto generic = KeyedUnarchiver::unarchive(data, &error);
    ASSERT_TRUE(generic) << error.toStdString();
    const auto record = generic->value("brush").value<ArchivedObject>();
    EXPECT_EQ(record.className, brushClass);
    EXPECT_EQ(record.classes, QStringList({brushClass, "GMBrushBase", "NSObject"}));
    EXPECT_EQ(record.fields.value("name"), QVariant("kept"));
    expectSameValue(QVariant(2.0), record.fields.value("radius"));
    EXPECT_EQ(record.fields.value("$tags"), QVariant(QVariantList{qint64(1)}));
    EXPECT_TRUE(record.fields.contains("parent"));
    EXPECT_FALSE(record.fields.value("parent").isValid());

    // Written back, the record reads as the original class once it is known again.
    const auto rewritten = KeyedArchiver::archivedData(*generic, &error);
    ASSERT_TRUE(rewritten) << error.toStdString();
    registerBrush();
    const BrushPtr back = KeyedUnarchiver::unarchive(*rewritten)->value("brush").value<BrushPtr>();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->name, "kept");
    EXPECT_EQ(back->radius, 2.0);
    EXPECT_EQ(back->tags, QVariant(QVariantList{qint64(1)}));
}

TEST_F(KeyedArchive, RegisteredDecoderMeetingWrongTypesFails)
{
    auto brushWith = [](const QVariantMap& fields) {
        return *KeyedArchiver::archivedData(
            {{"brush", QVariant::fromValue(ArchivedObject{brushClass, {brushClass, "NSObject"}, fields})}});
    };
    expectRefused(brushWith({{"radius", "wide"}}), "radius");
    expectRefused(brushWith({{"steps", qint64(1) << 40}}), "steps");
    expectRefused(brushWith({{"steps", 1.5}}), "steps");
    expectRefused(brushWith({{"soft", "yes"}}), "soft");
    expectRefused(brushWith({{"parent", QVariantList{qint64(1)}}}), "parent"); // an array, not a brush
    expectRefused(brushWith({{"name", qint64(4)}}), "name");
    expectRefused(brushWith({{"radius", -1.0}}), "A brush radius cannot be negative.");
    // Missing keys take their defaults.
    const auto read = KeyedUnarchiver::unarchive(brushWith({}));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->value("brush").value<BrushPtr>()->steps, 0);
}

TEST_F(KeyedArchive, ArchivingRefusesWhatItCannotWrite)
{
    QString error;
    EXPECT_FALSE(KeyedArchiver::archivedData({{"root", QVariantMap{{"p", QPointF(1, 2)}}}}, &error));
    EXPECT_TRUE(error.contains("QPointF") && error.contains("root/p")) << error.toStdString();
    EXPECT_FALSE(KeyedArchiver::archivedData({{"root", uid(1)}}, &error));
    EXPECT_FALSE(KeyedArchiver::archivedData({{"root", QDateTime()}}, &error));

    auto loop = std::make_shared<TestBrush>();
    loop->parent = std::make_shared<TestBrush>();
    loop->parent->parent = loop;
    EXPECT_FALSE(KeyedArchiver::archivedData({{"root", QVariant::fromValue(loop)}}, &error));
    EXPECT_TRUE(error.contains("contains itself")) << error.toStdString();
    loop->parent->parent.reset();
}

TEST_F(KeyedArchive, RefusesDamagedArchives)
{
    const QVariant arrayClass = uid(2);
    auto array = [&](const QVariantList& references) {
        return QVariantMap{{"NS.objects", references}, {"$class", arrayClass}};
    };
    const QVariantMap arrayRecord = classRecord("NSArray");
    const QVariantMap dictionaryRecord = classRecord("NSDictionary");

    expectRefused("garbage", "damaged");
    expectRefused(*PropertyList::toData(QVariantList{}, PropertyList::Format::Binary), "not a dictionary");
    QVariantMap archive = PropertyList::fromData(handMadeArchive({"text"}))->toMap();
    auto with = [&](const QString& key, const QVariant& value) {
        QVariantMap changed = archive;
        value.isValid() ? void(changed.insert(key, value)) : void(changed.remove(key));
        return *PropertyList::toData(changed, PropertyList::Format::Binary);
    };
    expectRefused(with("$archiver", "OtherArchiver"), "unsupported");
    expectRefused(with("$version", qint64(99999)), "unsupported");
    expectRefused(with("$objects", QVariant()), "missing");
    expectRefused(with("$objects", QVariantList{"text"}), "nil object");
    expectRefused(with("$top", QVariantMap{{"root", qint64(1)}}), "not an object reference");

    expectRefused(handMadeArchive({"text"}, uid(9)), "does not exist");
    expectRefused(handMadeArchive({array({uid(1)}), arrayRecord}), "contains itself");
    expectRefused(handMadeArchive({array({uid(3)}), arrayRecord, array({uid(1)})}), "contains itself");
    expectRefused(handMadeArchive({array({uid(40)}), arrayRecord}), "does not exist");
    expectRefused(handMadeArchive({array({qint64(3)}), arrayRecord}), "references");
    expectRefused(handMadeArchive({QVariantMap{{"NS.objects", "x"}, {"$class", arrayClass}}, arrayRecord}),
                  "NS.objects");
    expectRefused(handMadeArchive({QVariantMap{{"NS.objects", QVariantList{}}}}), "no class");
    expectRefused(handMadeArchive({QVariantMap{{"$class", uid(2)}}, "not a class"}), "class record");
    expectRefused(handMadeArchive({QVariantList{uid(0)}}), "type");
    expectRefused(handMadeArchive({uid(0)}), "type");
    expectRefused(
        handMadeArchive({QVariantMap{{"NS.keys", "k"}, {"NS.objects", QVariantList{}}, {"$class", uid(2)}},
                         dictionaryRecord}),
        "NS.keys");
    expectRefused(handMadeArchive({QVariantMap{{"NS.keys", QVariantList{uid(3)}},
                                               {"NS.objects", QVariantList{}},
                                               {"$class", uid(2)}},
                                   dictionaryRecord, "key"}),
                  "1 keys for 0 values");
    expectRefused(handMadeArchive({QVariantMap{{"NS.keys", QVariantList{uid(3)}},
                                               {"NS.objects", QVariantList{uid(3)}},
                                               {"$class", uid(2)}},
                                   dictionaryRecord, qint64(5)}),
                  "not a string");
    expectRefused(
        handMadeArchive({QVariantMap{{"NS.time", "noon"}, {"$class", uid(2)}}, classRecord("NSDate")}),
        "no time");
}

TEST_F(KeyedArchive, RefusesDeepNestingAndExplosiveSharing)
{
    // Object i is an array holding object i + 2; the class record is object 2... so interleave.
    QVariantList deep{classRecord("NSArray")};
    for (int i = 0; i < 600; ++i)
        deep.append(QVariantMap{{"NS.objects", QVariantList{uid(i + 3)}}, {"$class", uid(1)}});
    deep.append("bottom");
    expectRefused(handMadeArchive(deep, uid(2)), "nested");

    // Unknown classes whose fields nest lists, each referring to the next object: both kinds of
    // nesting count towards one limit.
    QVariantList fields{classRecord("GMUnknown")};
    for (int i = 0; i < 40; ++i) {
        QVariant nested = uid(i + 3);
        for (int level = 0; level < 20; ++level)
            nested = QVariantList{nested};
        fields.append(QVariantMap{{"f", nested}, {"$class", uid(1)}});
    }
    fields.append("bottom");
    expectRefused(handMadeArchive(fields, uid(2)), "nested");

    // Each array refers to the next one twice: 2^40 values from 41 objects.
    QVariantList doubling{classRecord("NSArray")};
    for (int i = 0; i < 40; ++i)
        doubling.append(
            QVariantMap{{"NS.objects", QVariantList{uid(i + 3), uid(i + 3)}}, {"$class", uid(1)}});
    doubling.append("bottom");
    expectRefused(handMadeArchive(doubling, uid(2)), "expand");
}
