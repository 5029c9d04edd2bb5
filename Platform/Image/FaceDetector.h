#pragma once

#include "Platform/Image/Bitmap.h"
#include "Platform/Image/FaceFeature.h"
#include "Platform/Image/Image.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace pf {

class RenderContext;

// Finds frontal faces, and the eyes and mouth inside each, with trained cascades of simple features. It
// works on a grey copy reduced to at most WorkingSize pixels a side and scales its answers back.
// Faces come largest first (then bottom to top, left to right), so the most prominent face leads.
// One detector may be used from several threads; calls take turns.
class FaceDetector
{
public:
    static constexpr int WorkingSize = 640;

    // Looks for the cascade files in these folders, in order.
    explicit FaceDetector(const QStringList& cascadeFolders = defaultCascadeFolders());
    ~FaceDetector();
    FaceDetector(const FaceDetector&) = delete;
    FaceDetector& operator=(const FaceDetector&) = delete;

    // $PF_CASCADES_DIR when set, then where the system's computer-vision data is installed.
    static QStringList defaultCascadeFolders();

    // False when the face cascade is missing or unreadable; errorMessage() says which and where.
    bool isValid() const;
    QString errorMessage() const;

    // Faces of the image's extent, rendered through `context` (the shared one when null). An image
    // without a finite extent, or a detector that is not valid, gives no faces and an "Error: " line.
    std::vector<FaceFeature> features(const Image& image, RenderContext* context = nullptr) const;
    // Faces of a bitmap, placed at (0, 0) with its top row at the top.
    std::vector<FaceFeature> features(const Bitmap& bitmap) const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace pf
