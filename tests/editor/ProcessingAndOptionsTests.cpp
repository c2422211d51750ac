#include "PageTestSupport.h"

#include "editor/OptionsWindow.h"
#include "editor/TavinorProcessingSettingsComponent.h"

namespace
{
using namespace PageTest;
using T = Tavinor;

// The note-learn switches, one per retrigger record, in the records' order.
constexpr int kMod1Learn = T::kFirstNoteLearn;
constexpr int kMod2Learn = T::kFirstNoteLearn + 1;
constexpr int kDefaultMod1Learn = T::kFirstNoteLearn + 2;
constexpr int kDefaultMod2Learn = T::kFirstNoteLearn + 3;

class ProcessingPage : public Fixture
{
protected:
    void SetUp() override
    {
        Fixture::SetUp();
        processor = makeProcessor();
        ASSERT_NE(processor, nullptr);
        page = std::make_unique<TavinorProcessingSettingsComponent>(*processor);
        page->setParameters(quality(T::kRealtimeQuality), quality(T::kOfflineQuality),
                            quality(T::kDefaultRealtimeQuality), quality(T::kDefaultOfflineQuality));
        page->setNoteParameters(channel(T::kDefaultMod1RetriggerChannel), note(T::kDefaultMod1RetriggerNote),
                                learn(kDefaultMod1Learn), channel(T::kDefaultMod2RetriggerChannel),
                                note(T::kDefaultMod2RetriggerNote), learn(kDefaultMod2Learn),
                                channel(T::kMod1RetriggerChannel), note(T::kMod1RetriggerNote), learn(kMod1Learn),
                                channel(T::kMod2RetriggerChannel), note(T::kMod2RetriggerNote), learn(kMod2Learn));
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
    EXPECT_EQ(processor->getParameterManager().getText(T::kRealtimeQuality), "Low");
    EXPECT_EQ(processor->getParameterManager().getText(T::kDefaultRealtimeQuality), "High") << "the default stays";

    // The processor's side (a preset, the host) moves the choice back.
    processor->getParameterManager().setText(T::kRealtimeQuality, "Best");
    TestHelpers::pumpMessages();
    EXPECT_EQ(realtime.getText(), "Best");
    EXPECT_EQ(page->getDefaultQualityPanel().getOfflineChoice().getText(), "Best");
}

TEST_F(ProcessingPage, OneMissingQualityParameterLeavesAllFourChoicesUnbound)
{
    TavinorProcessingSettingsComponent other(*processor);
    other.setParameters(quality(T::kRealtimeQuality), nullptr, quality(T::kDefaultRealtimeQuality),
                        quality(T::kDefaultOfflineQuality));
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
    ASSERT_TRUE(processor->getParameterManager().getBoolValue(kMod2Learn));

    // Another tab hides the page: the processor must stop learning, not only
    // the button stop showing it.
    page->setVisible(false);
    EXPECT_FALSE(processor->getParameterManager().getBoolValue(kMod2Learn));
    TestHelpers::pumpMessages();
    EXPECT_FALSE(page->getNoteChooser(TavinorProcessingSettingsComponent::currentMod2).getLearnButton().getToggleState());

    // The editor calls this when the whole options window is hidden.
    processor->getParameterManager().setBoolValue(kDefaultMod1Learn, true);
    page->switchLearningOff();
    EXPECT_FALSE(processor->getParameterManager().getBoolValue(kDefaultMod1Learn));
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
