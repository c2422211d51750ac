#pragma once

#include "TestHelpers.h"
#include "processor/Tavinor.h"
#include "skin/SkinHost.h"
#include "toolkit/DefaultLookAndFeel.h"
#include "toolkit/FileChooserLauncher.h"
#include "toolkit/ModalComponent.h"
#include "toolkit/PopupMenuEx.h"

#include <gtest/gtest.h>
#include <memory>

namespace PageTest
{
// Settings pages draw with the in-house look-and-feel as the process default,
// the way the editor runs, so "Tahoma" resolves to its replacement face.
class Fixture : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    DefaultLookAndFeel laf;
};

// A processor made the way a host gets one.
std::unique_ptr<Tavinor> makeProcessor();

// What the editor is to its pages: the desktop that modal windows cover.
class EditorStandIn : public juce::Component, public ModalComponent::Desktop
{
public:
    EditorStandIn(int width = 1200, int height = 700) { setSize(width, height); }
    juce::Rectangle<int> getDesktopArea() override { return getLocalBounds(); }
};

// Answers every file chooser at once with the file it holds (the empty file:
// the user cancelled), and remembers what it was asked.
class AnsweringChooser : public FileChooserLauncher
{
public:
    void launch(const Request& request, Callback callback) override
    {
        lastRequest = request;
        ++numLaunches;
        callback(answer);
    }

    juce::File answer;
    Request lastRequest;
    int numLaunches = 0;
};

// What a skin load needs, over a processor's registry and a folder of packages:
// the editor with skins on, as far as the "GUI" page is concerned.
class PackageHost : public SkinHost
{
public:
    PackageHost(BasePlugin& plugin, const juce::File& skinsFolder) : plugin(plugin), skinsFolder(skinsFolder) {}

    ParameterManager& getParameterManager() override { return plugin.getParameterManager(); }
    EventsMap& getEventsMap() override { return plugin.getEventsMap(); }
    juce::MidiKeyboardState& getKeyboardState() override { return plugin.getKeyboardState(); }
    juce::String getProductName() const override { return plugin.getProductName(); }
    juce::File getSkinPackageFile(const juce::String& skinName) const override
    {
        return skinsFolder.getChildFile(skinName).withFileExtension(".orvskin");
    }

    BasePlugin& plugin;
    juce::File skinsFolder;
};

// Writes NAME.orvskin into folder: an outer zip with NAME.md5 and NAME.skin,
// the inner zip holding "skin.xml", a background of the given size and a
// thumbnail in the given colour (none when it is transparent).
juce::File writeSkinPackage(const juce::File& folder, const juce::String& name, int backgroundWidth,
                            int backgroundHeight, juce::Colour thumbnailColour);

// Mouse gestures delivered to a component as a user's would be.
void mouseEventAt(juce::Component& c, juce::Point<int> at, bool down);
void click(juce::Component& c, juce::Point<int> at);
void click(juce::Component& c);

// The modal window the editor now shows on top, of that type, or null.
template <typename Window>
Window* findShown(juce::Component& editor)
{
    for (int i = editor.getNumChildComponents(); --i >= 0;)
        if (auto* cover = dynamic_cast<ModalComponent::CoveringWindow*>(editor.getChildComponent(i)))
            if (cover->isVisible())
                for (auto* child : cover->getChildren())
                    if (auto* window = dynamic_cast<Window*>(child))
                        if (window->isVisible())
                            return window;
    return nullptr;
}

// Clicks a row of the menu open over the editor (level 0 is the top level).
void clickMenuRow(juce::Component& editor, int row, int level = 0);

// A menu of every parameter the host may automate, item id = parameter id,
// under a first item "- none -" (-1).
PopupMenuEx makeParameterMenu(ParameterManager& parameters);

// Writes the component as it looks to NAME.png in the folder that
// TAVINOR_SCREENSHOT_DIR names; nothing without it. Returns whether the
// picture has anything but one colour in it.
bool writeScreenshot(juce::Component& c, const juce::String& name);

// The visible children of parent (looked at recursively down to depth levels)
// that overlap a sibling or stick out of their parent; drawings that let every
// click through (frames over a list) are not controls and do not count.
juce::StringArray findOverlaps(juce::Component& parent, int depth);
} // namespace PageTest
