#pragma once

// Registers every filter class of the product and its framework with the filter registry, by class
// name, and the engine's built-in filters. Called once at start-up by every program that builds effects;
// calling it again does nothing.
class FilterLibrary
{
public:
    static void registerAll();
};
