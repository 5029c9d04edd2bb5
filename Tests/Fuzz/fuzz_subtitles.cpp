// Reads arbitrary bytes as subtitle text of unknown encoding with both readers, and the text as a time.
// Nothing may crash; every time printed has the fixed SubRip shape and reads back as itself.
#include "Classes/Help/OVSubtitle.h"
#include "Classes/Help/OVTimeValueTransformer.h"
#include "FuzzSupport.h"
#include "Platform/Foundation/Log.h"
#include "Platform/Foundation/TextEncoding.h"

#include <QByteArray>
#include <QRegularExpression>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QRegularExpression shape(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d,\\d\\d\\d$"));
    pf::LogCapture silence;
    const QByteArray input = fuzz::input(data, size);
    const QString text = pf::TextEncoding::decodeUnknown(input);
    const auto& transformer = OVSubtitle::timeTransformer();
    for (const auto& cue : OVSubtitle::subtitlesFromString(text)) {
        if (cue->string() != cue->string().trimmed())
            fuzz::failure("a SubRip cue's text is not trimmed");
        for (const double t : {cue->start(), cue->end()}) {
            const QString printed = transformer.transformedValue(t);
            if (!shape.match(printed).hasMatch())
                fuzz::failure("a time printed out of shape");
        }
    }
    OVSubtitle::subtitlesFromString(text, 0.04);
    const double seconds = transformer.reverseTransformedValue(text);
    const QString printed = transformer.transformedValue(seconds);
    if (!shape.match(printed).hasMatch())
        fuzz::failure("a time printed out of shape");
    const double again = transformer.reverseTransformedValue(printed);
    if (transformer.transformedValue(again) != printed)
        fuzz::failure("a printed time does not read back as itself");
    return 0;
}
