// A tester's probe, run only when PROBE_LIST names a list of photo files (one a line) and PROBE_OUT a
// folder: each photo is opened, painted (or given a layer that paints nowhere, PROBE_NOWHERE=1), exported
// to its kind, saved over, saved as a copy and exported as PNG, closed, and again in later sessions through
// its kept edits (PROBE_SESSIONS, 2 by default). Every file written is compared with the photo as it was:
// outside the strokes (upright, stored values; a JPEG's blocks outside the painted MCUs) and inside them
// (with the PNG export, in sRGB). One line a result goes to PROBE_OUT/report.txt.
#include "Classes/Document/GMPhotoFile.h"
#include "DocumentTestSupport.h"
#include "Platform/Image/ImageFile.h"

#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTextStream>
#include <gtest/gtest.h>
#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

using namespace doctest;

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Blocks
{
    int mcuWidth = 0, mcuHeight = 0, width = 0, height = 0;
    struct Component
    {
        int h = 1, v = 1, across = 0, down = 0;
        std::vector<JCOEF> coefficients;
    };
    std::vector<Component> components;
    bool valid = false;
};

struct ProbeErrors
{
    jpeg_error_mgr base;
    jmp_buf jump;
};

Blocks blocksOf(const QByteArray& data)
{
    Blocks out;
    jpeg_decompress_struct info{};
    ProbeErrors errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = [](j_common_ptr i) { longjmp(reinterpret_cast<ProbeErrors*>(i->err)->jump, 1); };
    jpeg_create_decompress(&info);
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return Blocks();
    }
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.constData()), (unsigned long)data.size());
    jpeg_read_header(&info, TRUE);
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&info);
    out.mcuWidth = DCTSIZE * info.max_h_samp_factor;
    out.mcuHeight = DCTSIZE * info.max_v_samp_factor;
    out.width = int(info.image_width);
    out.height = int(info.image_height);
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& comp = info.comp_info[c];
        Blocks::Component component{comp.h_samp_factor, comp.v_samp_factor, int(comp.width_in_blocks),
                                    int(comp.height_in_blocks), {}};
        for (int by = 0; by < component.down; ++by) {
            JBLOCKARRAY row = (*info.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&info),
                                                              arrays[c], JDIMENSION(by), 1, FALSE);
            for (int bx = 0; bx < component.across; ++bx)
                component.coefficients.insert(component.coefficients.end(), row[0][bx], row[0][bx] + 64);
        }
        out.components.push_back(std::move(component));
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    out.valid = true;
    return out;
}

// EXIF orientation from Qt's transformation.
int exifNumber(QImageIOHandler::Transformations t)
{
    switch (int(t)) {
    case QImageIOHandler::TransformationNone: return 1;
    case QImageIOHandler::TransformationMirror: return 2;
    case QImageIOHandler::TransformationRotate180: return 3;
    case QImageIOHandler::TransformationFlip: return 4;
    case QImageIOHandler::TransformationFlipAndRotate90: return 5;
    case QImageIOHandler::TransformationRotate90: return 6;
    case QImageIOHandler::TransformationMirrorAndRotate90: return 7;
    case QImageIOHandler::TransformationRotate270: return 8;
    }
    return 1;
}

QPoint uprightOf(int x, int y, int W, int H, int o)
{
    switch (o) {
    case 2: return {W - 1 - x, y};
    case 3: return {W - 1 - x, H - 1 - y};
    case 4: return {x, H - 1 - y};
    case 5: return {y, x};
    case 6: return {H - 1 - y, x};
    case 7: return {H - 1 - y, W - 1 - x};
    case 8: return {y, W - 1 - x};
    default: return {x, y};
    }
}

bool inStrokes(QPoint p, const std::vector<QRect>& strokes)
{
    for (const QRect& r : strokes)
        if (r.contains(p))
            return true;
    return false;
}

QImage readImage(const QString& path, bool upright)
{
    QImageReader reader(path);
    reader.setAutoTransform(upright);
    return reader.read();
}

QImage floats(QImage image)
{
    image.setColorSpace(QColorSpace());
    return image.convertToFormat(QImage::Format_RGBA32FPx4);
}

QImage srgb8(QImage image)
{
    if (image.colorSpace().isValid() && image.colorSpace() != QColorSpace(QColorSpace::SRgb))
        image.convertToColorSpace(QColorSpace(QColorSpace::SRgb));
    return image.convertToFormat(QImage::Format_RGBA8888);
}

struct Diff
{
    double outsideMax = 0;
    long outsideCount = 0;
    double insideMax = 0;
    QString note;
};

