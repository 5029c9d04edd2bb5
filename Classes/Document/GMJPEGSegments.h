#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <functional>
#include <vector>

// The marker segments of a JPEG and the pictures a multi-picture index (an "MPF" segment: a preview, a
// depth or gain map) names after the first one. Read without trusting the data: what does not lie
// within it is not there. Safe from any thread.
class GMJPEGSegments
{
public:
    GMJPEGSegments() = delete;

    struct Segment
    {
        uchar marker = 0;
        qint64 start = 0; // at the 0xFF of the marker
        qint64 end = 0;   // one past its payload
    };
    // The segments from the start of the data to its first scan (that excluded).
    static std::vector<Segment> header(const QByteArray& data);
    // APPn and comments: what a file tells about its picture (EXIF, profile, XMP, an index of pictures).
    static bool isMetadata(uchar marker) { return (marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE; }
    // The colour profile, put together from its numbered APP2 segments; empty without one.
    static QByteArray profile(const QByteArray& data, const std::vector<Segment>& segments);
    // The EXIF block (from its byte order mark) and the XMP packet; empty without them.
    static QByteArray exif(const QByteArray& data, const std::vector<Segment>& segments);
    static QByteArray xmp(const QByteArray& data, const std::vector<Segment>& segments);
    // Segments holding that EXIF block, XMP packet and profile, as a new file of another kind carries them.
    static QByteArray metadataSegments(const QByteArray& exif, const QByteArray& xmp,
                                       const QByteArray& profile);
    // `data` with its metadata segments from the start on replaced by `metadata`.
    static QByteArray withMetadata(const QByteArray& data, const QByteArray& metadata);
    // `metadata` (segments as the file held them) with the EXIF block `edit` gives in place of its own.
    static QByteArray withExif(const QByteArray& metadata,
                               const std::function<QByteArray(const QByteArray&)>& edit);

    // A picture the index names after the first, with what the index says of it.
    struct Attachment
    {
        QByteArray bytes;
        quint32 attribute = 0;
        int index = 0; // its entry in the index the file had (the first picture's is 0)
    };
    // The pictures after the first one that the file's index names, in its order: from the file's
    // header (its segments up to the first scan) and `read`, which gives the bytes at an offset of the
    // file (fewer where the file ends).
    static std::vector<Attachment> attachments(const QByteArray& header,
                                               const std::function<QByteArray(qint64, qint64)>& read);
    static std::vector<Attachment> attachments(const QByteArray& data);
    // `picture` (one JPEG whose metadata holds the file's index, as it was) followed by `kept`, with the
    // index rewritten to name just those, where they now are. Pictures left out are no longer named;
    // entries that depended on them no longer do.
    static QByteArray withAttachments(const QByteArray& picture, const std::vector<Attachment>& kept);
    // Whether the index names the picture as a reduced copy of the first one (a preview, which shows
    // the picture as it was before the retouch).
    static bool isPreview(const Attachment& attachment);
};
