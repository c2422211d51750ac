#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// A titled frame around one content component: a rounded outline with a gap
// in its top edge where the title sits.
class PanelComponent : public juce::Component, private juce::ComponentListener
{
public:
    class LookAndFeelMethods
    {
    public:
        virtual ~LookAndFeelMethods() = default;
        virtual juce::Font getPanelTitleFont() = 0;
    };

    PanelComponent();
    explicit PanelComponent(const juce::String& title);
    ~PanelComponent() override;

    void setTitle(const juce::String& title, bool resize);
    const juce::String& getTitle() const { return title; }

    // The content is not owned; the old one is removed, not deleted.
    void setContent(juce::Component* content, bool autoSize);
    juce::Component* getContent() const { return content.getComponent(); }

    // A negative width fits the title (and the content), a negative height
    // fits the title font and the content.
    void setSizeToFit(int width, int height);
    juce::Rectangle<int> getContentArea() const;
    const juce::Font& getTitleFont() const { return titleFont; }

    void paint(juce::Graphics& g) override;
    void resized() override;
    void lookAndFeelChanged() override;

private:
    void componentMovedOrResized(juce::Component&, bool wasMoved, bool wasResized) override;
    void placeContent();
    int getTitleWidth() const;

    juce::String title;
    juce::Font titleFont;
    // Cleared by JUCE when the content is deleted first, so a panel may
    // outlive (or be a sibling member of) the component it frames.
    juce::Component::SafePointer<juce::Component> content;
    bool autoSize = false;
    bool placing = false;

    JUCE_DECLARE_NON_COPYABLE(PanelComponent)
};
