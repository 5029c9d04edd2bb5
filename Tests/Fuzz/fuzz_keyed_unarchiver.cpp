// Reads arbitrary bytes as a keyed archive, with one registered class, then archives what it read
// again: the result must archive and unarchive without trouble.
#include "FuzzRecord.h"
#include "FuzzSupport.h"

#include <QByteArray>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    registerFuzzRecord();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = fuzz::input(data, size);
    QString error;
    const auto roots = pf::KeyedUnarchiver::unarchive(input, &error);
    if (fuzz::failed(roots, error))
        return 0;
    const auto archived = pf::KeyedArchiver::archivedData(*roots, &error);
    if (fuzz::failed(archived, error, "an archiving failure without a message"))
        return 0;
    if (!pf::KeyedUnarchiver::unarchive(*archived, &error))
        fuzz::failure("what was archived again could not be read");
    return 0;
}
