#pragma once

// Registers the frame filters (texturize, textured frame, shaped border) with the filter registry, by
// class name, with their input keys and copied key paths. Called once at start-up after
// FilterLibrary::registerAll(); calling it again does nothing.
class FramesLibrary
{
public:
    static void registerAll();
};
