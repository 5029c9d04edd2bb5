#include "Classes/Framework/Toolkit/ObjectORVExtension.h"

#include "Platform/Foundation/KeyValueCoding.h"
#include "Platform/Foundation/MainThread.h"

namespace ObjectORVExtension {

void delayedChangeValueForKey(std::shared_ptr<pf::KeyValueCoding> object, const QString& key)
{
    if (!object)
        return;
    pf::runOnMain([object = std::move(object), key] {
        object->willChangeValueForKey(key);
        object->didChangeValueForKey(key);
    });
}

} // namespace ObjectORVExtension
