#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>

// What the plug-in base needs of its long-lived GUI root (the editor base
// derives from this). The root is a component with a periodic timer; the
// base creates it once, drives its second construction phase and places its
// elements in the user settings and the plug-in state.
class PluginGuiRoot : public juce::Component, public juce::Timer
{
public:
    ~PluginGuiRoot() override = default;

    // Second construction phase, run once right after creation.
    virtual void initialise() = 0;
    // Runs right after initialise.
    virtual void editorInitialised() {}
    // Only asked for when the plug-in's diagnostic table is on.
    virtual void createDebugPanel() {}

    // The root's own element in the "UserSettings" file.
    virtual juce::String getSettingsTagName() const { return "Editor"; }
    virtual std::unique_ptr<juce::XmlElement> writeSettings() = 0;

    // The root's own element in the "PluginState" chunk. createStateXml runs
    // on whichever thread the host saves from, so it reads no component;
    // restoreStateXml always runs on the message thread.
    virtual juce::String getStateTagName() const { return "Editor"; }
    virtual std::unique_ptr<juce::XmlElement> createStateXml() = 0;
    virtual void restoreStateXml(const juce::XmlElement& element) = 0;
};
