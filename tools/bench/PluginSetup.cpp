#include "PluginSetup.h"

#include "PluginInstance.h"
#include "core/ParameterManager.h"
#include "processor/Tavinor.h"
#include "processor/dsp/DelayEngine.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <set>

namespace
{
constexpr int kPeerTaps = 4;
constexpr double kPeerTapMs[kPeerTaps] = { 110.0, 180.0, 250.0, 320.0 };
// Steps over 0..1 when looking for the value that shows a text: fine enough
// for a millisecond over the taps' 0..1000 ms and for every item of a menu.
constexpr int kSearchSteps = 1000;

bool sameText(std::string a, std::string b)
{
    auto lower = [](std::string& s) {
        for (auto& c : s)
            c = (char) std::tolower((unsigned char) c);
    };
    lower(a);
    lower(b);
    return a == b;
}

int findParameter(PluginInstance& plugin, const std::string& name)
{
    for (int i = 0; i < plugin.getEffect()->numParams; ++i)
        if (plugin.getParameterName(i) == name)
            return i;
    return -1;
}

// The middle of the values whose display reads text (a menu item, "on"), or
// when number is given, the value whose display is nearest to it.
bool setByDisplay(PluginInstance& plugin, const std::string& name, const std::string& text, double number,
                  std::vector<std::string>& report, std::string& error)
{
    const int index = findParameter(plugin, name);
    if (index < 0)
    {
        error = "the peer has no parameter \"" + name + "\"";
        return false;
    }
    std::vector<float> matching;
    float nearest = -1.0f;
    double nearestDistance = 0.0;
    for (int step = 0; step <= kSearchSteps; ++step)
    {
        const float v = (float) step / (float) kSearchSteps;
        plugin.setParameter(index, v);
        const std::string shown = plugin.getParameterDisplay(index);
        if (text.empty())
        {
            const double distance = std::abs(std::atof(shown.c_str()) - number);
            if (nearest < 0.0f || distance < nearestDistance)
            {
                nearest = v;
                nearestDistance = distance;
            }
        }
        else if (sameText(shown, text))
            matching.push_back(v);
    }
    if (text.empty() ? nearest < 0.0f : matching.empty())
    {
        error = "no value of the peer's \"" + name + "\" shows " + (text.empty() ? std::to_string(number) : text);
        return false;
    }
    plugin.setParameter(index, text.empty() ? nearest : matching[matching.size() / 2]);
    std::string line = name + " = " + plugin.getParameterDisplay(index);
    const std::string label = plugin.getParameterLabel(index);
    if (! label.empty())
        line += " " + label;
    report.push_back(line);
    return true;
}

juce::XmlElement* findStored(const juce::XmlElement& state, const juce::String& name)
{
    for (auto* preset : state.getChildWithTagNameIterator("Preset"))
        for (auto* param : preset->getChildWithTagNameIterator("param"))
            if (param->getStringAttribute("name") == name)
                return param;
    return nullptr;
}
} // namespace

std::vector<std::string> PluginSetup::searchFolders()
{
    std::vector<std::string> folders;
    if (const char* path = std::getenv("VST_PATH"))
    {
        std::string rest = path;
        while (! rest.empty())
        {
            const auto colon = rest.find(':');
            const std::string folder = rest.substr(0, colon);
            if (! folder.empty())
                folders.push_back(folder);
            rest = colon == std::string::npos ? std::string() : rest.substr(colon + 1);
        }
    }
    for (const char* folder : { "/usr/local/lib/vst", "/usr/lib/vst", "/usr/local/lib/lxvst", "/usr/lib/lxvst" })
        folders.push_back(folder);
    return folders;
}

std::string PluginSetup::findPlugin(const std::string& fileName, const std::vector<std::string>& folders)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const auto& folder : folders)
    {
        const fs::path here = fs::path(folder) / fileName;
        if (fs::is_regular_file(here, ec))
            return here.string();
        std::vector<fs::path> below;
        for (fs::directory_iterator it(folder, ec), end; ! ec && it != end; it.increment(ec))
            if (it->is_directory(ec) && fs::is_regular_file(it->path() / fileName, ec))
                below.push_back(it->path() / fileName);
        if (! below.empty())
            return std::min_element(below.begin(), below.end())->string();
    }
    return {};
}

