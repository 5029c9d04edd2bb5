#include "Classes/ToolObjects/OVBrushFramework/OVPNGWriter.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <gtest/gtest.h>

namespace {

// The sample a test picture holds at (x, y, channel): zero outside its painted rows and columns.
struct Picture
{
    int width, height;
    bool grey;
    int paintedTop, paintedBottom; // rows [top, bottom) hold values, the rest are zero
    int paintedLeft, paintedRight;

    quint16 sample(int x, int y, int c) const
    {
        if (y < paintedTop || y >= paintedBottom || x < paintedLeft || x >= paintedRight)
            return 0;
        // A cheap hash, so that neighbouring samples differ in both bytes.
        quint32 h = quint32(y) * 73856093u ^ quint32(x) * 19349663u ^ quint32(c + 1) * 83492791u;
        h ^= h >> 13;
        h *= 0x5bd1e995u;
        return quint16(h ^ (h >> 15));
    }
};

} // namespace

TEST(PNGWriter, EveryBandReadsBackAsWrittenWhetherPaintedRepeatedOrEmpty)
{
    const struct
    {
        const char* name;
        Picture picture;
    } cases[] = {
        {"one grey pixel", {1, 1, true, 0, 1, 0, 1}},
        {"an empty colour frame", {37, 5, false, 0, 0, 0, 0}},
        // Wide rows make bands of a few rows each: empty bands above and below, and a short last one.
        {"a spot in a wide transparent frame", {6000, 301, false, 140, 163, 2990, 3090}},
        {"a grey mask painted everywhere", {513, 700, true, 0, 700, 0, 513}},
        {"a grey mask painted in its last rows", {4000, 530, true, 520, 530, 0, 4000}},
    };
    for (const auto& c : cases)
        for (const bool told : {false, true}) {
            SCOPED_TRACE(c.name);
            SCOPED_TRACE(told ? "the empty rows named" : "the empty rows found");
            const Picture& p = c.picture;
            const int channels = p.grey ? 1 : 4;
            QString error;
            const auto png = OVPNGWriter::encode16(
                p.width, p.height, p.grey,
                [&](int y, quint16* line) {
                    EXPECT_FALSE(told && (y < p.paintedTop || y >= p.paintedBottom))
                        << "asked for empty row " << y;
                    for (int x = 0; x < p.width; ++x)
                        for (int ch = 0; ch < channels; ++ch)
                            line[x * channels + ch] = p.sample(x, y, ch);
                },
                &error, [&](int y) { return told && (y < p.paintedTop || y >= p.paintedBottom); });
            ASSERT_TRUE(png.has_value()) << error.toStdString();

            QByteArray bytes = *png;
            QBuffer buffer(&bytes);
            QImageReader reader(&buffer, "png");
            const QImage read = reader.read();
            ASSERT_FALSE(read.isNull()) << reader.errorString().toStdString();
            ASSERT_EQ(read.size(), QSize(p.width, p.height));
            // Straight 16-bit samples, so that every written value can be compared as it is.
            const QImage image =
                read.convertToFormat(p.grey ? QImage::Format_Grayscale16 : QImage::Format_RGBA64);
            int wrong = 0;
            for (int y = 0; y < p.height && wrong < 5; ++y) {
                const auto* line = reinterpret_cast<const quint16*>(image.constScanLine(y));
                for (int x = 0; x < p.width; ++x)
                    for (int ch = 0; ch < channels; ++ch)
                        if (line[x * channels + ch] != p.sample(x, y, ch) && ++wrong < 5)
                            ADD_FAILURE() << "at " << x << ", " << y << " channel " << ch;
            }
            EXPECT_EQ(wrong, 0);
        }
}

TEST(PNGWriter, AnEmptyFrameCostsLittleOnDisk)
{
    // The transparent frame around a healed spot on a 24-megapixel photo: repeated bands of zeros.
    const auto png = OVPNGWriter::encode16(
        6000, 4000, false, [](int, quint16* line) { std::fill(line, line + 6000 * 4, quint16(0)); });
    ASSERT_TRUE(png.has_value());
    EXPECT_LT(png->size(), 400 * 1024);
}
