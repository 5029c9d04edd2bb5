#include "Classes/Framework/Toolkit/OVLeanientNumberFormatter.h"

bool OVLeanientNumberFormatter::isPartialStringValid(const QString& partial) const
{
    QString text = partial;
    int position = int(text.size());
    return validate(text, position) != QValidator::Invalid;
}
