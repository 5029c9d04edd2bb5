#include "Platform/Foundation/TextEncoding.h"

#include <QStringDecoder>

namespace pf::TextEncoding {

namespace {

// 0x80 to 0x9F; zero marks a byte the code page leaves undefined. The rest is Latin-1.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

} // namespace

std::optional<char16_t> codePage1252Character(unsigned char byte)
{
    if (byte < 0x80 || byte > 0x9F)
        return char16_t(byte);
    const char16_t c = kHighControls[byte - 0x80];
    if (c == 0)
        return std::nullopt;
    return c;
}

std::optional<QString> decodeCodePage1252(const QByteArray& bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char b : bytes) {
        const auto c = codePage1252Character(static_cast<unsigned char>(b));
        if (!c)
            return std::nullopt;
        *out++ = QChar(*c);
    }
    return text;
}

std::optional<QString> decodeUtf8(const QByteArray& bytes)
{
    // Qt's decoder replaces malformed input and reports it through hasError(); a strict reading refuses.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QString decodeUnknown(const QByteArray& bytes)
{
    const auto starts = [&](std::initializer_list<unsigned char> mark) {
        if (bytes.size() < qsizetype(mark.size()))
            return false;
        qsizetype i = 0;
        for (const unsigned char m : mark)
            if (static_cast<unsigned char>(bytes[i++]) != m)
                return false;
        return true;
    };
    if (starts({0xEF, 0xBB, 0xBF})) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        return decoder.decode(bytes.sliced(3));
    }
    if (starts({0xFF, 0xFE}) || starts({0xFE, 0xFF})) {
        QStringDecoder decoder(starts({0xFF, 0xFE}) ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
                               QStringDecoder::Flag::Stateless);
        return decoder.decode(bytes.sliced(2));
    }
    if (auto text = decodeUtf8(bytes))
        return *text;
    if (auto text = decodeCodePage1252(bytes))
        return *text;
    return QString::fromLatin1(bytes);
}

} // namespace pf::TextEncoding
