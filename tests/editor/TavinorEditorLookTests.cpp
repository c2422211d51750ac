#include "LegibilityProbe.h"
#include "TavinorEditorTestSupport.h"

#include "editor/AboutWindow.h"
#include "editor/HostParametersComponent.h"
#include "editor/InstallFactoryPresetsWindow.h"
#include "editor/PresetBrowser.h"
#include "editor/OptionsWindow.h"
#include "editor/TavinorPresetBrowser.h"
#include "toolkit/FileChooserWindow.h"

#include <juce_cryptography/juce_cryptography.h>

#include <map>
#include <set>

using namespace EditorTest;

// The editor in the states a musician meets, written as pictures for people
// to look at (TAVINOR_SCREENSHOT_DIR); each picture must show the face, and
// show it in a state of its own: two pictures alike mean a state never reached.
class TavinorEditorLook : public EditorFixture
{
protected:
    void picture(const juce::String& name)
    {
        settle();
        // Not blank: the face has many colours.
        const auto image = editor().createComponentSnapshot(editor().getLocalBounds());
        std::set<juce::uint32> colours;
        juce::MemoryOutputStream pixels;
        for (int y = 0; y < image.getHeight(); ++y)
            for (int x = 0; x < image.getWidth(); ++x)
            {
                const auto argb = image.getPixelAt(x, y).getARGB();
                pixels.writeInt((int) argb);
                if (x % 7 == 0 && y % 7 == 0)
                    colours.insert(argb);
            }
        EXPECT_GT(colours.size(), 50u) << name;
        const auto digest = juce::MD5(pixels.getData(), pixels.getDataSize()).toHexString();
        const auto [earlier, isNew] = pictures.emplace(digest, name);
        EXPECT_TRUE(isNew) << name << " looks exactly like " << earlier->second;
        screenshot("editor-" + name);
    }

    // Each picture's pixels, by their digest.
    std::map<juce::String, juce::String> pictures;
};

TEST_F(TavinorEditorLook, EveryStateDrawsTheFace)
{
    picture("default");
    for (int line = 2; line <= 4; ++line)
    {
        set(Tavinor::kSelectedLine, line);
        picture("line-" + juce::String(line));
    }
    set(Tavinor::kSelectedLine, 1);

    // Line 3 copied while line 1 is selected, then pasted back onto itself.
    clickElement("Delay3SelectButton", juce::ModifierKeys(juce::ModifierKeys::leftButtonModifier
                                                          | juce::ModifierKeys::ctrlModifier));
    picture("line-copied");
    clickElement("Delay3SelectButton", juce::ModifierKeys(juce::ModifierKeys::leftButtonModifier
                                                          | juce::ModifierKeys::shiftModifier));
    set(Tavinor::kSelectedLine, 1);

    const struct
    {
        int id, value;
        const char* name; // null: no picture
    } states[] = {
        { Tavinor::kDelaySync, 0, "delay-free" },     { Tavinor::kDelayJoin, 1, "delay-free-joined" },
        { Tavinor::kDelaySync, 1, "delay-joined" },   { Tavinor::kDelayJoin, 0, nullptr },
        { Tavinor::kPreDelaySync, 1, nullptr },       { Tavinor::kFirstPanel, 1, "predelay" },
        { Tavinor::kPreDelaySync, 0, "predelay-free" },
        { Tavinor::kFirstPanel, 0, nullptr },         { Tavinor::kMod1First, 1, nullptr },
        { Tavinor::kMod2First, 2, "modulators-env-peak" }, { Tavinor::kMod1First, 2, nullptr },
        { Tavinor::kMod2First, 1, "modulators-peak-env" }, { Tavinor::kMod1First, 0, nullptr },
        { Tavinor::kMod2First, 0, nullptr },
        { Tavinor::kMod1First + Tavinor::kModulatorSync, 1, "lfo-synced" },
        { Tavinor::kMod1RetriggerMode, 1, nullptr },  { Tavinor::kMod2RetriggerMode, 2, nullptr },
    };
    for (const auto& state : states)
    {
        set(state.id, state.value);
        if (state.name != nullptr)
            picture(state.name);
    }

    play(100, [](int block, int) { return (block / 10) % 2 == 0 ? 0.6f : -0.6f; });
    editor().visibleTimerCallback();
    dragElement("FeedbackKnob", -20);
    picture("playing");

    for (const auto* button : { "MOD1RetriggerSettings", "MOD2RetriggerSettings" })
    {
        clickElement(button);
        picture(juce::String("retrigger-") + (button[3] == '1' ? "mod1" : "mod2"));
        clickElement(button);
    }

    clickElement("RoutingSelectSwitch");
    picture("routing-menu");
    editor().getRoutingMenu().dismiss();

    clickElement("OptionsButton");
    auto& tabs = editor().getOptionsWindow().getTabs();
    for (int i = 0; i < tabs.getNumTabs(); ++i)
    {
        tabs.setCurrentTabIndex(i);
        picture("options-" + tabs.getTabNames()[i].replaceCharacter(' ', '-').toLowerCase());
    }
    // The parameters' grid let go half-way between two columns.
    tabs.setCurrentTabIndex(tabs.getTabNames().indexOf("Parameters"));
    auto& grid = editor().getHostParametersPage();
    grid.getViewport().getHorizontalScrollBar().setCurrentRangeStart(grid.getList().getColumnWidth() * 2.5);
    picture("options-parameters-scrolled");
    editor().getOptionsWindow().hide();

    clickElement("PresetBrowseButton");
    picture("preset-browser");
    editor().getPresetBrowser()->hide();
    clickElement("AboutButton");
    picture("about");
}

