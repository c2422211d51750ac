#include "LegibilityProbe.h"
#include "TavinorEditorTestSupport.h"

#include "editor/AboutWindow.h"
#include "editor/HostParametersComponent.h"
#include "editor/InstallFactoryPresetsWindow.h"
#include "editor/MidiControlComponent.h"
#include "editor/ModulatorRetriggerSettings.h"
#include "editor/PresetBrowser.h"
#include "editor/OptionsWindow.h"
#include "editor/TavinorPresetBrowser.h"
#include "skin/GFXDisplay.h"
#include "toolkit/EmbeddedFileChooserLauncher.h"
#include "toolkit/FileChooserWindow.h"
#include "toolkit/PopupMenuEx.h"

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

    // The chooser's folder is read on a thread of the browser's own.
    static void waitForFiles(FileChooserWindow& chooser)
    {
        for (int i = 0; i < 200 && chooser.getBrowser().getDisplayComponent()->getNumSelectedFiles() == 0; ++i)
        {
            juce::Thread::sleep(5);
            TestHelpers::pumpMessages();
        }
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

    waitForFiles(*window);
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

// A name too long for its place ends in an ellipsis wherever it is shown (the
// face's display, the browser's row, info and title, the chooser's list), and
// where it is cut its tooltip holds it whole.
TEST_F(TavinorEditorLook, ALongNameEndsInAnEllipsisWhereverItIsShown)
{
    EmbeddedFileChooserLauncher inside(editor());
    editor().setFileChooserLauncher(&inside);
    auto* collection = processor->getPresetCollection(0);
    for (const juce::String name : { "Slap Two Long Name For Testing Width",
                                     "A Name Long Enough To Be Cut Everywhere It Is Shown, In The Title And In The "
                                     "Chooser Too, And Then Some More Words To Be Sure Of It, Since A Title Is Wide" })
    {
        const auto file = userFolder->getPresetFolder().getChildFile(name + ".tnprst");
        ASSERT_TRUE(processor->savePresetToFile(collection, file));
        processor->loadPresetFile(collection, file);
        settle();
        // Spaces aside (the probe reads them from gaps), from where the name
        // starts (a title puts the collection before it).
        const auto whole = name.removeCharacters(" "), start = whole.substring(0, 8);
        const auto isWholeOrCut = [&](const juce::String& shown) {
            const auto text = shown.removeCharacters(" ").fromFirstOccurrenceOf(start, true, false);
            const auto cut = text.upToLastOccurrenceOf(text.endsWith("...") ? "..." : "\u2026", false, false);
            return text == whole || text == whole + ".tnprst" || (cut != text && whole.startsWith(cut));
        };
        const auto checkTexts = [&](const char* where) {
            screenshot("editor-long-name-" + juce::String(where) + "-" + juce::String(name.length()));
            const LegibilityProbe probe(editor());
            for (const auto& text : probe.getTexts())
                // A field scrolls its text rather than cutting it.
                if (text.text.removeCharacters(" ").contains(start) && !text.where.contains("TextEditor"))
                    EXPECT_TRUE(isWholeOrCut(text.text)) << where << ": " << text.describe();
        };

        auto* display = element<GFXDisplay>("PresetNameDisplay");
        EXPECT_TRUE(isWholeOrCut(display->getVisibleText())) << display->getVisibleText();
        EXPECT_EQ(display->getTooltip(), display->getVisibleText() == name ? juce::String() : name);

        clickElement("PresetBrowseButton");
        checkTexts("browser");
        auto& column = *dynamic_cast<PresetBrowser::PresetDirectoryColumn*>(editor().getPresetBrowser()->getBrowser().getColumn(0));
        auto* row = column.getList().getComponentForRowNumber(column.getRowForFile(file))->getParentComponent();
        EXPECT_EQ(dynamic_cast<juce::TooltipClient*>(row)->getTooltip(), name);
        editor().getPresetBrowser()->hide();

        clickElement("PresetSaveAsButton");
        waitForFiles(*inside.getWindow());
        checkTexts("chooser");
        inside.getWindow()->cancel();
        settle();
    }
    editor().setFileChooserLauncher(nullptr);
}

// Every text of every window the editor shows stands out from what it is drawn
// on by 4.5:1, as the skin's texts do: the windows' own texts, the pictures
// they show, the tabs, buttons and lists of the toolkit, each button, list and
// field in every state it can be in (hovered, pressed, toggled, disabled or
// enabled, with the keyboard), list rows selected, and questions on top.
// TAVINOR_LEGIBILITY_LIST names a file that gets every text measured.
class TavinorEditorLegibility : public TavinorEditorLook
{
protected:
    void TearDown() override
    {
        const auto listName = juce::SystemStats::getEnvironmentVariable("TAVINOR_LEGIBILITY_LIST", {});
        if (juce::File::isAbsolutePath(listName))
            juce::File(listName).replaceWithText(measured.joinIntoString("\n") + "\n");
        TavinorEditorLook::TearDown();
    }

    // Every showing component inside, outside in.
    static std::vector<juce::Component*> showingInside(juce::Component& c)
    {
        std::vector<juce::Component*> found;
        for (auto* child : c.getChildren())
            if (child->isShowing())
            {
                found.push_back(child);
                const auto inner = showingInside(*child);
                found.insert(found.end(), inner.begin(), inner.end());
            }
        return found;
    }

    // The editor's texts (or those inside one control), with what is
    // measured, in which state.
    void check(const juce::String& what, juce::Component* control = nullptr)
    {
        settle();
        const auto area = control != nullptr ? editor().getLocalArea(control, control->getLocalBounds()) : juce::Rectangle<int>();
        const LegibilityProbe probe(editor(), area);
        EXPECT_FALSE(probe.getTexts().empty() && control == nullptr) << what;
        for (const auto& text : probe.getTexts())
        {
            measured.add(what + ": " + text.describe());
            EXPECT_GE(text.contrast, LegibilityProbe::kMinimumContrast) << what << ": " << text.describe();
        }
    }

    // The window's texts, then those of each of its controls in each state it
    // can be in, one control at a time.
    void checkWindow(const juce::String& what, juce::Component& window)
    {
        check(what);
        const auto inState = [&](juce::Component& c, const char* state, const std::function<void(bool)>& enter) {
            enter(true);
            check(what + " [" + state + "]", &c);
            enter(false);
        };
        // Rows and other parts inside the controls come and go as they change.
        std::vector<juce::Component::SafePointer<juce::Component>> controls;
        for (auto* c : showingInside(window))
            if (dynamic_cast<juce::Button*>(c) != nullptr || dynamic_cast<juce::ComboBox*>(c) != nullptr
                || dynamic_cast<juce::ListBox*>(c) != nullptr || dynamic_cast<juce::TextEditor*>(c) != nullptr)
                controls.emplace_back(c);
        for (auto& control : controls)
        {
            auto* c = control.getComponent();
            if (c == nullptr)
                continue;
            auto* button = dynamic_cast<juce::Button*>(c);
            const bool enabled = c->isEnabled();
            inState(*c, enabled ? "disabled" : "enabled", [&](bool in) { c->setEnabled(in != enabled); });
            auto* focused = juce::Component::getCurrentlyFocusedComponent();
            if (c->getWantsKeyboardFocus() && enabled)
                inState(*c, "with the keyboard", [&](bool in) { (in || focused == nullptr ? c : focused)->grabKeyboardFocus(); });
            // A disabled button takes neither the pointer nor clicks.
            if (button == nullptr || !enabled)
                continue;
            inState(*c, "hovered", [&](bool in) { button->setState(in ? juce::Button::buttonOver : juce::Button::buttonNormal); });
            inState(*c, "pressed", [&](bool in) { button->setState(in ? juce::Button::buttonDown : juce::Button::buttonNormal); });
            const bool on = button->getToggleState();
            if (on || button->getClickingTogglesState())
                inState(*c, on ? "off" : "on", [&](bool in) { button->setToggleState(in != on, juce::dontSendNotification); });
        }
    }

    // An open menu with the pointer on its second item.
    void checkMenu(const juce::String& what)
    {
        for (auto* c : showingInside(editor()))
            if (auto* window = dynamic_cast<PopupMenuEx::Window*>(c))
            {
                mouseEventAt(*window, window->getRowBounds(1).getCentre(), move);
                EXPECT_EQ(window->getHoveredItem(), 1) << what;
                return check(what + ", an item hovered");
            }
        ADD_FAILURE() << what << ": no menu";
    }

    // Every text measured, with its state and window.
    juce::StringArray measured;
};

TEST_F(TavinorEditorLegibility, EveryWindowsTextsStandOutInEveryState)
{
    if (!putOnScreen())
        GTEST_SKIP() << "needs a display (run under xvfb-run): controls take the keyboard only there";
    ASSERT_TRUE(TestHelpers::sourceFolder().getChildFile("resources/presets").copyDirectoryTo(userFolder->getPresetFolder()));
    auto* collection = processor->getPresetCollection(0);
    collection->rescan();
    settle();
    for (int cc = 0; cc < 6; ++cc)
        processor->getMidiControl().assign(cc, parameters().getParameter(Tavinor::getLineParameterBase(0) + 1 + cc), true);

    // The face's own texts are the skin's pictures, which the generator checks.
    dragElement("LevelKnob", -10);
    check("the face with a status");
    for (auto* c : editor().getChildren())
        if (auto* tip = dynamic_cast<juce::TooltipWindow*>(c))
        {
            tip->displayTip(editor().localPointToGlobal(juce::Point<int>(400, 30)), "Slap Two Long Name For Testing Width");
            check("a tooltip");
            tip->hideTip();
        }

    editor().getInstallerWindow()->show();
    checkWindow("the preset installer", *editor().getInstallerWindow());
    editor().getInstallerWindow()->hide();

    clickElement("OptionsButton");
    auto& options = editor().getOptionsWindow();
    auto& tabs = options.getTabs();
    for (int i = 0; i < tabs.getNumTabs(); ++i)
    {
        tabs.setCurrentTabIndex(i);
        checkWindow("options, " + tabs.getTabNames()[i], options);
    }
    tabs.setCurrentTabIndex(tabs.getTabNames().indexOf("Midi Control"));
    auto& cc = editor().getMidiControlPage().getList();
    mouseEventAt(cc, cc.getCellBounds(1).getCentre(), down);
    check("options, Midi Control, a row selected");
    screenshot("editor-options-midi-control-selected");
    tabs.setCurrentTabIndex(tabs.getTabNames().indexOf("Parameters"));
    auto& slots = editor().getHostParametersPage().getList();
    click(*slots.getChoice(0)->getChildComponent(0));
    checkMenu("the parameters' menu");
    slots.getMenu().dismiss();
    options.hide();

    processor->loadPresetFile(collection, collection->getPresetFile(3));
    clickElement("PresetBrowseButton");
    auto* browserWindow = editor().getPresetBrowser();
    checkWindow("the preset browser, a preset selected", *browserWindow);
    auto& browser = browserWindow->getBrowser();
    browser.reportFailure("The preset \"Pad\" could not be copied.");
    checkWindow("the preset browser, a report on top", *browser.getLastAlert());
    click(*browser.getLastAlert()->getButton(0));
    browserWindow->hide();

    clickElement("AboutButton");
    checkWindow("the about box", *editor().getAboutWindow());
    editor().getAboutWindow()->hide();

    parameters().setNormalisedValue(Tavinor::getLineParameterBase(0) + Tavinor::kFeedback, 0.3f);
    clickElement("PresetNextButton");
    checkWindow("the save question", *editor().getSaveChangesAlert());
    click(editor().getSaveChangesAlert()->getCloseButton());

    for (int modulator = 0; modulator < 2; ++modulator)
    {
        const juce::String button = "MOD" + juce::String(modulator + 1) + "RetriggerSettings";
        clickElement(button);
        checkWindow(button, *editor().getRetriggerWindow(modulator));
        clickElement(button);
    }

    clickElement("RoutingSelectSwitch");
    checkMenu("the routing menu");
    editor().getRoutingMenu().dismiss();

    // The chooser inside the editor, on the loaded preset's file, then a question on top.
    EmbeddedFileChooserLauncher inside(editor());
    editor().setFileChooserLauncher(&inside);
    clickElement("PresetSaveAsButton");
    auto* chooser = inside.getWindow();
    waitForFiles(*chooser);
    checkWindow("the file chooser, a file selected", *chooser);
    screenshot("editor-file-chooser-selected");
    click(chooser->getOkButton());
    ASSERT_TRUE(chooser->getOverwriteAlert() != nullptr && chooser->getOverwriteAlert()->isVisible());
    checkWindow("the file chooser, a question on top", *chooser->getOverwriteAlert());
    chooser->cancel();
    editor().setFileChooserLauncher(nullptr);
}