// Upright stored values outside and inside the strokes.
Diff pixelDiff(const QString& a, const QString& b, const std::vector<QRect>& strokes)
{
    Diff d;
    const QImage p = floats(readImage(a, true)), q = floats(readImage(b, true));
    if (p.isNull() || q.isNull()) {
        d.note = QStringLiteral("unreadable %1 %2").arg(p.isNull()).arg(q.isNull());
        d.outsideMax = 1e9;
        return d;
    }
    if (p.size() != q.size()) {
        d.note = QStringLiteral("size %1x%2 vs %3x%4").arg(p.width()).arg(p.height()).arg(q.width()).arg(q.height());
        d.outsideMax = 1e9;
        return d;
    }
    for (int y = 0; y < p.height(); ++y) {
        const auto* r = reinterpret_cast<const float*>(p.constScanLine(y));
        const auto* s = reinterpret_cast<const float*>(q.constScanLine(y));
        for (int x = 0; x < p.width(); ++x) {
            double largest = 0;
            for (int c = 0; c < 4; ++c)
                largest = std::max(largest, double(std::abs(r[4 * x + c] - s[4 * x + c])));
            if (inStrokes({x, y}, strokes))
                d.insideMax = std::max(d.insideMax, largest);
            else if (largest > 0) {
                d.outsideMax = std::max(d.outsideMax, largest);
                ++d.outsideCount;
            }
        }
    }
    return d;
}

Diff blockDiff(const QString& a, const QString& b, const std::vector<QRect>& strokes, int orientation)
{
    Diff d;
    const Blocks p = blocksOf(readAll(a)), q = blocksOf(readAll(b));
    if (!p.valid || !q.valid || p.components.size() != q.components.size() || p.mcuWidth != q.mcuWidth ||
        p.mcuHeight != q.mcuHeight) {
        d.note = QStringLiteral("layout differs (valid %1 %2, comps %3 %4, mcu %5x%6 vs %7x%8)")
                     .arg(p.valid).arg(q.valid).arg(p.components.size()).arg(q.components.size())
                     .arg(p.mcuWidth).arg(p.mcuHeight).arg(q.mcuWidth).arg(q.mcuHeight);
        d.outsideMax = 1e9;
        return d;
    }
    const auto touched = [&](int mx, int my) {
        for (int y = my * p.mcuHeight; y < std::min(p.height, (my + 1) * p.mcuHeight); ++y)
            for (int x = mx * p.mcuWidth; x < std::min(p.width, (mx + 1) * p.mcuWidth); ++x)
                if (inStrokes(uprightOf(x, y, p.width, p.height, orientation), strokes))
                    return true;
        return false;
    };
    long inside = 0;
    for (size_t c = 0; c < p.components.size(); ++c) {
        const auto &r = p.components[c], &s = q.components[c];
        if (r.across != s.across || r.down != s.down) {
            d.note = "component size differs";
            d.outsideMax = 1e9;
            return d;
        }
        for (int by = 0; by < r.down; ++by)
            for (int bx = 0; bx < r.across; ++bx) {
                const size_t at = (size_t(by) * r.across + bx) * 64;
                const bool same = std::equal(r.coefficients.begin() + at, r.coefficients.begin() + at + 64,
                                             s.coefficients.begin() + at);
                // blocks in the padding beyond the last MCU count for the last one
                const int mx = std::min(bx / r.h, (p.width - 1) / p.mcuWidth);
                const int my = std::min(by / r.v, (p.height - 1) / p.mcuHeight);
                if (touched(mx, my))
                    inside += same ? 0 : 1;
                else if (!same)
                    ++d.outsideCount;
            }
    }
    d.outsideMax = d.outsideCount;
    d.insideMax = inside;
    return d;
}

// The saved file's strokes against the PNG export's, upright, in sRGB 8 bits.
int strokeDiff(const QString& saved, const QString& png, const std::vector<QRect>& strokes)
{
    const QImage a = srgb8(readImage(saved, true)), b = srgb8(readImage(png, true));
    if (a.isNull() || b.isNull() || a.size() != b.size())
        return 9999;
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            if (!inStrokes({x, y}, strokes))
                continue;
            const uchar* p = a.constScanLine(y) + 4 * x;
            const uchar* q = b.constScanLine(y) + 4 * x;
            for (int c = 0; c < 4; ++c)
                largest = std::max(largest, std::abs(int(p[c]) - int(q[c])));
        }
    return largest;
}

