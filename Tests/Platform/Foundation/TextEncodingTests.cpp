#include "Platform/Foundation/TextEncoding.h"

#include <gtest/gtest.h>

namespace {

using namespace pf::TextEncoding;

TEST(TextEncoding, UnknownTextIsDecodedByMarkThenUtf8ThenCodePage1252ThenLatin1)
{
    struct Case
    {
        QByteArray bytes;
        QString text;
    };
    const Case cases[] = {
        {QByteArray("plain"), QStringLiteral("plain")},
        {QByteArray("\xEF\xBB\xBF"
                    "1\n"),
         QStringLiteral("1\n")},
        {QByteArray("\xFF\xFE"
                    "1\0\n\0",
                    6),
         QStringLiteral("1\n")},
        {QByteArray("\xFE\xFF"
                    "\0"
                    "1\0\n",
                    6),
         QStringLiteral("1\n")},
        {QByteArray("caf\xC3\xA9"), QStringLiteral("caf\u00E9")},
        // Not UTF-8: the code page's curly quotes and euro.
        {QByteArray("\x93q\x94 \x80"), QStringLiteral("\u201Cq\u201D \u20AC")},
        // An overlong encoding and a lone surrogate are no UTF-8 either.
        {QByteArray("\xC0\xAF"), QStringLiteral("\u00C0\u00AF")},
        {QByteArray("\xED\xA0\x80"), QStringLiteral("\u00ED\u00A0\u20AC")},
        // A byte the code page leaves undefined: Latin-1 reads everything.
        {QByteArray("\x93\x81"), QStringLiteral("\u0093\u0081")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(decodeUnknown(c.bytes), c.text) << c.bytes.toHex().constData();
}

TEST(TextEncoding, CodePage1252HasFiveUndefinedBytes)
{
    int undefined = 0;
    for (int b = 0; b < 256; ++b)
        if (!codePage1252Character(static_cast<unsigned char>(b)))
            ++undefined;
    EXPECT_EQ(undefined, 5);
    EXPECT_EQ(codePage1252Character(0x9F), char16_t(0x0178));
    EXPECT_EQ(codePage1252Character(0xA0), char16_t(0x00A0));
    EXPECT_FALSE(decodeCodePage1252(QByteArray("ok\x9D")));
}

} // namespace
