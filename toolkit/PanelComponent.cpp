#include "toolkit/PanelComponent.h"

#include "toolkit/DefaultLookAndFeel.h"

#include <cmath>

namespace
{
constexpr int kContentInset = 8;
constexpr float kFrameCorner = 4.0f;
} // namespace

PanelComponent::PanelComponent() : PanelComponent(juce::String())
{
}

PanelComponent::PanelComponent(const juce::String& titleText) : title(titleText)
{
    lookAndFeelChanged();
}

PanelComponent::~PanelComponent()
{
    if (content != nullptr)
        content->removeComponentListener(this);
}

void PanelComponent::setTitle(const juce::String& newTitle, bool resize)
{
    if (newTitle == title)
        return;
    title = newTitle;
    if (resize)
        setSizeToFit(-1, getHeight());
    repaint();
}

void PanelComponent::setContent(juce::Component* newContent, bool shouldAutoSize)
{
    if (newContent == content)
        return;
    if (content != nullptr)
    {
        content->removeComponentListener(this);
        removeChildComponent(content);
    }
    content = newContent;
    autoSize = shouldAutoSize;
    if (content != nullptr)
    {
        addAndMakeVisible(content);
        content->addComponentListener(this);
    }
    placeContent();
}

int PanelComponent::getTitleWidth() const
{
    return (int) std::ceil(titleFont.getStringWidthFloat(title));
}

void PanelComponent::setSizeToFit(int width, int height)
{
    const int contentWidth = content != nullptr ? content->getWidth() : 0;
    const int contentHeight = content != nullptr ? content->getHeight() : 0;
    if (width < 0)
        width = juce::jmax(getTitleWidth() + 20, contentWidth + 2 * kContentInset);
    if (height < 0)
        height = (int) titleFont.getHeight() + 2 * kContentInset + contentHeight;
    setSize(width, height);
}

juce::Rectangle<int> PanelComponent::getContentArea() const
{
    const int top = (int) titleFont.getHeight() + kContentInset;
    return juce::Rectangle<int>::leftTopRightBottom(kContentInset, top, getWidth() - kContentInset,
                                                    getHeight() - kContentInset);
}

void PanelComponent::placeContent()
{
    if (content == nullptr || placing)
        return;
    const juce::ScopedValueSetter<bool> guard(placing, true);
    if (autoSize)
        setSizeToFit(-1, -1);
    content->setTopLeftPosition(getContentArea().getPosition());
}

void PanelComponent::componentMovedOrResized(juce::Component&, bool, bool)
{
    placeContent();
}

void PanelComponent::resized()
{
    placeContent();
}

void PanelComponent::lookAndFeelChanged()
{
    if (auto* methods = dynamic_cast<LookAndFeelMethods*>(&getLookAndFeel()))
        titleFont = methods->getPanelTitleFont();
    placeContent();
    repaint();
}

void PanelComponent::paint(juce::Graphics& g)
{
    const float w = (float) getWidth();
    const float h = (float) getHeight();
    const float t = (float) (int) (titleFont.getHeight() * 0.5f) + 0.5f;

    juce::Path frame;
    frame.startNewSubPath(5.5f, t);
    frame.lineTo(0.5f, t);
    frame.lineTo(0.5f, h - 0.5f);
    frame.lineTo(w - 0.5f, h - 0.5f);
    frame.lineTo(w - 0.5f, t);
    if (title.isNotEmpty())
        frame.lineTo((float) juce::jmin(getWidth() - 10, getTitleWidth() + 10) + 4.5f, t);
    else
        frame.closeSubPath();

    g.setColour(findPaletteColour(*this, DefaultLookAndFeel::panelFrameColourId));
    g.strokePath(frame.createPathWithRoundedCorners(kFrameCorner), juce::PathStrokeType(1.0f));

    g.setColour(textWhenEnabled(findColour(juce::Label::textColourId), isEnabled()));
    g.setFont(titleFont);
    g.drawText(title, 10, 0, getWidth() - 20, (int) std::ceil(titleFont.getHeight()), juce::Justification::topLeft,
               false);
}
