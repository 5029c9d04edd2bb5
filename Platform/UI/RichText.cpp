#include "Platform/UI/RichText.h"

#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/TextEncoding.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>
#include <algorithm>
#include <optional>
#include <vector>

namespace pf {

namespace {

// Word and parameter lengths beyond these are no RTF any writer makes; longer runs are read to their end
// and saturate.
constexpr int kMaximumWordLength = 32;
constexpr qint64 kParameterLimit = 1'000'000'000;
// Text of one look is handed to the document in pieces of this many characters.
constexpr qsizetype kPendingPiece = 64 * 1024;
// Attached images larger than this on a side are not loaded.
constexpr int kMaximumImageSide = 16384;

struct CharState
{
    int font = -1; // -1: the document's default font (\deff)
    int halfPoints = 24;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int color = 0;
    bool operator==(const CharState&) const = default;
};

struct ParState
{
    Qt::Alignment alignment = Qt::AlignLeft;
    int leftTwips = 0;
    int rightTwips = 0;
    int firstTwips = 0;
};

enum class Destination
{
    Text,
    Skip,
    FontTable,
    ColorTable,
};

struct Group
{
    CharState chars;
    ParState par;
    Destination destination = Destination::Text;
    int unicodeSkip = 1;
    bool seenFirstToken = false;
    // The document position where a possible attachment's name began (-1: none).
    int attachmentStart = -1;
};

enum class Word
{
    Unknown,
    Ignored,
    Rtf,
    DefaultFont,
    FontTable,
    ColorTable,
    SkipDestination,
    Paragraph,
    Line,
    Tab,
    Bold,
    Italic,
    Underline,
    UnderlineNone,
    Font,
    FontSize,
    Color,
    Plain,
    Pard,
    AlignLeft,
    AlignRight,
    AlignCenter,
    AlignJustify,
    LeftIndent,
    RightIndent,
    FirstIndent,
    Unicode,
    UnicodeSkip,
    Binary,
    Red,
    Green,
    Blue,
    Character,
};

struct WordInfo
{
    Word word;
    char16_t character = 0;
};

const QHash<QByteArray, WordInfo>& words()
{
    static const QHash<QByteArray, WordInfo> table = [] {
        QHash<QByteArray, WordInfo> t;
        for (const char* w : {"stylesheet",   "info",       "pict",
                              "object",       "header",     "headerl",
                              "headerr",      "headerf",    "footer",
                              "footerl",      "footerr",    "footerf",
                              "footnote",     "listtable",  "listoverridetable",
                              "revtbl",       "rsidtbl",    "generator",
                              "xmlnstbl",     "themedata",  "colorschememapping",
                              "latentstyles", "datastore",  "filetbl",
                              "fldinst",      "nonshppict", "shp",
                              "annotation",   "atnid",      "atnauthor",
                              "bkmkstart",    "bkmkend",    "userprops",
                              "docvar",       "pgdsctbl",   "operator",
                              "author",       "title",      "comment"})
            t.insert(w, {Word::SkipDestination});
        for (const char* w : {"ansi",     "ansicpg",     "mac",       "pc",       "pca",
                              "field",    "fldrslt",     "fnil",      "froman",   "fswiss",
                              "fmodern",  "fscript",     "fdecor",    "ftech",    "fbidi",
                              "fcharset", "fprq",        "cocoartf",  "viewkind", "margl",
                              "margr",    "paperw",      "paperh",    "sa",       "sb",
                              "sl",       "slmult",      "tx",        "ltrch",    "rtlch",
                              "lang",     "nowidctlpar", "kerning",   "expnd",    "expndtw",
                              "outl",     "strokewidth", "highlight", "cb",       "partightenfactor"})
            t.insert(w, {Word::Ignored});
        const std::pair<const char*, Word> simple[] = {
            {"rtf", Word::Rtf},
            {"deff", Word::DefaultFont},
            {"fonttbl", Word::FontTable},
            {"colortbl", Word::ColorTable},
            {"par", Word::Paragraph},
            {"sect", Word::Paragraph},
            {"page", Word::Paragraph},
            {"row", Word::Paragraph},
            {"line", Word::Line},
            {"tab", Word::Tab},
            {"cell", Word::Tab},
            {"b", Word::Bold},
            {"i", Word::Italic},
            {"ul", Word::Underline},
            {"uld", Word::Underline},
            {"uldb", Word::Underline},
            {"ulw", Word::Underline},
            {"ulnone", Word::UnderlineNone},
            {"f", Word::Font},
            {"fs", Word::FontSize},
            {"cf", Word::Color},
            {"plain", Word::Plain},
            {"pard", Word::Pard},
            {"ql", Word::AlignLeft},
            {"qr", Word::AlignRight},
            {"qc", Word::AlignCenter},
            {"qj", Word::AlignJustify},
            {"li", Word::LeftIndent},
            {"ri", Word::RightIndent},
            {"fi", Word::FirstIndent},
            {"u", Word::Unicode},
            {"uc", Word::UnicodeSkip},
            {"bin", Word::Binary},
            {"red", Word::Red},
            {"green", Word::Green},
            {"blue", Word::Blue},
        };
        for (const auto& [w, word] : simple)
            t.insert(w, {word});
        const std::pair<const char*, char16_t> characters[] = {
            {"emdash", 0x2014},  {"endash", 0x2013},    {"bullet", 0x2022},    {"lquote", 0x2018},
            {"rquote", 0x2019},  {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"emspace", 0x2003},
            {"enspace", 0x2002}, {"qmspace", 0x2005},
        };
        for (const auto& [w, c] : characters)
            t.insert(w, {Word::Character, c});
        return t;
    }();
    return table;
}

class Reader
{
public:
    // Reads `data` from `start` on.
    Reader(const QByteArray& data, qsizetype start, QTextDocument* document, const QString& attachmentFolder)
        : m_data(data), m_document(document), m_cursor(document), m_folder(attachmentFolder), m_pos(start)
    {}

