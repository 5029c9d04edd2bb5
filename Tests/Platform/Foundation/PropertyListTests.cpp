#include "Platform/Foundation/ArchiveUid.h"
#include "Platform/Foundation/PropertyList.h"
#include "ValueComparison.h"

#include <QDateTime>
#include <QPointF>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <plist/plist.h>

using pf::ArchiveUid;
using pf::PropertyList;
using Format = PropertyList::Format;

namespace {

QDateTime utc(qint64 msSince1970)
{
    return QDateTime::fromMSecsSinceEpoch(msSince1970, Qt::UTC);
}

QVariantMap sampleValues()
{
    QByteArray allBytes;
    for (int i = 0; i < 256; ++i)
        allBytes.append(char(i));
    QVariantList many;
    for (int i = 0; i < 300; ++i)
        many.append(qint64(i * 1000));
    return {
        {"strings", QVariantList{QString(), QStringLiteral("plain"), QStringLiteral("Grüße, 東京 😀"),
                                 QStringLiteral("a<&>\"' ]]> \r\n\t end"), QString(40, QChar(u'x'))}},
        {"integers",
         QVariantList{qint64(0), qint64(-1), qint64(255), qint64(256), qint64(65536), qint64(1) << 32,
                      std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max()}},
        {"unsigned", QVariant(std::numeric_limits<quint64>::max())},
        {"reals",
         QVariantList{2.0, 0.1, -1e300, 5e-324, -0.0, std::numeric_limits<double>::infinity(),
                      -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()}},
        {"booleans", QVariantList{true, false}},
        {"dates", QVariantList{utc(978307200000), utc(1700000000123), utc(-2208988800000) /* 1900 */,
                               utc(4102444800000) /* 2100 */, utc(978307199999)}},
        {"data", QVariantList{QByteArray(), allBytes}},
        {"uid", QVariant::fromValue(ArchiveUid{70000})},
        {"empty", QVariantList{QVariantList(), QVariantMap()}},
        {"nested", QVariantMap{{"list", QVariantList{QVariantMap{{"deep", QVariantList{qint64(1), 1.5}}}}}}},
        {"many", many},
        {"ключ", QStringLiteral("value under a non-ASCII key")},
    };
}

// A binary plist from hand-made objects; references and offsets are `width` bytes each.
QByteArray bigEndian(quint64 value, int width)
{
    QByteArray out;
    for (int i = width - 1; i >= 0; --i)
        out.append(char((value >> (8 * i)) & 0xFF));
    return out;
}

QByteArray binaryPlist(const std::vector<QByteArray>& objects, quint64 top = 0, int width = 1)
{
    QByteArray out = "bplist00";
    QByteArray table;
    for (const QByteArray& object : objects) {
        table.append(bigEndian(out.size(), width));
        out.append(object);
    }
    const quint64 tableOffset = out.size();
    out.append(table);
    out.append(6, '\0');
    out.append(char(width)).append(char(width));
    for (quint64 field : {quint64(objects.size()), top, tableOffset})
        out.append(bigEndian(field, 8));
    return out;
}

void expectDamaged(const QByteArray& data)
{
    QString error;
    EXPECT_FALSE(PropertyList::fromData(data, &error).has_value()) << data.left(200).toStdString();
    EXPECT_FALSE(error.isEmpty());
}

} // namespace

class PropertyListFormats : public ::testing::TestWithParam<Format>
{};

TEST_P(PropertyListFormats, RoundTripsEveryTypeLosslessly)
{
    const QVariantMap values = sampleValues();
    QString error;
    const auto data = PropertyList::toData(values, GetParam(), &error);
    ASSERT_TRUE(data) << error.toStdString();
    const auto read = PropertyList::fromData(*data, &error);
    ASSERT_TRUE(read) << error.toStdString();
    expectSameValue(values, *read);
    EXPECT_EQ(read->toMap().value("dates").toList().at(1).toDateTime().timeSpec(), Qt::UTC);
}

TEST_P(PropertyListFormats, TopLevelScalarsAndNarrowIntegerTypes)
{
    const std::vector<std::pair<QVariant, QVariant>> cases = {
        {QVariant(int(-7)), QVariant(qint64(-7))},
        {QVariant(uint(4000000000u)), QVariant(qint64(4000000000LL))},
        {QVariant(quint64(5)), QVariant(qint64(5))},
        {QVariant(float(0.5f)), QVariant(0.5)},
        {QVariant(QStringList{"a", "b"}), QVariant(QVariantList{"a", "b"})},
        {QVariant(QStringLiteral("alone")), QVariant(QStringLiteral("alone"))},
        {QVariant(QDateTime(QDate(2020, 2, 29), QTime(23, 59, 58), Qt::OffsetFromUTC, 3600)),
         QVariant(utc(1583017198000))},
    };
    for (const auto& [written, expected] : cases) {
        const auto data = PropertyList::toData(written, GetParam());
        ASSERT_TRUE(data);
        const auto read = PropertyList::fromData(*data);
        ASSERT_TRUE(read);
        expectSameValue(expected, *read);
    }
}

