#include "PageTestSupport.h"

#include "core/FloatParameter.h"
#include "editor/ModulatorRetriggerSettings.h"

namespace
{
using namespace PageTest;

class RetriggerWindow : public Fixture
{
protected:
    void SetUp() override
    {
        Fixture::SetUp();
        processor = makeProcessor();
        ASSERT_NE(processor, nullptr);
        // The start-up notifications reach the processor's own editor first.
        TestHelpers::pumpMessages();
        auto& pm = processor->getParameterManager();
        window = std::make_unique<ModulatorRetriggerSettings>(
            "MOD 1 Retrigger Settings", dynamic_cast<EnumParameter*>(pm.getParameter(Tavinor::kMod1RetriggerMode)),
            dynamic_cast<EnumParameter*>(pm.getParameter(Tavinor::kMod1RetriggerChannel)),
            dynamic_cast<NoteParameter*>(pm.getParameter(Tavinor::kMod1RetriggerNote)),
            dynamic_cast<BoolParameter*>(pm.getParameter(Tavinor::kFirstNoteLearn)),
            dynamic_cast<FloatParameter*>(pm.getParameter(Tavinor::kMod1First + Tavinor::kDetectorSpeed)),
            dynamic_cast<FloatParameter*>(pm.getParameter(Tavinor::kMod1First + Tavinor::kDetectorOnThreshold)),
            dynamic_cast<FloatParameter*>(pm.getParameter(Tavinor::kMod1First + Tavinor::kDetectorOffThreshold)));

        editor.addChildComponent(*window);
        window->setBounds(10, 10, 338, 161);
        window->getThresholdSlider().setLevel(0.4f);
    }

    void TearDown() override
    {
        window.reset();
        processor.reset();
        Fixture::TearDown();
    }

    ParameterManager& parameters() { return processor->getParameterManager(); }

    std::unique_ptr<Tavinor> processor;
    Desktop editor;
    std::unique_ptr<ModulatorRetriggerSettings> window;
};

TEST_F(RetriggerWindow, OnlyThePanelOfTheChosenModeShows)
{
    const struct
    {
        int mode;
        bool notePanel;
        bool detectionPanel;
    } cases[] = { { 1, true, false }, { 2, false, true }, { 0, false, false } };
    for (const auto& c : cases)
    {
        parameters().setIntValue(Tavinor::kMod1RetriggerMode, c.mode);
        TestHelpers::pumpMessages();
        EXPECT_EQ(window->getNotePanel().isVisible(), c.notePanel) << c.mode;
        EXPECT_EQ(window->getDetectionPanel().isVisible(), c.detectionPanel) << c.mode;
        EXPECT_EQ(window->getModeChooser().getSelectedIndex(), c.mode);
        EXPECT_TRUE(drawAndCheck(*window, "retrigger-mode-" + juce::String(c.mode)));
        EXPECT_EQ(findOverlaps(*window, 2).joinIntoString("\n"), "") << c.mode;
    }

    // Clicking a radio button is the user's choice of mode.
    window->setVisible(true);
    auto* inputLevel = window->getModeChooser().getButton(2);
    click(*inputLevel);
    TestHelpers::pumpMessages();
    EXPECT_EQ(parameters().getIntValue(Tavinor::kMod1RetriggerMode), 2);
    EXPECT_TRUE(window->getDetectionPanel().isVisible());
}

TEST_F(RetriggerWindow, TheLearnButtonLearnsTheNextMidiNote)
{
    parameters().setIntValue(Tavinor::kMod1RetriggerMode, DelayParameters::kRetriggerMidiNote);
    window->setVisible(true);
    TestHelpers::pumpMessages();
    click(window->getNoteChooser().getLearnButton());
    ASSERT_TRUE(parameters().getBoolValue(Tavinor::kFirstNoteLearn));

    processor->prepareToPlay(44100.0, 256);
    juce::AudioBuffer<float> audio(2, 256);
    audio.clear();
    juce::MidiBuffer midi;
    midi.addEvent(juce::MidiMessage::noteOn(3, 67, (juce::uint8) 100), 17);
    processor->processBlock(audio, midi);
    TestHelpers::pumpMessages();

    EXPECT_EQ(parameters().getIntValue(Tavinor::kMod1RetriggerNote), 67);
    EXPECT_EQ(window->getNoteChooser().getKeyboard().getNote(), 67);
}

TEST_F(RetriggerWindow, LearningNeverOutlivesTheWindowsOpening)
{
    window->setVisible(true);
    parameters().setBoolValue(Tavinor::kFirstNoteLearn, true);
    TestHelpers::pumpMessages();
    ASSERT_TRUE(window->getNoteChooser().getLearnButton().getToggleState());

    // Hidden by the settings button: the processor stops learning.
    window->setVisible(false);
    EXPECT_FALSE(parameters().getBoolValue(Tavinor::kFirstNoteLearn));

    // A learn switched on elsewhere while the window is closed ends when a
    // preset switches the mode to MIDI note...
    parameters().setBoolValue(Tavinor::kFirstNoteLearn, true);
    parameters().setIntValue(Tavinor::kMod1RetriggerMode, DelayParameters::kRetriggerMidiNote);
    TestHelpers::pumpMessages();
    EXPECT_FALSE(parameters().getBoolValue(Tavinor::kFirstNoteLearn));

    // ...and when the window opens again.
    parameters().setBoolValue(Tavinor::kFirstNoteLearn, true);
    window->setVisible(true);
    EXPECT_FALSE(parameters().getBoolValue(Tavinor::kFirstNoteLearn));
    EXPECT_FALSE(window->getNoteChooser().getLearnButton().getToggleState());
}

TEST_F(RetriggerWindow, TheModeChooserTakesAThirdButNeverCutsItsTitle)
{
    window->setSize(650, 161);
    EXPECT_EQ(window->getModeChooser().getWidth(), window->getContentArea().getWidth() / 3);
    EXPECT_EQ(window->getDetectionPanel().getX(), window->getModeChooser().getRight() + 10);

    // At the product's size a third is too narrow for "Retrigger mode".
    window->setSize(338, 161);
    auto& modePanel = window->getModeChooser().getPanel();
    EXPECT_GE(modePanel.getWidth(), modePanel.getTitleFont().getStringWidth("Retrigger mode") + 20);
    EXPECT_EQ(window->getNotePanel().getRight(), window->getContentArea().getRight());
}
} // namespace
