#include "Platform/Foundation/Log.h"
#include "Platform/UI/RichText.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

using pf::RichText;

QString plain(const QTextDocument& document)
{
    return document.toPlainText();
}

// The format of the character at `index` of the plain text.
QTextCharFormat formatAt(QTextDocument& document, int index)
{
    QTextCursor cursor(&document);
    cursor.setPosition(index + 1);
    return cursor.charFormat();
}

bool read(const QByteArray& rtf, QTextDocument& document)
{
    return RichText::readRtf(rtf, &document);
}

// Saves a green picture of 40 x 20 pixels as an attachment.
bool saveGreenPicture(const QString& path, QImage::Format format)
{
    QImage picture(40, 20, format);
    picture.fill(Qt::green);
    return picture.save(path);
}

// Writes a file of an attachment folder; false when it cannot be written whole.
bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

TEST(RichText, ReadsTheTextOfEachControlWord)
{
    struct Case
    {
        const char* rtf;
        QString text;
    };
    const Case cases[] = {
        {R"({\rtf1\ansi one\par two})", QStringLiteral("one\ntwo")},
        {R"({\rtf1 a\line b\tab c})", QStringLiteral("a\nb\tc")},
        {R"({\rtf1 \\ \{ \} x})", QStringLiteral("\\ { } x")},
        {R"({\rtf1 \'93quoted\'94 \'e9\'80})", QStringLiteral("\u201Cquoted\u201D \u00E9\u20AC")},
        {R"({\rtf1 bad\'81byte})", QStringLiteral("bad\uFFFDbyte")},
        {R"({\rtf1 \u8364? euro})", QStringLiteral("\u20AC euro")},
        {R"({\rtf1 \uc0\u8364 x})", QStringLiteral("\u20ACx")},
        {R"({\rtf1 \uc2\u8364\'80\'80 z})", QStringLiteral("\u20AC z")},
        {R"({\rtf1 \u-3913?})", QString(QChar(char16_t(65536 - 3913)))},
        {R"({\rtf1 \u55357?\u56832?})", QStringLiteral("\U0001F600")},
        {R"({\rtf1 {\uc3 \u8364 ab}c})", QStringLiteral("\u20ACc")},
        {R"({\rtf1 \emdash\bullet\ldblquote q\rdblquote})", QStringLiteral("\u2014\u2022\u201Cq\u201D")},
        {R"({\rtf1 a{\*\unknowndest hidden}b})", QStringLiteral("ab")},
        {R"({\rtf1{\stylesheet{\s0 Normal;}}{\info{\title T}}{\fonttbl{\f0 Times;}}{\colortbl;\red1\green2\blue3;}x})",
         QStringLiteral("x")},
        {R"({\rtf1 \madeupword kept})", QStringLiteral("kept")},
        {R"({\rtf1 {\field{\*\fldinst HYPERLINK "x"}{\fldrslt shown}}})", QStringLiteral("shown")},
        {"{\\rtf1 line\r\nbreaks\rignored}", QStringLiteral("linebreaksignored")},
        {"{\\rtf1 raw \x93\xe9\x94}", QStringLiteral("raw \u201C\u00E9\u201D")},
        {R"({\rtf1 a\bin3 {}}b})", QStringLiteral("ab")},
        {R"({\rtf1 \fs99999999999999999999999999 big})", QStringLiteral("big")},
        // Unbalanced braces: a missing close ends with the data, an extra one ends the text.
        {R"({\rtf1 a{\b b)", QStringLiteral("ab")},
        {R"({\rtf1 a}b})", QStringLiteral("a")},
        {"  \n{\\rtf1 leading space}", QStringLiteral("leading space")},
    };
    for (const Case& c : cases) {
        QTextDocument document;
        ASSERT_TRUE(read(c.rtf, document)) << c.rtf;
        EXPECT_EQ(plain(document), c.text) << c.rtf;
    }
    // A line break stays within its paragraph.
    QTextDocument document;
    ASSERT_TRUE(read(R"({\rtf1 a\line b})", document));
    EXPECT_EQ(document.blockCount(), 1);
    EXPECT_EQ(document.firstBlock().text(), QStringLiteral("a\u2028b"));
}