TEST_P(PropertyListFormats, RefusesValuesItCannotHoldNamingThem)
{
    QString error;
    const QVariantMap withPoint{{"a", QVariantList{qint64(1), QPointF(1, 2)}}};
    EXPECT_FALSE(PropertyList::toData(withPoint, GetParam(), &error));
    EXPECT_TRUE(error.contains("QPointF")) << error.toStdString();
    EXPECT_TRUE(error.contains("/a/1")) << error.toStdString();

    EXPECT_FALSE(PropertyList::toData(QVariantMap{{"nil", QVariant()}}, GetParam(), &error));
    EXPECT_TRUE(error.contains("/nil")) << error.toStdString();
    EXPECT_FALSE(PropertyList::toData(QDateTime(), GetParam(), &error));
    EXPECT_FALSE(PropertyList::toData(QString(QChar(0xD800)), GetParam(), &error));
    EXPECT_FALSE(PropertyList::toData(QVariantMap{{QString(QChar(0xDC00)), 1}}, GetParam(), &error));

    QVariant deep = qint64(1);
    for (int i = 0; i <= PropertyList::maxDepth; ++i)
        deep = QVariantList{deep};
    EXPECT_FALSE(PropertyList::toData(deep, GetParam(), &error));
    EXPECT_TRUE(error.contains("nested")) << error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(BothFormats, PropertyListFormats, ::testing::Values(Format::Xml, Format::Binary));

TEST(PropertyList, XmlRefusesCharactersXmlCannotCarryButBinaryKeepsThem)
{
    const QString withNul = QStringLiteral("a") + QChar(0) + QStringLiteral("b\x01");
    QString error;
    EXPECT_FALSE(PropertyList::toData(withNul, Format::Xml, &error));
    EXPECT_TRUE(error.contains("U+0000")) << error.toStdString();
    const QVariantMap lookalike{{"CF$UID", qint64(3)}}; // would come back as a UID
    EXPECT_FALSE(PropertyList::toData(lookalike, Format::Xml, &error));
    EXPECT_TRUE(error.contains("CF$UID")) << error.toStdString();
    expectSameValue(lookalike, *PropertyList::fromData(*PropertyList::toData(lookalike, Format::Binary)));
    const auto binary = PropertyList::toData(withNul, Format::Binary);
    ASSERT_TRUE(binary);
    EXPECT_EQ(PropertyList::fromData(*binary)->toString(), withNul);
}

TEST(PropertyList, ReadsXmlWrittenByHandInTheUsualVariants)
{
    const QByteArray xml = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<!DOCTYPE plist PUBLIC \"-//x//DTD PLIST 1.0//EN\" \"x.dtd\">\n"
                           "<plist version=\"1.0\"><!-- note --><dict>\n"
                           "  <key>hex</key><integer> 0x1F </integer>\n"
                           "  <key>big</key><integer>18446744073709551615</integer>\n"
                           "  <key>real</key><real>2</real>\n"
                           "  <key>inf</key><real>-infinity</real>\n"
                           "  <key>date</key><date>2001-01-01T00:00:01Z</date>\n"
                           "  <key>data</key><data>\n  AAEC\n  /w==\n  </data>\n"
                           "  <key>cdata</key><string><![CDATA[<raw>]]></string>\n"
                           "  <key>uid</key><dict><key>CF$UID</key><integer>3</integer></dict>\n"
                           "</dict></plist>\n";
    QString error;
    const auto read = PropertyList::fromData(xml, &error);
    ASSERT_TRUE(read) << error.toStdString();
    expectSameValue(QVariantMap{{"hex", qint64(31)},
                                {"big", std::numeric_limits<quint64>::max()},
                                {"real", 2.0},
                                {"inf", -std::numeric_limits<double>::infinity()},
                                {"date", utc(978307201000)},
                                {"data", QByteArray("\x00\x01\x02\xff", 4)},
                                {"cdata", QStringLiteral("<raw>")},
                                {"uid", QVariant::fromValue(ArchiveUid{3})}},
                    *read);
}

// libplist is an independent implementation: each side must read what the other writes.
TEST(PropertyList, AgreesWithLibplistInBothDirections)
{
    // Only values libplist itself can hold: signed 64-bit integers, dates within 32-bit seconds.
    const QVariantMap values{
        {"s", QStringLiteral("Grüße 😀")},
        {"i", QVariantList{qint64(-5), qint64(300), std::numeric_limits<qint64>::max()}},
        {"r", QVariantList{2.0, 0.1}},
        {"b", true},
        {"d", utc(1700000000000)},
        {"data", QByteArray("\x00\xff", 2)},
        {"u", QVariant::fromValue(ArchiveUid{9})},
        {"nested", QVariantMap{{"e", QVariantList()}, {"f", QVariantMap()}}},
    };
    auto throughLibplist = [](const QVariantMap& values, Format ours, bool libplistWritesBinary) {
        const QByteArray data = *PropertyList::toData(values, ours);
        plist_t node = nullptr;
        if (ours == Format::Binary)
            plist_from_bin(data.constData(), uint32_t(data.size()), &node);
        else
            plist_from_xml(data.constData(), uint32_t(data.size()), &node);
        EXPECT_NE(node, nullptr);
        char* out = nullptr;
        uint32_t length = 0;
        if (libplistWritesBinary)
            plist_to_bin(node, &out, &length);
        else
            plist_to_xml(node, &out, &length);
        const QByteArray back(out, qsizetype(length));
        libplistWritesBinary ? plist_to_bin_free(out) : plist_to_xml_free(out);
        plist_free(node);
        QString error;
        const auto read = PropertyList::fromData(back, &error);
        ASSERT_TRUE(read) << error.toStdString();
        expectSameValue(values, *read);
    };
    throughLibplist(values, Format::Binary, false);
    QVariantMap withoutUid = values; // libplist's XML reader keeps {"CF$UID": n} a dictionary
    withoutUid.remove("u");
    throughLibplist(withoutUid, Format::Xml, true);
}

TEST(PropertyList, RefusesTruncatedBinaryAtEveryCut)
{
    const QByteArray data = *PropertyList::toData(sampleValues(), Format::Binary);
    for (qsizetype cut = 0; cut < data.size(); cut += (cut < 64 || data.size() - cut < 64) ? 1 : 13)
        expectDamaged(data.left(cut));
    expectDamaged("bplist00");
}

TEST(PropertyList, RefusesDamagedBinaryStructure)
{
    const QByteArray good = binaryPlist({"\xA1\x01", "\x10\x05"});
    ASSERT_TRUE(PropertyList::fromData(good));
    // Trailer: 6 bytes, offset size, reference size, then object count, top object and table offset
    // as 8-byte integers; the two one-byte offsets sit just before it.
    const qsizetype end = good.size();
    for (const auto& [position, byte] : std::vector<std::pair<qsizetype, char>>{
             {end - 26, 9},          // offset size 9
             {end - 25, 0},          // reference size 0
             {end - 24, char(0xFF)}, // more objects than the table holds
             {end - 9, 9},           // top object beyond the object count
             {end - 1, char(0xF0)},  // offset table beyond the end
             {end - 33, char(0xEE)}, // an object offset beyond the objects
             {end - 34, 2}}) {       // an object offset inside the header
        QByteArray copy = good;
        copy[position] = byte;
        expectDamaged(copy);
    }

    expectDamaged("bplist01" + good.mid(8));
    expectDamaged(binaryPlist({"\xA1\x05", "\x10\x05"}));                     // reference out of range
    expectDamaged(binaryPlist({"\x4F\x13\x7F\xFF\xFF\xFF\xFF\xFF\xFF\xFF"})); // huge data length
    expectDamaged(binaryPlist({"\xAF\x13\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF"})); // huge array count
    expectDamaged(binaryPlist({"\x6F\x13\x40\x00\x00\x00\x00\x00\x00\x00"})); // count * 2 overflows
    expectDamaged(binaryPlist({"\x62\xD8\x00\x00\x41"}));                     // unpaired surrogate
    expectDamaged(binaryPlist({"\xD1\x01\x01", "\x10\x05"}));                 // key is not a string
    expectDamaged(binaryPlist({"\x00"}));                                     // null has no value here
    expectDamaged(binaryPlist({"\xC1\x01", "\x10\x05"}));                     // sets are not supported
    expectDamaged(binaryPlist({"\x33\x7F\xF0\x00\x00\x00\x00\x00\x00"}));     // infinite date
    expectDamaged(binaryPlist({"\x14\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00"}));
}

TEST(PropertyList, RefusesCyclesDeepNestingAndExplosiveSharing)
{
    expectDamaged(binaryPlist({"\xA1\x00"}));                          // an array holding itself
    expectDamaged(binaryPlist({"\xA1\x01", "\xD1\x02\x00", "\x51k"})); // through a dictionary

    std::vector<QByteArray> chain; // 600 nested arrays, with two-byte references
    for (int i = 0; i < 600; ++i)
        chain.push_back("\xA1" + bigEndian(i + 1, 2));
    chain.push_back("\x09");
    expectDamaged(binaryPlist(chain, 0, 2));
    chain.erase(chain.begin(), chain.begin() + 600 - PropertyList::maxDepth);
    for (int i = 0; i < PropertyList::maxDepth; ++i)
        chain[i] = "\xA1" + bigEndian(i + 1, 2);
    EXPECT_TRUE(PropertyList::fromData(binaryPlist(chain, 0, 2)));

    // Each level references the next one twice: 2^40 values from 41 objects.
    std::vector<QByteArray> doubling;
    for (int i = 0; i < 40; ++i)
        doubling.push_back(QByteArray("\xA2") + char(i + 1) + char(i + 1));
    doubling.push_back("\x09");
    QString error;
    EXPECT_FALSE(PropertyList::fromData(binaryPlist(doubling), &error));
    EXPECT_TRUE(error.contains("expand")) << error.toStdString();

    // Shared but modest: read once, fine.
    doubling.erase(doubling.begin(), doubling.begin() + 30);
    for (int i = 0; i < 10; ++i)
        doubling[i] = QByteArray("\xA2") + char(i + 1) + char(i + 1);
    EXPECT_TRUE(PropertyList::fromData(binaryPlist(doubling)));

    QByteArray deepXml = "<plist>";
    for (int i = 0; i < 600; ++i)
        deepXml += "<array>";
    expectDamaged(deepXml);
}

TEST(PropertyList, RefusesDamagedXml)
{
    const QByteArray good = *PropertyList::toData(sampleValues(), Format::Xml);
    for (qsizetype cut = 0; cut < good.size() - 2; cut += 97)
        expectDamaged(good.left(cut));
    for (const char* xml :
         {"",
          "not a plist",
          "<html/>",
          "<plist/>",
          "<plist><string>a</string><string>b</string></plist>",
          "<plist><integer>12a</integer></plist>",
          "<plist><integer>18446744073709551616</integer></plist>",
          "<plist><integer>-9223372036854775809</integer></plist>",
          "<plist><integer></integer></plist>",
          "<plist><real>1,5</real></plist>",
          "<plist><real>1e999</real></plist>",
          "<plist><date>2001-02-30T00:00:00Z</date></plist>",
          "<plist><date>yesterday</date></plist>",
          "<plist><data>A*==</data></plist>",
          "<plist><true>yes</true></plist>",
          "<plist><key>k</key></plist>",
          "<plist><dict><key>k</key></dict></plist>",
          "<plist><dict><string>v</string></dict></plist>",
          "<plist><array>text<true/></array></plist>",
          "<plist><set/></plist>",
          "<plist><string>a<b/></string></plist>",
          "<plist><string>\xC3\x28</string></plist>",
          "<?xml version=\"1.0\" encoding=\"UTF7\"?><plist><dict><key>f+agTintsL</key><dict/></dict></plist>",
          "<plist><string>&undeclared;</string></plist>",
          "<plist><string>&#xD800;</string></plist>"}) {
        expectDamaged(xml);
    }

    QByteArray laughs = "<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY a \"aaaaaaaaaaaaaaaaaaaaaaaa\">";
    char previous = 'a';
    for (char name = 'b'; name <= 'j'; ++name) {
        laughs += QByteArray("<!ENTITY ") + name + " \"" + QByteArray("&") + previous + ";" +
                  QByteArray("&") + previous + ";" + QByteArray("&") + previous + ";" + QByteArray("&") +
                  previous + ";" + "&" + previous + ";&" + previous + ";&" + previous + ";&" + previous +
                  ";\">";
        previous = name;
    }
    expectDamaged(laughs + "]><plist><string>&j;</string></plist>");
}

TEST(PropertyList, ReadsFilesAndReportsWhyNot)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("values.plist");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(*PropertyList::toData(QVariantMap{{"k", qint64(1)}}, Format::Binary));
    file.close();
    EXPECT_EQ(PropertyList::fromFile(path)->toMap().value("k"), QVariant(qint64(1)));

    QString error;
    EXPECT_FALSE(PropertyList::fromFile(dir.filePath("missing.plist"), &error));
    EXPECT_TRUE(error.contains("missing.plist")) << error.toStdString();
}
