#pragma once

#include <QDebug>
#include <ostream>

namespace pf {

// The value types print themselves to two streams: Qt's debug stream, for logs, and the test
// framework's printer, for failure messages. Each type writes its text once, as a callable
// `describe(stream, value)` that works on either stream, and these give each stream its settings, so
// the two texts cannot drift apart.

// Qt's debug stream, without the spaces it otherwise puts between items.
template <typename T, typename Describe>
QDebug describeToDebug(QDebug debug, const T& value, Describe describe)
{
    QDebugStateSaver saver(debug);
    debug.nospace();
    describe(debug, value);
    return debug;
}

// A test's stream, with enough digits that values which compare unequal also print differently.
template <typename T, typename Describe>
void describeExactly(std::ostream* stream, const T& value, Describe describe)
{
    const auto precision = stream->precision(17);
    describe(*stream, value);
    stream->precision(precision);
}

} // namespace pf

// Defines both printers of `Type` from its `describe`; used inside namespace pf, beside the type.
#define PF_DEFINE_VALUE_PRINTERS(Type, describe)                                                             \
    QDebug operator<<(QDebug debug, const Type& value)                                                       \
    {                                                                                                        \
        return describeToDebug(debug, value, describe);                                                      \
    }                                                                                                        \
    void PrintTo(const Type& value, std::ostream* stream)                                                    \
    {                                                                                                        \
        describeExactly(stream, value, describe);                                                            \
    }
