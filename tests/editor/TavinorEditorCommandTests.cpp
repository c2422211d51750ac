#include "PageTestSupport.h"
#include "TavinorEditorTestSupport.h"

#include "editor/AboutWindow.h"
#include "editor/HostParametersComponent.h"
#include "editor/InstallFactoryPresetsWindow.h"
#include "editor/MidiControlComponent.h"
#include "editor/ModulatorRetriggerSettings.h"
#include "editor/OptionsWindow.h"
#include "editor/PresetBrowser.h"
#include "editor/PresetsSettingsComponent.h"
#include "editor/TavinorPresetBrowser.h"
#include "skin/GFXAnimation.h"
#include "skin/GFXKnob.h"
#include "toolkit/EmbeddedFileChooserLauncher.h"
#include "toolkit/FileChooserWindow.h"

using namespace EditorTest;
using T = Tavinor;

// The framework's commands in the product editor: MIDI learn, the preset
// commands with their questions, and what the status bar says.
class EditorCommands : public EditorFixture
{
protected:
    void SetUp() override
    {
        EditorFixture::SetUp();
        editor().setFileChooserLauncher(&chooser);
        collection = processor->getPresetCollection(0);
        presets = collection->getRootFolder();
        processor->setRateAndBufferSizeDetails(48000.0, 64);
        processor->prepareToPlay(48000.0, 64);
    }

    void TearDown() override
    {
        editor().setFileChooserLauncher(nullptr);
        EditorFixture::TearDown();
    }

    juce::File savePreset(const juce::String& relativePath)
    {
        const auto file = presets.getChildFile(relativePath);
        EXPECT_TRUE(processor->savePresetToFile(collection, file));
        settle();
        return file;
    }

    // Clicks the alert's button with that text.
    void answer(Orv::AlertWindow* alert, const juce::String& button)
    {
        ASSERT_TRUE(alert != nullptr && alert->isVisible());
        for (int i = 0; i < alert->getNumButtons(); ++i)
            if (alert->getButton(i)->getButtonText() == button)
                click(*alert->getButton(i));
        settle();
        EXPECT_FALSE(alert->isVisible()) << button;
    }

    void sendMidi(const juce::MidiMessage& message)
    {
        juce::AudioBuffer<float> buffer(2, 64);
        buffer.clear();
        juce::MidiBuffer midi;
        midi.addEvent(message, 0);
        processor->processBlock(buffer, midi);
        // What a block's MIDI changes the editor fetches at its timer's tick.
        editor().timerCallback();
        settle();
    }

    juce::String currentName() { return processor->getCurrentPresetName(collection); }
    bool modified() { return processor->isPresetModified(collection); }
    void modify()
    {
        parameters().setNormalisedValue(lineId(0, T::kFeedback), (float) (++edits % 10) / 10.0f);
        settle();
    }

    // The browser, opened by its button in the face.
    PresetBrowser& openBrowser()
    {
        clickElement("PresetBrowseButton");
        EXPECT_TRUE(editor().getPresetBrowser()->isVisible());
        return editor().getPresetBrowser()->getBrowser();
    }

    PresetBrowser::PresetDirectoryColumn& rootColumn(PresetBrowser& browser)
    {
        return *dynamic_cast<PresetBrowser::PresetDirectoryColumn*>(browser.getColumn(0));
    }

    // A click on the browser's root row of that text, as the user's.
    void clickRow(PresetBrowser& browser, const juce::String& text)
    {
        auto& column = rootColumn(browser);
        int row = 0;
        while (row < column.getNumRows() && column.getRowText(row) != text)
            ++row;
        ASSERT_LT(row, column.getNumRows()) << "no row " << text;
        column.getList().scrollToEnsureRowIsOnscreen(row);
        auto& item = *column.getList().getComponentForRowNumber(row)->getParentComponent();
        mouseEventAt(item, { 30, 10 }, down);
        mouseEventAt(item, { 30, 10 }, up);
        settle();
    }

    // The preset the browser's info column shows.
    static juce::String shownPreset(PresetBrowser& browser)
    {
        return browser.getSelectedPresetFile().getFileNameWithoutExtension();
    }

    // The host's window on the screen, with the editor in it.
    struct HostWindow : juce::Component
    {
        explicit HostWindow(juce::Component& editor)
        {
            setSize(editor.getWidth(), editor.getHeight());
            addAndMakeVisible(editor);
        }
        ~HostWindow() override { removeAllChildren(); }
        OnScreen screen { *this };
    };

    PageTest::AnsweringChooser chooser;
    PresetCollection* collection = nullptr;
    juce::File presets;
    int edits = 0;
};

