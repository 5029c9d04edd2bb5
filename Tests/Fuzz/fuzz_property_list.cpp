// Reads arbitrary bytes as a property list. Whatever is read must write back in the binary format
// and read back the same; in XML too whenever XML can hold it.
#include "FuzzSupport.h"
#include "Platform/Foundation/PropertyList.h"

#include <QByteArray>
#include <cstdint>

using pf::PropertyList;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = fuzz::input(data, size);
    QString error;
    const auto value = PropertyList::fromData(input, &error);
    if (fuzz::failed(value, error))
        return 0;
    for (const auto format : {PropertyList::Format::Binary, PropertyList::Format::Xml}) {
        const auto written = PropertyList::toData(*value, format, &error);
        if (!written) {
            if (format == PropertyList::Format::Binary)
                fuzz::failure("a value read could not be written as binary");
            continue;
        }
        const auto reread = PropertyList::fromData(*written, &error);
        if (!reread || !fuzz::sameValue(*value, *reread))
            fuzz::failure(format == PropertyList::Format::Binary ? "binary round trip" : "XML round trip");
    }
    return 0;
}