TEST(RichText, CharacterFormatsFollowGroupsAndWords)
{
    QTextDocument document;
    ASSERT_TRUE(read(R"({\rtf1{\fonttbl{\f0\fswiss Helvetica;}{\f1\fmodern Courier;}})"
                     R"({\colortbl;\red255\green0\blue0;\red0\green0\blue255;})"
                     R"(\f0\fs24 a{\b b}c\i d\i0 e\ul f\ulnone g\fs48 h\plain i{\f1 j}\cf1 k\cf2 l\cf9 m)"
                     R"(\b1 n\b0 o\fs1099511627776 p})",
                     document));
    ASSERT_EQ(plain(document), QStringLiteral("abcdefghijklmnop"));
    struct Case
    {
        QChar c;
        bool bold, italic, underline;
        double points;
        QString family;
        QColor color; // invalid: the default colour
    };
    const QString helvetica = QStringLiteral("Helvetica"), courier = QStringLiteral("Courier");
    const Case cases[] = {
        {'a', false, false, false, 12, helvetica, {}},
        {'b', true, false, false, 12, helvetica, {}},
        {'c', false, false, false, 12, helvetica, {}},
        {'d', false, true, false, 12, helvetica, {}},
        {'e', false, false, false, 12, helvetica, {}},
        {'f', false, false, true, 12, helvetica, {}},
        {'g', false, false, false, 12, helvetica, {}},
        {'h', false, false, false, 24, helvetica, {}},
        {'i', false, false, false, 12, helvetica, {}},
        {'j', false, false, false, 12, courier, {}},
        {'k', false, false, false, 12, helvetica, Qt::red},
        {'l', false, false, false, 12, helvetica, Qt::blue},
        {'m', false, false, false, 12, helvetica, {}},
        {'n', true, false, false, 12, helvetica, {}},
        {'o', false, false, false, 12, helvetica, {}},
    };
    for (const Case& c : cases) {
        const int index = int(plain(document).indexOf(c.c));
        const QTextCharFormat format = formatAt(document, index);
        SCOPED_TRACE(QString(c.c).toStdString());
        EXPECT_EQ(format.fontWeight() >= QFont::Bold, c.bold);
        EXPECT_EQ(format.fontItalic(), c.italic);
        EXPECT_EQ(format.fontUnderline(), c.underline);
        EXPECT_DOUBLE_EQ(format.fontPointSize(), c.points);
        EXPECT_EQ(format.fontFamilies().toStringList().value(0), c.family);
        if (c.color.isValid())
            EXPECT_EQ(format.foreground().color(), c.color);
        else
            EXPECT_FALSE(format.hasProperty(QTextFormat::ForegroundBrush));
    }
    // A size of 2^40 half points is clamped to what a page can show.
    const double huge = formatAt(document, 15).fontPointSize();
    EXPECT_GT(huge, 12);
    EXPECT_LE(huge, 500);
}

TEST(RichText, ParagraphAlignmentAndIndents)
{
    QTextDocument document;
    ASSERT_TRUE(
        read(R"({\rtf1 \qc centred\par \pard\qr right\par \qj\li720\ri360\fi-360 just\par \pard plain})",
             document));
    struct Case
    {
        Qt::Alignment alignment;
        double left, right, first;
    };
    const Case cases[] = {
        {Qt::AlignHCenter, 0, 0, 0},
        {Qt::AlignRight, 0, 0, 0},
        {Qt::AlignJustify, 36, 18, -18},
        {Qt::AlignLeft, 0, 0, 0},
    };
    ASSERT_EQ(document.blockCount(), 4);
    QTextBlock block = document.begin();
    for (const Case& c : cases) {
        SCOPED_TRACE(block.text().toStdString());
        const QTextBlockFormat format = block.blockFormat();
        EXPECT_EQ(format.alignment() & Qt::AlignHorizontal_Mask, c.alignment);
        EXPECT_DOUBLE_EQ(format.leftMargin(), c.left);
        EXPECT_DOUBLE_EQ(format.rightMargin(), c.right);
        EXPECT_DOUBLE_EQ(format.textIndent(), c.first);
        block = block.next();
    }
}

