#pragma once

#include "Platform/Foundation/Point.h"
#include "Platform/Foundation/Size.h"
#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Image.h"

namespace pf {
class RenderContext;
}

#include <QString>
#include <memory>
#include <mutex>
#include <optional>

// One picture of a mask: either a recipe still being built (pending) or pixels (stored). Flushing
// renders a pending recipe into a bitmap (16-bit grey for masks, as they are written; float RGBA for
// colour pictures) so that later strokes and renders start from pixels. Stored pixels that are all
// one value (a new layer's blank mask, a transparent picture) are kept as that value, not as a
// bitmap of the picture's size; a colour picture that is transparent outside a part of it (healed
// spots on a large photo) keeps the pixels of that part only. Written and read as a folder with "content"
// ({"isMonochrome"}) and "image.png". Shared between threads: a flush renders on a context of its own
// without holding the picture, and a write encodes without holding it, so readers never wait for either.
class OVImageContainer
{
public:
    OVImageContainer() = default;
    explicit OVImageContainer(const pf::Image& image, bool isMonochrome = true);
    static std::shared_ptr<OVImageContainer> imageContainerWithImage(const pf::Image& image);
    // Reads an image-container folder: without the folder or its "content" an empty monochrome
    // container; a missing "isMonochrome" reads as colour; a missing or undecodable "image.png" leaves
    // it empty. What exists but cannot be read (the folder, "content", "image.png") is logged as an
    // error and described in `problem`.
    static std::shared_ptr<OVImageContainer> readFromFolder(const QString& folder,
                                                            QString* problem = nullptr);
    // Whether `path` is a folder this process can list; otherwise false with the reason. A path that
    // does not exist gives false and an empty reason.
    static bool folderIsReadable(const QString& path, QString* reason);

    bool isMonochrome() const;
    void setImage(const pf::Image& image);
    // Replaces a picture still pending by a recipe of the same picture (cheaper to render); nothing
    // when it has been flushed meanwhile. A flush already under way stores its pixels as ever.
    void replacePendingImage(const pf::Image& image);
    // A picture that differs from the stored pixels of `base` (a picture of the same size) only in
    // `changed` (pixels, y up): a flush renders that part and takes the rest from base's pixels, so
    // storing a stroke on a large mask renders the stroke's part, not the mask. `replacing`: only while
    // this one's picture is still pending, as replacePendingImage.
    void setImageOverStored(const pf::Image& image, std::shared_ptr<const OVImageContainer> base,
                            const pf::Rect& changed, bool replacing = false);
    // Whether the picture is stored pixels (flushed or read), not a pending recipe.
    bool isStored() const;
    // What a pending picture set by setImageOverStored differs from, and where; none otherwise.
    std::optional<std::pair<std::shared_ptr<const OVImageContainer>, pf::Rect>> patchOver() const;
    // A picture of the size with nothing painted (zero everywhere), stored as its one value: what a
    // flush of a transparent picture of that size stores, without drawing it.
    void setBlank(const pf::Size& size);
    // The picture: the pending recipe, or the stored pixels as an image at the origin. Null when empty.
    pf::Image image() const;
    bool isEmpty() const;
    // The stored bitmap's pixel size, else the pending image's extent size, else zero.
    pf::Size size() const;
    // Renders a pending picture into stored pixels. When it cannot be rendered (an infinite extent, a
    // failed render or allocation) the picture stays pending and nothing is lost: false, with a message.
    bool flush(QString* errorMessage = nullptr);
    // The stored bitmap (after a flush); null while pending or empty. A picture of one value is made
    // into a bitmap for the call.
    pf::Bitmap bitmap() const;

    // The picture moved by `transform` and cut to `crop`, as a view of much of it shows it (reduced to
    // less than half its size): made pixels with `context` first, the stored pixels averaged straight from
    // memory and, of a picture pending over stored pixels, only the part that differs rendered. A render
    // reading the picture so reduced would otherwise make all of it at full size first. Any other
    // transform gives the picture moved and cut, as a recipe.
    pf::Image viewedImage(const pf::AffineTransform& transform, const pf::Rect& crop,
                          pf::RenderContext& context) const;
    // The part `rect` (normalised to the picture) scaled to `size` pixels; null when empty.
    pf::Image imageWithRect(const pf::Rect& rect, const pf::Size& size) const;
    // A new container (same kind) holding this picture scaled to the size; empty when this one is.
    std::shared_ptr<OVImageContainer> scaleUpToSize(const pf::Size& size) const;
    // A new container (same kind) holding this picture scaled into `rect` of the background's picture
    // and composited over it, as pixels; empty when this one is.
    std::shared_ptr<OVImageContainer> scaleAndPlaceImageWithRect(const pf::Rect& rect,
                                                                 const OVImageContainer& background) const;