// A machine without a file dialog of the desktop's own gets the chooser drawn
// inside the editor, never a window of its own beside the host's.
TEST_F(TavinorEditorLook, SaveAsOpensTheChooserInsideTheEditor)
{
    if (juce::FileChooser::isPlatformDialogAvailable())
        GTEST_SKIP() << "the desktop's own dialog opens here";
    const auto presets = userFolder->getPresetFolder();
    for (const auto* name : { "Dub Echo", "Ping Pong Eighths", "Slapback", "Tape Wobble" })
        presets.getChildFile(juce::String(name) + ".tnprst").replaceWithText("<Preset/>");
    presets.getChildFile("Live").createDirectory();

    clickElement("PresetSaveAsButton");
    FileChooserWindow* window = nullptr;
    for (auto* c : editor().getChildren())
        for (auto* inner : c->getChildren())
            if (auto* found = dynamic_cast<FileChooserWindow*>(inner))
                window = found;
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible() && window->getParentComponent()->isVisible());
    EXPECT_FALSE(window->isOnDesktop());
    EXPECT_EQ(window->getTopLevelComponent(), editor().getTopLevelComponent());
    EXPECT_EQ(window->getTitle(), "Save current presets");

    // The folder is read on a thread of the browser's own.
    for (int i = 0; i < 200 && window->getBrowser().getDisplayComponent()->getNumSelectedFiles() == 0; ++i)
    {
        juce::Thread::sleep(5);
        settle();
    }
    picture("file-chooser");

    // Choosing a preset that exists asks above the chooser.
    window->getBrowser().setFileName("Slapback.tnprst");
    click(window->getOkButton());
    auto* question = window->getOverwriteAlert();
    ASSERT_NE(question, nullptr);
    EXPECT_TRUE(question->isVisible());
    picture("file-chooser-replace");
    click(*question->getButton(1));
    EXPECT_TRUE(window->isVisible()) << "\"No\" goes back to the chooser";
    window->cancel();
    settle();
}

// Every text of every window the editor shows stands out from what it is drawn
// on by 4.5:1, as the skin's texts do: the windows' own texts, the pictures
// they show, the tabs, buttons and lists of the toolkit.
TEST_F(TavinorEditorLook, EveryWindowsTextsStandOut)
{
    ASSERT_TRUE(TestHelpers::sourceFolder().getChildFile("resources/presets").copyDirectoryTo(userFolder->getPresetFolder()));
    processor->getPresetCollection(0)->rescan();
    settle();
    for (int cc = 0; cc < 6; ++cc)
        processor->getMidiControl().assign(cc, parameters().getParameter(Tavinor::getLineParameterBase(0) + 1 + cc), true);
    const auto check = [this](const juce::String& what, size_t leastTexts = 3) {
        settle();
        LegibilityProbe probe(editor());
        EXPECT_GE(probe.getTexts().size(), leastTexts) << what;
        EXPECT_EQ(probe.findFaintTexts().joinIntoString("\n"), "") << what;
    };

    // The face's own texts are the skin's pictures, which the generator checks.
    dragElement("LevelKnob", -10);
    check("the face with a status", 1);

    editor().getInstallerWindow()->show();
    check("the preset installer");
    editor().getInstallerWindow()->hide();

    clickElement("OptionsButton");
    auto& tabs = editor().getOptionsWindow().getTabs();
    for (int i = 0; i < tabs.getNumTabs(); ++i)
    {
        tabs.setCurrentTabIndex(i);
        check("options, " + tabs.getTabNames()[i]);
    }
    editor().getOptionsWindow().hide();

    clickElement("PresetBrowseButton");
    processor->loadPresetFile(processor->getPresetCollection(0), processor->getPresetCollection(0)->getPresetFile(3));
    check("the preset browser");
    auto& browser = editor().getPresetBrowser()->getBrowser();
    browser.reportFailure("The preset \"Pad\" could not be copied.");
    check("a report of the preset browser");
    click(*browser.getLastAlert()->getButton(0));
    editor().getPresetBrowser()->hide();

    clickElement("AboutButton");
    check("the about box");
    editor().getAboutWindow()->hide();

    parameters().setNormalisedValue(Tavinor::getLineParameterBase(0) + Tavinor::kFeedback, 0.3f);
    clickElement("PresetNextButton");
    check("the save question");
    click(editor().getSaveChangesAlert()->getCloseButton());

    for (const auto* button : { "MOD1RetriggerSettings", "MOD2RetriggerSettings" })
    {
        clickElement(button);
        check(button);
        clickElement(button);
    }

    clickElement("RoutingSelectSwitch");
    check("the routing menu");
    editor().getRoutingMenu().dismiss();
}
