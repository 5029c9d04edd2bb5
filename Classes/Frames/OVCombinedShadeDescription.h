#pragma once

#include "Classes/Frames/OVShadeDescription.h"

#include <memory>

// Several adjacent shades of one combinable blend mode and the same geometry joined into one image,
// so that the frame filter lays one image where the stack had several. The joined image lives in a
// temporary PNG (a copy of the first shade's file at first) that is rewritten when the cached image is
// released, so the file always holds the joined shades once the memory is given back.
class OVCombinedShadeDescription : public OVShadeDescription
{
public:
    OVCombinedShadeDescription(const QString& shadePath, const QString& blendMode, double intensity);
    ~OVCombinedShadeDescription() override;

    // Whether `b` may be joined onto `a` (an empty `b` never joins).
    static bool canJoint(const OVShadeDescription& a, const OVShadeDescription* b);
    bool canAddDescription(const OVShadeDescription& shade) const;
    // Joins `shade` over what this holds, each weighed by its own intensity; the join is laid at 1.
    void addDescription(OVShadeDescription& shade);
    // Replaces the joined recipe by rendered pixels once, so that later renders do not redo the join.
    void fixImages();
    // The first release writes the joined image to the temporary file and keeps it; a release with
    // nothing left to write drops it, and the next image() reads the file.
    void clearCachedImage() override;

    bool hasChanges() const { return m_hasChanges; }
    bool needsFixing() const { return m_needsFixing; }
    // False when the shade's file could not be copied: the shade then keeps its own file, which must
    // not be overwritten, and the joined image stays in memory.
    bool hasOwnFile() const { return m_hasOwnFile; }

private:
    bool m_hasChanges = false;
    bool m_needsFixing = false;
    bool m_hasOwnFile = false;
};