TEST_F(EditorCommands, MidiLearnFromTheButtonToAControllerMovingAKnob)
{
    auto& map = processor->getMidiControl();
    auto* button = editor().getMidiLearnButton();
    clickElement("MidiLearnButton");
    EXPECT_TRUE(map.isLearning());
    EXPECT_EQ(status(), "Waiting for a controller or parameter movement...");
    EXPECT_TRUE(button->getState() == 1 && button->isBlinking());

    // A parameter that is no host parameter is not learned.
    editor().parameterTouchedById(T::kFirstPanel);
    EXPECT_EQ(map.getSelectedParameter(), nullptr);
    // Touching the knob picks the selected line's own parameter, not the proxy.
    dragElement("FeedbackKnob", -30);
    auto* feedback = parameters().getParameter(lineId(0, T::kFeedback));
    EXPECT_EQ(map.getSelectedParameter(), feedback);
    EXPECT_EQ(status(), "'Line 1 Feedback' parameter is free. Waiting for a free controller now...");

    // A controller from the host's MIDI is learned...
    sendMidi(juce::MidiMessage::controllerEvent(1, 20, 127));
    EXPECT_EQ(map.getParameterForController(20), feedback);
    EXPECT_EQ(status(), "CC# 20 is assigned to parameter 'Line 1 Feedback'.");
    clickElement("MidiLearnButton");
    EXPECT_EQ(status(), "");
    EXPECT_FALSE(button->getState() == 1 || button->isBlinking());

    // ...and then moves the knob, which says so.
    sendMidi(juce::MidiMessage::controllerEvent(1, 20, 0));
    EXPECT_EQ(feedback->getNormalisedValue(), 0.0f);
    EXPECT_EQ(element<GFXKnob>("FeedbackKnob")->getValue(), 0.0);
    EXPECT_TRUE(status().startsWith("Line 1 Feedback: ")) << status();
    EXPECT_EQ(editor().getStatusBar().getPriority(), BasePluginEditor::statusMidi);

    // MIDI of any kind, however much between two ticks, blinks the lamp once.
    sendMidi(juce::MidiMessage::noteOn(5, 40, 0.5f));
    sendMidi(juce::MidiMessage::noteOff(5, 40));
    editor().visibleTimerCallback();
    EXPECT_EQ(editor().getMidiActivityLed()->getFrame(), 1);
    EXPECT_FALSE(processor->takeMidiActivity());
}

// A grab without a move is a touch: a knob of the face is learnt from it;
// the retrigger window's sliders say their values in the status line, as the
// face's controls do, when grabbed (where the thumb lands) and when moved.
TEST_F(EditorCommands, AClickWithoutADragIsLearntAndTheRetriggerSlidersShowTheirValues)
{
    clickElement("MidiLearnButton");
    clickElement("FeedbackKnob");
    EXPECT_EQ(processor->getMidiControl().getSelectedParameter(), parameters().getParameter(lineId(0, T::kFeedback)));
    clickElement("MidiLearnButton");

    set(T::kMod1RetriggerMode, T::kRetriggerInputLevel);
    clickElement("MOD1RetriggerSettings");
    auto& window = *editor().getRetriggerWindow(0);
    auto& speed = window.getSpeedSlider().getSlider();
    auto& threshold = window.getThresholdSlider().getSlider();
    const auto said = [&](int k) {
        return processor->getPluginParameterName(T::kMod1First + k) + ": "
             + processor->getPluginParameterText(T::kMod1First + k);
    };
    for (const auto& [slider, from, to, k, moved] :
         { std::tuple<juce::Slider*, double, double, int, const char*> { &speed, 0.5, 0.5, T::kDetectorSpeed, "%" },
           { &threshold, 0.3, 0.0, T::kDetectorOnThreshold, "MOD 1 Detector On Threshold: 0.0 dB" },
           { &threshold, 0.45, 1.0, T::kDetectorOffThreshold, "MOD 1 Detector Off Threshold: -64.0 dB" } })
    {
        editor().getStatusBar().clear(-1);
        const auto at = [s = slider](double v) { return juce::Point<int>((int) s->getPositionOfValue(v), 10); };
        mouseEventAt(*slider, at(from), down);
        mouseEventAt(*slider, at(to), drag);
        mouseEventAt(*slider, at(to), up);
        settle();
        EXPECT_EQ(status(), said(k));
        EXPECT_TRUE(status().endsWith(moved)) << status();
    }
    screenshot("editor-retrigger-threshold-status");
    EXPECT_EQ(window.getThresholdSlider().getScaleLabel(1)->getText(), "-64dB") << "the scale's right end";
}

