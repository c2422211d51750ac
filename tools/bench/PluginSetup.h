#pragma once

#include "RecordedSetting.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class PluginInstance;

// Finding the plug-ins the peer benchmark loads and setting them up through
// what a host has: parameters found by name, and the state chunk.
class PluginSetup
{
public:
    // The folders where Linux hosts look for VST 2.4 plug-ins: those of
    // VST_PATH (separated by colons) first, then the system's.
    static std::vector<std::string> searchFolders();

    // The first file of this name in one of the folders or in a folder right
    // under one of them; empty when there is none.
    static std::string findPlugin(const std::string& fileName, const std::vector<std::string>& folders);

    // The peer: four taps of the slap-back delay on, at 110, 180, 250 and
    // 320 ms, each with its equaliser on. What was set goes to report, one
    // line a parameter ("dm0 = Time").
    static bool configurePeer(PluginInstance& peer, std::vector<std::string>& report, std::string& error);

    // Parameter names with the texts written for them.
    using StoredTexts = std::vector<std::pair<std::string, std::string>>;

    // The plug-in's own state chunk with the setting's values put in, in the
    // texts the plug-in stores them as (into written); false with the reason
    // when the chunk cannot be read or a value is for no parameter of the
    // plug-in. Parameters the state does not carry go to notStored.
    static bool applyToState(const std::vector<uint8_t>& state, const RecordedSetting& setting,
                             std::vector<uint8_t>& result, std::string& error, StoredTexts* written = nullptr,
                             std::vector<std::string>* notStored = nullptr);

    // A fresh instance of Tavinor given the setting through its state chunk
    // (false when the state it stores afterwards does not show every value)
    // and the setting's tempo as the host's.
    static bool configureTavinor(PluginInstance& tavinor, const RecordedSetting& setting, std::string& error);
};
