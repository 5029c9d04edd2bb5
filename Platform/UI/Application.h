#pragma once

namespace pf {

// Chooses the windowing platform before the application object is made: the xcb platform unless the
// user chose one (QT_QPA_PLATFORM or "-platform"), because Wayland lets no application place its
// child windows or read the pointer's position outside an event. Call first thing in main().
void chooseWindowingPlatform(int argc, char** argv);

} // namespace pf