TEST_F(EditorCommands, StatusBarSaysWhatChanged)
{
    dragElement("LevelKnob", -10);
    EXPECT_TRUE(status().startsWith("Line 1 Level: ")) << status();
    EXPECT_EQ(editor().getStatusBar().getPriority(), BasePluginEditor::statusControl);

    editor().getStatusBar().clear(-1);
    editor().processingModeChanged(processor.get(), BasePlugin::processingModeOffline);
    EXPECT_EQ(status(), "Offline processing: " + parameters().getText(T::kOfflineQuality));

    // The default MIDI map check, then a change of tab that clears it.
    editor().defaultResourceChanged(&editor().getMidiControlPage().getDefaultMapCheck());
    EXPECT_EQ(status(), "Default Map settings will be affected when plugin is loaded.");
    editor().getOptionsWindow().getTabs().setCurrentTabIndex(2);
    EXPECT_EQ(status(), "");

    // This build's number is "0": the preset name "pobbles" is a name like any
    // other, and the framework's events without an action change nothing.
    parameters().setText(T::kPresetName, "pobbles");
    editor().controllerValueChanged(dynamic_cast<GUIController*>(editor().findSkinComponent("PresetNameDisplay", true)));
    EXPECT_EQ(status(), "Preset Name: pobbles");
    for (int uid : { 1007, 1008, 1009 })
        editor().controllerEventTriggered(nullptr, uid);
    EXPECT_EQ(currentName(), "pobbles");
}

// A value the status bar shows is the one in force after a state is restored
// or a preset loaded, not the one the control had before.
TEST_F(EditorCommands, TheStatusSaysTheValueInForceAfterAStateOrAPreset)
{
    const auto level = lineId(0, T::kLevel);
    const auto levelText = [&] { return "Line 1 Level: " + processor->getPluginParameterText(level); };
    juce::MemoryBlock state;
    processor->getStateInformation(state);
    const auto preset = savePreset("Level.tnprst");

    const struct
    {
        const char* what;
        std::function<void()> run;
    } cases[] = {
        { "a state restored", [&] { processor->setStateInformation(state.getData(), (int) state.getSize()); } },
        { "a preset loaded", [&] { processor->loadPresetFile(collection, preset); } },
    };
    for (const auto& c : cases)
    {
        processor->setCurrentPresetPath(collection, {});
        const auto before = parameters().getText(level);
        dragElement("LevelKnob", -10);
        ASSERT_NE(parameters().getText(level), before);
        EXPECT_EQ(status(), levelText());
        c.run();
        settle();
        EXPECT_EQ(parameters().getText(level), before) << c.what;
        EXPECT_EQ(status(), levelText()) << c.what;
    }

    // Another message stays as it is.
    editor().getStatusBar().showMessage("Pasted onto line 2", BasePluginEditor::statusControl, false);
    processor->setStateInformation(state.getData(), (int) state.getSize());
    settle();
    EXPECT_EQ(status(), "Pasted onto line 2");
}

TEST_F(EditorCommands, NextAndPreviousAskBeforeLeavingChanges)
{
    const auto a = savePreset("A.tnprst");
    savePreset("B.tnprst");
    processor->loadPresetFile(collection, a);
    settle();
    clickElement("PresetNextButton");
    EXPECT_EQ(currentName(), "B");

    modify();
    clickElement("PresetPreviousButton");
    EXPECT_EQ(currentName(), "B");
    answer(editor().getSaveChangesAlert(), "Discard");
    EXPECT_EQ(currentName(), "A");

    // Closed without an answer: nothing happens.
    modify();
    clickElement("PresetNextButton");
    click(editor().getSaveChangesAlert()->getCloseButton());
    EXPECT_TRUE(currentName() == "A" && modified());

    // "Save as" saves where the user says and does not move on.
    chooser.answer = presets.getChildFile("A changed");
    clickElement("PresetNextButton");
    answer(editor().getSaveChangesAlert(), "Save as");
    EXPECT_TRUE(presets.getChildFile("A changed.tnprst").existsAsFile());
    EXPECT_TRUE(currentName() == "A changed" && !modified());
}

