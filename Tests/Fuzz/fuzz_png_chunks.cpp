// Reads arbitrary bytes as a PNG whose chunks a save over it keeps, then puts them into a fresh PNG.
// Nothing may crash; only whole chunks of the input are kept, within the limit; and whatever is kept, the
// file a save would write opens, at its own size.
#include "Classes/Document/GMPNGChunks.h"
#include "FuzzSupport.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QtEndian>
#include <cstdint>

namespace {

QByteArray* fresh = nullptr;

// Whether `run` is a sequence of whole chunks each of which stands in `input`.
bool wholeChunksOf(const QByteArray& run, const QByteArray& input)
{
    qsizetype i = 0;
    while (i < run.size()) {
        if (run.size() - i < 12)
            return false;
        const qsizetype length = qsizetype(qFromBigEndian<quint32>(run.constData() + i));
        if (length > run.size() - i - 12 || !input.contains(run.mid(i, 12 + length)))
            return false;
        i += 12 + length;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QGuiApplication(*argc, *argv);
    QImage picture(6, 4, QImage::Format_RGB32);
    picture.fill(QColor(10, 120, 200));
    fresh = new QByteArray();
    QBuffer buffer(fresh);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer device(&input);
    device.open(QIODevice::ReadOnly);
    const GMPNGChunks::Kept kept = GMPNGChunks::read(&device, QStringLiteral("fuzz"));
    if (kept.beforePixels.size() + kept.afterPixels.size() > GMPNGChunks::keptLimit)
        fuzz::failure("more kept than the limit");
    if (!wholeChunksOf(kept.beforePixels, input) || !wholeChunksOf(kept.afterPixels, input))
        fuzz::failure("a kept chunk that the input does not hold whole");
    GMPNGChunks::colorSpace(kept);
    const QByteArray merged = GMPNGChunks::merged(*fresh, kept);
    if (!kept.isValid() && merged != *fresh)
        fuzz::failure("a fresh picture changed by nothing kept");
    const QImage written = QImage::fromData(merged, "png");
    if (written.isNull() || written.size() != QSize(6, 4))
        fuzz::failure("the kept chunks make a picture that does not open");
    return 0;
}