    // Flushes, then writes the folder (16-bit grey PNG for masks, 16-bit RGBA otherwise). With nothing
    // to write, removes what an earlier write left in the folder. False, with a message, on failure; a
    // picture that cannot be flushed stays pending and leaves the folder as it was.
    bool writeToFolder(const QString& folder, QString* errorMessage = nullptr);

    // Registers the archived classes "OVImageContainer" ("image": the flushed picture as PNG data,
    // absent when empty; "isMonochrome") and "OVContentContainer" ("imageContainer",
    // "additionalImageContainer"). Called once at start-up.
    static void registerArchiveClasses();

private:
    // Stores rendered or read pixels: as their one value when they have only one. `origin` places
    // them in a transparent picture of `frame` pixels (a colour picture painted in a part of it).
    void store(const pf::Bitmap& pixels, const pf::Point& origin = pf::Point(),
               const pf::Size& frame = pf::Size());
    // The stored pixels as an image at the origin (in their frame); null without stored pixels.
    pf::Image storedImage() const;
    // The stored pixels moved by `transform` (a strong reduction) over `region`, as floats; none while
    // the picture is pending or empty.
    std::optional<pf::Bitmap> viewedStoredPixels(const pf::AffineTransform& transform, const pf::Rect& region,
                                                 pf::RenderContext& context) const;
    static pf::Bitmap expandedPixel(const pf::Bitmap& pixel, int width, int height);
    // Pixels to store, placed in their frame as store() takes them.
    struct Patched
    {
        pf::Bitmap pixels;
        pf::Point origin;
        pf::Size frame;
    };
    // The pixels of `pending` where it may differ from `base`, base's pixels elsewhere; none when base
    // is not stored pixels of the same size and kind. A colour base kept as a part of its frame gives a
    // part again, grown by where the pending picture changed.
    static std::optional<Patched> patchedPixels(const pf::Image& pending, const OVImageContainer& base,
                                                const pf::Rect& changed, bool monochrome);
    // A colour picture stored as transparent black or as a part of a frame: the part (null when
    // nothing is painted), where it lies (y up) and the frame's size.
    bool storedColourPart(pf::Bitmap* part, pf::Point* origin, pf::Size* frame) const;
    // Writes `part` (float colour, premultiplied) placed at `origin` (y up) of a transparent `frame` as a
    // 16-bit RGBA PNG.
    static bool writeFramedPNG(const pf::Bitmap& part, const pf::Point& origin, const pf::Size& frame,
                               const QString& path, QString* errorMessage);
    // Writes a 16-bit grey bitmap as a 16-bit grey PNG.
    // A picture of one value (`pixel`, Gray16 or RGBAf) over width x height, as a 16-bit PNG.
    static bool writeUniformPNG(const pf::Bitmap& pixel, int width, int height, const QString& path,
                                QString* errorMessage);
    static bool writeGreyPNG(const pf::Bitmap& pixels, const QString& path, QString* errorMessage);
    bool hasStoredPixels() const { return !m_bitmap.isNull() || !m_uniformPixel.isNull(); }

    std::mutex m_flushMutex; // held while a flush renders; m_mutex only while fields are read or set
    mutable std::mutex m_mutex;
    quint64 m_generation = 0; // counts setImage(): a flush stores its pixels only for the picture it rendered
    pf::Bitmap m_bitmap;      // stored pixels
    pf::Point m_origin;       // where they lie in their frame (y up) ...
    pf::Size m_frame;         // ... and the frame's size, when the bitmap holds only a part of it
    pf::Bitmap m_uniformPixel;                   // or, when they are all one value: that pixel (1 x 1) ...
    int m_uniformWidth = 0, m_uniformHeight = 0; // ... and their size
    mutable pf::Image m_image;                   // pending recipe, or a wrapper of the stored pixels
    std::shared_ptr<const OVImageContainer> m_patchBase; // what the pending recipe differs from ...
    pf::Rect m_patchRect;                                // ... and where
    bool m_isMonochrome = true;
};

using OVImageContainerPtr = std::shared_ptr<OVImageContainer>;
Q_DECLARE_METATYPE(OVImageContainerPtr)
