#pragma once

#include <QString>
#include <QVariant>
#include <memory>

namespace pf {
class KeyValueCoding;
}

// The one performer of every key-value undo: it puts a recorded value back on its object by key. The
// undo manager files each record under the object it changes (not under the forwarder), so an object
// that removes its actions when it goes takes its records with it. Main thread only.
class OVUndoForwarder
{
public:
    // What a key-value undo restores.
    struct Record
    {
        pf::KeyValueCoding* obj = nullptr;
        std::weak_ptr<const void> lifetime; // of obj: a record never reaches a destroyed object
        QString key;
        QVariant val;
    };

    static OVUndoForwarder& sharedForwarder();

    // Sets the record's value on its object under its key (nothing when the object is gone). When the
    // object's setter registers its undo again through UndoManagerORVExtension, that becomes the redo.
    void performKeyValueUndo(const Record& record);
};
