#pragma once

#include <QString>

namespace pf {

// `length` characters drawn uniformly from a-z, A-Z and 0-9, from the system's entropy source (never
// the clock), so names made by concurrent processes or threads do not collide. Thread-safe. Empty for
// a length of zero or less.
QString randomName(int length);

} // namespace pf