// A click or an arrow key in the browser loads the preset at once; over
// unsaved changes it asks the question of previous and next first, and shows
// the loaded preset until the answer is "Discard".
TEST_F(EditorCommands, TheBrowserAsksBeforeLoadingOverChanges)
{
    for (const auto* name : { "A", "B", "C" })
        savePreset(juce::String(name) + ".tnprst");
    processor->loadPresetFile(collection, presets.getChildFile("A.tnprst"));
    auto& browser = openBrowser();
    settle();

    clickRow(browser, "B");
    EXPECT_EQ(currentName(), "B") << "no changes: no question";
    EXPECT_TRUE(browser.getLastAlert() == nullptr || !browser.getLastAlert()->isVisible());

    const auto asked = [&](const char* what) {
        auto* question = browser.getLastAlert();
        ASSERT_TRUE(question != nullptr && question->isVisible()) << what;
        EXPECT_EQ(question->getMessage(), BasePluginEditor::kSaveChangesQuestion);
        EXPECT_EQ(question->getTitle(), "Presets");
        EXPECT_TRUE(currentName() == "B" && modified()) << what;
        EXPECT_EQ(shownPreset(browser), "B") << what << ": the browser shows what is loaded";
    };

    modify();
    clickRow(browser, "C");
    asked("a click");
    screenshot("editor-preset-browser-question");
    click(browser.getLastAlert()->getCloseButton());
    settle();
    EXPECT_TRUE(currentName() == "B" && modified()) << "closed without an answer: nothing happens";

    rootColumn(browser).getList().keyPressed(juce::KeyPress(juce::KeyPress::downKey));
    settle();
    asked("an arrow key");
    answer(browser.getLastAlert(), "Discard");
    EXPECT_TRUE(currentName() == "C" && !modified());
    EXPECT_EQ(shownPreset(browser), "C");

    // "Save as" and "Overwrite" save the changes and stay, as the editor's own question does.
    modify();
    chooser.answer = presets.getChildFile("C changed");
    clickRow(browser, "A");
    answer(browser.getLastAlert(), "Save as");
    EXPECT_TRUE(presets.getChildFile("C changed.tnprst").existsAsFile());
    EXPECT_TRUE(currentName() == "C changed" && !modified());
    EXPECT_EQ(shownPreset(browser), "C changed");

    modify();
    const auto feedback = parameters().getText(lineId(0, T::kFeedback));
    clickRow(browser, "A");
    answer(browser.getLastAlert(), "Overwrite");
    EXPECT_TRUE(currentName() == "C changed" && !modified());
    Preset saved;
    ASSERT_TRUE(saved.loadFromFile(presets.getChildFile("C changed.tnprst"), &parameters(), false));
    juce::String savedFeedback;
    for (int i = 0; i < saved.getNumEntries(); ++i)
        if (saved.getEntry(i)->id == lineId(0, T::kFeedback))
            savedFeedback = saved.getEntry(i)->text;
    EXPECT_EQ(savedFeedback, feedback);
    editor().getPresetBrowser()->hide();
}

// A reopened session goes on from the preset it shows: its file travels in the
// state, and a state without one (of an older version) finds it by its name.
TEST_F(EditorCommands, NextAndPreviousAfterAReopenedSessionGoOnFromThePresetShown)
{
    ASSERT_TRUE(TestHelpers::sourceFolder().getChildFile("resources/presets").copyDirectoryTo(presets));
    collection->rescan();
    settle();
    const int count = collection->getNumPresets();
    ASSERT_GT(count, 10);
    const int shown = count / 2;
    const auto file = [&](int index) { return collection->getPresetFile((index + count) % count); };
    ASSERT_NE(file(shown).getParentDirectory(), presets) << "a preset in a folder of its own";
    processor->loadPresetFile(collection, file(shown));
    settle();

    juce::MemoryBlock state;
    processor->getStateInformation(state);
    auto xml = juce::AudioProcessor::getXmlFromBinary(state.getData(), (int) state.getSize());
    ASSERT_NE(xml, nullptr);
    // Only an attribute is added, which older readers pass over.
    EXPECT_EQ(xml->getStringAttribute("presetFile"), file(shown).getRelativePathFrom(presets));
    const auto stateWith = [&](const std::function<void(juce::XmlElement&)>& edit) {
        auto copy = std::make_unique<juce::XmlElement>(*xml);
        edit(*copy);
        juce::MemoryBlock block;
        juce::AudioProcessor::copyXmlToBinary(*copy, block);
        return block;
    };

    const struct
    {
        const char* what;
        juce::MemoryBlock chunk;
        const char* button;
        int expected;
    } cases[] = {
        { "next", state, "PresetNextButton", shown + 1 },
        { "previous", state, "PresetPreviousButton", shown - 1 },
        { "next from an older state, by the preset's name",
          stateWith([](juce::XmlElement& e) { e.removeAttribute("presetFile"); }), "PresetNextButton", shown + 1 },
        { "next from a state naming a file outside the presets",
          stateWith([](juce::XmlElement& e) { e.setAttribute("presetFile", "../../Tavinor.ini"); }),
          "PresetNextButton", shown + 1 },
        { "next from a state naming a preset that is gone",
          stateWith([](juce::XmlElement& e) { e.setAttribute("presetFile", "Gone/Gone.tnprst"); }),
          "PresetNextButton", shown + 1 },
    };
    for (const auto& c : cases)
    {
        // The session reopened: a new instance, its editor, the host's state.
        auto reopened = makeProcessor();
        auto* reopenedEditor = dynamic_cast<TavinorEditor*>(reopened->getGuiRoot());
        ASSERT_NE(reopenedEditor, nullptr);
        reopenedEditor->setVisible(true);
        reopened->setStateInformation(c.chunk.getData(), (int) c.chunk.getSize());
        settle();
        auto* button = reopenedEditor->findSkinComponent(c.button, true);
        ASSERT_NE(button, nullptr);
        mouseEventAt(*button, button->getLocalBounds().getCentre(), down);
        mouseEventAt(*button, button->getLocalBounds().getCentre(), up);
        settle();
        auto* reopenedCollection = reopened->getPresetCollection(0);
        EXPECT_EQ(reopened->getCurrentPresetPath(reopenedCollection), file(c.expected)) << c.what;
        EXPECT_EQ(reopened->getCurrentPresetName(reopenedCollection), file(c.expected).getFileNameWithoutExtension())
            << c.what;
    }
}

