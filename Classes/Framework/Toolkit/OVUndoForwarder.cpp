#include "Classes/Framework/Toolkit/OVUndoForwarder.h"

#include "Platform/Foundation/KeyValueCoding.h"

OVUndoForwarder& OVUndoForwarder::sharedForwarder()
{
    static OVUndoForwarder forwarder;
    return forwarder;
}

void OVUndoForwarder::performKeyValueUndo(const Record& record)
{
    if (!record.obj || record.lifetime.expired())
        return;
    record.obj->setValueForKey(record.val, record.key);
}
