#include "toolkit/MidiNoteSelectKeyboard.h"

#include "toolkit/OnScreenTimer.h"

namespace
{
constexpr int kOctave = 12;
constexpr int kHighestNote = 127;
constexpr int kChannel = 1;
constexpr int kOctaveButtonSize = 18;
constexpr float kKeyWidth = 14.0f;
constexpr int kWhiteKeysPerOctave = 7;
constexpr int kDefaultHeight = 40;
// The C key's label, as JUCE sizes it: at most 12 px, squeezed into the key.
constexpr float kLabelHeight = 12.0f;
constexpr float kLabelSqueeze = 0.8f;

bool isNote(int n)
{
    return n >= 0 && n <= kHighestNote;
}
} // namespace

MidiNoteSelectKeyboard::Keyboard::Keyboard(MidiNoteSelectKeyboard& keyboardOwner, juce::MidiKeyboardState& state)
    : juce::MidiKeyboardComponent(state, juce::KeyboardComponentBase::horizontalKeyboard), owner(keyboardOwner)
{
    // Computer keys stay with the host: none of them plays or selects a note.
    clearKeyMappings();
    setWantsKeyboardFocus(false);
    OnScreenTimer::follow(*this);
}

void MidiNoteSelectKeyboard::Keyboard::drawWhiteNote(int midiNoteNumber, juce::Graphics& g,
                                                      juce::Rectangle<float> area, bool isDown, bool isOver,
                                                      juce::Colour lineColour, juce::Colour textColour)
{
    juce::MidiKeyboardComponent::drawWhiteNote(midiNoteNumber, g, area, isDown, isOver, lineColour,
                                               juce::Colours::transparentBlack);
    const auto text = getWhiteNoteText(midiNoteNumber);
    if (text.isEmpty())
        return;
    g.setColour(textColour);
    g.setFont(juce::Font(juce::jmin(kLabelHeight, getKeyWidth() * 0.9f), juce::Font::bold)
                  .withHorizontalScale(kLabelSqueeze));
    g.drawText(text, area.withTrimmedLeft(1.0f).withTrimmedBottom(2.0f), juce::Justification::centredBottom, false);
}

void MidiNoteSelectKeyboard::Keyboard::parentHierarchyChanged()
{
    juce::MidiKeyboardComponent::parentHierarchyChanged();
    OnScreenTimer::follow(*this);
}

bool MidiNoteSelectKeyboard::Keyboard::keyPressed(const juce::KeyPress&)
{
    return false;
}

bool MidiNoteSelectKeyboard::Keyboard::keyStateChanged(bool)
{
    return false;
}

// Each returns false so that the keyboard itself plays nothing: the chosen note
// is pressed on the state by setNote, and stays pressed after the mouse goes up.
bool MidiNoteSelectKeyboard::Keyboard::mouseDownOnKey(int midiNoteNumber, const juce::MouseEvent&)
{
    owner.setNote(midiNoteNumber);
    return false;
}

bool MidiNoteSelectKeyboard::Keyboard::mouseDraggedToKey(int midiNoteNumber, const juce::MouseEvent&)
{
    owner.setNote(midiNoteNumber);
    return false;
}

void MidiNoteSelectKeyboard::Keyboard::mouseUpOnKey(int midiNoteNumber, const juce::MouseEvent&)
{
    owner.setNote(midiNoteNumber);
}

MidiNoteSelectKeyboard::MidiNoteSelectKeyboard()
{
    for (auto* button : { &octaveDown, &octaveUp })
    {
        button->setSize(kOctaveButtonSize, kOctaveButtonSize);
        button->addListener(this);
        addAndMakeVisible(button);
    }

    keyboard = std::make_unique<Keyboard>(*this, keyboardState);
    keyboard->setAvailableRange(0, kOctave - 1);
    keyboard->setKeyWidth(kKeyWidth);
    keyboard->setScrollButtonsVisible(false);
    addAndMakeVisible(*keyboard);
    setKeyboardHeight(kDefaultHeight);
}

MidiNoteSelectKeyboard::~MidiNoteSelectKeyboard()
{
    octaveDown.removeListener(this);
    octaveUp.removeListener(this);
}

void MidiNoteSelectKeyboard::addListener(Listener* listener)
{
    if (listener != nullptr)
        listeners.add(listener);
}

void MidiNoteSelectKeyboard::removeListener(Listener* listener)
{
    listeners.remove(listener);
}

void MidiNoteSelectKeyboard::setKeyboardHeight(int height)
{
    if (height < 0)
        height = keyboard->getHeight();
    keyboard->setSize((int) (keyboard->getKeyWidth() * kWhiteKeysPerOctave) + 1, height);
    setSize(2 * octaveDown.getWidth() + keyboard->getWidth(), height);
}

void MidiNoteSelectKeyboard::resized()
{
    keyboard->setBounds(octaveDown.getWidth(), 0, keyboard->getWidth(), getHeight());
    octaveDown.setTopLeftPosition(0, getHeight() / 2 - octaveDown.getHeight() / 2);
    octaveUp.setTopLeftPosition(getWidth() - octaveUp.getWidth(), getHeight() / 2 - octaveUp.getHeight() / 2);
}

void MidiNoteSelectKeyboard::showRange(int lowest)
{
    keyboard->setAvailableRange(lowest, lowest + kOctave - 1);
}

void MidiNoteSelectKeyboard::buttonClicked(juce::Button* button)
{
    const int lowest = keyboard->getRangeStart();
    if (button == &octaveDown)
    {
        showRange(lowest >= kOctave ? kOctave * (lowest / kOctave - 1) : 0);
    }
    else if (button == &octaveUp)
    {
        const int top = juce::jmin(kOctave * (lowest / kOctave + 1) + kOctave - 1, kHighestNote);
        showRange(top - (kOctave - 1));
    }
}

void MidiNoteSelectKeyboard::setNote(int newNote)
{
    showNote(newNote, true);
}

void MidiNoteSelectKeyboard::showNote(int newNote, bool writeParameter)
{
    if (isNote(note))
        keyboardState.noteOff(kChannel, note, 0.0f);
    if (isNote(newNote))
        keyboardState.noteOn(kChannel, newNote, 1.0f);

    const bool changed = newNote != note;
    note = newNote;
    if (isNote(note))
    {
        const int top = juce::jmin(kOctave * (note / kOctave) + kOctave - 1, kHighestNote);
        showRange(top - (kOctave - 1));
    }
    if (!changed)
        return;

    // Written before anybody is told, since a listener may delete the keyboard.
    if (writeParameter)
        setParameterIntValue(newNote);
    const juce::Component::BailOutChecker checker(this);
    listeners.callChecked(checker, [this](Listener& l) { l.noteChanged(this); });
}

void MidiNoteSelectKeyboard::updateFromParameter(Parameter* p)
{
    // Shown without writing back: the processor writes learned notes from the
    // audio thread, so the value may have moved on since this update was
    // sent, and writing the older one would undo the newer.
    if (p != nullptr)
        showNote(p->getIntValue(), false);
}
