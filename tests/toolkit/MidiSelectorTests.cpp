#include "MenuTestSupport.h"
#include "TestHelpers.h"
#include "core/BoolParameter.h"
#include "core/EnumParameter.h"
#include "core/NoteParameter.h"
#include "toolkit/MidiNoteAndChannelComponent.h"

#include <utility>

namespace
{
struct NoteCounter : MidiNoteSelectKeyboard::Listener
{
    void noteChanged(MidiNoteSelectKeyboard*) override { ++changes; }
    int changes = 0;
};

juce::Range<int> shownRange(MidiNoteSelectKeyboard& k)
{
    return { k.getKeyboard().getRangeStart(), k.getKeyboard().getRangeEnd() };
}

// The keyboard finds the key under the mouse only on a real window, so the
// tests drive its key hooks with the note.
void pressKey(MidiNoteSelectKeyboard& k, int note)
{
    auto& keys = k.getKeyboard();
    const juce::Point<float> at { 7.0f, 30.0f };
    const auto now = juce::Time::getCurrentTime();
    const juce::MouseEvent e(juce::Desktop::getInstance().getMainMouseSource(), at,
                             juce::ModifierKeys::leftButtonModifier, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, &keys, &keys, now,
                             at, now, 1, false);
    EXPECT_FALSE(keys.mouseDownOnKey(note, e)) << "the keyboard itself plays nothing";
    keys.mouseUpOnKey(note, e);
    TestHelpers::pumpMessages();
}
} // namespace

using MidiSelectorTest = ToolkitTest;

TEST_F(MidiSelectorTest, TheKeyboardShowsTheOctaveOfTheChosenNote)
{
    MidiNoteSelectKeyboard keyboard;
    EXPECT_EQ(keyboard.getBounds(), juce::Rectangle<int>(0, 0, 2 * 18 + 99, 40));
    EXPECT_EQ(keyboard.getNote(), -1);

    // note >= -1: setNote; -2: octave up; -3: octave down.
    const struct
    {
        int note;
        juce::Range<int> range;
    } steps[] = { { -3, { 0, 11 } },   { 127, { 116, 127 } }, { -2, { 116, 127 } }, { -3, { 96, 107 } },
                  { 60, { 60, 71 } },  { -2, { 72, 83 } },    { -1, { 72, 83 } } };
    for (const auto& s : steps)
    {
        if (s.note < -1)
            click(s.note == -2 ? keyboard.getOctaveUpButton() : keyboard.getOctaveDownButton(), { 9, 9 });
        else
            keyboard.setNote(s.note);
        EXPECT_EQ(shownRange(keyboard), s.range) << s.note;
    }
    for (int n = 0; n < 128; ++n)
        ASSERT_FALSE(keyboard.getKeyboardState().isNoteOnForChannels(0xffff, n)) << "no held key left: " << n;
}

TEST_F(MidiSelectorTest, APressedKeySelectsItAndWritesTheParameterOnce)
{
    NoteParameter note(105, "Retrigger note", "C-5");
    ParameterWrites writes;
    note.addListener(&writes);
    MidiNoteSelectKeyboard keyboard;
    NoteCounter changes;
    keyboard.addListener(&changes);

    keyboard.setParameter(&note);
    note.setIntValue(64, true); // the host
    TestHelpers::pumpMessages();
    EXPECT_EQ(keyboard.getNote(), 64);
    EXPECT_EQ(writes.count, 1);

    pressKey(keyboard, 60);
    EXPECT_EQ(note.getIntValue(), 60);
    EXPECT_EQ(writes.count, 2);
    EXPECT_TRUE(keyboard.getKeyboardState().isNoteOn(1, 60)) << "held after the mouse is up";
    EXPECT_FALSE(keyboard.getKeyboardState().isNoteOn(1, 64));
    pressKey(keyboard, 60);
    EXPECT_EQ(writes.count, 2);
    EXPECT_EQ(changes.changes, 3) << "bound at C-5, moved by the host, chosen by the user";
}