void paintLayer(PhotoToolChain& chain, const QRect& stroke)
{
    const pf::Size size = chain.originalImageSize();
    pf::Bitmap mask(int(size.width), int(size.height), pf::Bitmap::Format::RGBA8);
    for (int y = 0; y < mask.height(); ++y)
        for (int x = 0; x < mask.width(); ++x) {
            const uint8_t v = stroke.contains(x, y) ? 255 : 0;
            uint8_t* p = mask.mutableRow(y) + 4 * x;
            p[0] = p[1] = p[2] = v;
            p[3] = 255;
        }
    const int index = chain.numberOfTools();
    chain.insertPhotoToolWithBlueprint(
        chaintest::tint(), QVariantMap{{"color", QVariant::fromValue(pf::Color(0.1, 0.8, 0.3, 1))}},
        index - 1);
    auto additional = std::make_shared<OVImageContainer>(
        pf::Image::constantColor(pf::Color(0, 0, 0, 0))
            .imageByCroppingToRect(pf::Rect(0, 0, size.width, size.height)),
        false);
    chain.brushPathImageAtIndex(index)->addContentContainer(std::make_shared<OVContentContainer>(
        std::make_shared<OVImageContainer>(pf::Image::fromBitmap(mask), true), additional));
    QCoreApplication::processEvents();
}

class ProbeSaves : public WorkingAreaTest
{
protected:
    TestController m_documents;
};

} // namespace

TEST_F(ProbeSaves, Run)
{
    const QString list = qEnvironmentVariable("PROBE_LIST"), outDir = qEnvironmentVariable("PROBE_OUT");
    if (list.isEmpty() || outDir.isEmpty())
        GTEST_SKIP();
    const bool nowhere = qEnvironmentVariable("PROBE_NOWHERE") == "1";
    const int sessions = qEnvironmentVariableIsSet("PROBE_SESSIONS") ? qEnvironmentVariableIntValue("PROBE_SESSIONS") : 2;
    const bool onlySave = qEnvironmentVariable("PROBE_ONLYSAVE") == "1";
    if (qEnvironmentVariableIsSet("PROBE_LIMIT"))
        pf::ImageFile::setExactCopyLimitForTesting(qEnvironmentVariableIntValue("PROBE_LIMIT"));
    QFile report(QDir(outDir).filePath("report.txt"));
    ASSERT_TRUE(report.open(QIODevice::WriteOnly | QIODevice::Append));
    QTextStream log(&report);
    QFile listFile(list);
    ASSERT_TRUE(listFile.open(QIODevice::ReadOnly));
    const QStringList inputs = QString::fromUtf8(listFile.readAll()).split('\n', Qt::SkipEmptyParts);
    for (const QString& input : inputs) {
        const QString name = QFileInfo(input).fileName();
        const QString path = QDir(outDir).filePath(name);
        const QString untouched = QDir(outDir).filePath("untouched-" + name);
        QFile::remove(path);
        QFile::remove(untouched);
        QFile::copy(input, path);
        QFile::copy(input, untouched);
        QImageReader orientReader(untouched);
        const int orientation = exifNumber(orientReader.transformation());
        std::vector<QRect> strokes;
        for (int session = 1; session <= sessions; ++session) {
            m_alerts.clear();
            Opened opened = open(m_documents, path);
            if (!opened.document) {
                log << name << " s" << session << " OPEN-FAILED " << opened.error << " alerts=" << m_alerts.join(" / ") << "\n";
                log.flush();
                break;
            }
            if (!opened.controller || !opened.chain() || opened.chain()->originalImageSize().width <= 0) {
                log << name << " s" << session << " OPEN-GAVE-NO-PICTURE alerts=" << m_alerts.join(" / ") << "\n";
                log.flush();
                break;
            }
            const pf::Size size = opened.chain()->originalImageSize();
            const int w = int(size.width), h = int(size.height);
            QRect stroke = session % 2 == 1
                               ? QRect(w / 4, h / 4, std::max(1, w / 6), std::max(1, h / 6))
                               : QRect(w * 5 / 8, h * 5 / 8, std::max(1, w / 7), std::max(1, h / 7));
            if (nowhere)
                stroke = QRect();
            else
                strokes.push_back(stroke);
            paintLayer(*opened.chain(), stroke);
            const QString type = opened.document->fileType();
            log << name << " s" << session << " opened " << w << "x" << h << " type=" << type
                << " layers=" << opened.chain()->numberOfTools()
                << " alerts=[" << m_alerts.join(" / ") << "]\n";
            const QString exported = QDir(outDir).filePath(QStringLiteral("e%1-%2").arg(session).arg(name));
            const QString copy = QDir(outDir).filePath(QStringLiteral("c%1-%2").arg(session).arg(name));
            const QString png = QDir(outDir).filePath(QStringLiteral("p%1-%2.png").arg(session).arg(name));
            std::vector<std::pair<QString, QString>> outputs;
            const auto run = [&](const QString& file, const QString& t, Op op, const char* what) {
                m_alerts.clear();
                const SaveResult r = save(*opened.document, file, t, op);
                log << name << " s" << session << " " << what << " " << (r.succeeded ? "ok" : "FAILED") << " "
                    << r.error << (m_alerts.isEmpty() ? QString() : " alerts=[" + m_alerts.join(" / ") + "]")
                    << "\n";
                return r.succeeded;
            };
            if (!onlySave && run(exported, type, Op::SaveTo, "export"))
                outputs.emplace_back(exported, "export");
            if (run(path, type, Op::Save, "save"))
                outputs.emplace_back(path, "save");
            if (!onlySave && run(copy, type, Op::SaveAs, "saveas"))
                outputs.emplace_back(copy, "saveas");
            const bool havePNG = !onlySave && run(png, "png", Op::SaveTo, "png");
            opened.document->close();
            const bool jpeg = GMPhotoFile::inspect(untouched).format == "jpeg";
            for (const auto& [file, what] : outputs) {
                const Diff d = jpeg ? blockDiff(untouched, file, strokes, orientation)
                                    : pixelDiff(untouched, file, strokes);
                const int sd = havePNG && !strokes.empty() ? strokeDiff(file, png, {strokes.back()}) : -1;
                log << name << " s" << session << " " << what << (jpeg ? " blocks" : " pixels")
                    << " outsideMax=" << d.outsideMax << " outsideCount=" << d.outsideCount
                    << " inside=" << d.insideMax << " strokeVsPNG=" << sd << " " << d.note
                    << ((d.outsideMax > 0) ? "  <<< OUTSIDE CHANGED" : "") << "\n";
            }
            log.flush();
        }
    }
}


