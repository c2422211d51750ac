#include "editor/TavinorProcessingSettingsComponent.h"

#include "editor/NoteLearn.h"

namespace
{
constexpr int kMinBufferSeconds = 1;
constexpr int kMaxBufferSeconds = 15;

juce::StringArray bufferScaleLabels()
{
    juce::StringArray labels;
    for (int seconds = kMinBufferSeconds; seconds <= kMaxBufferSeconds; ++seconds)
        labels.add(juce::String(seconds));
    return labels;
}
} // namespace

TavinorProcessingSettingsComponent::TavinorProcessingSettingsComponent(Tavinor& processorToUse)
    : processor(processorToUse)
{
    for (int i = 0; i < kNumNoteChoosers; ++i)
    {
        auto& panel = modPanels[(size_t) i];
        panel.setLookAndFeel(&ownLAF);
        panel.setTitle(i % 2 == 0 ? "MOD 1" : "MOD 2", false);
        panel.setContent(&noteChoosers[(size_t) i], false);
        (i < 2 ? defaultNoteRow : currentNoteRow).addAndMakeVisible(panel);
    }
    defaultNoteRow.setSpacing(kGap);
    currentNoteRow.setSpacing(kGap);
    defaultNotePanel.setContent(&defaultNoteRow, false);
    currentNotePanel.setContent(&currentNoteRow, false);

    const auto labels = bufferScaleLabels();
    for (auto* slider : { &defaultBufferSlider, &currentBufferSlider })
        slider->setScale(HorizontalSlider::scaleBelow, labels, 0);
    currentBufferColumn.addAndMakeVisible(currentBufferSlider);
    defaultBufferPanel.setContent(&defaultBufferSlider, false);
    currentBufferPanel.setContent(&currentBufferColumn, false);

    for (auto* panel : { &defaultNotePanel, &currentNotePanel, &defaultBufferPanel, &currentBufferPanel })
        addAndMakeVisible(panel);
}

TavinorProcessingSettingsComponent::~TavinorProcessingSettingsComponent()
{
    for (auto& panel : modPanels)
        panel.setLookAndFeel(nullptr);
}

void TavinorProcessingSettingsComponent::setNoteParameters(
    EnumParameter* defaultMod1Channel, NoteParameter* defaultMod1Note, BoolParameter* defaultMod1Learn,
    EnumParameter* defaultMod2Channel, NoteParameter* defaultMod2Note, BoolParameter* defaultMod2Learn,
    EnumParameter* mod1Channel, NoteParameter* mod1Note, BoolParameter* mod1Learn, EnumParameter* mod2Channel,
    NoteParameter* mod2Note, BoolParameter* mod2Learn)
{
    noteChoosers[defaultMod1].setParameters(defaultMod1Channel, defaultMod1Note, defaultMod1Learn);
    noteChoosers[defaultMod2].setParameters(defaultMod2Channel, defaultMod2Note, defaultMod2Learn);
    noteChoosers[currentMod1].setParameters(mod1Channel, mod1Note, mod1Learn);
    noteChoosers[currentMod2].setParameters(mod2Channel, mod2Note, mod2Learn);
}

void TavinorProcessingSettingsComponent::setBufferLengthParameters(IntParameter* defaultLength,
                                                                   IntParameter* currentLength)
{
    defaultBufferSlider.setIntParameter(defaultLength);
    currentBufferSlider.setIntParameter(currentLength);
}

void TavinorProcessingSettingsComponent::switchLearningOff()
{
    for (auto& chooser : noteChoosers)
        stopNoteLearning(chooser);
}

void TavinorProcessingSettingsComponent::visibilityChanged()
{
    switchLearningOff();
}

void TavinorProcessingSettingsComponent::resized()
{
    ProcessingSettingsComponent::resized();
    const auto free = getFreeArea();
    const int halfWidth = juce::jmax(0, free.getWidth() / 2 - kGap / 2);

    const auto placeNotePanel = [this, halfWidth](PanelComponent& panel, int x, int y, int firstMod) {
        panel.setTopLeftPosition(x, y);
        panel.setSizeToFit(halfWidth, -1);
        const int modWidth = juce::jmax(0, panel.getContentArea().getWidth() / 2 - kGap / 2);
        for (int i = firstMod; i < firstMod + 2; ++i)
            modPanels[(size_t) i].setSizeToFit(modWidth, -1);
        // Again, now that the row holds the fitted MOD panels.
        panel.setSizeToFit(halfWidth, -1);
    };
    placeNotePanel(defaultNotePanel, free.getX(), free.getY(), defaultMod1);
    placeNotePanel(currentNotePanel, free.getX() + free.getWidth() / 2 + kGap / 2, free.getY(), currentMod1);

    const auto placeBufferPanel = [](PanelComponent& panel, HorizontalSlider& slider, const PanelComponent& above) {
        slider.setSize(juce::jmax(0, above.getWidth() - kSliderInset), kSliderHeight);
        panel.setTopLeftPosition(above.getX(), above.getBottom() + kGap);
        panel.setSizeToFit(above.getWidth(), -1);
    };
    placeBufferPanel(defaultBufferPanel, defaultBufferSlider, defaultNotePanel);
    placeBufferPanel(currentBufferPanel, currentBufferSlider, currentNotePanel);
}
