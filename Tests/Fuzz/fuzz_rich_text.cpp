// Reads arbitrary bytes as RTF, and as the text of an RTFD folder that holds a good, a broken and two
// large images. Nothing may crash, no input may make more text than it has bytes, and the pictures of
// one text together stay within the reader's bound however often they are named. An input may also be
// read many times over as one large text, so that a cost that grows faster than the text shows as a
// timeout.
#include "FuzzSupport.h"
#include "Platform/UI/RichText.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QSet>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QUrl>
#include <cstdint>

namespace {

QTemporaryDir* folder = nullptr;

// Large inputs: the body repeated to at least this many bytes.
constexpr qsizetype kLargeInput = 1024 * 1024;
// What the reader allows for all the pictures of one text, in pixels.
constexpr qint64 kPicturePixels = 32 * 1024 * 1024;

void savePicture(const QString& name, int width, int height, QColor colour)
{
    // Grey: the bound counts pixels, and grey ones are the cheapest to write and decode.
    QImage image(width, height, QImage::Format_Grayscale8);
    image.fill(colour);
    image.save(QDir(folder->path()).filePath(name));
}

// The pixels of the distinct pictures the document shows.
qint64 picturePixels(QTextDocument& document)
{
    QSet<QString> names;
    qint64 pixels = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat())
                continue;
            const QString name = format.toImageFormat().name();
            if (names.contains(name))
                continue;
            names.insert(name);
            const QImage image = document.resource(QTextDocument::ImageResource, QUrl(name)).value<QImage>();
            pixels += qint64(image.width()) * image.height();
        }
    return pixels;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QGuiApplication(*argc, *argv);
    folder = new QTemporaryDir();
    savePicture(QStringLiteral("a.png"), 8, 4, Qt::red);
    // Two pictures of 16 M pixels each: together they are past the bound.
    for (const char* name : {"big1.png", "big2.png"})
        savePicture(QString::fromLatin1(name), 4096, 4096, Qt::blue);
    QFile broken(QDir(folder->path()).filePath(QStringLiteral("b.png")));
    if (broken.open(QIODevice::WriteOnly))
        broken.write("\x89PNG\r\n\x1a\n broken");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte chooses: bit 0 reads the rest as an RTFD folder's text (else as plain RTF); bits 1
    // and 2 both set repeat the rest inside one group until the text is large (a quarter of the inputs,
    // since they take longest).
    const bool asFolder = data[0] & 1;
    const bool large = (data[0] & 6) == 6;
    QByteArray input = QByteArray(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    if (large && !input.isEmpty()) {
        const QByteArray body = input;
        input = QByteArrayLiteral("{\\rtf1 ");
        input.reserve(kLargeInput + body.size() + 8);
        while (input.size() < kLargeInput)
            input += body;
        input += '}';
    }
    QTextDocument document;
    if (asFolder) {
        QFile text(QDir(folder->path()).filePath(QStringLiteral("TXT.rtf")));
        if (!text.open(QIODevice::WriteOnly | QIODevice::Truncate))
            fuzz::failure("cannot write the folder's text");
        text.write(input);
        text.close();
        pf::RichText::readRtfd(folder->path(), &document);
        if (picturePixels(document) > kPicturePixels)
            fuzz::failure("the pictures of one text hold more than the bound");
    } else {
        pf::RichText::readRtf(input, &document);
    }
    if (document.characterCount() > input.size() + 1)
        fuzz::failure("more characters than bytes");
    return 0;
}
