#include "Classes/Framework/StringORVExtension.h"

#include "Classes/Framework/BundleORVExtension.h"

#include <QFont>
#include <vector>

namespace ORVExtension {

namespace {

QString withoutExtension(const QString& pathOrName)
{
    QString component = pathOrName.mid(pathOrName.lastIndexOf(u'/') + 1);
    const qsizetype dot = component.lastIndexOf(u'.');
    if (dot > 0)
        component.truncate(dot);
    return component;
}

// A mark counts only when its first occurrence ends the name.
bool removeTrailingMark(QString& name, const QString& mark)
{
    const qsizetype at = name.indexOf(mark);
    if (at < 0 || at + mark.size() != name.size())
        return false;
    name.truncate(at);
    return true;
}

// Leading blanks, an optional sign and digits, like a C-style integer read; no digits give 0.
quint64 indexFromText(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    quint64 value = 0;
    bool anyDigit = false;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + quint64(text[i].unicode() - u'0');
        anyDigit = true;
    }
    if (negative && anyDigit && value != 0)
        return OVResourceInfo::NotFound;
    return value;
}

bool hasFont(const QTextCharFormat& format)
{
    return format.hasProperty(QTextFormat::FontFamilies) || format.hasProperty(QTextFormat::FontPointSize) ||
           format.hasProperty(QTextFormat::FontPixelSize);
}

} // namespace

OVResourceInfo resourceInfo(const QString& pathOrName)
{
    QString rest = withoutExtension(pathOrName);
    if (!removeTrailingMark(rest, QStringLiteral("-iPhone")) &&
        !removeTrailingMark(rest, QStringLiteral("-iPad")))
        removeTrailingMark(rest, QStringLiteral("@2x"));

    OVResourceInfo info;
    // The index can only follow a type.
    if (rest.indexOf(u'#') == 5) {
        info.setType(rest.left(5));
        rest = rest.mid(6);
        if (rest.indexOf(u'#') == 3) {
            info.setIndex(indexFromText(rest.left(3)));
            rest = rest.mid(4);
        }
    }
    const qsizetype hash = rest.indexOf(u'#');
    if (hash < 0) {
        info.setName(rest);
    } else {
        info.setName(rest.left(hash));
        info.setOptions(rest.mid(hash + 1));
    }
    return info;
}

QString resourceIDForType(const std::optional<QString>& type, quint64 index)
{
    QString id = type.value_or(QString());
    if (index != OVResourceInfo::NotFound)
        id += QStringLiteral("#%1").arg(index, 3, 10, QLatin1Char('0'));
    return id;
}

QString resourceIDNameFor(const OVResourceInfo& info)
{
    const QString id = resourceIDForType(info.type(), info.index());
    return id.isEmpty() ? info.name() : id + u'#' + info.name();
}

QString resourceID(const QString& pathOrName)
{
    const OVResourceInfo info = resourceInfo(pathOrName);
    return resourceIDForType(info.type(), info.index());
}

QString fileprefix(const QString& pathOrName)
{
    return resourceID(pathOrName);
}

QString resourceIDName(const QString& pathOrName)
{
    return resourceIDNameFor(resourceInfo(pathOrName));
}

QString resourcePath(const QString& typeCode)
{
    return directoryForResourceType(typeCode);
}

bool hasAnySubstringOf(const QString& string, const QStringList& substrings)
{
    for (const QString& substring : substrings)
        if (!substring.isEmpty() && string.contains(substring))
            return true;
    return false;
}

QTextCharFormat defaultAttributes()
{
    // No family: the application's font, which is the system's.
    QTextCharFormat format;
    format.setFontPointSize(10.0);
    return format;
}

AttributedString atrributedStringWithAtributes(const QString& string,
                                               const std::optional<QTextCharFormat>& attributes)
{
    const QTextCharFormat base = attributes.value_or(defaultAttributes());
    QTextCharFormat bold = base;
    if (!hasFont(base))
        bold.setFontPointSize(10.0);
    bold.setFontWeight(QFont::Bold);

    QString text = string;
    std::vector<bool> isBold(size_t(text.size()), false);
    const QString open = QStringLiteral("<b>");
    const QString close = QStringLiteral("</b>");
    for (;;) {
        const qsizetype start = text.indexOf(open);
        const qsizetype end = text.indexOf(close);
        if (start < 0 || end < 0 || end < start)
            break;
        text.remove(end, close.size());
        isBold.erase(isBold.begin() + end, isBold.begin() + end + close.size());
        text.remove(start, open.size());
        isBold.erase(isBold.begin() + start, isBold.begin() + start + open.size());
        std::fill(isBold.begin() + start, isBold.begin() + (end - open.size()), true);
    }

    AttributedString result{text, {}};
    qsizetype runStart = 0;
    for (qsizetype i = 1; i <= text.size(); ++i) {
        if (i == text.size() || isBold[size_t(i)] != isBold[size_t(runStart)]) {
            result.formats.append({int(runStart), int(i - runStart), isBold[size_t(runStart)] ? bold : base});
            runStart = i;
        }
    }
    return result;
}

} // namespace ORVExtension