// The question over unsaved changes answers the keys on a screen: Escape
// closes it (nothing happens), Return keeps the changes ("Save as"), from a
// focused button of it as from the question itself, and a question shown
// while the editor was off the screen takes the keys when it is back.
TEST_F(EditorCommands, TheQuestionAnswersReturnAndEscapeOnAScreen)
{
    if (!TestHelpers::prepareScreenForWindows())
        GTEST_SKIP() << "needs a display (run under xvfb-run)";
    const auto a = savePreset("A.tnprst");
    savePreset("B.tnprst");
    processor->loadPresetFile(collection, a);

    HostWindow window(editor());
    const auto ask = [&] {
        modify();
        clickElement("PresetNextButton");
        EXPECT_TRUE(editor().getSaveChangesAlert()->isVisible());
        return editor().getSaveChangesAlert();
    };

    ask();
    window.screen.press(juce::KeyPress::escapeKey);
    EXPECT_FALSE(editor().getSaveChangesAlert()->isVisible());
    EXPECT_TRUE(currentName() == "A" && modified()) << "closed: nothing happens";

    // From the focused "Discard" button, Escape still closes the question.
    ask()->getButton(2)->grabKeyboardFocus();
    window.screen.press(juce::KeyPress::escapeKey);
    EXPECT_FALSE(editor().getSaveChangesAlert()->isVisible());
    EXPECT_TRUE(currentName() == "A" && modified());

    chooser.answer = presets.getChildFile("A kept");
    ask();
    window.screen.press(juce::KeyPress::returnKey);
    EXPECT_FALSE(editor().getSaveChangesAlert()->isVisible());
    EXPECT_TRUE(currentName() == "A kept" && !modified()) << "Return saves the changes as";

    // Asked while the host had closed the editor's window.
    window.removeChildComponent(&editor());
    ask();
    window.addAndMakeVisible(editor());
    settle();
    EXPECT_TRUE(editor().getSaveChangesAlert()->hasKeyboardFocus(true));
    window.screen.press(juce::KeyPress::escapeKey);
    EXPECT_FALSE(editor().getSaveChangesAlert()->isVisible());
}

// Return, Return, Return after an edit and "next": "Save as", the chooser
// inside the editor with the preset's own name, then its replace question,
// whose Return answer (drawn as the default) is No: the file stays whole.
TEST_F(EditorCommands, ReturnThreeTimesOverAnEditedPresetReplacesNoFile)
{
    if (!TestHelpers::prepareScreenForWindows())
        GTEST_SKIP() << "needs a display (run under xvfb-run)";
    const auto factory = savePreset("Tape Wow.tnprst");
    savePreset("Z.tnprst");
    processor->loadPresetFile(collection, factory);
    const auto before = factory.loadFileAsString();
    EmbeddedFileChooserLauncher inEditor(editor());
    editor().setFileChooserLauncher(&inEditor);
    HostWindow window(editor());

    modify();
    clickElement("PresetNextButton");
    window.screen.press(juce::KeyPress::returnKey);
    window.screen.press(juce::KeyPress::returnKey);
    auto* question = PageTest::findShown<Orv::AlertWindow>(editor());
    ASSERT_NE(question, nullptr);
    screenshot("editor-file-chooser-replace-question");
    EXPECT_EQ(question->getDefaultButton()->getButtonText(), "No") << question->getMessage();
    window.screen.press(juce::KeyPress::returnKey);
    // Back in the chooser, which Escape closes.
    window.screen.press(juce::KeyPress::escapeKey);
    EXPECT_EQ(PageTest::findShown<FileChooserWindow>(editor()), nullptr);
    EXPECT_EQ(factory.loadFileAsString(), before);
    EXPECT_TRUE(currentName() == "Tape Wow" && modified());
    editor().setFileChooserLauncher(nullptr);
}

