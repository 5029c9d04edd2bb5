#include "Classes/Help/OVTimeValueTransformer.h"

#include <cmath>
#include <limits>

namespace {

// The largest time SubRip's two-digit hours can show.
constexpr qint64 kMaximumMilliseconds = ((99LL * 60 + 59) * 60 + 59) * 1000 + 999;
// A field's number is held within this magnitude, so no sum of fields overflows to infinity or NaN.
constexpr double kFieldLimit = 1e15;

// The index past the leading white space and an optional sign; `negative` says whether the sign was a
// minus.
qsizetype skipSpaceAndSign(QStringView text, bool& negative)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    return i;
}

} // namespace

QString OVTimeValueTransformer::transformedValue(double seconds) const
{
    qint64 total = 0;
    if (seconds > 0) // false for NaN too
        total = seconds * 1000.0 >= double(kMaximumMilliseconds) ? kMaximumMilliseconds
                                                                 : std::llround(seconds * 1000.0);
    total = std::min(total, kMaximumMilliseconds);
    const int ms = int(total % 1000);
    const qint64 wholeSeconds = total / 1000;
    const int s = int(wholeSeconds % 60);
    const int m = int(wholeSeconds / 60 % 60);
    const int h = int(wholeSeconds / 3600);
    return QString::asprintf("%02d:%02d:%02d,%03d", h, m, s, ms);
}

double OVTimeValueTransformer::reverseTransformedValue(const QString& text) const
{
    QStringView rest(text);
    double milliseconds = 0;
    const qsizetype comma = rest.lastIndexOf(QLatin1Char(','));
    if (comma >= 0) {
        milliseconds = leadingNumber(rest.sliced(comma + 1));
        rest = rest.first(comma);
    }
    double hours = 0, minutes = 0, seconds = 0;
    const qsizetype lastColon = rest.lastIndexOf(QLatin1Char(':'));
    if (lastColon < 0) {
        seconds = leadingNumber(rest);
    } else {
        seconds = leadingNumber(rest.sliced(lastColon + 1));
        const QStringView before = rest.first(lastColon);
        const qsizetype firstColon = before.lastIndexOf(QLatin1Char(':'));
        if (firstColon < 0) {
            minutes = leadingNumber(before);
        } else {
            minutes = leadingNumber(before.sliced(firstColon + 1));
            hours = leadingNumber(before.first(firstColon));
        }
    }
    return ((hours * 60) + minutes) * 60 + seconds + milliseconds / 1000;
}

double OVTimeValueTransformer::leadingNumber(QStringView text)
{
    bool negative = false;
    qsizetype i = skipSpaceAndSign(text, negative);
    double value = 0;
    while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128) {
        value = std::min(kFieldLimit, value * 10 + (text[i].unicode() - '0'));
        ++i;
    }
    if (i < text.size() && text[i] == QLatin1Char('.')) {
        ++i;
        double scale = 0.1;
        while (i < text.size() && text[i].isDigit() && text[i].unicode() < 128) {
            value += (text[i].unicode() - '0') * scale;
            scale /= 10;
            ++i;
        }
        value = std::min(kFieldLimit, value);
    }
    return negative ? -value : value;
}

qint64 OVTimeValueTransformer::leadingInteger(QStringView text)
{
    bool negative = false;
    qsizetype i = skipSpaceAndSign(text, negative);
    constexpr qint64 limit = std::numeric_limits<qint64>::max();
    qint64 value = 0;
    while (i < text.size() && text[i].unicode() >= '0' && text[i].unicode() <= '9') {
        const int digit = text[i].unicode() - '0';
        value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
        ++i;
    }
    return negative ? -value : value;
}
