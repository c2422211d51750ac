#include "PageTestSupport.h"

#include "editor/OptionsWindow.h"
#include "editor/TavinorProcessingSettingsComponent.h"

namespace
{
using namespace PageTest;

class ProcessingPage : public Fixture
{
protected:
    void SetUp() override
    {
        Fixture::SetUp();
        processor = makeProcessor();
        ASSERT_NE(processor, nullptr);
        page = std::make_unique<TavinorProcessingSettingsComponent>(*processor);
        page->setParameters(quality(99), quality(100), quality(110), quality(111));
        page->setNoteParameters(channel(105), note(106), learn(116), channel(107), note(108), learn(117),
                                channel(101), note(102), learn(114), channel(103), note(104), learn(115));
        editor.setLookAndFeel(&laf);
        editor.addAndMakeVisible(*page);
        page->setBounds(0, 0, 1180, 450);
    }

    void TearDown() override
    {
        page.reset();
        editor.setLookAndFeel(nullptr);
        processor.reset();
        Fixture::TearDown();
    }

    Parameter* param(int id) { return processor->getParameterManager().getParameter(id); }
    EnumParameter* quality(int id) { return dynamic_cast<EnumParameter*>(param(id)); }
    EnumParameter* channel(int id) { return dynamic_cast<EnumParameter*>(param(id)); }
    NoteParameter* note(int id) { return dynamic_cast<NoteParameter*>(param(id)); }
    BoolParameter* learn(int id) { return dynamic_cast<BoolParameter*>(param(id)); }

    std::unique_ptr<Tavinor> processor;
    Desktop editor;
    std::unique_ptr<TavinorProcessingSettingsComponent> page;
};

TEST_F(ProcessingPage, AQualityChosenOnThePageReachesTheProcessorAndBack)
{
    auto& realtime = page->getCurrentQualityPanel().getRealtimeChoice();
    ASSERT_EQ(realtime.getText(), "High");

    // The user opens the choice and picks "Low", the first item.
    click(realtime.getButton());
    clickMenuRow(editor, 0);
    EXPECT_EQ(processor->getParameterManager().getText(99), "Low");
    EXPECT_EQ(processor->getParameterManager().getText(110), "High") << "the default stays";

    // The processor's side (a preset, the host) moves the choice back.
    processor->getParameterManager().setText(99, "Best");
    TestHelpers::pumpMessages();
    EXPECT_EQ(realtime.getText(), "Best");
    EXPECT_EQ(page->getDefaultQualityPanel().getOfflineChoice().getText(), "Best");
}

TEST_F(ProcessingPage, OneMissingQualityParameterLeavesAllFourChoicesUnbound)
{
    TavinorProcessingSettingsComponent other(*processor);
    other.setParameters(quality(99), nullptr, quality(110), quality(111));
    for (auto* panel : { &other.getCurrentQualityPanel(), &other.getDefaultQualityPanel() })
    {
        EXPECT_EQ(panel->getRealtimeChoice().getParameter(), nullptr);
        EXPECT_EQ(panel->getOfflineChoice().getParameter(), nullptr);
    }
}

TEST_F(ProcessingPage, LeavingThePageEndsEveryRetriggerLearn)
{
    // The user starts learning on the current MOD 2 chooser.
    click(page->getNoteChooser(TavinorProcessingSettingsComponent::currentMod2).getLearnButton());
    ASSERT_TRUE(processor->getParameterManager().getBoolValue(115));

    // Another tab hides the page: the processor must stop learning, not only
    // the button stop showing it.
    page->setVisible(false);
    EXPECT_FALSE(processor->getParameterManager().getBoolValue(115));
    TestHelpers::pumpMessages();
    EXPECT_FALSE(page->getNoteChooser(TavinorProcessingSettingsComponent::currentMod2).getLearnButton().getToggleState());

    // The editor calls this when the whole options window is hidden.
    processor->getParameterManager().setBoolValue(116, true);
    page->switchLearningOff();
    EXPECT_FALSE(processor->getParameterManager().getBoolValue(116));
}

//==============================================================================
class OptionsTabs : public Fixture
{
};

TEST_F(OptionsTabs, PagesTakeTheEditorsOrderAndTheFirstIsShown)
{
    OptionsWindow window;
    window.setSize(800, 600);
    juce::Component presets, parameters, midi, processing, gui;
    window.addTab("Presets", &presets, -1);
    window.addTab("Parameters", &parameters, -1);
    window.addTab("Midi Control", &midi, -1);
    window.getTabs().setCurrentTabIndex(2);
    window.addTab("Processing", &processing, 0);
    window.addTab("GUI", &gui, 10);

    EXPECT_EQ(window.getTabs().getTabNames(),
              juce::StringArray({ "Processing", "Presets", "Parameters", "Midi Control", "GUI" }));
    EXPECT_EQ(window.getTabs().getCurrentTabIndex(), 0);
    EXPECT_TRUE(processing.isVisible());
    EXPECT_FALSE(midi.isVisible());
    EXPECT_EQ(processing.getParentComponent(), &window.getTabs());
}

} // namespace