// On a screen, Escape closes every window and menu of the editor as its
// close or cancel does, the topmost first; Return presses a window's default
// button; a menu takes Up, Down and Return.
TEST_F(EditorCommands, EscapeClosesEveryWindowAndMenuAndReturnPressesTheDefault)
{
    if (!TestHelpers::prepareScreenForWindows())
        GTEST_SKIP() << "needs a display (run under xvfb-run)";
    HostWindow window(editor());
    auto& screen = window.screen;
    auto& options = editor().getOptionsWindow();
    auto& tabs = options.getTabs();
    auto& installer = *editor().getInstallerWindow();
    auto& update = editor().getPresetsPage().getUpdateWindow();
    auto& slotMenu = editor().getHostParametersPage().getList().getChoice(0)->getActiveMenu();
    const auto shown = [&] {
        juce::String text;
        for (bool open : { options.isVisible(), editor().getAboutWindow()->isVisible(),
                           editor().getPresetBrowser()->isVisible(), editor().getRetriggerWindow(0)->isVisible(),
                           editor().getRoutingMenu().isShown(), installer.isVisible(), update.isVisible(),
                           slotMenu.isShown() })
            text << (open ? "1" : "0");
        return text;
    };
    int i = 0;
    const std::function<void()> openers[] = { [&] { clickElement("OptionsButton"); },
                                              [&] { clickElement("AboutButton"); },
                                              [&] { clickElement("PresetBrowseButton"); },
                                              [&] { clickElement("MOD1RetriggerSettings"); },
                                              [&] { clickElement("RoutingSelectSwitch"); }, [&] { installer.open(); } };
    for (const auto& open : openers)
    {
        open();
        EXPECT_EQ(shown(), juce::String("00000000").replaceSection(i++, 1, "1"));
        screen.press(juce::KeyPress::escapeKey);
        EXPECT_EQ(shown(), "00000000") << i;
    }
    EXPECT_TRUE(stateOf("MOD1RetriggerSettings") == 0 && !installer.hasStarted());

    // In the options, a parameter's menu, then "Updating own presets" (once it
    // has run, with OK), then the options themselves.
    const auto escape = [&](const char* before, const char* after) {
        EXPECT_EQ(shown(), before);
        screen.press(juce::KeyPress::escapeKey);
        EXPECT_EQ(shown(), after);
    };
    clickElement("OptionsButton");
    tabs.setCurrentTabIndex(tabs.getTabNames().indexOf("Parameters"));
    click(editor().getHostParametersPage().getList().getChoice(0)->getButton());
    escape("10000001", "10000000");
    tabs.setCurrentTabIndex(tabs.getTabNames().indexOf("Presets"));
    click(editor().getPresetsPage().getUpdateButton());
    ASSERT_TRUE(update.waitForThreadToExit(10000));
    update.timerCallback();
    escape("10000010", "10000000");
    escape("10000000", "00000000");

    clickElement("RoutingSelectSwitch");
    for (auto key : { juce::KeyPress::downKey, juce::KeyPress::downKey, juce::KeyPress::upKey, juce::KeyPress::downKey,
                      juce::KeyPress::returnKey })
        screen.press(key);
    EXPECT_EQ(parameters().getParameter(T::kRouting)->getIntValue(), 1) << "the second routing";

    // Return starts the installer; its keys then wait for its OK.
    installer.open();
    screen.press(juce::KeyPress::returnKey);
    screen.press(juce::KeyPress::escapeKey);
    EXPECT_TRUE(installer.hasStarted() && installer.isVisible());
    ASSERT_TRUE(installer.waitForThreadToExit(10000));
    installer.timerCallback();
    screen.press(juce::KeyPress::returnKey);
    EXPECT_EQ(shown(), "00000000");
}

