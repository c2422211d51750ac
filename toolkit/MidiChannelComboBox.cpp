#include "toolkit/MidiChannelComboBox.h"

namespace
{
constexpr int kAllChannels = 0;
constexpr int kChannels = 16;
constexpr int kLabelSideBorder = 6;
} // namespace

MidiChannelComboBox::MidiChannelComboBox()
{
    label.setJustificationType(juce::Justification(juce::Justification::right | juce::Justification::verticallyCentred));
    label.setBorderSize({ 0, kLabelSideBorder, 0, kLabelSideBorder });
    label.setTopLeftPosition(0, 0);

    PopupMenuEx channels { juce::String() };
    channels.addItem(kAllChannels, "All", false, true);
    for (int channel = 1; channel <= kChannels; ++channel)
        channels.addItem(channel, juce::String(channel), false, true);
    chooser.setMenu(channels, false);

    addAndMakeVisible(label);
    addAndMakeVisible(chooser);
}

void MidiChannelComboBox::setComboHeight(int height)
{
    if (height < 0)
        height = getHeight();
    chooser.setWidthToFitItems(height);
    label.changeWidthToFitText(height);
    label.setTopLeftPosition(0, 0);
    chooser.setTopLeftPosition(label.getWidth(), 0);
    setSize(label.getWidth() + chooser.getWidth(), height);
}

void MidiChannelComboBox::lookAndFeelChanged()
{
    label.setColour(juce::Label::textColourId, getLookAndFeel().findColour(juce::Label::textColourId));
    setComboHeight(-1);
}
