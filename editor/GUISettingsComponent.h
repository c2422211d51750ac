#pragma once

#include "skin/SkinHost.h"
#include "toolkit/ComboBoxButton.h"
#include "toolkit/ComponentRow.h"
#include "toolkit/PanelComponent.h"
#include "toolkit/PopupMenuEx.h"

#include <vector>

// An installed skin package as the "GUI" page lists it.
struct SkinInfo
{
    juce::String name;
    // The package's "Background.png": the size of the editor it makes.
    juce::Rectangle<int> backgroundBounds;
    juce::Image thumbnail;
};

// The "GUI" page, offered only by editors that switch skins: the skin new
// editors start with and the skin of this editor, each chosen from the
// installed packages with a preview. The editor applies and stores the
// choices; it hears of them through the page's listeners.
class GUISettingsComponent : public juce::Component, public ComboBoxButton::Listener
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void defaultSkinChanged(GUISettingsComponent* page) = 0;
        virtual void currentSkinChanged(GUISettingsComponent* page) = 0;
    };

    // The screen the previews stand for: its whole area and the part of it
    // that windows may use (without panels and docks).
    struct DisplayAreas
    {
        juce::Rectangle<int> totalArea;
        juce::Rectangle<int> userArea;
    };

    // A skin's thumbnail over a caption naming the screen size.
    class SkinPreview : public juce::Component
    {
    public:
        static constexpr int kCaptionHeight = 20;
        static constexpr int kFrameThickness = 3;

        explicit SkinPreview(juce::Rectangle<int> displayArea);

        void setImage(const juce::Image& image);
        const juce::Image& getImage() const noexcept { return thumbnail; }
        void paint(juce::Graphics& g) override;

    private:
        juce::Image thumbnail;
        juce::Rectangle<int> displayArea;
    };

    static constexpr int kChoiceWidth = 300;
    static constexpr int kChoiceHeight = 18;
    static constexpr int kGap = 6;

    // The main display of the desktop; empty areas without a display.
    static DisplayAreas getMainDisplayAreas();

    // Lists the ".orvskin" packages of skinsFolder and shows the two skins
    // (names as the editor keeps them; a name that is not installed shows nothing).
    GUISettingsComponent(SkinHost& host, const juce::File& skinsFolder, const juce::String& defaultSkin,
                         const juce::String& currentSkin);
    GUISettingsComponent(SkinHost& host, const juce::File& skinsFolder, const juce::String& defaultSkin,
                         const juce::String& currentSkin, const DisplayAreas& displays);
    ~GUISettingsComponent() override;

    // By name, ignoring case; nothing when no package has that name.
    void setDefaultSkin(const juce::String& name, bool notify);
    void setCurrentSkin(const juce::String& name, bool notify);
    // The names chosen in the two lists; empty when none is.
    juce::String getDefaultSkin() const;
    juce::String getCurrentSkin() const;
    // The widest skin whose background fits the user area of the display; the
    // narrowest when none fits; empty without skins.
    const juce::String& getPreferredSkin() const noexcept { return preferredSkin; }

    const std::vector<SkinInfo>& getSkins() const noexcept { return skins; }
    PopupMenuEx& getSkinMenu() noexcept { return skinMenu; }
    ComboBoxButton& getDefaultChoice() noexcept { return defaultChoice; }
    ComboBoxButton& getCurrentChoice() noexcept { return currentChoice; }
    SkinPreview& getDefaultPreview() noexcept { return defaultPreview; }
    SkinPreview& getCurrentPreview() noexcept { return currentPreview; }
    PanelComponent& getDefaultPanel() noexcept { return defaultPanel; }
    PanelComponent& getCurrentPanel() noexcept { return currentPanel; }

    void addListener(Listener* listener);
    void removeListener(Listener* listener);

    void comboBoxButtonChanged(ComboBoxButton* box) override;
    void resized() override;

protected:
    // Run after each change of the default or the current skin.
    virtual void defaultSkinWasChanged() {}
    virtual void currentSkinWasChanged() {}

private:
    void scanSkins(SkinHost& host, const juce::File& skinsFolder, const DisplayAreas& displays);
    int findSkin(const juce::String& name) const;
    juce::String getSkinName(int index) const;

    PanelComponent defaultPanel { "Default skin" };
    PanelComponent currentPanel { "Current skin" };
    ComponentRow defaultColumn { ComponentRow::column, ComponentRow::alignStart };
    ComponentRow currentColumn { ComponentRow::column, ComponentRow::alignStart };
    ComboBoxButton defaultChoice;
    ComboBoxButton currentChoice;
    SkinPreview defaultPreview;
    SkinPreview currentPreview;
    PopupMenuEx skinMenu { "SkinMenu" };
    std::vector<SkinInfo> skins;
    juce::String preferredSkin;
    juce::ListenerList<Listener> listeners;

    JUCE_DECLARE_NON_COPYABLE(GUISettingsComponent)
};