TEST_F(MidiSelectorTest, ComputerKeysAreLeftToTheHost)
{
    MidiNoteAndChannelComponent chooser;
    auto& keys = chooser.getKeyboard().getKeyboard();
    chooser.getKeyboard().setNote(62);
    EXPECT_FALSE(keys.getWantsKeyboardFocus());
    for (auto key : { juce::KeyPress('a'), juce::KeyPress('w'), juce::KeyPress(juce::KeyPress::spaceKey),
                      juce::KeyPress('z', juce::ModifierKeys::ctrlModifier, 0) })
    {
        EXPECT_FALSE(keys.keyPressed(key)) << key.getTextDescription();
        EXPECT_FALSE(chooser.keyPressed(key)) << key.getTextDescription();
    }
    EXPECT_FALSE(keys.keyStateChanged(true));
    EXPECT_EQ(chooser.getKeyboard().getNote(), 62);
}

TEST_F(MidiSelectorTest, TheCombinedChooserBindsChannelNoteAndLearn)
{
    EnumParameter channel(105, "Retrigger channel", "All;1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16", "All");
    NoteParameter note(106, "Retrigger note", "C-5");
    BoolParameter learn(116, "Retrigger learn", "OFF");
    ParameterWrites learnWrites;
    learn.addListener(&learnWrites);
    MidiNoteAndChannelComponent chooser;
    chooser.setParameters(&channel, &note, &learn);

    auto& box = chooser.getChannelChooser().getComboBoxButton();
    EXPECT_EQ(box.getText(), "All");
    EXPECT_EQ(box.getActiveMenu().getNumItems(), 17);
    channel.setIntValue(10, true);
    TestHelpers::pumpMessages();
    EXPECT_EQ(box.getText(), "10");

    // Keyboard under the chooser, learn toggle under the keyboard, both ending
    // at the octave-up button; "MIDI channel" is never pushed out at the left.
    auto& keyboard = chooser.getKeyboard();
    auto& channelRow = chooser.getChannelChooser();
    EXPECT_GE(channelRow.getX(), 0);
    EXPECT_EQ(keyboard.getBounds().withX(0), juce::Rectangle<int>(0, 21, 135, 50));
    const int rightEdge = keyboard.getX() + keyboard.getOctaveUpButton().getX();
    EXPECT_EQ(channelRow.getBounds().getTopRight(), juce::Point<int>(rightEdge, 0));
    EXPECT_EQ(chooser.getLearnButton().getBounds(), juce::Rectangle<int>(rightEdge - 18, 74, 18, 18));
    EXPECT_EQ(chooser.getBounds().getBottomRight(), juce::Point<int>(keyboard.getRight(), 92));

    click(chooser.getLearnButton(), { 9, 9 });
    EXPECT_TRUE(learn.getBoolValue());
    EXPECT_EQ(learnWrites.count, 1);
    learn.setBoolValue(false, true);
    TestHelpers::pumpMessages();
    EXPECT_FALSE(chooser.getLearnButton().getToggleState());
}

TEST_F(MidiSelectorTest, AnOutsideChangeIsShownWithoutBeingWrittenBack)
{
    NoteParameter note(105, "Retrigger note", "C-5");
    MidiNoteSelectKeyboard keyboard;
    keyboard.setParameter(&note);

    // The processor learns notes on the audio thread: a second one arrives
    // while the keyboard is still taking in the first.
    struct SecondNote : MidiNoteSelectKeyboard::Listener
    {
        explicit SecondNote(NoteParameter& p) : parameter(p) {}
        void noteChanged(MidiNoteSelectKeyboard*) override
        {
            if (std::exchange(pending, false))
                parameter.setIntValue(67, true);
        }
        NoteParameter& parameter;
        bool pending = true;
    } secondNote(note);
    keyboard.addListener(&secondNote);

    note.setIntValue(64, true);
    TestHelpers::pumpMessages();
    EXPECT_EQ(note.getIntValue(), 67) << "the newer note stays";
    EXPECT_EQ(keyboard.getNote(), 67);
    EXPECT_TRUE(keyboard.getKeyboardState().isNoteOn(1, 67));
    EXPECT_FALSE(keyboard.getKeyboardState().isNoteOn(1, 64));
}
