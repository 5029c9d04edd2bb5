#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace pf {

// Decoding of text files whose encoding nobody declared, and the Windows Western code page that older
// rich text and subtitle files are written in. Pure functions, any thread.
namespace TextEncoding {

// The character of one byte in code page 1252; nothing for its five undefined bytes (0x81, 0x8D, 0x8F,
// 0x90, 0x9D).
std::optional<char16_t> codePage1252Character(unsigned char byte);
// The whole text in code page 1252; nothing when it holds an undefined byte.
std::optional<QString> decodeCodePage1252(const QByteArray& bytes);
// Strict UTF-8: nothing for malformed, overlong or surrogate sequences.
std::optional<QString> decodeUtf8(const QByteArray& bytes);

// A byte-order mark (UTF-8, UTF-16 LE or BE) is recognised and stripped and decides the decoding.
// Without one: strict UTF-8, then code page 1252, then Latin-1 (which reads any bytes).
QString decodeUnknown(const QByteArray& bytes);

} // namespace TextEncoding

} // namespace pf
