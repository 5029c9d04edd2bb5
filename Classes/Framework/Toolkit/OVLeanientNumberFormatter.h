#pragma once

#include <QDoubleValidator>

// The number formatter of number fields. It adds no rule of its own: what it accepts while the user
// types is the number validator's answer for its settings (range, decimals, notation).
class OVLeanientNumberFormatter : public QDoubleValidator
{
    Q_OBJECT

public:
    using QDoubleValidator::QDoubleValidator;

    // Whether `partial` may stand while typing (acceptable, or on its way to it).
    bool isPartialStringValid(const QString& partial) const;
};
