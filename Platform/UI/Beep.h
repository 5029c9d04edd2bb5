#pragma once

namespace pf {

// The system's alert sound, for an input the interface refuses. Every beep is counted, so tests can
// tell that a key was refused without hearing it.
void beep();
int beepCount();

} // namespace pf
