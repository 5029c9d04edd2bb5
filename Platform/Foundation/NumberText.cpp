#include "Platform/Foundation/NumberText.h"

#include "Platform/Foundation/Log.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <string>
#include <system_error>

namespace pf {

namespace {

// Formats in the C locale for the calling thread only, so other threads keep theirs.
class CLocaleScope
{
public:
    CLocaleScope()
    {
        static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
        if (cLocale)
            m_previous = uselocale(cLocale);
    }
    ~CLocaleScope()
    {
        if (m_previous)
            uselocale(m_previous);
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t m_previous = nullptr;
};

enum class Kind
{
    Floating,
    Integer
};

// A format taken apart: literal text around one conversion, which is rebuilt with the length modifier
// the value needs. Anything that would make printf read a second argument ('*', a second conversion)
// is refused, so a format from a data file can never read past the value.
struct Conversion
{
    std::string prefix;
    std::string spec; // flags, width, precision
    char conversion = 0;
    std::string suffix;
};

constexpr int kMaxFieldLength = 1000;

void scanLiteral(const char*& p, std::string& out)
{
    while (*p) {
        if (*p == '%') {
            if (p[1] != '%')
                return;
            out += "%%";
            p += 2;
        } else {
            out += *p++;
        }
    }
}

bool scanNumber(const char*& p, std::string& out)
{
    int value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + (*p - '0');
        if (value > kMaxFieldLength)
            return false;
        out += *p++;
    }
    return true;
}

std::optional<Conversion> parseFormat(const char* format, Kind kind)
{
    if (!format)
        return std::nullopt;
    Conversion result;
    const char* p = format;
    scanLiteral(p, result.prefix);
    if (*p != '%')
        return std::nullopt; // no conversion at all
    ++p;
    while (*p && std::strchr("-+ #0'", *p))
        result.spec += *p++;
    if (!scanNumber(p, result.spec))
        return std::nullopt;
    if (*p == '.') {
        result.spec += *p++;
        if (!scanNumber(p, result.spec))
            return std::nullopt;
    }
    while (*p && std::strchr("hlLqjzt", *p))
        ++p;
    const char* accepted = kind == Kind::Floating ? "fFeEgGaA" : "diuxXo";
    if (!*p || !std::strchr(accepted, *p))
        return std::nullopt;
    result.conversion = *p++;
    scanLiteral(p, result.suffix);
    if (*p) // a second conversion
        return std::nullopt;
    return result;
}

template <typename T> QString printInCLocale(const std::string& format, T value)
{
    CLocaleScope scope;
    char small[128];
    const int length = std::snprintf(small, sizeof small, format.c_str(), value);
    if (length < 0)
        return {};
    if (length < int(sizeof small))
        return QString::fromLatin1(small, length);
    std::string large(size_t(length) + 1, '\0');
    std::snprintf(large.data(), large.size(), format.c_str(), value);
    return QString::fromLatin1(large.data(), length);
}

std::optional<Conversion> conversionOrFallback(const char* format, Kind kind, const char* fallback)
{
    if (auto conversion = parseFormat(format, kind))
        return conversion;
    warning(QStringLiteral("Number format \"%1\" is not a single %2 conversion; using \"%3\"")
                .arg(QString::fromUtf8(format ? format : ""),
                     QLatin1String(kind == Kind::Floating ? "floating-point" : "integer"),
                     QLatin1String(fallback)));
    return parseFormat(fallback, kind);
}

QString formatIntegral(bool isSigned, qint64 signedValue, quint64 unsignedValue, const char* format,
                       const char* fallback)
{
    const Conversion c = *conversionOrFallback(format, Kind::Integer, fallback);
    const bool decimal = c.conversion == 'd' || c.conversion == 'i';
    const std::string rebuilt =
        c.prefix + '%' + c.spec + "ll" + (decimal && !isSigned ? 'u' : c.conversion) + c.suffix;
    if (decimal && isSigned)
        return printInCLocale(rebuilt, static_cast<long long>(signedValue));
    return printInCLocale(rebuilt,
                          static_cast<unsigned long long>(isSigned ? quint64(signedValue) : unsignedValue));
}

// The text as ASCII without surrounding white space and without a leading '+', or nothing when it
// holds other characters (digits of other scripts must not be read as something else).
std::optional<std::string> numberCharacters(const QString& text)
{
    const QString trimmed = text.trimmed();
    std::string result;
    result.reserve(trimmed.size());
    for (QChar character : trimmed) {
        if (character.unicode() >= 128)
            return std::nullopt;
        result += char(character.unicode());
    }
    if (!result.empty() && result.front() == '+') {
        result.erase(0, 1);
        if (!result.empty() && (result.front() == '+' || result.front() == '-'))
            return std::nullopt;
    }
    if (result.empty())
        return std::nullopt;
    return result;
}

// The whole text read as one number of type T in the C locale; nothing when anything is left over.
template <typename T> std::optional<T> parseWhole(const QString& text)
{
    const std::optional<std::string> characters = numberCharacters(text);
    if (!characters)
        return std::nullopt;
    const char* begin = characters->data();
    const char* end = begin + characters->size();
    T value = 0;
    const auto [stop, error] = std::from_chars(begin, end, value);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

} // namespace

QString formatNumber(double value, const char* printfStyleFormat)
{
    const Conversion c = *conversionOrFallback(printfStyleFormat, Kind::Floating, "%g");
    return printInCLocale(c.prefix + '%' + c.spec + c.conversion + c.suffix, value);
}

QString formatInteger(qint64 value, const char* printfStyleFormat)
{
    return formatIntegral(true, value, 0, printfStyleFormat, "%d");
}

QString formatUnsignedInteger(quint64 value, const char* printfStyleFormat)
{
    return formatIntegral(false, 0, value, printfStyleFormat, "%u");
}

QString formatShortest(double value)
{
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (error != std::errc())
        return formatNumber(value, "%.17g");
    return QString::fromLatin1(buffer, end - buffer);
}

std::optional<double> parseDouble(const QString& text)
{
    return parseWhole<double>(text);
}

std::optional<qint64> parseInteger(const QString& text)
{
    if (const std::optional<long long> value = parseWhole<long long>(text))
        return qint64(*value);
    return std::nullopt;
}

double leadingNumberValue(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text.at(i).isSpace())
        ++i;
    std::string digits;
    auto isDigit = [&](qsizetype at) { return at < n && text.at(at) >= u'0' && text.at(at) <= u'9'; };
    bool negative = false;
    if (i < n && (text.at(i) == u'+' || text.at(i) == u'-'))
        negative = text.at(i++) == u'-';
    bool anyDigit = false;
    for (; isDigit(i); ++i, anyDigit = true)
        digits += char(text.at(i).unicode());
    if (i < n && text.at(i) == u'.') {
        digits += '.';
        for (++i; isDigit(i); ++i, anyDigit = true)
            digits += char(text.at(i).unicode());
    }
    if (!anyDigit)
        return 0.0;
    // An exponent counts only when digits follow it ("2e" is 2).
    if (i < n && (text.at(i) == u'e' || text.at(i) == u'E')) {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (j < n && (text.at(j) == u'+' || text.at(j) == u'-'))
            exponent += char(text.at(j++).unicode());
        if (isDigit(j)) {
            for (; isDigit(j); ++j)
                exponent += char(text.at(j).unicode());
            digits += exponent;
        }
    }
    CLocaleScope scope;
    const double value = std::strtod(digits.c_str(), nullptr);
    // A magnitude beyond the double range is no number a text list can mean: an infinity would turn
    // every sum and product it enters into infinities and NaNs. It reads as 0, as a text that is not a
    // number does. Values that underflow give 0 or a subnormal, as they are.
    if (!std::isfinite(value))
        return 0.0;
    return negative ? -value : value;
}

} // namespace pf
