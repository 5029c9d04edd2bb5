#include "Classes/Framework/StringGMNSStringExtensions.h"

namespace GMNSStringExtensions {

bool containsString(const QString& string, const QString& substring, Qt::CaseSensitivity sensitivity)
{
    return !substring.isEmpty() && string.contains(substring, sensitivity);
}

bool containsString(const QString& string, const QString& substring)
{
    return containsString(string, substring, Qt::CaseSensitive);
}

bool containsStringIn(const QString& string, const QStringList& substrings)
{
    for (const QString& substring : substrings)
        if (containsString(string, substring))
            return true;
    return false;
}

} // namespace GMNSStringExtensions
