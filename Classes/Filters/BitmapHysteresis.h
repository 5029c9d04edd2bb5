#pragma once

#include "Platform/Image/Bitmap.h"
#include "Platform/Image/Image.h"

#include <QString>
#include <QVariant>
#include <QVariantMap>

// The second stage of an edge detector, on the CPU: given an edge-strength image (strength in the green
// channel, 0 to 1), pixels stronger than the high value are edges, and pixels between the low and the
// high value become edges when a direct neighbour is stronger than the high value. Edges found so are
// followed back up and to the left through weaker pixels. It is driven like a filter (inputs by key,
// defaults, an output image) but works on two bitmap copies of the input, one read and one written;
// the pass runs at the next output after any input changed.
//
// Output pixels, 8 bits each in red, green, blue, alpha order: edge (255, 255, 255, 255); weak pixels
// next to other weak ones and pixels at or below the low value (0, 0, 0, 255); weak pixels alone keep
// their input value. The output image lies at the origin.
class BitmapHysteresis
{
public:
    BitmapHysteresis() = default;

    // "inputImage", "inputLowValue" and "inputHighValue" reach their setters; every value, under any key,
    // is kept in the settings and marks the object dirty.
    void setValue(const QVariant& value, const QString& key);
    QVariant objectForKey(const QString& key) const;

    // Stores the image and renders both bitmaps anew from it. An image without a finite extent gives
    // empty bitmaps (and a warning).
    void setInputCIImage(const pf::Image& image);
    const pf::Image& inputCIImage() const { return m_input; }
    void setInputLowValue(const QVariant& value) { m_low = value; }
    void setInputHighValue(const QVariant& value) { m_high = value; }
    const QVariant& inputLowValue() const { return m_low; }
    const QVariant& inputHighValue() const { return m_high; }

    // Low 0.5 and high 0.8, through the setters only: neither kept in the settings nor marking dirty.
    void setDefaults();

    // Runs the pass when dirty, then the image of the output bitmap (nothing without an input).
    pf::Image outputImage();
    bool isDirty() const { return m_dirty; }

    // Whether one of the four direct neighbours of (x, y) (rows counted from the top) is stronger than the
    // high value, or than the low value. Neighbours outside the bitmap count as 0.
    bool isDirectlyConnectedToHighValueAt(int x, int y) const;
    bool isDirectlyConnectedToLowValueAt(int x, int y) const;

private:
    void updateBitmap();
    void bitmapHysteresis();
    // Green of the input bitmap at (x, y) in 0..1; 0 outside.
    double greenAt(int x, int y) const;

    QVariantMap m_filterSettings;
    pf::Image m_input;
    pf::Bitmap m_inputBitmap;
    pf::Bitmap m_outputBitmap;
    QVariant m_low;
    QVariant m_high;
    bool m_dirty = false;
};
