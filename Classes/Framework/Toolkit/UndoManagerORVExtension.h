#pragma once

#include <QString>
#include <QVariant>
#include <functional>

namespace pf {
class KeyValueCoding;
class UndoManager;
} // namespace pf

// Undo for settings that controls change continuously, and undo named after the operation it reverses.
//
// While the user drags a slider or works a gesture, only the first change of each property of an
// object registers an undo, holding the value from before the drag: one drag is one undo step. One
// recording exists for the whole process (not one per undo manager): it belongs to one object and
// ends at the next press or release of the left mouse button in our windows, when the application
// loses the focus (a drag begun in our window keeps the pointer, so its release reaches us), at
// gestureEndedFor(), at a change made with no mouse button and no gesture, or when another object
// changes. Main thread only.
namespace UndoManagerORVExtension {

// Registers `action` (what calling `selectorName` on `target` does) under `target`, and names the
// step after the selector, translated through the default strings table (an untranslated name stays
// as it is, colon included), unless it is registered while undoing or redoing: then the step keeps
// the name of the one it reverses.
void registerUndoWithTarget(pf::UndoManager& manager, const void* target, const QString& selectorName,
                            std::function<void()> action);

// Registers, unless this drag already has for `key` of `target`, an undo that sets `value` (the value
// before the change) back under `key`, filed under `target`. The step is named after the key
// (translated) unless it already has a name. True when an undo was registered.
bool registerMouseAwareUndoWithTarget(pf::UndoManager& manager, pf::KeyValueCoding& target,
                                      const QVariant& value, const QString& key, bool gesture);

// Ends the recording when it belongs to `target`.
void gestureEndedFor(const pf::KeyValueCoding& target);

// True while a mouse-driven recording is open (its end is being watched for).
bool recordingInProgress();

} // namespace UndoManagerORVExtension
