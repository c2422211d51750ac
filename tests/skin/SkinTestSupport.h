#pragma once

#include "TestHelpers.h"
#include "skin/GFXPanel.h"
#include "skin/SkinHost.h"
#include "skin/SkinPackageLoader.h"
#include "toolkit/DefaultLookAndFeel.h"
#include <gtest/gtest.h>
#include <map>

// A skin host over its own small parameter set and events, a temporary skins
// folder, and built-in skin files held in memory.
class TestSkinHost : public SkinHost
{
public:
    TestSkinHost();

    ParameterManager& getParameterManager() override { return parameters; }
    EventsMap& getEventsMap() override { return events; }
    juce::MidiKeyboardState& getKeyboardState() override { return keyboard; }
    juce::String getProductName() const override { return "Tavinor"; }
    juce::File getSkinPackageFile(const juce::String& skinName) const override;
    std::unique_ptr<juce::MemoryBlock> loadBuiltInSkinResource(const juce::String& name) const override;

    Parameter& parameter(const juce::String& name) { return *parameters.getParameterByName(name); }

    ParameterManager parameters;
    EventsMap events;
    juce::MidiKeyboardState keyboard;
    TestHelpers::TempFolder skinsFolder;
    std::map<juce::String, juce::MemoryBlock> builtIn;
    // How often each built-in file was read.
    mutable std::map<juce::String, int> reads;
};

namespace SkinTest
{
// A strip of frames, each a different shade, as PNG bytes.
juce::MemoryBlock makeStripPng(int width, int height, int frames);

// A zip of the named entries.
juce::MemoryBlock makeZip(const std::map<juce::String, juce::MemoryBlock>& entries);
juce::MemoryBlock toBlock(const juce::String& text);

// A skin document whose main panel holds the given controls.
juce::String skinXml(const juce::String& controls, const juce::String& panelExtras = {});
}

// Skin tests run with the in-house look-and-feel and build their panels from
// skin text through the built-in skin path of the loader.
class SkinFixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // The main panel of a skin whose "MainPanel" holds these controls; the
    // images named are served as built-in resources.
    std::unique_ptr<GFXPanel> loadPanel(const juce::String& controls, const juce::String& panelExtras = {});

    template <typename Control>
    Control* find(juce::Component& parent, const juce::String& name)
    {
        for (auto* child : parent.getChildren())
            if (child->getName() == name)
                return dynamic_cast<Control*>(child);
        return nullptr;
    }

    // Mouse gestures delivered to a component as a user's would be.
    void mouseDown(juce::Component& c, juce::Point<int> at,
                   juce::ModifierKeys mods = juce::ModifierKeys::leftButtonModifier);
    void mouseDrag(juce::Component& c, juce::Point<int> at);
    void mouseUp(juce::Component& c, juce::Point<int> at);
    void dragBy(juce::Component& c, juce::Point<int> from, int dy);

    TestSkinHost host;
    DefaultLookAndFeel laf;

private:
    juce::MouseEvent makeEvent(juce::Component& c, juce::Point<int> at, juce::ModifierKeys mods, bool dragged);
    juce::Point<int> downAt;
    juce::ModifierKeys downMods;
};

// Records what a control tells its listeners, in order.
class RecordingListener : public GUIController::Listener, public Parameter::Listener
{
public:
    void controllerDragStarted(GUIController*) override { log.add("dragStarted"); }
    void controllerDragEnded(GUIController*) override { log.add("dragEnded"); }
    void controllerValueChanged(GUIController*) override { log.add("valueChanged"); }
    void controllerEventTriggered(GUIController*, int uid) override { log.add("event " + juce::String(uid)); }

    void parameterChanged(Parameter* p) override { log.add("param " + p->getText()); }
    void parameterChangeGestureBegin(Parameter*) override { log.add("begin"); }
    void parameterChangeGestureEnd(Parameter*) override { log.add("end"); }

    juce::StringArray log;
};
