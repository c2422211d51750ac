#include "PluginLibrary.h"

#include <dlfcn.h>

PluginLibrary::~PluginLibrary()
{
    unload();
}

bool PluginLibrary::load(const std::string& file, std::string& error)
{
    unload();
    // A bare file name means the file here, not a search of the library path.
    path = file.find('/') == std::string::npos ? "./" + file : file;
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
    {
        const char* reason = dlerror();
        error = "cannot load " + file + ": " + (reason != nullptr ? reason : "unknown error");
        return false;
    }
    entry = reinterpret_cast<VstPluginMainProc>(dlsym(handle, "VSTPluginMain"));
    if (entry == nullptr)
        entry = reinterpret_cast<VstPluginMainProc>(dlsym(handle, "main"));
    if (entry == nullptr)
    {
        error = file + " exports neither VSTPluginMain nor main";
        unload();
        return false;
    }
    return true;
}

VstPluginMainProc PluginLibrary::getEntry(const char* name) const
{
    return handle != nullptr ? reinterpret_cast<VstPluginMainProc>(dlsym(handle, name)) : nullptr;
}

void PluginLibrary::unload()
{
    if (handle != nullptr)
        dlclose(handle);
    handle = nullptr;
    entry = nullptr;
}
