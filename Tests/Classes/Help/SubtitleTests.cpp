#include "Classes/Help/OVSubtitle.h"
#include "Classes/Help/OVSubtitleView.h"
#include "Classes/Help/OVSubtitleViewDelegate.h"
#include "Classes/Help/OVTimeValueTransformer.h"
#include "Platform/Foundation/Log.h"

#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

struct Cue
{
    double start, end;
    QString text;
};

std::vector<Cue> cuesOf(const OVSubtitleList& list)
{
    std::vector<Cue> cues;
    for (const auto& cue : list)
        cues.push_back({cue->start(), cue->end(), cue->string()});
    return cues;
}

void expectCues(const OVSubtitleList& list, const std::vector<Cue>& expected)
{
    const auto cues = cuesOf(list);
    ASSERT_EQ(cues.size(), expected.size());
    for (size_t i = 0; i < cues.size(); ++i) {
        EXPECT_NEAR(cues[i].start, expected[i].start, 1e-9) << i;
        EXPECT_NEAR(cues[i].end, expected[i].end, 1e-9) << i;
        EXPECT_EQ(cues[i].text, expected[i].text) << i;
    }
}

TEST(Subtitles, SubRipReaderKeepsTheCuesBeforeAProblemAndLogsIt)
{
    const QString two = QStringLiteral("1\n00:00:01,000 --> 00:00:02,500\nHello\n\n"
                                       "2\n00:00:03,000 --> 00:00:04,000\nSecond\nline\n");
    const std::vector<Cue> both = {{1, 2.5, QStringLiteral("Hello")}, {3, 4, QStringLiteral("Second\nline")}};
    struct Case
    {
        const char* name;
        QString text;
        std::vector<Cue> cues;
        QString log; // the one line logged; empty: nothing
    };
    const Case cases[] = {
        {"two cues", two, both, {}},
        {"CRLF", QString(two).replace(QStringLiteral("\n"), QStringLiteral("\r\n")), both, {}},
        {"blank lines around",
         QStringLiteral("\n\n") +
             QString(two).replace(QStringLiteral("\n\n2"), QStringLiteral("\n\n\n \n2")) +
             QStringLiteral("\n\n\n"),
         both,
         {}},
        {"starts at 2",
         QStringLiteral("2\n00:00:01,000 --> 00:00:02,000\nx\n"),
         {},
         QStringLiteral("Warning: Parsing fails in Line 0 expected number 1: 2")},
        {"9999 ends silently", two + QStringLiteral("\n9999\n00:00:05,000 --> 00:00:06,000\nx\n"), both, {}},
        {"not a number ends silently",
         two + QStringLiteral("\nabc\n00:00:05,000 --> 00:00:06,000\nx\n"),
         both,
         {}},
        {"no arrow",
         QStringLiteral("1\n00:00:01,000 00:00:02,000\nx\n"),
         {},
         QStringLiteral("Warning: Parsing fails in line 2, can't parse time: 00:00:01,000 00:00:02,000")},
        {"two arrows", two + QStringLiteral("\n3\n1 --> 2 --> 3\nx\n"), both,
         QStringLiteral("Warning: Parsing fails in line 11, can't parse time: 1 --> 2 --> 3")},
        {"last text without line break",
         QStringLiteral("1\n00:00:01,000 --> 00:00:02,000\nend"),
         {{1, 2, QStringLiteral("end")}},
         {}},
        {"ends before the text",
         QStringLiteral("1\n00:00:01,000 --> 00:00:02,000"),
         {},
         QStringLiteral("Warning: Parsing fails, file ends early (expected text)")},
        {"ends before the time",
         QStringLiteral("1"),
         {},
         QStringLiteral("Warning: Parsing fails, file ends early (expected time-info)")},
        {"blank after the time line",
         QStringLiteral("1\n00:00:01,000 --> 00:00:02,000\n\n2\n3,0 --> 4,0\nb\n"),
         {{1, 2, QString()}, {3, 4, QStringLiteral("b")}},
         {}},
        {"arrow inside the text",
         QStringLiteral("1\n00:00:01,000 --> 00:00:02,000\na --> b\n"),
         {{1, 2, QStringLiteral("a --> b")}},
         {}},
        // A number of 30 digits saturates instead of wrapping round to some small number.
        {"30 digits",
         QStringLiteral("123456789012345678901234567890\n1,0 --> 2,0\nx\n"),
         {},
         QStringLiteral(
             "Warning: Parsing fails in Line 0 expected number 1: 123456789012345678901234567890")},
        {"empty", QString(), {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pf::LogCapture log;
        expectCues(OVSubtitle::subtitlesFromString(c.text), c.cues);
        EXPECT_EQ(log.lines(), c.log.isEmpty() ? QStringList() : QStringList{c.log});
    }
}

TEST(Subtitles, FrameNumberedReader)
{
    struct Case
    {
        const char* name;
        QString text;
        std::vector<Cue> cues;
        QString log;
    };
    const Case cases[] = {
        {"one cue", QStringLiteral("{25}{50}Hello|World\n"), {{1, 2, QStringLiteral("Hello\nWorld")}}, {}},
        {"blank lines and CRLF",
         QStringLiteral("\r\n{25}{50}a\r\n\r\n{50}{75}b"),
         {{1, 2, QStringLiteral("a")}, {2, 3, QStringLiteral("b")}},
         {}},
        {"no opening brace",
         QStringLiteral("{25}{50}a\n25}x"),
         {{1, 2, QStringLiteral("a")}},
         QStringLiteral("Warning: Parsing fails, in line 25}x (-1, 2)")},
        {"second field missing",
         QStringLiteral("{25} x"),
         {},
         QStringLiteral("Warning: Parsing fails, in line {25} x (-1, -1)")},
        {"braces reversed",
         QStringLiteral(" }{ "),
         {},
         QStringLiteral("Warning: Parsing fails, in line  }{  (1, 0)")},
        {"percent signs stay text",
         QStringLiteral("%1 %2 }"),
         {},
         QStringLiteral("Warning: Parsing fails, in line %1 %2 } (-1, 6)")},
        {"frame numbers beyond 64 bits saturate",
         QStringLiteral("{99999999999999999999999}{1}x"),
         {{double(std::numeric_limits<qint64>::max()) * 0.04, 0.04, QStringLiteral("x")}},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pf::LogCapture log;
        const auto cues = cuesOf(OVSubtitle::subtitlesFromString(c.text, 0.04));
        ASSERT_EQ(cues.size(), c.cues.size());
        for (size_t i = 0; i < cues.size(); ++i) {
            EXPECT_DOUBLE_EQ(cues[i].start, c.cues[i].start);
            EXPECT_DOUBLE_EQ(cues[i].end, c.cues[i].end);
            EXPECT_EQ(cues[i].text, c.cues[i].text);
        }
        EXPECT_EQ(log.lines(), c.log.isEmpty() ? QStringList() : QStringList{c.log});
    }
}

TEST(Subtitles, TimeTextBothWays)
{
    const OVTimeValueTransformer transformer;
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, const char*> forward[] = {
        {3723.004, "01:02:03,004"},     {0, "00:00:00,000"},    {59.9996, "00:01:00,000"},
        {3599.9999, "01:00:00,000"},    {-5, "00:00:00,000"},   {std::nan(""), "00:00:00,000"},
        {inf, "99:59:59,999"},          {-inf, "00:00:00,000"}, {1e300, "99:59:59,999"},
        {4294967296.0, "99:59:59,999"},
    };
    for (const auto& [seconds, text] : forward)
        EXPECT_EQ(transformer.transformedValue(seconds), QString::fromLatin1(text)) << seconds;

    const std::pair<const char*, double> reverse[] = {
        {"01:02:03,004", 3723.004},
        {" 01:02:03,004", 3723.004},
        {"02:03,5", 123.005},
        {"02:03,500", 123.5},
        {"7,25", 7.025},
        {",5", 0.005},
        {":,", 0},
        {"a:b:c,d", 0},
        {"1:2:3", 3723},
        {"00:00:01,000 ", 1},
        {"99999999999999999999999999:0:0,0", 1e15 * 3600},
    };
    for (const auto& [text, seconds] : reverse)
        EXPECT_NEAR(transformer.reverseTransformedValue(QString::fromLatin1(text)), seconds,
                    1e-9 * std::max(1.0, seconds))
            << text;
    EXPECT_EQ(OVSubtitle(QStringLiteral("Hi"), 1.5, 2).description(),
              QStringLiteral("00:00:01,500 --> 00:00:02,000\nHi"));
}

TEST(Subtitles, HostileFilesGiveCuesOrNone)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QByteArray good = "1\n00:00:01,000 --> 00:00:02,000\n";
    const QString utf16Text = QStringLiteral("1\n1,0 --> 2,0\nH\u00E9\n");
    const QByteArray utf16 =
        QByteArray("\xFF\xFE") +
        QByteArray(reinterpret_cast<const char*>(utf16Text.utf16()), 2 * utf16Text.size());
    struct Case
    {
        const char* name;
        QByteArray bytes;
        qsizetype cues;
        QString firstText;
    };
    const Case cases[] = {
        {"10 MB line", good + QByteArray(10 * 1024 * 1024, 'x') + "\n", 1,
         QString(10 * 1024 * 1024, QLatin1Char('x'))},
        {"NUL bytes", good + QByteArray("a\0b\n", 4), 1, QString::fromUtf8("a\0b", 3)},
        {"lone CR", QByteArray("1\r00:00:01,000 --> 00:00:02,000\rx\r"), 0, {}},
        {"UTF-16 with mark", utf16, 1, QStringLiteral("H\u00E9")},
        {"UTF-8 with mark", QByteArray("\xEF\xBB\xBF") + good + "x\n", 1, QStringLiteral("x")},
        {"code page 1252 quotes", good + "\x93quoted\x94\n", 1, QStringLiteral("\u201Cquoted\u201D")},
        {"invalid UTF-8 with an undefined byte", good + "\xC3\x28\x81\n", 1, QStringLiteral("\u00C3(\u0081")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = folder.filePath(QString::fromLatin1(c.name));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.bytes);
        file.close();
        pf::LogCapture log;
        const auto cues = OVSubtitle::subtitlesFromFileAtURL(path);
        ASSERT_TRUE(cues.has_value());
        ASSERT_EQ(cues->size(), c.cues);
        if (c.cues > 0) {
            EXPECT_EQ(cues->first()->string(), c.firstText);
        }
        EXPECT_TRUE(OVSubtitle::subtitlesFromFileAtURL(path, 0.04).has_value());
    }
    pf::LogCapture log;
    const QString missing = folder.filePath(QStringLiteral("missing.srt"));
    EXPECT_FALSE(OVSubtitle::subtitlesFromFileAtURL(missing).has_value());
    EXPECT_FALSE(OVSubtitle::subtitlesFromFileAtURL(missing, 0.04).has_value());
    EXPECT_TRUE(
        log.contains(QStringLiteral("Warning: Could not load subtitle file '%1', because ").arg(missing)));
}

struct RecordingDelegate : OVSubtitleViewDelegate
{
    QStringList reports;
    void subtitleViewDidChangeSubtitle(OVSubtitleView*, const OVSubtitle* subtitle) override
    {
        reports.append(subtitle ? subtitle->string() : QStringLiteral("<none>"));
    }
};

TEST(Subtitles, ViewShowsACueExactlyWithinItsTimesAndReportsChangesOnce)
{
    OVSubtitleView view(pf::Rect(0, 0, 600, 100));
    RecordingDelegate delegate;
    view.setDelegate(&delegate);
    view.setSubtitles({std::make_shared<const OVSubtitle>(QStringLiteral("one"), 1, 2),
                       std::make_shared<const OVSubtitle>(QStringLiteral("two"), 3, 4)});
    const std::pair<double, const char*> times[] = {
        {0.5, nullptr}, {1, "one"}, {1.5, "one"}, {2, "one"},   {2.0001, nullptr}, {2.5, nullptr},
        {3, "two"},     {4, "two"}, {5, nullptr}, {1.2, "one"}, {0, nullptr},
    };
    for (const auto& [time, text] : times) {
        view.setCurrentTime(time);
        const OVSubtitle* shown = view.currentSubtitle();
        EXPECT_EQ(shown ? shown->string() : QString(), QString::fromLatin1(text)) << time;
    }
    EXPECT_EQ(delegate.reports,
              (QStringList{QStringLiteral("one"), QStringLiteral("<none>"), QStringLiteral("two"),
                           QStringLiteral("<none>"), QStringLiteral("one"), QStringLiteral("<none>")}));

    // New cues keep the remembered index within the new list; none at all clear the cue.
    view.setCurrentTime(3.5);
    delegate.reports.clear();
    view.setSubtitles({std::make_shared<const OVSubtitle>(QStringLiteral("only"), 3, 4)});
    EXPECT_EQ(view.currentSegment(), 0);
    view.setSubtitles({});
    EXPECT_EQ(view.currentSubtitle(), nullptr);
    EXPECT_EQ(delegate.reports, (QStringList{QStringLiteral("only"), QStringLiteral("<none>")}));
    view.setDelegate(nullptr);
}

TEST(Subtitles, LookupWalksAtMostTwoStepsPerFrame)
{
    OVSubtitleList cues;
    for (int i = 0; i < 10'000; ++i)
        cues.append(std::make_shared<const OVSubtitle>(QString::number(i), i * 0.5, i * 0.5 + 0.3));
    OVSubtitleView view(pf::Rect(0, 0, 600, 100));
    view.setSubtitles(cues);
    int worst = 0;
    for (int frame = 0; frame <= 5000 * 25; ++frame) {
        view.setCurrentTime(frame / 25.0);
        worst = std::max(worst, view.lastLookupSteps());
    }
    EXPECT_LE(worst, 2);
    EXPECT_EQ(view.currentSegment(), 9999);
}

} // namespace