// The preset list has the keyboard when the browser opens and after each
// question, closed or answered: Up and Down step through the loaded preset's
// folder while the folder column stays, Escape closes the browser.
TEST_F(EditorCommands, TheBrowsersPresetListKeepsTheKeyboard)
{
    if (!putOnScreen())
        GTEST_SKIP() << "needs a display (run under xvfb-run)";
    presets.getChildFile("Other").createDirectory();
    for (const auto* name : { "A", "B", "C", "D" })
        savePreset("Set/" + juce::String(name) + ".tnprst");
    processor->loadPresetFile(collection, presets.getChildFile("Set/B.tnprst"));
    auto& browser = openBrowser();
    settle();
    const auto key = [this](int code) { press(juce::KeyPress(code)); };
    const auto asked = [&] { return browser.getLastAlert() != nullptr && browser.getLastAlert()->isVisible(); };
    const auto stepsTo = [&](int code, const char* name, const char* when) {
        key(code);
        EXPECT_EQ(currentName(), name) << when;
        EXPECT_EQ(browser.getNumColumns(), 3) << when << ": the folder column stays";
        EXPECT_EQ(shownPreset(browser), name) << when;
    };

    stepsTo(juce::KeyPress::downKey, "C", "on opening");
    modify();
    key(juce::KeyPress::downKey);
    ASSERT_TRUE(asked());
    key(juce::KeyPress::escapeKey);
    EXPECT_FALSE(asked());
    key(juce::KeyPress::downKey);
    EXPECT_TRUE(asked()) << "after Escape, Down asks again";
    answer(browser.getLastAlert(), "Discard");
    EXPECT_EQ(currentName(), "D");
    stepsTo(juce::KeyPress::upKey, "C", "after Discard");
    // Escape ends the naming of a new folder, not the browser.
    click(editor().getPresetBrowser()->getNewFolderButton());
    settle();
    key(juce::KeyPress::escapeKey);
    EXPECT_TRUE(presets.getChildFile("Set/New folder").isDirectory());
    stepsTo(juce::KeyPress::downKey, "D", "after naming a folder");
    key(juce::KeyPress::escapeKey);
    EXPECT_FALSE(editor().getPresetBrowser()->isVisible());
}

// Next and previous go on from where a deleted current preset stood, in its
// folder or past its ends.
TEST_F(EditorCommands, NextAndPreviousAfterDeletingTheCurrentPresetGoOnFromWhereItStood)
{
    const struct
    {
        const char* deleted;
        const char* button;
        const char* expected;
    } cases[] = {
        { "Echoes/Quarter Note Echo", "PresetNextButton", "Echoes/Slapback" },
        { "Echoes/Quarter Note Echo", "PresetPreviousButton", "Echoes/Ping Pong Eighths" },
        { "Echoes/Triplet Bounce", "PresetNextButton", "Filter and Drive/Dark Tape Echo" },
        { "Echoes/Dotted Eighth Lead", "PresetPreviousButton", "Ambient and Freeze/Serial Cloud" },
    };
    for (const auto& c : cases)
    {
        presets.deleteRecursively();
        ASSERT_TRUE(TestHelpers::sourceFolder().getChildFile("resources/presets").copyDirectoryTo(presets));
        collection->rescan();
        processor->loadPresetFile(collection, presets.getChildFile(juce::String(c.deleted) + ".tnprst"));
        openBrowser();
        settle();
        click(editor().getPresetBrowser()->getDeleteButton());
        answer(editor().getPresetBrowser()->getBrowser().getLastAlert(), "Yes");
        ASSERT_FALSE(presets.getChildFile(juce::String(c.deleted) + ".tnprst").exists()) << c.deleted;
        editor().getPresetBrowser()->hide();
        clickElement(c.button);
        EXPECT_EQ(processor->getCurrentPresetPath(collection).getRelativePathFrom(presets),
                  juce::String(c.expected) + ".tnprst")
            << c.deleted << ", " << c.button;
    }
}

// A new instance, a state the host restores and a preset just loaded step to
// the next preset at once; the question comes only after a change by the user
// or by the host's automation, or with a state the host saved while changed.
TEST_F(EditorCommands, OnlyChangesMadeSinceMakeNextAndPreviousAsk)
{
    // Preset files written behind the instance's back, so that nothing it
    // does to save them can hide how it started.
    for (const auto* name : { "A", "B" })
    {
        const auto file = presets.getChildFile(juce::String(name) + ".tnprst");
        ASSERT_TRUE(processor->createPresetToSave(collection, file)->saveToFile(file, &parameters()));
        collection->addFile(file);
    }
    settle();
    const auto stepsWithoutAsking = [this](const juce::String& expected) {
        clickElement("PresetNextButton");
        const auto* alert = editor().getSaveChangesAlert();
        EXPECT_TRUE(alert == nullptr || !alert->isVisible()) << "asked before " << expected;
        EXPECT_EQ(currentName(), expected);
        if (alert != nullptr && alert->isVisible())
            click(editor().getSaveChangesAlert()->getCloseButton());
    };
    const auto asks = [this](const juce::String& what) {
        const auto before = currentName();
        clickElement("PresetNextButton");
        auto* alert = editor().getSaveChangesAlert();
        ASSERT_TRUE(alert != nullptr && alert->isVisible()) << what;
        click(alert->getCloseButton());
        settle();
        EXPECT_EQ(currentName(), before) << what;
    };

    stepsWithoutAsking("A");
    stepsWithoutAsking("B");

    juce::MemoryBlock unchanged, changed;
    processor->getStateInformation(unchanged);
    modify();
    asks("a change by the user");
    processor->getStateInformation(changed);

    processor->setStateInformation(unchanged.getData(), (int) unchanged.getSize());
    settle();
    stepsWithoutAsking("A");

    processor->setStateInformation(changed.getData(), (int) changed.getSize());
    settle();
    asks("a state saved with changes");

    processor->setStateInformation(unchanged.getData(), (int) unchanged.getSize());
    settle();
    processor->assignHostParameter(0, parameters().getParameter(lineId(1, T::kFeedback)), true);
    processor->setParameter(0, 0.125f);
    settle();
    asks("the host's automation");
}

