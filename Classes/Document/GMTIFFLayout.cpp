#include "Classes/Document/GMTIFFLayout.h"

#include <QIODevice>
#include <tiffio.h>

namespace {

tsize_t readProc(thandle_t handle, tdata_t buffer, tsize_t size)
{
    return static_cast<QIODevice*>(handle)->read(static_cast<char*>(buffer), size);
}

tsize_t noWriteProc(thandle_t, tdata_t, tsize_t)
{
    return 0;
}

tsize_t writeProc(thandle_t handle, tdata_t buffer, tsize_t size)
{
    return static_cast<QIODevice*>(handle)->write(static_cast<const char*>(buffer), size);
}

toff_t seekProc(thandle_t handle, toff_t offset, int whence)
{
    auto* device = static_cast<QIODevice*>(handle);
    qint64 target = qint64(offset);
    if (whence == SEEK_CUR)
        target += device->pos();
    else if (whence == SEEK_END)
        target += device->size();
    if (target < 0)
        return toff_t(-1);
    // Writing, the library may seek past what is written so far: the gap is made.
    if (target > device->size() && device->isWritable()) {
        if (!device->seek(device->size()))
            return toff_t(-1);
        const QByteArray gap(target - device->size(), '\0');
        if (device->write(gap) != gap.size())
            return toff_t(-1);
    }
    return device->seek(target) ? toff_t(device->pos()) : toff_t(-1);
}

int closeProc(thandle_t)
{
    return 0;
}

toff_t sizeProc(thandle_t handle)
{
    return toff_t(static_cast<QIODevice*>(handle)->size());
}

int mapProc(thandle_t, tdata_t*, toff_t*)
{
    return 0;
}

void unmapProc(thandle_t, tdata_t, toff_t) {}

// A file may be damaged anywhere: the library's complaints are not the user's business here (reading
// the picture reports what matters).
int quiet(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

} // namespace

TIFF* GMTIFFLayout::open(QIODevice* device, const char* mode)
{
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, quiet, nullptr);
    const bool writes = mode[0] == 'w';
    TIFF* tiff = TIFFClientOpenExt(writes ? "picture" : "photo", mode, device, readProc,
                                   writes ? writeProc : noWriteProc, seekProc, closeProc, sizeProc, mapProc,
                                   unmapProc, options);
    TIFFOpenOptionsFree(options);
    return tiff;
}

bool GMTIFFLayout::isRewritable(TIFF* tiff)
{
    uint16_t planar = PLANARCONFIG_CONTIG, bits = 8, format = SAMPLEFORMAT_UINT, photometric = 0,
             compression = COMPRESSION_NONE, fill = FILLORDER_MSB2LSB, samples = 1;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_FILLORDER, &fill);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric))
        return false;
    const bool samplesFit =
        (bits == 8 || bits == 16) ? format == SAMPLEFORMAT_UINT : bits == 32 && format == SAMPLEFORMAT_IEEEFP;
    const bool colours =
        (photometric == PHOTOMETRIC_RGB && samples >= 3) ||
        ((photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE) && samples >= 1) ||
        (photometric == PHOTOMETRIC_YCBCR && compression == COMPRESSION_JPEG && samples == 3 && bits == 8);
    // JPEG-compressed pieces are written again with the page's own tables, as YCbCr or grey only: any other
    // kind names no colour model in its data that the library could write again.
    const bool jpegKind =
        photometric == PHOTOMETRIC_YCBCR || (photometric == PHOTOMETRIC_MINISBLACK && samples == 1);
    const bool codec = compression == COMPRESSION_NONE || compression == COMPRESSION_LZW ||
                       compression == COMPRESSION_ADOBE_DEFLATE || compression == COMPRESSION_DEFLATE ||
                       compression == COMPRESSION_PACKBITS ||
                       (compression == COMPRESSION_JPEG && bits == 8 && jpegKind);
    return planar == PLANARCONFIG_CONTIG && samplesFit && colours && fill == FILLORDER_MSB2LSB && codec &&
           TIFFIsCODECConfigured(compression);
}

void GMTIFFLayout::read(QIODevice* device, GMPhotoFile::Kind& kind)
{
    TIFF* tiff = open(device, "rm");
    if (!tiff)
        return;
    uint16_t photometric = PHOTOMETRIC_RGB, samples = 1, bits = 8, extraCount = 0,
             compression = COMPRESSION_NONE, format = SAMPLEFORMAT_UINT, predictor = PREDICTOR_NONE;
    uint16_t* extra = nullptr;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
    if (compression == COMPRESSION_LZW || compression == COMPRESSION_ADOBE_DEFLATE ||
        compression == COMPRESSION_DEFLATE)
        TIFFGetFieldDefaulted(tiff, TIFFTAG_PREDICTOR, &predictor);
    kind.compressed = compression != COMPRESSION_NONE;
    kind.tiffCompression = compression;
    kind.tiffPredictor = predictor;
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric))
        photometric = samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    uint32_t profileSize = 0;
    void* profile = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &profileSize, &profile) && profile && profileSize > 0)
        kind.iccProfile = QByteArray(static_cast<const char*>(profile), qsizetype(profileSize));
    uint32_t xmpSize = 0;
    void* xmp = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_XMLPACKET, &xmpSize, &xmp) && xmp && xmpSize > 0)
        kind.xmp = QByteArray(static_cast<const char*>(xmp), qsizetype(xmpSize));
    kind.cmyk = photometric == PHOTOMETRIC_SEPARATED && samples - extraCount == 4;
    kind.grey = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
    kind.hasAlpha = extraCount > 0;
    kind.associatedAlpha = extraCount > 0 && extra && extra[0] == EXTRASAMPLE_ASSOCALPHA;
    kind.floatingPoint = format == SAMPLEFORMAT_IEEEFP;
    kind.bitsPerComponent = kind.floatingPoint ? 32 : bits > 8 ? 16 : 8;
    kind.tiffRewritable = isRewritable(tiff);
    kind.pages = std::max<int>(kind.pages, TIFFNumberOfDirectories(tiff));
    TIFFClose(tiff);
    // The profile the pixels are stored in (a profile of inks is no colour space of Qt's).
    kind.colorSpace =
        kind.cmyk || kind.iccProfile.isEmpty() ? QColorSpace() : QColorSpace::fromIccProfile(kind.iccProfile);
}