bool PluginSetup::configurePeer(PluginInstance& peer, std::vector<std::string>& report, std::string& error)
{
    for (int tap = 0; tap < kPeerTaps; ++tap)
    {
        const std::string n = std::to_string(tap);
        if (! setByDisplay(peer, "dm" + n, "Time", 0.0, report, error)
            || ! setByDisplay(peer, "dt" + n, {}, kPeerTapMs[tap], report, error)
            || ! setByDisplay(peer, "eq" + n, "on", 0.0, report, error))
            return false;
    }
    return true;
}

bool PluginSetup::applyToState(const std::vector<uint8_t>& state, const RecordedSetting& setting,
                               std::vector<uint8_t>& result, std::string& error, StoredTexts* written,
                               std::vector<std::string>* notStored)
{
    auto root = state.empty() ? nullptr : juce::AudioProcessor::getXmlFromBinary(state.data(), (int) state.size());
    if (root == nullptr || ! root->hasTagName("PluginState"))
    {
        error = "the plug-in's state chunk cannot be read";
        return false;
    }

    // The plug-in's own parameter set gives each value the text it is stored as.
    ParameterManager parameters;
    parameters.loadFromResource("parameters.xml");
    // Each line's parameters are the template's, renamed, as the plug-in makes them.
    for (int line = 0; line < DelayEngine::kNumLines; ++line)
        for (int k = 0; k < Tavinor::kNumTemplateParameters; ++k)
            if (const auto* templ = parameters.getParameter(k))
                parameters.addParameter(templ->clone(Tavinor::getLineParameterBase(line) + k,
                                                     "Line " + juce::String(line + 1) + " " + templ->getName()));
    std::set<int> changed;
    for (const auto& v : setting.values)
    {
        parameters.setNormalisedValue(v.id, v.normalised);
        changed.insert(v.id);
    }
    if (setting.quality >= 0)
    {
        parameters.setIntValue(Tavinor::kRealtimeQuality, setting.quality);
        changed.insert(Tavinor::kRealtimeQuality);
    }

    for (int id : changed)
    {
        const juce::String name = parameters.getParameterName(id);
        if (name.isEmpty())
        {
            error = "the plug-in has no parameter " + std::to_string(id);
            return false;
        }
        juce::XmlElement* stored = findStored(*root, name);
        if (stored == nullptr)
        {
            // The plug-in derives it from what it stores (the time knobs
            // follow their times), as the engine does without it.
            if (notStored != nullptr)
                notStored->push_back(name.toStdString());
            continue;
        }
        stored->setAttribute("value", parameters.getText(id));
        if (written != nullptr)
            written->push_back({ name.toStdString(), parameters.getText(id).toStdString() });
    }

    juce::MemoryBlock block;
    juce::AudioProcessor::copyXmlToBinary(*root, block);
    const auto* bytes = static_cast<const uint8_t*>(block.getData());
    result.assign(bytes, bytes + block.getSize());
    return true;
}

bool PluginSetup::configureTavinor(PluginInstance& tavinor, const RecordedSetting& setting, std::string& error)
{
    std::vector<uint8_t> state;
    StoredTexts written;
    if (! applyToState(tavinor.getChunk(), setting, state, error, &written))
        return false;
    if (tavinor.setChunk(state) == 0)
    {
        error = "the plug-in refused the state chunk";
        return false;
    }
    // What the plug-in stores now shows what it took.
    const auto readBack = tavinor.getChunk();
    auto root = readBack.empty() ? nullptr
                                 : juce::AudioProcessor::getXmlFromBinary(readBack.data(), (int) readBack.size());
    for (const auto& [name, text] : written)
    {
        const auto* stored = root != nullptr ? findStored(*root, name) : nullptr;
        if (stored == nullptr || stored->getStringAttribute("value") != juce::String(text))
        {
            error = "the plug-in did not take \"" + name + "\" = " + text;
            return false;
        }
    }
    if (setting.tempo > 0.0)
        tavinor.tempo = setting.tempo;
    return true;
}