TEST(RichText, DeepNestingIsBoundedAndTheRestIsRead)
{
    const int depth = 100'000;
    const QByteArray rtf =
        "{\\rtf1 start" + QByteArray(depth, '{') + "deep" + QByteArray(depth, '}') + " end}";
    QTextDocument document;
    pf::LogCapture log;
    ASSERT_TRUE(read(rtf, document));
    EXPECT_EQ(plain(document), QStringLiteral("start end"));
    EXPECT_TRUE(log.contains(QStringLiteral("Warning: Rich text nested deeper than 200 groups")));

    // Up to the limit, text is read.
    const QByteArray shallow = "{\\rtf1" + QByteArray(198, '{') + "ok" + QByteArray(198, '}') + "}";
    ASSERT_TRUE(read(shallow, document));
    EXPECT_EQ(plain(document), QStringLiteral("ok"));
}

TEST(RichText, DataThatIsNotRichTextLeavesTheDocument)
{
    QTextDocument document;
    document.setPlainText(QStringLiteral("before"));
    for (const QByteArray& data :
         {QByteArray(), QByteArray("plain text"), QByteArray("{\\rt"), QByteArray("{\\pict}")}) {
        QString error;
        EXPECT_FALSE(RichText::readRtf(data, &document, {}, &error)) << data.constData();
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(plain(document), QStringLiteral("before"));
    }
    QString error;
    EXPECT_FALSE(RichText::readFile(QStringLiteral("/nonexistent/x.rtf"), &document, &error));
    EXPECT_FALSE(RichText::readFile(QStringLiteral("/nonexistent/x.rtfd"), &document, &error));
    EXPECT_EQ(plain(document), QStringLiteral("before"));
}

TEST(RichText, RtfdAttachmentsBecomeImages)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    ASSERT_TRUE(saveGreenPicture(folder.filePath(QStringLiteral("still one.png")), QImage::Format_ARGB32));
    ASSERT_TRUE(writeFile(folder.filePath(QStringLiteral("broken.png")), "not a png"));
    ASSERT_TRUE(
        writeFile(folder.filePath(QStringLiteral("TXT.rtf")),
                  "{\\rtf1 Before {{\\attachedfile still one.png \\width800 \\height400\n}\\'ac} after "
                  "{{\\attachedfile broken.png}\\'ac}|{{\\attachedfile ../outside.png}\\'ac}|"
                  "{{\\attachedfile missing.png}\\'ac}}"));

    QTextDocument document;
    pf::LogCapture log;
    QString error;
    ASSERT_TRUE(RichText::readFile(folder.path(), &document, &error)) << error.toStdString();
    // The readable image replaces its name and mark; the unreadable one leaves nothing; a name that is no
    // file of the folder stays text.
    EXPECT_EQ(plain(document), QStringLiteral("Before \uFFFC after |../outside.png\u00AC|missing.png\u00AC"));
    const QTextCharFormat format = formatAt(document, 7);
    ASSERT_TRUE(format.isImageFormat());
    const QTextImageFormat image = format.toImageFormat();
    EXPECT_DOUBLE_EQ(image.width(), 40);
    EXPECT_DOUBLE_EQ(image.height(), 20);
    const QImage resource =
        document.resource(QTextDocument::ImageResource, QUrl(image.name())).value<QImage>();
    EXPECT_EQ(resource.size(), QSize(40, 20));
    EXPECT_TRUE(
        log.contains(QStringLiteral("Warning: Rich text attachment \"broken.png\" could not be read")));

    // Read as plain RTF, the same text has no folder and so no attachments.
    ASSERT_TRUE(RichText::readFile(folder.filePath(QStringLiteral("TXT.rtf")), &document));
    EXPECT_TRUE(plain(document).startsWith(QStringLiteral("Before still one.png \u00AC after")));
}

