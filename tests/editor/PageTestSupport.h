#pragma once

#include "EditorTestSupport.h"
#include "skin/SkinHost.h"
#include "toolkit/FileChooserLauncher.h"
#include "toolkit/ModalComponent.h"
#include "toolkit/PopupMenuEx.h"

#include <memory>

namespace PageTest
{
using namespace EditorTest;

// Answers every file chooser at once with the file it holds (the empty file:
// the user cancelled), and remembers what it was asked.
class AnsweringChooser : public FileChooserLauncher
{
public:
    void launch(const Request& request, Callback callback) override
    {
        lastRequest = request;
        callback(answer);
    }

    juce::File answer;
    Request lastRequest;
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

// Writes the picture (see EditorTest::writeScreenshot) and tells whether it
// has anything but one colour in it.
bool drawAndCheck(juce::Component& c, const juce::String& name);

// The visible children of parent (looked at recursively down to depth levels)
// that overlap a sibling or stick out of their parent; drawings that let every
// click through (frames over a list) are not controls and do not count.
juce::StringArray findOverlaps(juce::Component& parent, int depth);
} // namespace PageTest
