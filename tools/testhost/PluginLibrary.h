#pragma once

#include "vst/VstDefinitions.h"

#include <string>

// A VST 2.4 plug-in file opened with dlopen: its entry point and nothing else.
class PluginLibrary
{
public:
    PluginLibrary() = default;
    ~PluginLibrary();

    bool load(const std::string& path, std::string& error);
    void unload();
    bool isLoaded() const { return handle != nullptr; }

    VstPluginMainProc getEntry() const { return entry; }
    // One exported entry by name ("VSTPluginMain" or "main"); null when the
    // file does not export it.
    VstPluginMainProc getEntry(const char* name) const;
    const std::string& getPath() const { return path; }

private:
    std::string path;
    void* handle = nullptr;
    VstPluginMainProc entry = nullptr;

    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;
};
