#pragma once

#include "Platform/Foundation/Rect.h"

#include <QCursor>
#include <QString>
#include <QVariantMap>
#include <optional>

class GMSettingsController;

// What the settings panel tells the window controller.
class GMSettingsDelegate
{
public:
    virtual ~GMSettingsDelegate() = default;

    // The brush cursor for the canvas; none drops it (nothing editable is selected).
    virtual void settingsControllerDidChangeBrush(GMSettingsController* panel,
                                                  const std::optional<QCursor>& cursor) = 0;
    // A settings change of the layer at `index`: one entry, "intensity" (a double 0..1) or "color" (a
    // pf::Color). While `preview` is true the user is still dragging: render, register no undo step;
    // the final change (preview false) carries the same undo name and is the one to record.
    virtual void settingsControllerDidChangeSettings(GMSettingsController* panel, const QVariantMap& settings,
                                                     int index, const QString& undoName, bool preview) = 0;
    // True while the pointer rests on the hide icon: show the stack without the selected layer's live
    // stroke layer.
    virtual void settingsControllerHideDrawLayer(GMSettingsController* panel, bool hide) = 0;
    // The area strokes are painted in (the layer browser's frame): brush sizes scale with its width.
    virtual pf::Rect drawingArea() const = 0;
    // Whether the layer at `index` may be removed; by default it may.
    virtual bool settingsControllerCanRemovePhotoToolAtIndex(GMSettingsController*, int) { return true; }
};