    void run()
    {
        m_document->clear();
        // One edit for the whole text: the document lays itself out once at the end, and keeps no undo
        // step per run of text.
        const bool undo = m_document->isUndoRedoEnabled();
        m_document->setUndoRedoEnabled(false);
        m_cursor = QTextCursor(m_document);
        m_cursor.beginEditBlock();
        m_stack.reserve(RichText::kMaximumGroupDepth);
        const qsizetype size = m_data.size();
        while (m_pos < size) {
            const char c = m_data[m_pos];
            if (c == '{') {
                ++m_pos;
                openGroup();
            } else if (c == '}') {
                ++m_pos;
                if (!closeGroup())
                    break; // the outermost group has ended: what follows is not part of the text
            } else if (c == '\\') {
                ++m_pos;
                controlSequence();
            } else {
                ++m_pos;
                textByte(static_cast<unsigned char>(c));
            }
        }
        // Groups left open at the end of the data end there.
        while (!m_stack.empty() && closeGroup()) {
        }
        finishParagraph(false);
        m_cursor.endEditBlock();
        m_document->setUndoRedoEnabled(undo);
        if (m_tooDeep)
            warning(QStringLiteral("Rich text nested deeper than %1 groups: the deeper text is left out")
                        .arg(RichText::kMaximumGroupDepth));
        if (m_paragraphs >= RichText::kMaximumParagraphs)
            warning(QStringLiteral("Rich text has more than %1 paragraphs: the rest are joined as lines")
                        .arg(RichText::kMaximumParagraphs));
        if (m_runs >= RichText::kMaximumRuns)
            warning(
                QStringLiteral("Rich text changes its look more than %1 times: the rest keeps the last look")
                    .arg(RichText::kMaximumRuns));
    }

private:
    Group& top() { return m_stack.back(); }
    bool skipping() const
    {
        return m_excessDepth > 0 || m_stack.empty() || m_stack.back().destination == Destination::Skip;
    }

    void openGroup()
    {
        m_unicodeSkipLeft = 0;
        if (m_excessDepth > 0 || int(m_stack.size()) >= RichText::kMaximumGroupDepth) {
            ++m_excessDepth;
            m_tooDeep = true;
            return;
        }
        Group group = m_stack.empty() ? Group() : top();
        group.seenFirstToken = false;
        group.attachmentStart = -1;
        m_stack.push_back(group);
    }

    // False when the outermost group closed.
    bool closeGroup()
    {
        m_unicodeSkipLeft = 0;
        if (m_excessDepth > 0) {
            --m_excessDepth;
            return true;
        }
        if (m_stack.empty())
            return false;
        const Group closing = top();
        if (closing.attachmentStart >= 0)
            finishAttachment(closing.attachmentStart);
        if (closing.destination == Destination::FontTable && !m_fontName.isEmpty())
            storeFont();
        if (m_stack.size() == 1)
            m_lastPar = closing.par; // the last paragraph ends with the document
        m_stack.pop_back();
        return !m_stack.empty();
    }

