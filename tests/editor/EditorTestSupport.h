#pragma once

#include "TestHelpers.h"
#include "processor/Tavinor.h"
#include "toolkit/DefaultLookAndFeel.h"

#include <gtest/gtest.h>
#include <memory>

namespace EditorTest
{
// Editor windows draw with the in-house look-and-feel as the process default,
// the way the editor runs.
class Fixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    DefaultLookAndFeel laf;
};

// The user's folders in a folder of the test's own while it lives.
class ScopedUserFolder
{
public:
    ScopedUserFolder();
    ~ScopedUserFolder();

    // The plug-in's own folder inside it ("Orv Group/Tavinor").
    juce::File getPluginFolder() const;
    juce::File getPresetFolder() const { return getPluginFolder().getChildFile("Presets"); }

private:
    TestHelpers::TempFolder temp;
    juce::String previous;
    juce::String previousConfig;
};

// A processor made the way a host gets one.
std::unique_ptr<Tavinor> makeProcessor();

// A processor whose user settings record this installed factory-preset
// version (empty: a user who never had presets).
std::unique_ptr<Tavinor> makeProcessorWithInstalledVersion(const juce::String& version);

// A left click at a point of the component, delivered as a user's would be.
void click(juce::Component& c, juce::Point<int> at);
void click(juce::Component& c);
enum MouseKind
{
    down,
    drag,
    up,
    move
};
void mouseEventAt(juce::Component& c, juce::Point<int> at, MouseKind kind,
                  juce::ModifierKeys mods = juce::ModifierKeys(juce::ModifierKeys::leftButtonModifier),
                  int clicks = 1);

// A component that the modal windows take as their editor.
class Desktop : public juce::Component, public ModalComponent::Desktop
{
public:
    Desktop() { setSize(1280, 720); }
    juce::Rectangle<int> getDesktopArea() override { return getLocalBounds(); }
};

// The component as the host's window on the screen (under xvfb-run): keys,
// wheel and mouse reach what is under them or has the focus through its peer,
// as a user's do.
class OnScreen
{
public:
    explicit OnScreen(juce::Component& window);
    ~OnScreen();

    void press(int keyCode);
    // The pointer to a point of the window, the left button down or up, then
    // the wheel turned there when given.
    void mouse(juce::Point<int> at, bool buttonDown, const juce::MouseWheelDetails* wheel = nullptr,
               juce::ModifierKeys mods = {});

private:
    juce::Component& window;
};

// Writes the component as it looks to NAME.png in the folder that the
// environment variable TAVINOR_SCREENSHOT_DIR names, for people to look at;
// nothing (and the nonexistent file) without it.
juce::File writeScreenshot(juce::Component& c, const juce::String& name);

} // namespace EditorTest
