#pragma once

#include "core/EnumParameter.h"
#include "toolkit/ComboBoxButton.h"
#include "toolkit/ComponentRow.h"
#include "toolkit/HardLabel.h"
#include "toolkit/PanelComponent.h"

// The "Processing" page: the quality used for real-time and for offline
// processing, for this instance and as the default of new instances. Every
// choice is a parameter of the plug-in; the page keeps nothing of its own.
class ProcessingSettingsComponent : public juce::Component
{
public:
    // A titled pair of choices, "Real-time" above "Offline".
    class QualityPanel : public PanelComponent
    {
    public:
        explicit QualityPanel(const juce::String& title);
        ~QualityPanel() override;

        void setParameters(EnumParameter* realtime, EnumParameter* offline);
        // Both labels as wide as the wider text.
        void fitLabels();

        ComboBoxButton& getRealtimeChoice() noexcept { return realtimeChoice; }
        ComboBoxButton& getOfflineChoice() noexcept { return offlineChoice; }
        HardLabel& getRealtimeLabel() noexcept { return realtimeLabel; }
        HardLabel& getOfflineLabel() noexcept { return offlineLabel; }

    private:
        HardLabel realtimeLabel { {}, "Real-time" };
        HardLabel offlineLabel { {}, "Offline" };
        ComboBoxButton realtimeChoice;
        ComboBoxButton offlineChoice;
        ComponentRow realtimeRow { ComponentRow::row, ComponentRow::alignCentre };
        ComponentRow offlineRow { ComponentRow::row, ComponentRow::alignCentre };
        ComponentRow column { ComponentRow::column, ComponentRow::alignStart };

        JUCE_DECLARE_NON_COPYABLE(QualityPanel)
    };

    static constexpr int kGap = 6;
    static constexpr int kChoiceWidth = 200;
    static constexpr int kRowHeight = 20;

    ProcessingSettingsComponent();
    ~ProcessingSettingsComponent() override;

    // Binds the four choices only when all four parameters exist, so that
    // the page never shows a mix of bound and dead choices.
    void setParameters(EnumParameter* currentRealtime, EnumParameter* currentOffline, EnumParameter* defaultRealtime,
                       EnumParameter* defaultOffline);

    // What is left of the page below the quality panels.
    juce::Rectangle<int> getFreeArea() const;

    QualityPanel& getDefaultQualityPanel() noexcept { return defaultQuality; }
    QualityPanel& getCurrentQualityPanel() noexcept { return currentQuality; }

    void lookAndFeelChanged() override;
    void resized() override;

private:
    QualityPanel defaultQuality { "Default quality" };
    QualityPanel currentQuality { "Current quality" };

    JUCE_DECLARE_NON_COPYABLE(ProcessingSettingsComponent)
};
