#include "PageTestSupport.h"
#include "TavinorEditorTestSupport.h"

#include "editor/InstallFactoryPresetsWindow.h"
#include "editor/MidiControlComponent.h"
#include "editor/OptionsWindow.h"
#include "skin/GFXAnimation.h"
#include "skin/GFXKnob.h"

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
        ASSERT_NE(collection, nullptr);
        presets = collection->getRootFolder();
    }

    void TearDown() override
    {
        editor().setFileChooserLauncher(nullptr);
        EditorFixture::TearDown();
    }

    // A preset file as the user's own save would write it.
    juce::File savePreset(const juce::String& relativePath)
    {
        const auto file = presets.getChildFile(relativePath);
        EXPECT_TRUE(processor->savePresetToFile(collection, file));
        settle();
        return file;
    }

    void answer(Orv::AlertWindow* alert, int result)
    {
        ASSERT_NE(alert, nullptr);
        ASSERT_TRUE(alert->isVisible());
        for (int i = 0; i < alert->getNumButtons(); ++i)
            if (alert->getButton(i)->getButtonText() == buttonTextFor(result))
            {
                click(*alert->getButton(i));
                settle();
                return;
            }
        FAIL() << "no button for result " << result;
    }

    static juce::String buttonTextFor(int result)
    {
        switch (result)
        {
        case Orv::AlertWindow::Yes: return "Yes";
        case Orv::AlertWindow::Cancel: return "Cancel";
        case Orv::AlertWindow::Overwrite: return "Overwrite";
        case Orv::AlertWindow::SaveAs: return "Save as";
        case Orv::AlertWindow::Discard: return "Discard";
        default: return "OK";
        }
    }

    juce::String currentName() { return processor->getCurrentPresetName(collection); }
    void modify() { set(lineId(0, T::kFeedback), 1); parameters().setNormalisedValue(lineId(0, T::kFeedback), 0.2f); settle(); }

    PageTest::AnsweringChooser chooser;
    PresetCollection* collection = nullptr;
    juce::File presets;
};

TEST_F(EditorCommands, MidiLearnFromTheButtonToAControllerMovingAKnob)
{
    auto& map = processor->getMidiControl();
    clickElement("MidiLearnButton");
    EXPECT_TRUE(map.isLearning());
    EXPECT_EQ(status(), "Waiting for a controller or parameter movement...");
    EXPECT_EQ(editor().getMidiLearnButton()->getState(), 1);
    EXPECT_TRUE(editor().getMidiLearnButton()->isBlinking());

    // Touching the knob picks the selected line's own parameter, not the proxy.
    dragElement("FeedbackKnob", -30);
    const int feedback = lineId(0, T::kFeedback);
    ASSERT_EQ(map.getSelectedParameter(), parameters().getParameter(feedback));
    EXPECT_EQ(status(), "'Line 1 Feedback' parameter is free. Waiting for a free controller now...");

    // A controller arrives through the host's MIDI: it is learned and moves the knob.
    processor->setRateAndBufferSizeDetails(48000.0, 64);
    processor->prepareToPlay(48000.0, 64);
    juce::AudioBuffer<float> buffer(2, 64);
    buffer.clear();
    juce::MidiBuffer midi;
    midi.addEvent(juce::MidiMessage::controllerEvent(1, 20, 127), 3);
    processor->processBlock(buffer, midi);
    settle();
    EXPECT_EQ(map.getParameterForController(20), parameters().getParameter(feedback));
    EXPECT_EQ(status(), "CC# 20 is assigned to parameter 'Line 1 Feedback'.");

    clickElement("MidiLearnButton");
    EXPECT_FALSE(map.isLearning());
    EXPECT_EQ(status(), "");
    EXPECT_EQ(editor().getMidiLearnButton()->getState(), 0);
    EXPECT_FALSE(editor().getMidiLearnButton()->isBlinking());

    midi.clear();
    midi.addEvent(juce::MidiMessage::controllerEvent(1, 20, 0), 0);
    processor->processBlock(buffer, midi);
    settle();
    auto* knob = element<GFXKnob>("FeedbackKnob");
    EXPECT_EQ(parameters().getNormalisedValue(feedback), 0.0f);
    EXPECT_EQ(knob->getValue(), 0.0);
    EXPECT_TRUE(status().startsWith("Line 1 Feedback: ")) << status();
    EXPECT_EQ(editor().getStatusBar().getPriority(), BasePluginEditor::statusMidi);
}

TEST_F(EditorCommands, OnlyAutomatableParametersAreLearned)
{
    auto& map = processor->getMidiControl();
    map.setLearning(true);
    settle();
    // Parameter 93 (the time panel) is no host parameter.
    editor().parameterTouchedById(T::kFirstPanel);
    EXPECT_EQ(map.getSelectedParameter(), nullptr);
    editor().parameterTouchedById(T::kOutputGain);
    EXPECT_EQ(map.getSelectedParameter(), parameters().getParameter(T::kOutputGain));
    map.setLearning(false);
}

