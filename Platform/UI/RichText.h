#pragma once

#include <QByteArray>
#include <QString>

class QTextDocument;

namespace pf {

// Reads rich text (RTF) into a QTextDocument, and RTFD folders: "TXT.rtf" with the files it attaches.
//
// What is read: groups; the font and colour tables; bold, italic, underline, font size, colour and font
// (\b \i \ul \ulnone \fs \cf \f \plain); alignment and indents (\ql \qr \qc \qj \li \ri \fi \pard);
// \par \line \tab; \'hh as code page 1252 (as are raw bytes above 127); \u with \uc; the common
// typographic symbols. Destinations marked \* and the known non-text ones (style sheet, info, pictures,
// headers...) are skipped; other unknown words are ignored and their text kept.
//
// In an RTFD, a group opened by an unknown word whose text names a file of the folder is an attachment:
// the image replaces the name, and the attachment mark (¬) that follows the group is dropped.
//
// Hostile files are bounded: text nested deeper than 200 groups is left out, every parameter is
// clamped to a sane range, and no number in the file decides an allocation. The cost is linear in the
// text: past kMaximumParagraphs paragraph breaks become line breaks, and past kMaximumRuns changes of
// look the text keeps the last look (each with a warning). Main thread (the document).
class RichText
{
public:
    static constexpr int kMaximumGroupDepth = 200;
    // Files larger than this are refused rather than read.
    static constexpr qint64 kMaximumFileSize = 32 * 1024 * 1024;
    // All the attached pictures of one text together hold at most this many pixels; each file is read
    // once however often the text names it.
    static constexpr qint64 kMaximumAttachmentPixels = 32 * 1024 * 1024;
    // Each paragraph and each run of one look costs the document about a hundred bytes.
    static constexpr int kMaximumParagraphs = 100'000;
    static constexpr int kMaximumRuns = 100'000;

    // Replaces the document's content with the RTF text; attached files are looked up in
    // `attachmentFolder` (empty: none). Data that is not RTF (no "{\rtf" at its start) leaves the
    // document untouched and answers false with the reason in `error`.
    static bool readRtf(const QByteArray& rtf, QTextDocument* document, const QString& attachmentFolder = {},
                        QString* error = nullptr);
    // An RTFD folder: its "TXT.rtf" with the folder's attachments.
    static bool readRtfd(const QString& folder, QTextDocument* document, QString* error = nullptr);
    // A folder is read as RTFD, a file as RTF.
    static bool readFile(const QString& path, QTextDocument* document, QString* error = nullptr);
};

} // namespace pf
