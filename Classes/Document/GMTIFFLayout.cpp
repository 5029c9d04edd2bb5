#include "Classes/Document/GMTIFFLayout.h"

#include <QIODevice>
#include <tiffio.h>

namespace {

tsize_t readProc(thandle_t handle, tdata_t buffer, tsize_t size)
{
    return static_cast<QIODevice*>(handle)->read(static_cast<char*>(buffer), size);
}

tsize_t writeProc(thandle_t, tdata_t, tsize_t)
{
    return 0;
}

toff_t seekProc(thandle_t handle, toff_t offset, int whence)
{
    auto* device = static_cast<QIODevice*>(handle);
    qint64 target = qint64(offset);
    if (whence == SEEK_CUR)
        target += device->pos();
    else if (whence == SEEK_END)
        target += device->size();
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

void GMTIFFLayout::read(QIODevice* device, GMPhotoFile::Kind& kind)
{
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, quiet, nullptr);
    TIFF* tiff = TIFFClientOpenExt("photo", "rm", device, readProc, writeProc, seekProc, closeProc, sizeProc,
                                   mapProc, unmapProc, options);
    TIFFOpenOptionsFree(options);
    if (!tiff)
        return;
    uint16_t photometric = PHOTOMETRIC_RGB, samples = 1, bits = 8, extraCount = 0,
             compression = COMPRESSION_NONE;
    uint16_t* extra = nullptr;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    kind.compressed = compression != COMPRESSION_NONE;
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric))
        photometric = samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    uint32_t profileSize = 0;
    void* profile = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_ICCPROFILE, &profileSize, &profile) && profile && profileSize > 0)
        kind.iccProfile = QByteArray(static_cast<const char*>(profile), qsizetype(profileSize));
    kind.cmyk = photometric == PHOTOMETRIC_SEPARATED && samples - extraCount == 4;
    kind.grey = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
    kind.hasAlpha = extraCount > 0;
    kind.bitsPerComponent = bits > 8 ? 16 : 8;
    kind.pages = std::max<int>(kind.pages, TIFFNumberOfDirectories(tiff));
    TIFFClose(tiff);
    // The profile the pixels are stored in (a profile of inks is no colour space of Qt's).
    kind.colorSpace =
        kind.cmyk || kind.iccProfile.isEmpty() ? QColorSpace() : QColorSpace::fromIccProfile(kind.iccProfile);
}