    // A control word's numeric parameter: saturating, so a run of any length reads as a bounded number.
    std::optional<qint64> parameter()
    {
        const qsizetype size = m_data.size();
        bool negative = false;
        if (m_pos < size && m_data[m_pos] == '-' && m_pos + 1 < size && isDigit(m_data[m_pos + 1])) {
            negative = true;
            ++m_pos;
        }
        if (m_pos >= size || !isDigit(m_data[m_pos]))
            return std::nullopt;
        qint64 value = 0;
        while (m_pos < size && isDigit(m_data[m_pos])) {
            value = std::min(kParameterLimit, value * 10 + (m_data[m_pos] - '0'));
            ++m_pos;
        }
        return negative ? -value : value;
    }

    static bool isDigit(char c) { return c >= '0' && c <= '9'; }
    static bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static int hexValue(char c)
    {
        if (isDigit(c))
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    void controlSequence()
    {
        const qsizetype size = m_data.size();
        if (m_pos >= size)
            return;
        const char c = m_data[m_pos];
        if (!isLetter(c)) {
            ++m_pos;
            controlSymbol(c);
            return;
        }
        const qsizetype start = m_pos;
        while (m_pos < size && isLetter(m_data[m_pos]))
            ++m_pos;
        const QByteArray name =
            m_pos - start <= kMaximumWordLength ? m_data.mid(start, m_pos - start) : QByteArray();
        const auto value = parameter();
        if (m_pos < size && m_data[m_pos] == ' ')
            ++m_pos; // the delimiter belongs to the word
        controlWord(name, value);
    }

    void controlSymbol(char c)
    {
        switch (c) {
        case '\'': {
            const qsizetype size = m_data.size();
            int value = 0;
            int digits = 0;
            while (digits < 2 && m_pos < size) {
                const int d = hexValue(m_data[m_pos]);
                if (d < 0)
                    break;
                value = value * 16 + d;
                ++digits;
                ++m_pos;
            }
            if (digits == 0)
                return;
            if (consumeUnicodeSkip() || skipping())
                return;
            const auto character = TextEncoding::codePage1252Character(static_cast<unsigned char>(value));
            text(character ? QChar(*character) : QChar(QChar::ReplacementCharacter));
            return;
        }
        case '*':
            if (!m_stack.empty())
                top().destination = Destination::Skip;
            return;
        case '\n':
        case '\r':
            controlWord("par", std::nullopt);
            return;
        default:
            break;
        }
        if (consumeUnicodeSkip() || skipping())
            return;
        switch (c) {
        case '\\':
        case '{':
        case '}':
            text(QChar::fromLatin1(c));
            break;
        case '~':
            text(QChar(0x00A0));
            break;
        case '-':
            text(QChar(0x00AD));
            break;
        case '_':
            text(QChar(0x2011));
            break;
        case '\t':
            text(QChar('\t'));
            break;
        default:
            break; // \| \: and the like carry nothing we show
        }
    }

    void controlWord(const QByteArray& name, std::optional<qint64> value)
    {
        const auto found = words().constFind(name);
        const Word word = found == words().cend() ? Word::Unknown : found->word;
        if (word == Word::Binary) {
            // Raw bytes follow; skip them wherever they are (bounded by what is left).
            m_pos = std::min<qint64>(m_data.size(), m_pos + std::max<qint64>(0, value.value_or(0)));
            return;
        }
        if (m_excessDepth > 0 || m_stack.empty())
            return;
        Group& group = top();
        const bool firstToken = !group.seenFirstToken;
        group.seenFirstToken = true;
        if (group.destination == Destination::Skip)
            return;
        if (word != Word::Unicode && word != Word::UnicodeSkip && consumeUnicodeSkip())
            return;
        const int v = int(value.value_or(1));
        const auto clamped = [&](int low, int high) {
            return int(std::clamp<qint64>(value.value_or(0), low, high));
        };

        if (group.destination == Destination::FontTable) {
            if (word == Word::Font) {
                if (!m_fontName.isEmpty())
                    storeFont();
                m_fontIndex = clamped(-1, 1 << 20);
            } else if (word == Word::SkipDestination) {
                group.destination = Destination::Skip;
            }
            return;
        }
        if (group.destination == Destination::ColorTable) {
            const int component = clamped(0, 255);
            if (word == Word::Red)
                m_red = component;
            else if (word == Word::Green)
                m_green = component;
            else if (word == Word::Blue)
                m_blue = component;
            else
                return;
            m_colorHasComponents = true;
            return;
        }

        switch (word) {
        case Word::Unknown:
            // Past the bound on looks a group is no attachment: its text stays as it is.
            if (firstToken && !m_folder.isEmpty() && m_runs < RichText::kMaximumRuns) {
                flush();
                group.attachmentStart = m_cursor.position();
            }
            break;
        case Word::Ignored:
        case Word::Rtf:
        case Word::Binary:
        case Word::Red:
        case Word::Green:
        case Word::Blue:
            break;
        case Word::DefaultFont:
            m_defaultFont = clamped(0, 1 << 20);
            break;
        case Word::FontTable:
            group.destination = Destination::FontTable;
            m_fontIndex = -1;
            m_fontName.clear();
            break;
        case Word::ColorTable:
            group.destination = Destination::ColorTable;
            break;
        case Word::SkipDestination:
            group.destination = Destination::Skip;
            break;
        case Word::Paragraph:
            finishParagraph(true);
            break;
        case Word::Line:
            text(QChar(QChar::LineSeparator));
            break;
        case Word::Tab:
            text(QChar('\t'));
            break;
        case Word::Character:
            text(QChar(found->character));
            break;
        case Word::Bold:
            group.chars.bold = v != 0;
            break;
        case Word::Italic:
            group.chars.italic = v != 0;
            break;
        case Word::Underline:
            group.chars.underline = v != 0;
            break;
        case Word::UnderlineNone:
            group.chars.underline = false;
            break;
        case Word::Font:
            group.chars.font = clamped(0, 1 << 20);
            break;
        case Word::FontSize:
            // Half points; 0 and absurd sizes fall back within what a page can show.
            group.chars.halfPoints = value && *value > 0 ? clamped(2, 1000) : 24;
            break;
        case Word::Color:
            group.chars.color = clamped(0, 1 << 20);
            break;
        case Word::Plain:
            group.chars = CharState();
            break;
        case Word::Pard:
            group.par = ParState();
            break;
        case Word::AlignLeft:
            group.par.alignment = Qt::AlignLeft;
            break;
        case Word::AlignRight:
            group.par.alignment = Qt::AlignRight;
            break;
        case Word::AlignCenter:
            group.par.alignment = Qt::AlignHCenter;
            break;
        case Word::AlignJustify:
            group.par.alignment = Qt::AlignJustify;
            break;
        case Word::LeftIndent:
            group.par.leftTwips = clamped(-31680, 31680);
            break;
        case Word::RightIndent:
            group.par.rightTwips = clamped(-31680, 31680);
            break;
        case Word::FirstIndent:
            group.par.firstTwips = clamped(-31680, 31680);
            break;
        case Word::UnicodeSkip:
            group.unicodeSkip = clamped(0, 16);
            break;
        case Word::Unicode: {
            qint64 code = value.value_or(0);
            if (code < 0)
                code += 65536; // written as a signed 16-bit number
            text(code >= 0 && code <= 0xFFFF ? QChar(char16_t(code)) : QChar(QChar::ReplacementCharacter));
            m_unicodeSkipLeft = group.unicodeSkip;
            break;
        }
        }
    }

    // True when the character at hand stands in for the \u just read and is to be dropped.
    bool consumeUnicodeSkip()
    {
        if (m_unicodeSkipLeft <= 0)
            return false;
        --m_unicodeSkipLeft;
        return true;
    }

    void textByte(unsigned char byte)
    {
        if (byte == '\r' || byte == '\n')
            return;
        if (consumeUnicodeSkip() || m_excessDepth > 0 || m_stack.empty())
            return;
        Group& group = top();
        group.seenFirstToken = true;
        switch (group.destination) {
        case Destination::Skip:
            return;
        case Destination::FontTable:
            if (byte == ';')
                storeFont();
            else if (m_fontName.size() < 256)
                m_fontName.append(QChar(
                    byte < 0x80 ? char16_t(byte) : TextEncoding::codePage1252Character(byte).value_or(u'?')));
            return;
        case Destination::ColorTable:
            if (byte == ';') {
                m_colors.push_back(m_colorHasComponents ? QColor(m_red, m_green, m_blue) : QColor());
                m_red = m_green = m_blue = 0;
                m_colorHasComponents = false;
            }
            return;
        case Destination::Text:
            break;
        }
        if (byte == '\t') {
            text(QChar('\t'));
            return;
        }
        if (byte < 0x20)
            return;
        const auto character = TextEncoding::codePage1252Character(byte);
        text(character ? QChar(*character) : QChar(QChar::ReplacementCharacter));
    }

    void storeFont()
    {
        if (m_fontIndex >= 0)
            m_fonts.insert(m_fontIndex, m_fontName.trimmed());
        m_fontName.clear();
        m_fontIndex = -1;
    }

    void text(QChar c)
    {
        if (skipping() || top().destination != Destination::Text)
            return;
        if (m_dropAttachmentMark) {
            m_dropAttachmentMark = false;
            if (c == QChar(0x00AC))
                return;
        }
        const CharState& chars = top().chars;
        if (!(chars == m_pendingChars) && m_runs < RichText::kMaximumRuns) {
            flush();
            m_pendingChars = chars;
        }
        m_pending.append(c);
        // A long run goes to the document in pieces, so that it is not held twice at its full length.
        if (m_pending.size() >= kPendingPiece)
            flush();
    }

    QTextCharFormat charFormat(const CharState& chars) const
    {
        QTextCharFormat format;
        const int fontIndex = chars.font >= 0 ? chars.font : m_defaultFont;
        const auto family = m_fonts.constFind(fontIndex);
        if (family != m_fonts.cend() && !family->isEmpty())
            format.setFontFamilies({*family});
        format.setFontPointSize(chars.halfPoints / 2.0);
        format.setFontWeight(chars.bold ? QFont::Bold : QFont::Normal);
        format.setFontItalic(chars.italic);
        format.setFontUnderline(chars.underline);
        if (chars.color > 0 && chars.color < int(m_colors.size()) && m_colors[chars.color].isValid())
            format.setForeground(m_colors[chars.color]);
        return format;
    }

    // The format of a look, made again only when the look changes.
    const QTextCharFormat& cachedFormat(const CharState& chars)
    {
        if (!m_formatValid || !(chars == m_formatChars)) {
            m_format = charFormat(chars);
            m_formatChars = chars;
            m_formatValid = true;
        }
        return m_format;
    }

    void flush()
    {
        if (m_pending.isEmpty())
            return;
        if (!m_formatValid || !(m_pendingChars == m_formatChars))
            ++m_runs;
        m_cursor.insertText(m_pending, cachedFormat(m_pendingChars));
        m_pending.clear();
    }

    void finishParagraph(bool startAnother)
    {
        if (startAnother && (skipping() || top().destination != Destination::Text))
            return;
        if (startAnother && m_paragraphs >= RichText::kMaximumParagraphs) {
            text(QChar(QChar::LineSeparator));
            return;
        }
        m_dropAttachmentMark = false;
        flush();
        const ParState par = m_stack.empty() ? m_lastPar : top().par;
        m_lastPar = par;
        QTextBlockFormat format;
        format.setAlignment(par.alignment);
        format.setLeftMargin(par.leftTwips / 20.0);
        format.setRightMargin(par.rightTwips / 20.0);
        format.setTextIndent(par.firstTwips / 20.0);
        m_cursor.setBlockFormat(format);
        if (startAnother) {
            ++m_paragraphs;
            m_cursor.insertBlock(format, cachedFormat(top().chars));
        }
    }

    // An attachment group has closed: when its text names a file of the folder, the image takes its place.
    void finishAttachment(int start)
    {
        flush();
        const int end = m_cursor.position();
        if (end <= start || end - start > 255)
            return;
        QTextCursor selection(m_document);
        selection.setPosition(start);
        selection.setPosition(end, QTextCursor::KeepAnchor);
        const QString name = selection.selectedText().trimmed();
        if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
            name == QLatin1String(".") || name == QLatin1String("..") ||
            name.contains(QChar::ParagraphSeparator))
            return;
        const QString path = QDir(m_folder).filePath(name);
        auto known = m_attachments.constFind(path);
        if (known == m_attachments.cend()) {
            if (!QFileInfo(path).isFile())
                return;
            known = m_attachments.insert(path, loadAttachment(path, name));
        }
        selection.removeSelectedText();
        m_cursor.setPosition(start);
        m_dropAttachmentMark = true;
        if (*known) {
            ++m_runs;
            m_cursor.insertImage(**known);
        }
    }

