// Reads arbitrary bytes as a document package's layer list ("content"), with every class a document
// may hold registered (colours, older stroke lists); what it accepts must archive again and read back
// the same layers. The same bytes are read as an older single-file document too: the picture search
// through its first element must stay bounded and the layers after it pass the same checks.
#include "Classes/Document/GMDocumentArchive.h"
#include "Classes/ToolObjects/OVBrushFramework/GMBrushPath.h"
#include "FuzzSupport.h"

#include <QByteArray>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    GMDocumentArchive::registerArchiveClasses();
    return 0;
}

namespace {

void readAsOlderDocument(const QByteArray& input)
{
    QString error;
    const auto older = GMDocumentArchive::olderDocument(input, &error);
    if (fuzz::failed(older, error, "an older document refused without a message"))
        return;
    for (const QByteArray& picture : older->pictures)
        if (picture.isEmpty())
            fuzz::failure("an empty picture offered");
    for (const auto& entry : older->layers)
        if (GMDocumentArchive::hasOlderBrushSettings(entry.values) &&
            !GMDocumentArchive::olderBrushPath(entry.values))
            fuzz::failure("an older layer accepted without strokes");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = fuzz::input(data, size);
    readAsOlderDocument(input);
    QString error;
    const auto entries = GMDocumentArchive::entries(input, &error);
    if (fuzz::failed(entries, error))
        return 0;
    for (const auto& entry : *entries) {
        GMDocumentArchive::removeLegacyKeys(entry.values);
        if (GMDocumentArchive::hasOlderBrushSettings(entry.values)) {
            const auto strokes = GMDocumentArchive::olderBrushPath(entry.values);
            if (!strokes)
                fuzz::failure("accepted older settings without strokes");
            for (const auto& segment : strokes->pathSegments())
                if (!segment)
                    fuzz::failure("a stroke list with a missing segment");
        }
    }
    const auto archived = GMDocumentArchive::archivedData(*entries, &error);
    if (fuzz::failed(archived, error, "an archiving failure without a message"))
        return 0;
    const auto again = GMDocumentArchive::entries(*archived, &error);
    if (!again || again->size() != entries->size())
        fuzz::failure("what was archived again does not read back");
    for (size_t k = 0; k < entries->size(); ++k)
        if ((*again)[k].name != (*entries)[k].name)
            fuzz::failure("a layer's name changed on the way");
    return 0;
}