TEST_F(EditorCommands, TheMidiLampBlinksOnceForAnyMidiBetweenTwoTicks)
{
    auto* lamp = editor().getMidiActivityLed();
    ASSERT_NE(lamp, nullptr);
    processor->setRateAndBufferSizeDetails(48000.0, 64);
    processor->prepareToPlay(48000.0, 64);
    juce::AudioBuffer<float> buffer(2, 64);
    juce::MidiBuffer midi;
    for (int i = 0; i < 3; ++i)
        midi.addEvent(juce::MidiMessage::noteOn(5, 40 + i, 0.5f), i);
    processor->processBlock(buffer, midi);
    editor().visibleTimerCallback();
    EXPECT_EQ(lamp->getFrame(), 1);
    EXPECT_FALSE(processor->takeMidiActivity());
}

TEST_F(EditorCommands, StatusBarSaysWhatChanged)
{
    // A control's parameter, with its line.
    dragElement("LevelKnob", -10);
    EXPECT_TRUE(status().startsWith("Line 1 Level: ")) << status();
    EXPECT_EQ(editor().getStatusBar().getPriority(), BasePluginEditor::statusControl);

    editor().getStatusBar().clear(-1);
    editor().processingModeChanged(processor.get(), BasePlugin::processingModeOffline);
    EXPECT_EQ(status(), "Offline processing: " + parameters().getText(T::kOfflineQuality));
    editor().getStatusBar().clear(-1);
    editor().processingModeChanged(processor.get(), BasePlugin::processingModeRealtime);
    EXPECT_EQ(status(), "Realtime processing: " + parameters().getText(T::kRealtimeQuality));

    // The default MIDI map check, then a change of tab that clears it.
    editor().defaultResourceChanged(&editor().getMidiControlPage().getDefaultMapCheck());
    EXPECT_EQ(status(), "Default Map settings will be affected when plugin is loaded.");
    EXPECT_EQ(editor().getStatusBar().getTimeout(), 0);
    editor().getOptionsWindow().getTabs().setCurrentTabIndex(2);
    EXPECT_EQ(status(), "");

    // This build's number is "0": the preset name "pobbles" is a name like any other.
    parameters().setText(T::kPresetName, "pobbles");
    auto* nameDisplay = dynamic_cast<GUIController*>(editor().findSkinComponent("PresetNameDisplay", true));
    ASSERT_NE(nameDisplay, nullptr);
    editor().controllerValueChanged(nameDisplay);
    EXPECT_TRUE(status().endsWith(": pobbles")) << status();
    EXPECT_FALSE(status().startsWith("pobbles"));
}

TEST_F(EditorCommands, NextAndPreviousAskBeforeLeavingChanges)
{
    const auto a = savePreset("A.tnprst");
    savePreset("B.tnprst");
    savePreset("C.tnprst");
    processor->loadPresetFile(collection, a);
    settle();

    clickElement("PresetNextButton");
    EXPECT_EQ(currentName(), "B");
    clickElement("PresetPreviousButton");
    EXPECT_EQ(currentName(), "A");

    modify();
    clickElement("PresetNextButton");
    EXPECT_EQ(currentName(), "A");
    answer(editor().getSaveChangesAlert(), Orv::AlertWindow::Discard);
    EXPECT_EQ(currentName(), "B");

    // Closed without an answer: nothing happens.
    modify();
    clickElement("PresetPreviousButton");
    click(editor().getSaveChangesAlert()->getCloseButton());
    settle();
    EXPECT_FALSE(editor().getSaveChangesAlert()->isVisible());
    EXPECT_EQ(currentName(), "B");
    EXPECT_TRUE(processor->isPresetModified(collection));

    // "Save as" saves where the user says and does not move on.
    chooser.answer = presets.getChildFile("B changed");
    clickElement("PresetPreviousButton");
    answer(editor().getSaveChangesAlert(), Orv::AlertWindow::SaveAs);
    EXPECT_TRUE(presets.getChildFile("B changed.tnprst").existsAsFile());
    EXPECT_EQ(currentName(), "B changed");
    EXPECT_FALSE(processor->isPresetModified(collection));
}