// Opens PROBE_KILL's photo, paints it and saves over it, telling on stdout when the save starts and
// ends: a script kills the process at some moment in between and looks at what the file holds.
TEST_F(ProbeSaves, SaveToBeKilled)
{
    const QString path = qEnvironmentVariable("PROBE_KILL");
    if (path.isEmpty())
        GTEST_SKIP();
    Opened opened = open(m_documents, path);
    ASSERT_TRUE(opened.document) << opened.error.toStdString();
    const pf::Size size = opened.chain()->originalImageSize();
    paintLayer(*opened.chain(), QRect(int(size.width) / 3, int(size.height) / 3, int(size.width) / 5,
                                      int(size.height) / 5));
    printf("SAVING\n");
    fflush(stdout);
    const SaveResult r = save(*opened.document, path, opened.document->fileType(), Op::Save);
    printf("SAVED %d %s\n", r.succeeded, qPrintable(r.error));
    fflush(stdout);
}

// Exports every photo of PROBE_LIST, painted nowhere, to each kind of PROBE_EXPORTS ("png,tiff,...") in
// PROBE_OUT, one line a file in report-exports.txt.
TEST_F(ProbeSaves, ExportToOtherKinds)
{
    const QString list = qEnvironmentVariable("PROBE_LIST"), outDir = qEnvironmentVariable("PROBE_OUT");
    const QStringList kinds = qEnvironmentVariable("PROBE_EXPORTS").split(',', Qt::SkipEmptyParts);
    if (list.isEmpty() || outDir.isEmpty() || kinds.isEmpty())
        GTEST_SKIP();
    QFile report(QDir(outDir).filePath("report-exports.txt"));
    ASSERT_TRUE(report.open(QIODevice::WriteOnly | QIODevice::Append));
    QTextStream log(&report);
    QFile listFile(list);
    ASSERT_TRUE(listFile.open(QIODevice::ReadOnly));
    for (const QString& input : QString::fromUtf8(listFile.readAll()).split('\n', Qt::SkipEmptyParts)) {
        const QString name = QFileInfo(input).fileName();
        const QString path = QDir(outDir).filePath(name);
        QFile::remove(path);
        QFile::copy(input, path);
        Opened opened = open(m_documents, path);
        if (!opened.document || !opened.chain()) {
            log << name << " OPEN-FAILED " << opened.error << "\n";
            continue;
        }
        paintLayer(*opened.chain(), QRect());
        const QString extension[] = {"png", "tif", "jpg", "webp", "bmp"};
        for (const QString& kind : kinds) {
            const QString ext = kind == "tiff" ? "tif" : kind == "jpeg" ? "jpg" : kind;
            const QString target = QDir(outDir).filePath(QStringLiteral("x-%1.%2").arg(name, ext));
            m_alerts.clear();
            const SaveResult r = save(*opened.document, target, kind, Op::SaveTo);
            log << name << " -> " << kind << " " << (r.succeeded ? "ok" : "FAILED " + r.error)
                << (m_alerts.isEmpty() ? QString() : " alerts=[" + m_alerts.join(" / ") + "]") << "\n";
        }
        opened.document->close();
        log.flush();
    }
}
