#pragma once

namespace pf {

// Registers the engine's own filters under the names the system creates them by ("CIGaussianBlur",
// "CIAffineClamp", ...). Every program calls it once at start-up; further calls, from any thread, do
// nothing.
void registerBuiltinFilters();

} // namespace pf
