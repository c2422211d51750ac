// The entry points of Tavinor.so, and the only symbols it exports: hosts look
// for VSTPluginMain, older Linux hosts for main.

#include "vst/VSTWrapper.h"

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter();

#define TAVINOR_EXPORT extern "C" __attribute__((visibility("default")))

TAVINOR_EXPORT AEffect* VSTPluginMain(audioMasterCallback host)
{
    return VSTWrapper::createEffect(host, createPluginFilter);
}

// A function named main cannot return a pointer in C++: the legacy entry is
// defined under another name and exported under the symbol name "main".
TAVINOR_EXPORT AEffect* legacyPluginMain(audioMasterCallback host) __asm__("main");

TAVINOR_EXPORT AEffect* legacyPluginMain(audioMasterCallback host)
{
    return VSTWrapper::createEffect(host, createPluginFilter);
}
