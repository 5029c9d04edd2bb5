#pragma once

#include <QString>
#include <QtGlobal>
#include <concepts>
#include <optional>

namespace pf {

// Numbers in text that is stored or exchanged: always the C locale (a decimal point, no grouping),
// whatever the user's locale or the process's setlocale().

// Formats with a printf-style format holding exactly one conversion, optionally with literal text
// around it ("%%" for a percent sign): for doubles f F e E g G a A, for integers d i u x X o, each with
// the usual flags, width and precision. Length modifiers (l, ll, h, ...) are accepted and ignored: the
// value's own type decides. A malformed format, or one whose conversion does not fit the value, is
// reported and the value is formatted as with "%g" or "%d" instead.
QString formatNumber(double value, const char* printfStyleFormat = "%f");
QString formatInteger(qint64 value, const char* printfStyleFormat = "%d");
QString formatUnsignedInteger(quint64 value, const char* printfStyleFormat = "%u");

template <std::integral T>
requires(!std::same_as<T, bool>) QString formatNumber(T value, const char* printfStyleFormat = "%d")
{
    if constexpr (std::is_signed_v<T>)
        return formatInteger(static_cast<qint64>(value), printfStyleFormat);
    else
        return formatUnsignedInteger(static_cast<quint64>(value), printfStyleFormat);
}

// The shortest text that reads back as exactly the same double ("0.1", "1e+300", "-0", "inf", "nan").
QString formatShortest(double value);

// The whole text (surrounding white space allowed) must be one number: "1.5", "-2e-3", "+7", ".5",
// "inf", "nan". Refuses anything else, a decimal comma in particular ("1,5"), and values out of range.
std::optional<double> parseDouble(const QString& text);
// Decimal digits with an optional sign; refuses fractions, exponents and values beyond qint64.
std::optional<qint64> parseInteger(const QString& text);

// Lenient reading of numbers typed into text lists: white space at the start is skipped, then the
// longest decimal number there is read ("12.5abc" gives 12.5, "-.5e1 x" gives -5), and a text that does
// not start with one gives 0, and so does a magnitude beyond the double range ("1e999"): the result
// is always finite.
double leadingNumberValue(const QString& text);

} // namespace pf
