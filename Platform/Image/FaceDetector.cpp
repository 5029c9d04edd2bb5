#include "Platform/Image/FaceDetector.h"

#include "Platform/Foundation/Log.h"
#include "Platform/Image/RenderContext.h"

#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <algorithm>
#include <cmath>
#include <mutex>
#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>

namespace pf {

namespace {

const QString FaceCascade = QStringLiteral("haarcascade_frontalface_alt2.xml");
const QString EyeCascade = QStringLiteral("haarcascade_eye.xml");
const QString MouthCascade = QStringLiteral("haarcascade_smile.xml");

// How a working-image pixel maps back into the caller's coordinates: x = left + bx / sx,
// y = top - by / sy (working rows run downward, the caller's y upward).
struct Placement
{
    double left = 0, top = 0, sx = 1, sy = 1;

    Point point(Point b) const { return Point(left + b.x / sx, top - b.y / sy); }
    Rect rect(const cv::Rect& r) const
    {
        return Rect(left + r.x / sx, top - (r.y + r.height) / sy, r.width / sx, r.height / sy);
    }
};

Point centre(const cv::Rect& r)
{
    return Point(r.x + r.width * 0.5, r.y + r.height * 0.5);
}

} // namespace

struct FaceDetector::Private
{
    // Detection changes a classifier's scratch state: calls take turns on the mutex.
    mutable cv::CascadeClassifier faces, eyes, mouths;
    bool haveEyes = false, haveMouths = false;
    QString error;
    mutable std::mutex mutex;

