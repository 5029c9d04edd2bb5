// Reads arbitrary bytes as RTF, and as the text of an RTFD folder that holds a good and a broken image.
// Nothing may crash, and no input may make more text than it has bytes.
#include "FuzzSupport.h"
#include "Platform/UI/RichText.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <QTextDocument>
#include <cstdint>

namespace {

QTemporaryDir* folder = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QGuiApplication(*argc, *argv);
    folder = new QTemporaryDir();
    QImage image(8, 4, QImage::Format_ARGB32);
    image.fill(Qt::red);
    image.save(QDir(folder->path()).filePath(QStringLiteral("a.png")));
    QFile broken(QDir(folder->path()).filePath(QStringLiteral("b.png")));
    if (broken.open(QIODevice::WriteOnly))
        broken.write("\x89PNG\r\n\x1a\n broken");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte chooses: even reads plain RTF, odd reads the rest as an RTFD folder's text.
    const bool asFolder = data[0] & 1;
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    QTextDocument document;
    if (asFolder) {
        QFile text(QDir(folder->path()).filePath(QStringLiteral("TXT.rtf")));
        if (!text.open(QIODevice::WriteOnly | QIODevice::Truncate))
            fuzz::failure("cannot write the folder's text");
        text.write(input);
        text.close();
        pf::RichText::readRtfd(folder->path(), &document);
    } else {
        pf::RichText::readRtf(input, &document);
    }
    if (document.characterCount() > qsizetype(size) + 1)
        fuzz::failure("more characters than bytes");
    return 0;
}