    // The image format that shows an attached file, its picture added to the document once; nothing
    // (after a warning) when the file cannot be shown.
    std::optional<QTextImageFormat> loadAttachment(const QString& path, const QString& name)
    {
        QImageReader reader(path);
        const QSize size = reader.size();
        if (size.isValid() && (size.width() > kMaximumImageSide || size.height() > kMaximumImageSide)) {
            warning(QStringLiteral("Rich text attachment \"%1\" is too large to show").arg(name));
            return std::nullopt;
        }
        const qint64 left = RichText::kMaximumAttachmentPixels - m_attachmentPixels;
        if (size.isValid() && qint64(size.width()) * size.height() > left) {
            warning(QStringLiteral("Rich text attachment \"%1\" is left out: the text's pictures are too "
                                   "large together")
                        .arg(name));
            return std::nullopt;
        }
        // A decoder that cannot tell the size beforehand still allocates no more than is left.
        reader.setAllocationLimit(int(std::max<qint64>(1, left * 4 / (1024 * 1024))));
        const QImage image = reader.read();
        if (image.isNull() || image.width() <= 0 || image.height() <= 0) {
            warning(QStringLiteral("Rich text attachment \"%1\" could not be read: %2")
                        .arg(name, reader.errorString()));
            return std::nullopt;
        }
        const qint64 pixels = qint64(image.width()) * image.height();
        if (pixels > left) {
            warning(QStringLiteral("Rich text attachment \"%1\" is left out: the text's pictures are too "
                                   "large together")
                        .arg(name));
            return std::nullopt;
        }
        m_attachmentPixels += pixels;
        const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
        m_document->addResource(QTextDocument::ImageResource, url, image);
        QTextImageFormat format;
        format.setName(url.toString());
        format.setWidth(image.width() / image.devicePixelRatio());
        format.setHeight(image.height() / image.devicePixelRatio());
        return format;
    }

