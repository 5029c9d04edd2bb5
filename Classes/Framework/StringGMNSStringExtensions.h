#pragma once

#include <QString>
#include <QStringList>

// Substring tests on strings. An empty substring is never contained.
namespace GMNSStringExtensions {

bool containsString(const QString& string, const QString& substring, Qt::CaseSensitivity sensitivity);
bool containsString(const QString& string, const QString& substring);
// True at the first element that the string contains; false for an empty list or no match.
bool containsStringIn(const QString& string, const QStringList& substrings);

} // namespace GMNSStringExtensions
