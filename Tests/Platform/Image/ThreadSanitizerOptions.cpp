// Defaults for the thread sanitizer in this test program, read by its runtime before main (the
// environment's TSAN_OPTIONS, with the project's suppressions, still apply on top).
#if defined(__SANITIZE_THREAD__)
// The software rasterizer compiles every shader program with its JIT, which leaves locks that the
// sanitizer's deadlock detector counts as held; after some sixty programs on one thread the detector
// runs out of slots and aborts with an internal CHECK. The built-in filters compile a program per kernel
// and sampler shape, so the detector is turned off here. Races are still reported.
extern "C" const char* __tsan_default_options()
{
    return "detect_deadlocks=0";
}

// The face detector's cascades run their scales on OpenCV's worker threads (TBB), whose joins the
// sanitizer cannot see in the uninstrumented libraries.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:libopencv_objdetect.so\n"
           "race:libopencv_imgproc.so\n"
           "race:libopencv_core.so\n"
           "race:libtbb.so\n"
           "called_from_lib:libtbb.so\n";
}
#endif
