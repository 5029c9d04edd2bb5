// Defaults for the thread sanitizer in this test program, read by its runtime before main (the
// environment's TSAN_OPTIONS, with the suppressions, still apply on top).
//
// The software rasterizer compiles every shader program with its JIT, which leaves locks that the
// sanitizer's deadlock detector counts as held; after some sixty programs in one process the detector
// runs out of slots and aborts with an internal CHECK. The filter tests compile a program per kernel, so
// the detector is turned off here. Races are still reported.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_options()
{
    return "detect_deadlocks=0";
}
#endif