TEST(RichText, EachAttachmentIsReadOnceAndAllTogetherAreBounded)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    ASSERT_TRUE(saveGreenPicture(folder.filePath(QStringLiteral("small.png")), QImage::Format_RGB32));
    // Three large pictures: two fit the bound together, the third does not.
    const int side = 4096;
    const int height = int(RichText::kMaximumAttachmentPixels * 3 / 8 / side);
    QImage large(side, height, QImage::Format_RGB32);
    large.fill(Qt::blue);
    for (const char* name : {"large1.png", "large2.png", "large3.png"})
        ASSERT_TRUE(large.save(folder.filePath(QString::fromLatin1(name))));
    ASSERT_TRUE(writeFile(folder.filePath(QStringLiteral("broken.png")), "not a png"));

    struct Case
    {
        const char* name;
        int times;
        QSize shown; // empty: left out
    };
    const Case cases[] = {
        {"small.png", 300, QSize(40, 20)}, {"large1.png", 2, QSize(side, height)},
        {"broken.png", 3, QSize()},        {"large2.png", 2, QSize(side, height)},
        {"large3.png", 2, QSize()},        {"large1.png", 1, QSize(side, height)},
    };
    QByteArray rtf = "{\\rtf1 ";
    for (const Case& c : cases)
        for (int i = 0; i < c.times; ++i)
            rtf += QByteArray("{{\\attachedfile ") + c.name + "}\\'ac}|";
    rtf += "}";
    ASSERT_TRUE(writeFile(folder.filePath(QStringLiteral("TXT.rtf")), rtf));

    QTextDocument document;
    pf::LogCapture log;
    ASSERT_TRUE(RichText::readFile(folder.path(), &document));
    QList<QSize> shown;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (const QTextCharFormat format = it.fragment().charFormat(); format.isImageFormat())
                for (int i = 0; i < it.fragment().length(); ++i)
                    shown << document
                                 .resource(QTextDocument::ImageResource, QUrl(format.toImageFormat().name()))
                                 .value<QImage>()
                                 .size();
    QList<QSize> expected;
    for (const Case& c : cases)
        if (!c.shown.isEmpty())
            for (int i = 0; i < c.times; ++i)
                expected << c.shown;
    EXPECT_EQ(shown, expected);
    // Each file is read once: one warning for the broken one however often it is named, one for the
    // picture that does not fit.
    EXPECT_EQ(log.lines().filter(QStringLiteral("\"broken.png\" could not be read")).size(), 1);
    EXPECT_EQ(log.lines().filter(QStringLiteral("\"large3.png\" is left out")).size(), 1);
}

TEST(RichText, PastItsBoundsATextKeepsAllItsCharacters)
{
    struct Case
    {
        const char* name;
        QByteArray unit;
        int repeats;
        int blocks, fragmentsAtMost;
        const char* warning;
    };
    const Case cases[] = {
        {"paragraphs", "x\\par ", RichText::kMaximumParagraphs + 3, RichText::kMaximumParagraphs + 1,
         RichText::kMaximumParagraphs + 1, "paragraphs: the rest are joined as lines"},
        {"looks", "{\\b a}b", RichText::kMaximumRuns / 2 + 3, 1, RichText::kMaximumRuns + 1,
         "the rest keeps the last look"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QByteArray rtf = "{\\rtf1 ";
        for (int i = 0; i < c.repeats; ++i)
            rtf += c.unit;
        rtf += "}";
        QTextDocument document;
        pf::LogCapture log;
        ASSERT_TRUE(read(rtf, document));
        EXPECT_EQ(document.blockCount(), c.blocks);
        EXPECT_EQ(document.characterCount(), 2 * c.repeats + 1) << "every character stays";
        int fragments = 0;
        for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
            for (auto it = block.begin(); !it.atEnd(); ++it)
                ++fragments;
        EXPECT_LE(fragments, c.fragmentsAtMost);
        EXPECT_EQ(log.lines().filter(QString::fromLatin1(c.warning)).size(), 1);
    }
    QTextDocument document;
    ASSERT_TRUE(
        read("{\\rtf1 " + QByteArray("x\\par ").repeated(RichText::kMaximumParagraphs + 2) + "}", document));
    EXPECT_EQ(document.lastBlock().text(), QStringLiteral("x\u2028x\u2028"))
        << "later breaks are line breaks";
}

} // namespace
