#include "toolkit/MidiNoteAndChannelComponent.h"

#include "toolkit/DefaultLookAndFeel.h"

namespace
{
constexpr int kLearnButtonSize = 18;
constexpr int kRecordIcon = 24;
const juce::Colour kLearnRed { 0xFFFF0000 };
constexpr int kLabelHeight = 18;
constexpr int kLabelSideBorder = 4;
constexpr int kChooserHeight = 18;
constexpr int kKeyboardHeight = 50;
constexpr int kGap = 3;
constexpr int kNoteNameWidth = 30;
// Octave numbering in which note 60 is in octave 3.
constexpr int kMiddleCOctave = 3;

std::unique_ptr<juce::Drawable> recordIcon(bool red)
{
    auto icon = getIcon(kRecordIcon);
    if (icon != nullptr && red)
        icon->replaceColour(juce::Colours::black, kLearnRed);
    return icon;
}
} // namespace

MidiNoteAndChannelComponent::MidiNoteAndChannelComponent()
{
    channelChooser.getComboBoxButton().addListener(this);
    keyboard.addListener(this);

    learnButton.setSize(kLearnButtonSize, kLearnButtonSize);
    learnButton.setWantsKeyboardFocus(false);
    learnButton.setClickingTogglesState(true);
    learnButton.setColour(juce::TextButton::buttonOnColourId, kLearnRed);
    {
        const auto redIcon = recordIcon(true);
        const auto plainIcon = recordIcon(false);
        learnButton.setImages(redIcon.get(), redIcon.get(), plainIcon.get(), nullptr, plainIcon.get(),
                              plainIcon.get(), plainIcon.get());
    }

    noteLabel.setBorderSize({ 0, kLabelSideBorder, 0, kLabelSideBorder });
    noteLabel.changeWidthToFitText(kLabelHeight);
    noteLabel.setJustificationType(juce::Justification(juce::Justification::right | juce::Justification::verticallyCentred));

    addAndMakeVisible(channelChooser);
    addAndMakeVisible(keyboard);
    addAndMakeVisible(noteLabel);
    addAndMakeVisible(learnButton);
    layout();
}

MidiNoteAndChannelComponent::~MidiNoteAndChannelComponent()
{
    channelChooser.getComboBoxButton().removeListener(this);
    keyboard.removeListener(this);
}

void MidiNoteAndChannelComponent::setParameters(EnumParameter* channel, NoteParameter* note, BoolParameter* learn)
{
    // The chooser keeps its "All", "1" to "16" menu: bound as a plain controller,
    // not through ComboBoxButton::setParameter, which would take the choice texts.
    channelChooser.getComboBoxButton().ParameterController::setParameter(channel);
    keyboard.setParameter(note);
    learnButton.setParameter(learn);
}

void MidiNoteAndChannelComponent::noteChanged(MidiNoteSelectKeyboard*)
{
    repaint(getNoteNameArea());
}

juce::Rectangle<int> MidiNoteAndChannelComponent::getNoteNameArea() const
{
    return { noteLabel.getRight(), noteLabel.getY(), kNoteNameWidth, noteLabel.getHeight() };
}

void MidiNoteAndChannelComponent::lookAndFeelChanged()
{
    if (auto* laf = dynamic_cast<DefaultLookAndFeel*>(&getLookAndFeel()))
        noteFont = laf->getDefaultFont().boldened();
    noteLabel.setColour(juce::Label::textColourId, getLookAndFeel().findColour(juce::Label::textColourId));
    layout();
}

void MidiNoteAndChannelComponent::layout()
{
    noteLabel.changeWidthToFitText(-1);
    channelChooser.setComboHeight(kChooserHeight);
    keyboard.setKeyboardHeight(kKeyboardHeight);

    // The chooser ends where the octave-up button starts. When "MIDI channel"
    // and the chooser are wider than that, everything moves right instead of
    // the label being cut at the left edge.
    const int octaveUpX = keyboard.getOctaveUpButton().getX();
    const int keyboardX = juce::jmax(0, channelChooser.getWidth() - octaveUpX);
    keyboard.setTopLeftPosition(keyboardX, channelChooser.getHeight() + kGap);
    const int rightEdge = keyboard.getX() + octaveUpX;
    channelChooser.setTopLeftPosition(rightEdge - channelChooser.getWidth(), 0);

    const int y2 = keyboard.getBottom() + kGap;
    learnButton.setTopLeftPosition(rightEdge - learnButton.getWidth(), y2);
    noteLabel.setTopLeftPosition(keyboard.getX() + (keyboard.getWidth() - learnButton.getWidth()) / 2
                                     - (noteLabel.getWidth() + kNoteNameWidth) / 2,
                                 y2);
    setSize(keyboard.getRight(), learnButton.getBottom());
}

void MidiNoteAndChannelComponent::paint(juce::Graphics& g)
{
    const int note = keyboard.getNote();
    if (note < 0 || note > 127)
        return;
    g.setFont(noteFont);
    g.setColour(getLookAndFeel().findColour(juce::Label::textColourId));
    g.drawText(juce::MidiMessage::getMidiNoteName(note, true, true, kMiddleCOctave), getNoteNameArea(),
               juce::Justification::centredLeft, false);
}
