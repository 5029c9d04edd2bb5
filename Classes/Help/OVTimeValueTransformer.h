#pragma once

#include <QString>

// Seconds to SubRip time text ("01:02:03,004") and back.
class OVTimeValueTransformer
{
public:
    static bool allowsReverseTransformation() { return true; }

    // "%02d:%02d:%02d,%03d" of hours, minutes, seconds and milliseconds. The time is rounded to whole
    // milliseconds first, so a fraction that rounds up carries into the seconds. Negative times and NaN
    // print as zero; times beyond 99:59:59,999 (infinity too) print as that.
    QString transformedValue(double seconds) const;
    // The last "," splits off the milliseconds, then ":" splits seconds, minutes and hours from the right.
    // Each field is the decimal number at its start (0 when it holds none), so "02:03,5" is 123.005.
    double reverseTransformedValue(const QString& text) const;

    // The decimal number at the start of `text` after white space (sign, digits, fraction); 0 when there
    // is none. Saturates rather than overflowing.
    static double leadingNumber(QStringView text);
    // The integer at the start of `text` after white space (optional sign, digits); 0 when there is none.
    // A run of digits beyond 64 bits saturates.
    static qint64 leadingInteger(QStringView text);
};