TEST_F(EditorCommands, SaveAsAppendsTheExtensionAndAsksOnlyAboutNamesItCompleted)
{
    chooser.answer = presets.getChildFile("Vol. 2");
    clickElement("PresetSaveAsButton");
    EXPECT_EQ(chooser.lastRequest.title, "Save current presets");
    EXPECT_EQ(chooser.lastRequest.pattern, "*.tnprst");
    EXPECT_EQ(chooser.lastRequest.mode, FileChooserLauncher::saveFile);
    EXPECT_TRUE(presets.getChildFile("Vol. 2.tnprst").existsAsFile());
    EXPECT_FALSE(presets.getChildFile("Vol.tnprst").exists());
    EXPECT_EQ(currentName(), "Vol. 2");

    // The completed name exists now: the editor asks, and only Yes writes.
    modify();
    clickElement("PresetSaveAsButton");
    auto* question = editor().getOverwriteAlert();
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(question->getMessage(), "Do you want to overwrite preset 'Vol. 2' ?");
    answer(question, Orv::AlertWindow::Cancel);
    EXPECT_TRUE(processor->isPresetModified(collection));
    clickElement("PresetSaveAsButton");
    answer(editor().getOverwriteAlert(), Orv::AlertWindow::Yes);
    EXPECT_FALSE(processor->isPresetModified(collection));

    // A name typed with the extension: the chooser asked already.
    modify();
    chooser.answer = presets.getChildFile("Vol. 2.tnprst");
    clickElement("PresetSaveAsButton");
    EXPECT_FALSE(editor().getOverwriteAlert()->isVisible());
    EXPECT_FALSE(processor->isPresetModified(collection));

    // Cancelled: nothing.
    modify();
    chooser.answer = juce::File();
    clickElement("PresetSaveAsButton");
    EXPECT_TRUE(processor->isPresetModified(collection));
}

TEST_F(EditorCommands, SaveOverwritesTheCurrentFileAfterAskingOrAsksForANewOne)
{
    const auto file = savePreset("Folder/Mine.tnprst");
    modify();
    clickElement("PresetSaveButton");
    EXPECT_EQ(chooser.lastRequest.title, "") << "no chooser for a file that exists";
    answer(editor().getOverwriteAlert(), Orv::AlertWindow::Yes);
    EXPECT_FALSE(processor->isPresetModified(collection));
    EXPECT_EQ(processor->getCurrentPresetPath(collection), file);

    // A name without a file goes to "Save as", in the current preset's folder.
    parameters().setText(T::kPresetName, "Brand New");
    chooser.answer = juce::File();
    clickElement("PresetSaveButton");
    EXPECT_EQ(chooser.lastRequest.title, "Save current presets");
    EXPECT_EQ(chooser.lastRequest.initialFile, presets.getChildFile("Folder/Brand New.tnprst"));
}

TEST_F(EditorCommands, TheCurrentPresetFileStaysInsideItsFolderWhateverTheName)
{
    const struct
    {
        const char* name;
        const char* fileName;
    } cases[] = {
        { "Plain", "Plain.tnprst" },     { "../../x", "-..-x.tnprst" },      { "/etc/y", "-etc-y.tnprst" },
        { "", "Untitled.tnprst" },       { "..", "Untitled.tnprst" },      { ".hidden", "hidden.tnprst" },
        { "  ", "Untitled.tnprst" },     { "a\\b", "a-b.tnprst" },          { "Vol. 2", "Vol. 2.tnprst" },
    };
    for (const auto& c : cases)
    {
        parameters().setText(T::kPresetName, c.name);
        const auto file = editor().getCurrentPresetFile(collection);
        EXPECT_EQ(file.getParentDirectory(), presets) << c.name;
        EXPECT_EQ(file.getFileName(), c.fileName) << c.name;
    }
}

TEST_F(EditorCommands, AFailedSaveIsReportedAndNothingClaimsItWasSaved)
{
    // A folder where a file is: nothing can be written below it, not even by
    // an administrator.
    const auto blocker = presets.getChildFile("Blocker");
    presets.createDirectory();
    blocker.replaceWithText("not a folder");
    modify();
    const auto nameBefore = currentName();

    chooser.answer = blocker.getChildFile("Lost");
    clickElement("PresetSaveAsButton");
    auto* report = editor().getSaveFailedAlert();
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(report->isVisible());
    EXPECT_TRUE(report->getMessage().contains("'Lost' could not be saved")) << report->getMessage();
    EXPECT_TRUE(processor->isPresetModified(collection));
    EXPECT_EQ(currentName(), nameBefore);
    EXPECT_FALSE(blocker.getChildFile("Lost.tnprst").exists());
    answer(report, Orv::AlertWindow::OK);
    EXPECT_FALSE(report->isVisible());
}

TEST_F(EditorCommands, FrameworkEventsWithoutAnActionChangeNothing)
{
    const auto before = processor->getCurrentPresetName(collection);
    for (int uid : { 1007, 1008, 1009 })
        editor().controllerEventTriggered(nullptr, uid);
    settle();
    EXPECT_EQ(processor->getCurrentPresetName(collection), before);
    EXPECT_EQ(status(), "");
    EXPECT_EQ(chooser.lastRequest.title, "");
}
