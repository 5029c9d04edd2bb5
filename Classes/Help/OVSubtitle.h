#pragma once

#include <QList>
#include <QString>
#include <memory>
#include <optional>

class OVTimeValueTransformer;

class OVSubtitle;
// Cues are shared: the subtitle view tells a change of cue by identity.
using OVSubtitleList = QList<std::shared_ptr<const OVSubtitle>>;

// One timed text cue of a help movie, with the readers of SubRip files and of the one-line-per-cue
// format with frame numbers in braces. Plain logic, any thread.
class OVSubtitle
{
public:
    OVSubtitle() = default;
    OVSubtitle(const QString& string, double from, double to) : m_string(string), m_start(from), m_end(to) {}

    double start() const { return m_start; }
    void setStart(double start) { m_start = start; }
    double end() const { return m_end; }
    void setEnd(double end) { m_end = end; }
    QString string() const { return m_string; }
    void setString(const QString& string) { m_string = string; }
    bool fixed() const { return m_fixed; }
    void setFixed(bool fixed) { m_fixed = fixed; }

    // "start --> end\ntext", the times in SubRip notation.
    QString description() const;

    // The cues of a SubRip file; nothing when the file cannot be read as text. Problems in the file end
    // reading with a warning, and the cues before them are returned.
    static std::optional<OVSubtitleList> subtitlesFromFileAtURL(const QString& path);
    // The cues of a frame-numbered file ("{25}{50}Hello|World"), the frame numbers multiplied by `fps`
    // (seconds per frame, despite its name).
    static std::optional<OVSubtitleList> subtitlesFromFileAtURL(const QString& path, double fps);
    // The same readers on text already read.
    static OVSubtitleList subtitlesFromString(const QString& text);
    static OVSubtitleList subtitlesFromString(const QString& text, double fps);
    // The file's text: a byte-order mark decides the encoding, else strict UTF-8, code page 1252 and
    // Latin-1 in that order. Nothing (with the reason in `error`) when the file cannot be read.
    static std::optional<QString> stringWithContentsOfURL(const QString& path, QString* error = nullptr);

    // The transformer the readers and description() share.
    static const OVTimeValueTransformer& timeTransformer();

    // Files larger than this are not read as subtitles.
    static constexpr qint64 kMaximumFileSize = 64 * 1024 * 1024;

private:
    QString m_string;
    double m_start = 0;
    double m_end = 0;
    bool m_fixed = false;
};