TEST_F(EditorCommands, SaveAsAppendsTheExtensionAndAsksOnlyAboutNamesItCompleted)
{
    chooser.answer = presets.getChildFile("Vol. 2");
    clickElement("PresetSaveAsButton");
    EXPECT_EQ(chooser.lastRequest.title, "Save current presets");
    EXPECT_EQ(chooser.lastRequest.pattern, "*.tnprst");
    EXPECT_TRUE(presets.getChildFile("Vol. 2.tnprst").existsAsFile());
    EXPECT_EQ(currentName(), "Vol. 2");

    // The completed name exists now: the editor asks, and only Yes writes.
    modify();
    clickElement("PresetSaveAsButton");
    EXPECT_EQ(editor().getOverwriteAlert()->getMessage(), "Do you want to overwrite preset 'Vol. 2' ?");
    answer(editor().getOverwriteAlert(), "Cancel");
    EXPECT_TRUE(modified());
    clickElement("PresetSaveAsButton");
    answer(editor().getOverwriteAlert(), "Yes");
    EXPECT_FALSE(modified());

    // A name typed with the extension: the chooser asked already. A cancel: nothing.
    modify();
    chooser.answer = presets.getChildFile("Vol. 2.tnprst");
    clickElement("PresetSaveAsButton");
    EXPECT_FALSE(editor().getOverwriteAlert()->isVisible() || modified());
    modify();
    chooser.answer = juce::File();
    clickElement("PresetSaveAsButton");
    EXPECT_TRUE(modified());
}

TEST_F(EditorCommands, SaveOverwritesTheCurrentFileAfterAskingOrAsksForANewOne)
{
    const auto file = savePreset("Folder/Mine.tnprst");
    modify();
    clickElement("PresetSaveButton");
    EXPECT_EQ(chooser.lastRequest.title, "") << "no chooser for a file that exists";
    answer(editor().getOverwriteAlert(), "Yes");
    EXPECT_TRUE(processor->getCurrentPresetPath(collection) == file && !modified());

    // A name without a file goes to "Save as", in the current preset's folder.
    parameters().setText(T::kPresetName, "Brand New");
    clickElement("PresetSaveButton");
    EXPECT_EQ(chooser.lastRequest.initialFile, presets.getChildFile("Folder/Brand New.tnprst"));
}

TEST_F(EditorCommands, TheCurrentPresetFileStaysInsideItsFolderWhateverTheName)
{
    const struct
    {
        const char *name, *fileName;
    } cases[] = {
        { "Plain", "Plain.tnprst" }, { "../../x", "-..-x.tnprst" }, { "/etc/y", "-etc-y.tnprst" },
        { "", "Untitled.tnprst" },   { "..", "Untitled.tnprst" },   { ".hidden", "hidden.tnprst" },
        { "  ", "Untitled.tnprst" }, { "a\\b", "a-b.tnprst" },      { "Vol. 2", "Vol. 2.tnprst" },
    };
    for (const auto& c : cases)
    {
        parameters().setText(T::kPresetName, c.name);
        EXPECT_EQ(editor().getCurrentPresetFile(collection), presets.getChildFile(c.fileName)) << c.name;
    }
}

TEST_F(EditorCommands, AFailedSaveIsReportedAndNothingClaimsItWasSaved)
{
    // A file where a folder should be: nothing can be written below it, not
    // even by an administrator.
    const auto blocker = presets.getChildFile("Blocker");
    presets.createDirectory();
    blocker.replaceWithText("not a folder");
    modify();
    const auto nameBefore = currentName();

    chooser.answer = blocker.getChildFile("Lost");
    clickElement("PresetSaveAsButton");
    auto* report = editor().getSaveFailedAlert();
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(report->getMessage().startsWith("The preset 'Lost' could not be saved")) << report->getMessage();
    EXPECT_TRUE(currentName() == nameBefore && modified());
    EXPECT_FALSE(blocker.getChildFile("Lost.tnprst").exists());
    answer(report, "OK");
}
