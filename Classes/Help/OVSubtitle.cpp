#include "Classes/Help/OVSubtitle.h"

#include "Classes/Help/OVTimeValueTransformer.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/TextEncoding.h"

#include <QFile>
#include <functional>
#include <limits>

namespace {

bool blank(QStringView line)
{
    return line.trimmed().isEmpty();
}

// A position for the log, held in 32 bits as the message shows it.
int position32(qsizetype position)
{
    return int(std::min<qsizetype>(position, std::numeric_limits<int>::max()));
}

std::optional<OVSubtitleList> readFile(const QString& path,
                                       const std::function<OVSubtitleList(const QString&)>& parse)
{
    QString error;
    const auto text = OVSubtitle::stringWithContentsOfURL(path, &error);
    if (!text) {
        pf::warning(QStringLiteral("Could not load subtitle file '%1', because %2").arg(path, error));
        return std::nullopt;
    }
    return parse(*text);
}

} // namespace

QString OVSubtitle::description() const
{
    const auto& transformer = timeTransformer();
    return QStringLiteral("%1 --> %2\n%3")
        .arg(transformer.transformedValue(m_start), transformer.transformedValue(m_end), m_string);
}

const OVTimeValueTransformer& OVSubtitle::timeTransformer()
{
    static const OVTimeValueTransformer transformer;
    return transformer;
}

std::optional<QString> OVSubtitle::stringWithContentsOfURL(const QString& path, QString* error)
{
    QFile file(path);
    QString reason;
    if (!file.open(QIODevice::ReadOnly))
        reason = file.errorString();
    else if (file.size() > kMaximumFileSize)
        reason = QStringLiteral("the file is larger than %1 MB").arg(kMaximumFileSize / (1024 * 1024));
    if (!reason.isEmpty()) {
        pf::log(reason);
        if (error)
            *error = reason;
        return std::nullopt;
    }
    return pf::TextEncoding::decodeUnknown(file.read(kMaximumFileSize));
}

std::optional<OVSubtitleList> OVSubtitle::subtitlesFromFileAtURL(const QString& path)
{
    return readFile(path, [](const QString& text) { return subtitlesFromString(text); });
}

std::optional<OVSubtitleList> OVSubtitle::subtitlesFromFileAtURL(const QString& path, double fps)
{
    return readFile(path, [fps](const QString& text) { return subtitlesFromString(text, fps); });
}

OVSubtitleList OVSubtitle::subtitlesFromString(const QString& text)
{
    const auto lines = QStringView(text).split(QLatin1Char('\n'));
    const qsizetype count = lines.size();
    const auto& transformer = timeTransformer();
    OVSubtitleList cues;
    qsizetype i = 0;
    while (i < count) {
        while (i < count - 1 && blank(lines[i]))
            ++i;
        const QStringView numberLine = lines[i];
        const qint64 number = OVTimeValueTransformer::leadingInteger(numberLine);
        const qint64 expected = cues.size() + 1;
        if (number != expected) {
            if (number != 9999 && number != 0)
                pf::warning(QStringLiteral("Parsing fails in Line %1 expected number %2: %3")
                                .arg(QString::number(i), QString::number(expected), numberLine.toString()));
            break;
        }
        if (i + 1 >= count) {
            pf::warning(QStringLiteral("Parsing fails, file ends early (expected time-info)"));
            break;
        }
        const QStringView timeLine = lines[i + 1];
        const auto times = timeLine.split(QStringLiteral("-->"));
        if (times.size() != 2) {
            pf::warning(QStringLiteral("Parsing fails in line %1, can't parse time: %2")
                            .arg(QString::number(i + 2), timeLine.toString()));
            break;
        }
        const double start = transformer.reverseTransformedValue(times[0].toString());
        const double end = transformer.reverseTransformedValue(times[1].toString());
        if (i + 2 >= count) {
            pf::warning(QStringLiteral("Parsing fails, file ends early (expected text)"));
            break;
        }
        qsizetype j = i + 2;
        QStringList textLines;
        while (j < count && !blank(lines[j])) {
            textLines.append(lines[j].trimmed().toString());
            ++j;
        }
        cues.append(
            std::make_shared<const OVSubtitle>(textLines.join(QLatin1Char('\n')).trimmed(), start, end));
        i = j + 1;
    }
    return cues;
}

OVSubtitleList OVSubtitle::subtitlesFromString(const QString& text, double fps)
{
    OVSubtitleList cues;
    // The opening and closing brace of a field, or the warning that ends reading.
    const auto braces = [](QStringView line, const QString& whole, qsizetype& open, qsizetype& close) {
        open = line.indexOf(QLatin1Char('{'));
        close = line.indexOf(QLatin1Char('}'));
        if (open < 0 || close < 0 || open > close) {
            // One pass, so a "%" in the line is never taken for a place holder.
            pf::warning(QStringLiteral("Parsing fails, in line %1 (%2, %3)")
                            .arg(whole, QString::number(open < 0 ? -1 : position32(open)),
                                 QString::number(close < 0 ? -1 : position32(close))));
            return false;
        }
        return true;
    };
    for (const QStringView untrimmed : QStringView(text).split(QLatin1Char('\n'))) {
        const QStringView line = untrimmed.trimmed();
        if (line.isEmpty())
            continue;
        const QString whole = untrimmed.toString();
        qsizetype open = 0, close = 0;
        if (!braces(line, whole, open, close))
            break;
        const qint64 startFrame =
            OVTimeValueTransformer::leadingInteger(line.sliced(open + 1, close - open - 1));
        const QStringView rest = line.sliced(close + 1);
        if (!braces(rest, whole, open, close))
            break;
        const qint64 endFrame =
            OVTimeValueTransformer::leadingInteger(rest.sliced(open + 1, close - open - 1));
        QString string = rest.sliced(close + 1).toString();
        string.replace(QLatin1Char('|'), QLatin1Char('\n'));
        cues.append(
            std::make_shared<const OVSubtitle>(string, double(startFrame) * fps, double(endFrame) * fps));
    }
    return cues;
}
