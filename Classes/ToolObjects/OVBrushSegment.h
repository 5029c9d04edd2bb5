#pragma once

#include "Classes/ToolObjects/OVBrushFramework/GMBrushHandler.h"
#include "Classes/ToolObjects/OVBrushFramework/GMBrushPath.h"
#include "Classes/ToolObjects/OVBrushFramework/OVBrush.h"
#include "Classes/ToolObjects/OVBrushFramework/OVContentContainer.h"
#include "Classes/ToolObjects/OVRenderInfo.h"

#include <QMetaType>
#include <memory>
#include <vector>

// One recorded stroke that can be painted again onto a mask: how strokes of documents of the older
// version become present-day masks. Each replay runs the stroke through a brush handler of its own,
// from the container's mask, over the photo of the render information, and leaves the stroke's result
// in the container.
class OVBrushSegment
{
public:
    OVBrushSegment() = default;
    // The older segment's points as they are, and its brush for a photo `size` wide.
    OVBrushSegment(const GMBrushSegment& legacy, const pf::Size& size);

    OVBrushPtr brush;
    // Normalised to the photo (y up), handed to the brush handler unchanged.
    std::vector<pf::Point> points;

    const OVRenderInfo& renderInfo() const { return m_renderInfo; }
    void setRenderInfo(const OVRenderInfo& info) { m_renderInfo = info; }
    // The mask being painted during a replay; null otherwise.
    const OVContentContainerPtr& canvas() const { return m_canvas; }
    void setCanvas(OVContentContainerPtr canvas) { m_canvas = std::move(canvas); }

    // Begins a replay: the container becomes the canvas, and a new brush handler, over the render
    // information's photo and starting from the canvas's mask and additional picture, puts the brush down
    // at the point (faces count as 500 pixels wide: the older documents kept no face sizes).
    void processSegmentStart(const OVBrush& brush, const pf::Point& point, OVContentContainerPtr canvas);
    // Ends a replay: the canvas gets the mask with the stroke merged in (the start mask when the stroke
    // could not be made) and the handler's additional picture; the handler is dropped.
    void brushUp();
    // Replays the whole stroke onto the container and returns it, holding the result as pictures still to
    // be rendered. A segment without points or without a brush leaves the container as it came.
    OVContentContainerPtr renderOnCanvasContainer(OVContentContainerPtr container);

    // Replays every segment of an older path in order onto `start` (the layer's empty mask for a photo of
    // `size` pixels), each segment painting onto the previous one's result, and returns the last result.
    // The mask is rendered to pixels every few segments, so a long path does not pile up recipes.
    static OVContentContainerPtr renderPath(const GMBrushPath& path, const pf::Size& size,
                                            const OVRenderInfo& renderInfo, OVContentContainerPtr start);

    // Registers the archived class "OVBrushSegment" ("number of points", the points unkeyed in order,
    // then "brush"), and OVBrush. A damaged record fails the decoding. Called once at start-up.
    static void registerArchiveClass();

private:
    OVRenderInfo m_renderInfo;
    OVContentContainerPtr m_canvas;
    std::unique_ptr<GMBrushHandler> m_brushHandler;
};

using OVBrushSegmentPtr = std::shared_ptr<OVBrushSegment>;
Q_DECLARE_METATYPE(OVBrushSegmentPtr)