    const QByteArray& m_data;
    QTextDocument* m_document;
    QTextCursor m_cursor;
    const QString m_folder;
    qsizetype m_pos;
    std::vector<Group> m_stack;
    int m_excessDepth = 0;
    bool m_tooDeep = false;
    int m_unicodeSkipLeft = 0;
    bool m_dropAttachmentMark = false;
    QString m_pending;
    CharState m_pendingChars;
    QTextCharFormat m_format;
    CharState m_formatChars;
    bool m_formatValid = false;
    int m_paragraphs = 0;
    int m_runs = 0; // changes of look, pictures included
    ParState m_lastPar;
    int m_defaultFont = 0;
    QHash<int, QString> m_fonts;
    int m_fontIndex = -1;
    QString m_fontName;
    std::vector<QColor> m_colors;
    int m_red = 0, m_green = 0, m_blue = 0;
    bool m_colorHasComponents = false;
    // Every attachment file met so far, by path: how it shows (nothing: not at all).
    QHash<QString, std::optional<QTextImageFormat>> m_attachments;
    qint64 m_attachmentPixels = 0;
};

bool fail(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return false;
}

std::optional<QByteArray> readBounded(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(error, QStringLiteral("cannot open \"%1\": %2").arg(path, file.errorString()));
        return std::nullopt;
    }
    if (file.size() > RichText::kMaximumFileSize) {
        fail(error, QStringLiteral("\"%1\" is too large for rich text").arg(path));
        return std::nullopt;
    }
    return file.read(RichText::kMaximumFileSize);
}

} // namespace

bool RichText::readRtf(const QByteArray& rtf, QTextDocument* document, const QString& attachmentFolder,
                       QString* error)
{
    if (!document)
        return fail(error, QStringLiteral("no document"));
    qsizetype start = 0;
    while (start < rtf.size() && QChar::isSpace(uchar(rtf[start])))
        ++start;
    if (!rtf.mid(start, 5).startsWith("{\\rtf"))
        return fail(error, QStringLiteral("not rich text"));
    Reader(rtf, start, document, attachmentFolder).run();
    return true;
}

bool RichText::readRtfd(const QString& folder, QTextDocument* document, QString* error)
{
    const auto data = readBounded(QDir(folder).filePath(QStringLiteral("TXT.rtf")), error);
    if (!data)
        return false;
    return readRtf(*data, document, folder, error);
}

bool RichText::readFile(const QString& path, QTextDocument* document, QString* error)
{
    if (QFileInfo(path).isDir())
        return readRtfd(path, document, error);
    const auto data = readBounded(path, error);
    if (!data)
        return false;
    return readRtf(*data, document, {}, error);
}

} // namespace pf
