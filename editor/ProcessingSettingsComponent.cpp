#include "editor/ProcessingSettingsComponent.h"

ProcessingSettingsComponent::QualityPanel::QualityPanel(const juce::String& title) : PanelComponent(title)
{
    for (auto* label : { &realtimeLabel, &offlineLabel })
    {
        label->setBorderSize({});
        label->setJustificationType(juce::Justification::centredLeft);
    }
    for (auto* choice : { &realtimeChoice, &offlineChoice })
        choice->setSize(kChoiceWidth, kRowHeight);

    realtimeRow.setSpacing(kGap);
    realtimeRow.addAndMakeVisible(realtimeLabel);
    realtimeRow.addAndMakeVisible(realtimeChoice);
    offlineRow.setSpacing(kGap);
    offlineRow.addAndMakeVisible(offlineLabel);
    offlineRow.addAndMakeVisible(offlineChoice);

    column.setSpacing(kGap);
    column.addAndMakeVisible(realtimeRow);
    column.addAndMakeVisible(offlineRow);
    fitLabels();
    setContent(&column, false);
}

ProcessingSettingsComponent::QualityPanel::~QualityPanel()
{
    // The column goes before the panel part of this object.
    setContent(nullptr, false);
}

void ProcessingSettingsComponent::QualityPanel::setParameters(EnumParameter* realtime, EnumParameter* offline)
{
    realtimeChoice.setParameter(realtime);
    offlineChoice.setParameter(offline);
}

void ProcessingSettingsComponent::QualityPanel::fitLabels()
{
    const int width = juce::jmax(realtimeLabel.getWidthForText({}), offlineLabel.getWidthForText({}));
    realtimeLabel.setSize(width, kRowHeight);
    offlineLabel.setSize(width, kRowHeight);
}

ProcessingSettingsComponent::ProcessingSettingsComponent()
{
    addAndMakeVisible(defaultQuality);
    addAndMakeVisible(currentQuality);
}

ProcessingSettingsComponent::~ProcessingSettingsComponent() = default;

void ProcessingSettingsComponent::setParameters(EnumParameter* currentRealtime, EnumParameter* currentOffline,
                                                EnumParameter* defaultRealtime, EnumParameter* defaultOffline)
{
    if (currentRealtime == nullptr || currentOffline == nullptr || defaultRealtime == nullptr
        || defaultOffline == nullptr)
        return;
    currentQuality.setParameters(currentRealtime, currentOffline);
    defaultQuality.setParameters(defaultRealtime, defaultOffline);
}

juce::Rectangle<int> ProcessingSettingsComponent::getFreeArea() const
{
    auto area = getLocalBounds();
    const int top = defaultQuality.getBottom() + kGap;
    return area.withTop(juce::jmin(top, area.getBottom()));
}

void ProcessingSettingsComponent::lookAndFeelChanged()
{
    defaultQuality.fitLabels();
    currentQuality.fitLabels();
    resized();
}

void ProcessingSettingsComponent::resized()
{
    const auto area = getLocalBounds();
    const int width = juce::jmax(0, area.getWidth() / 2 - kGap / 2);
    defaultQuality.setTopLeftPosition(area.getPosition());
    defaultQuality.setSizeToFit(width, -1);
    currentQuality.setTopLeftPosition(defaultQuality.getRight() + kGap, area.getY());
    currentQuality.setSizeToFit(width, -1);
}