    std::vector<FaceFeature> detect(const cv::Mat& grey, const Placement& placement) const;
};

FaceDetector::FaceDetector(const QStringList& cascadeFolders) : d(std::make_unique<Private>())
{
    auto find = [&](const QString& name) -> QString {
        for (const QString& folder : cascadeFolders) {
            const QString path = QDir(folder).filePath(name);
            if (QFileInfo(path).isFile())
                return path;
        }
        return QString();
    };
    auto load = [&](cv::CascadeClassifier& classifier, const QString& name) {
        const QString path = find(name);
        if (path.isEmpty())
            return false;
        try {
            return classifier.load(path.toStdString());
        } catch (const cv::Exception&) {
            return false;
        }
    };
    if (!load(d->faces, FaceCascade)) {
        d->error =
            QStringLiteral("Face detection is unavailable: the cascade “%1” was not found or could not be "
                           "read in %2 (install the computer-vision data package, or set PF_CASCADES_DIR)")
                .arg(FaceCascade, cascadeFolders.isEmpty() ? QStringLiteral("no folder")
                                                           : cascadeFolders.join(QStringLiteral(", ")));
        return;
    }
    d->haveEyes = load(d->eyes, EyeCascade);
    d->haveMouths = load(d->mouths, MouthCascade);
}

FaceDetector::~FaceDetector() = default;

QStringList FaceDetector::defaultCascadeFolders()
{
    QStringList folders;
    const QString custom = QProcessEnvironment::systemEnvironment().value(QStringLiteral("PF_CASCADES_DIR"));
    if (!custom.isEmpty())
        folders << custom;
    folders << QStringLiteral("/usr/share/opencv4/haarcascades")
            << QStringLiteral("/usr/share/opencv/haarcascades")
            << QStringLiteral("/usr/local/share/opencv4/haarcascades");
    return folders;
}

bool FaceDetector::isValid() const
{
    return d->error.isEmpty();
}

QString FaceDetector::errorMessage() const
{
    return d->error;
}

std::vector<FaceFeature> FaceDetector::Private::detect(const cv::Mat& grey, const Placement& placement) const
{
    cv::Mat equalized;
    cv::equalizeHist(grey, equalized);
    const int side = std::min(grey.cols, grey.rows);
    std::vector<cv::Rect> found;
    std::lock_guard lock(mutex);
    faces.detectMultiScale(equalized, found, 1.08, 5, cv::CASCADE_SCALE_IMAGE,
                           cv::Size(std::max(20, side / 16), std::max(20, side / 16)));

    std::vector<std::pair<cv::Rect, FaceFeature>> results;
    for (const cv::Rect& face : found) {
        FaceFeature feature;
        // The cascade's window spans brows to mouth; the face, forehead to chin and cheek to cheek, is
        // about half as large again about the same centre.
        const cv::Rect whole(int(std::lround(face.x - face.width * 0.25)),
                             int(std::lround(face.y - face.height * 0.25)),
                             int(std::lround(face.width * 1.5)), int(std::lround(face.height * 1.5)));
        feature.bounds = placement.rect(whole);
        // Eyes in the upper part of the face, the mouth in the lower; small faces are enlarged first so
        // that eyes keep the size the cascade was trained on.
        const double enlarge = face.width < 160 ? 160.0 / face.width : 1.0;
        auto search = [&](cv::CascadeClassifier& cascade, double top, double bottom, int neighbours,
                          double minimum) {
            const cv::Rect band(face.x, face.y + int(face.height * top), face.width,
                                int(face.height * (bottom - top)));
            cv::Mat part;
            cv::resize(equalized(band & cv::Rect(0, 0, grey.cols, grey.rows)), part, cv::Size(), enlarge,
                       enlarge, cv::INTER_LINEAR);
            std::vector<cv::Rect> hits;
            const int least = std::max(8, int(face.width * enlarge * minimum));
            cascade.detectMultiScale(part, hits, 1.08, neighbours, cv::CASCADE_SCALE_IMAGE,
                                     cv::Size(least, least));
            // Back into working pixels.
            for (cv::Rect& hit : hits)
                hit = cv::Rect(int(std::lround(hit.x / enlarge)) + band.x,
                               int(std::lround(hit.y / enlarge)) + band.y,
                               int(std::lround(hit.width / enlarge)), int(std::lround(hit.height / enlarge)));
            return hits;
        };
        if (haveEyes) {
            // The largest eye on either side of the face's middle.
            std::optional<cv::Rect> left, right;
            for (const cv::Rect& eye : search(eyes, 0.15, 0.6, 3, 0.12)) {
                const double middle = eye.x + eye.width * 0.5;
                auto& slot = middle < face.x + face.width * 0.5 ? left : right;
                if (!slot || eye.area() > slot->area())
                    slot = eye;
            }
            if (left)
                feature.leftEye = placement.point(centre(*left));
            if (right)
                feature.rightEye = placement.point(centre(*right));
        }
        if (haveMouths) {
            // The candidate nearest the face's vertical middle line.
            std::optional<cv::Rect> best;
            const double middle = face.x + face.width * 0.5;
            for (const cv::Rect& mouth : search(mouths, 0.55, 1.0, 20, 0.25)) {
                const double off = std::abs(mouth.x + mouth.width * 0.5 - middle);
                if (off < face.width * 0.2 && (!best || off < std::abs(best->x + best->width * 0.5 - middle)))
                    best = mouth;
            }
            if (best)
                feature.mouth = placement.point(centre(*best));
        }
        results.emplace_back(face, feature);
    }
    std::sort(results.begin(), results.end(), [](const auto& a, const auto& b) {
        if (a.first.area() != b.first.area())
            return a.first.area() > b.first.area();
        if (a.second.bounds.minY() != b.second.bounds.minY())
            return a.second.bounds.minY() < b.second.bounds.minY();
        return a.second.bounds.minX() < b.second.bounds.minX();
    });
    std::vector<FaceFeature> features;
    for (auto& [rect, feature] : results)
        features.push_back(feature);
    return features;
}

std::vector<FaceFeature> FaceDetector::features(const Image& image, RenderContext* context) const
{
    if (!isValid()) {
        pf::error(d->error);
        return {};
    }
    const Rect extent = image.isNull() ? Rect::null() : image.extent().integral();
    if (extent.isNull() || extent.isEmpty() || extent.isInfinite()) {
        pf::error(QStringLiteral("Faces can only be found in an image of finite size"));
        return {};
    }
    const double scale = std::min(1.0, WorkingSize / std::max(extent.width(), extent.height()));
    const Image reduced = image.imageByApplyingTransform(AffineTransform::scale(scale, scale));
    const Rect area = AffineTransform::scale(scale, scale).map(extent).integral();
    std::shared_ptr<RenderContext> shared;
    if (!context) {
        shared = RenderContext::shared();
        context = shared.get();
    }
    const auto grey = context->render(reduced, area, Bitmap::Format::Gray8);
    if (!grey)
        return {};
    const cv::Mat mat(grey->height(), grey->width(), CV_8UC1, const_cast<uint8_t*>(grey->data()),
                      grey->bytesPerRow());
    return d->detect(mat, Placement{area.minX() / scale, area.maxY() / scale, scale, scale});
}

std::vector<FaceFeature> FaceDetector::features(const Bitmap& bitmap) const
{
    if (!isValid()) {
        pf::error(d->error);
        return {};
    }
    if (bitmap.isNull())
        return {};
    const Bitmap grey =
        bitmap.format() == Bitmap::Format::Gray8 ? bitmap : bitmap.converted(Bitmap::Format::Gray8);
    const cv::Mat full(grey.height(), grey.width(), CV_8UC1, const_cast<uint8_t*>(grey.data()),
                       grey.bytesPerRow());
    const double scale = std::min(1.0, double(WorkingSize) / std::max(grey.width(), grey.height()));
    cv::Mat reduced = full;
    if (scale < 1.0)
        cv::resize(full, reduced,
                   cv::Size(std::max(1, int(std::lround(grey.width() * scale))),
                            std::max(1, int(std::lround(grey.height() * scale)))),
                   0, 0, cv::INTER_AREA);
    const double sx = double(reduced.cols) / grey.width(), sy = double(reduced.rows) / grey.height();
    return d->detect(reduced, Placement{0.0, double(grey.height()), sx, sy});
}

} // namespace pf
