#pragma once

#include "editor/CreditsText.h"
#include "toolkit/WindowComponent.h"

class BasePlugin;

// The editor's about box: the product's name and description, its format,
// architecture, version and build, a link to the product page, the makers'
// notice and, when the plug-in has them, rolling credits. A click anywhere in
// it, or Escape, hides it again, as a line at its bottom says. The editor
// base creates it once and keeps it hidden between uses.
class AboutWindow : public WindowComponent, public CreditsText::Listener
{
public:
    // One line (or a short block) of text that the window paints.
    struct TextLine
    {
        juce::String text;
        juce::Font font;
        juce::Rectangle<int> area;
        juce::Justification justification { juce::Justification::topLeft };
        int maximumLines = 1;
    };

    explicit AboutWindow(BasePlugin& plugin);
    ~AboutWindow() override;

    bool shouldDimBackground() const override { return true; }
    void lookAndFeelChanged() override;
    void resized() override;
    void paint(juce::Graphics& g) override;
    void mouseDown(const juce::MouseEvent& e) override;
    void visibilityChanged() override;
    void creditsClicked(CreditsText* credits) override;

    // What paint draws, laid out by resized.
    const juce::Array<TextLine>& getTextLines() const { return textLines; }
    juce::Rectangle<int> getHeaderBox() const { return headerBox; }
    juce::Rectangle<int> getVersionBox() const { return versionBox; }
    juce::Rectangle<int> getInfoArea() const { return infoArea; }
    juce::HyperlinkButton& getLink() { return link; }
    CreditsText& getCredits() { return credits; }

    // The height of the info box's part above the credits (all of it without them).
    static constexpr int kUpperInfoHeight = 96;
    // The info box's fill, under the logos: orange darkened until every text
    // of the logos stands out from it by 4.5:1 (the image generator measures
    // the logos on this colour).
    static juce::Colour getInfoFill() { return juce::Colour(0xFFFFA500).darker(2.0f); }

private:
    // The product page's link, drawn alike in every state: JUCE darkens a
    // hovered link and fades a disabled one, which on the box's black leaves
    // it faint. The pointing hand says it is a link.
    class Link : public juce::HyperlinkButton
    {
    public:
        using juce::HyperlinkButton::HyperlinkButton;
        void setLinkFont(const juce::Font& font);

    protected:
        void paintButton(juce::Graphics& g, bool isOver, bool isDown) override;

    private:
        juce::Font linkFont;
    };

    void layoutTexts();

    BasePlugin& plugin;
    Link link;
    CreditsText credits;
    juce::Rectangle<int> headerBox;
    juce::Rectangle<int> versionBox;
    juce::Rectangle<int> infoArea;
    juce::Rectangle<int> hintArea;
    juce::Array<TextLine> textLines;
    juce::Image productLogo;
    juce::Image makerLogo;
    juce::Rectangle<int> productLogoArea;
    juce::Rectangle<int> makerLogoArea;

    JUCE_DECLARE_NON_COPYABLE(AboutWindow)
};
