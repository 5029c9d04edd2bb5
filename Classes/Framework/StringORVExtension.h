#pragma once

#include "Classes/Framework/OVResourceInfo.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTextCharFormat>
#include <QTextLayout>
#include <optional>

// Resource file names ("TYPE#NNN#NAME#OPTIONS", see OVResourceInfo) and "<b>" markup, on strings.
namespace ORVExtension {

// The parts of the last path component, without its extension and without one trailing variant mark
// ("-iPhone", else "-iPad", else "@2x"): the type when the first "#" is at position 5 and, after it, the
// index when the next "#" is 3 characters on; then the name up to the next "#" and the options after it.
OVResourceInfo resourceInfo(const QString& pathOrName);
// The type (empty when absent) followed by "#" and the index in three digits (nothing for NotFound):
// ("ORV-B", 7) gives "ORV-B#007".
QString resourceIDForType(const std::optional<QString>& type, quint64 index);
// The resource ID, "#" and the name; just the name when the ID is empty.
QString resourceIDNameFor(const OVResourceInfo& info);
QString resourceID(const QString& pathOrName);
QString fileprefix(const QString& pathOrName);
QString resourceIDName(const QString& pathOrName);
// The resource folder registered for the string as a type code ("ORV-F" gives "Frames"); empty if none.
QString resourcePath(const QString& typeCode);
// Whether the string contains any of them (an empty one is never contained).
bool hasAnySubstringOf(const QString& string, const QStringList& substrings);

// Text with character formats: `formats` are non-overlapping, in order, and cover the whole text.
struct AttributedString
{
    QString text;
    QList<QTextLayout::FormatRange> formats;
};

// The system font at 10 points.
QTextCharFormat defaultAttributes();
// The string in the attributes (the defaults when absent), every span between the first "<b>" and the
// first "</b>" after it set in the bold face of the same family and size (10 points when the attributes
// name no font), the two marks removed, repeated while both marks remain. A "</b>" before the next
// "<b>" is malformed markup: the rest is left as plain text, marks and all.
AttributedString
atrributedStringWithAtributes(const QString& string,
                              const std::optional<QTextCharFormat>& attributes = std::nullopt);

} // namespace ORVExtension
