#include "SkinTestSupport.h"
#include "core/FloatParameter.h"
#include "skin/GFXDisplay.h"
#include "skin/GFXDisplayFloat.h"
#include "skin/GFXMidiChannelDisplay.h"
#include "skin/NoteDisplay.h"
#include "skin/NumericDisplay.h"
#include "skin/PatternNumberDisplay.h"
#include "skin/TextInput.h"

using SkinDisplayTests = SkinFixture;

namespace
{
struct EditRecorder : GFXDisplay::Listener
{
    void displayTextEdited(GFXDisplay* display) override { edits.add(display->getText()); }
    juce::StringArray edits;
};

void type(juce::Component& c, const juce::String& keys)
{
    for (auto ch : keys)
        c.keyPressed(juce::KeyPress((int) juce::CharacterFunctions::toUpperCase(ch), 0, ch));
}
} // namespace

TEST_F(SkinDisplayTests, BitmapFontGlyphsComeFromTheFontImage)
{
    host.builtIn["font.png"] = SkinTest::makeStripPng(10, 200, 20);
    auto panel = loadPanel(R"(<Display name="d" readonly="yes">
        <size width="40" height="12"/><gfx resource="font.png" fontHeight="10" firstASCII="0"/></Display>
        <Display name="flat"><gfx resource="font.png" fontHeight="0"/></Display>
        <Display name="tall"><gfx resource="font.png" fontHeight="99999999"/><size width="3" height="3"/></Display>
        <Display name="filled" backgroundColour="FF202020"/>)");
    auto* display = find<GFXDisplay>(*panel, "d");
    EXPECT_EQ(display->getNumGlyphs(), 10);
    EXPECT_EQ(display->getLastCharacter(), (juce::juce_wchar) '9');
    EXPECT_EQ(display->getGlyphRow('A'), 9);
    EXPECT_EQ(display->getGlyphRow(' '), 0);
    EXPECT_EQ(display->getGlyphRow('4'), 4);
    EXPECT_EQ(display->getNumVisibleCharacters(), 4);
    EXPECT_FALSE(display->isEnabled());
    EXPECT_EQ(find<GFXDisplay>(*panel, "flat")->getNumGlyphs(), 1);
    EXPECT_EQ(find<GFXDisplay>(*panel, "tall")->getNumGlyphs(), 1);
    EXPECT_TRUE(find<GFXDisplay>(*panel, "tall")->createComponentSnapshot({ 0, 0, 3, 3 }).isValid());

    // Without a background of its own a display lets its panel show through, so
    // it must not claim to cover what lies behind it.
    EXPECT_FALSE(display->isOpaque());
    EXPECT_TRUE(find<GFXDisplay>(*panel, "filled")->isOpaque());
}

TEST_F(SkinDisplayTests, DisplayEditsOnlyWhileSomeoneListensForTheText)
{
    host.builtIn["font.png"] = SkinTest::makeStripPng(10, 200, 20);
    auto panel = loadPanel(R"(<Display name="d"><size width="40" height="12"/>
        <gfx resource="font.png" fontHeight="10" firstASCII="0"/></Display>)");
    auto* display = find<GFXDisplay>(*panel, "d");
    display->setText("12");

    // Nobody would receive the text: the display stays read-only.
    display->mouseDown(juce::MouseEvent(juce::Desktop::getInstance().getMainMouseSource(), {}, {}, 0, 0, 0, 0, 0,
                                        display, display, {}, {}, {}, 1, false));
    EXPECT_FALSE(display->getWantsKeyboardFocus());
    display->focusGained(juce::Component::focusChangedDirectly);
    EXPECT_FALSE(display->isEditing());
    EXPECT_FALSE(display->keyPressed(juce::KeyPress('5', 0, '5')));
    EXPECT_EQ(display->getText(), "12");

    EditRecorder recorder;
    display->addEditListener(&recorder);
    display->focusGained(juce::Component::focusChangedByTabKey);
    EXPECT_FALSE(display->isEditing());
    display->focusGained(juce::Component::focusChangedDirectly);
    ASSERT_TRUE(display->isEditing());
    type(*display, "3x4");
    EXPECT_EQ(display->getText(), "1234");
    display->keyPressed(juce::KeyPress(juce::KeyPress::escapeKey));
    EXPECT_FALSE(display->isEditing());
    EXPECT_EQ(display->getText(), "12");
    EXPECT_TRUE(recorder.edits.isEmpty());

    display->focusGained(juce::Component::focusChangedDirectly);
    display->keyPressed(juce::KeyPress(juce::KeyPress::homeKey));
    display->keyPressed(juce::KeyPress(juce::KeyPress::deleteKey));
    type(*display, "9");
    display->keyPressed(juce::KeyPress(juce::KeyPress::endKey));
    display->keyPressed(juce::KeyPress(juce::KeyPress::backspaceKey));
    display->keyPressed(juce::KeyPress(juce::KeyPress::returnKey));
    EXPECT_EQ(recorder.edits, juce::StringArray("9"));
    display->removeEditListener(&recorder);
}

TEST_F(SkinDisplayTests, FloatDisplayAvoidsEndingOnTheDecimalPoint)
{
    host.builtIn["font.png"] = SkinTest::makeStripPng(10, 200, 20);
    auto panel = loadPanel(R"(<DisplayFloat name="f"><size width="40" height="12"/>
        <gfx resource="font.png" fontHeight="10" firstASCII=" "/></DisplayFloat>)");
    auto* display = find<GFXDisplayFloat>(*panel, "f");
    FloatParameter wide(99, "Wide", 0.0f, 1000.0f, 0.0f);
    display->connectToParameter(&wide);
    const std::pair<float, const char*> table[] = { { 0.5f, "0.5" }, { 100.25f, " 100.25" }, { 12.5f, "12.5" } };
    for (const auto& [value, text] : table)
    {
        wide.setValue(value, true);
        TestHelpers::pumpMessages();
        EXPECT_EQ(display->getText(), text);
    }
    display->connectToParameter(nullptr);
}

TEST_F(SkinDisplayTests, MidiChannelDisplayShowsAllOrTheChannel)
{
    host.builtIn["ch.png"] = SkinTest::makeStripPng(10, 180, 18);
    auto panel = loadPanel(R"(<MidiChannelDisplay name="c"><gfx resource="ch.png" framesNum="18"/>
        <links><link as="connectedTo" param="Gain"/></links></MidiChannelDisplay>)");
    auto* channel = find<GFXMidiChannelDisplay>(*panel, "c");
    const std::tuple<float, const char*, int> table[] = { { 0.03f, "ALL", 1 }, { 1.0f, "16", 17 },
                                                          { 0.5f, "8", 9 } };
    for (const auto& [value, text, frame] : table)
    {
        host.parameter("Gain").setValue(value, true);
        TestHelpers::pumpMessages();
        EXPECT_EQ(channel->getChannelText(), text);
        EXPECT_EQ(channel->getCurrentFrame(), frame);
    }
    channel->setEnabled(false);
    EXPECT_EQ(channel->getCurrentFrame(), 0);
}

TEST_F(SkinDisplayTests, TextInputEditingModesAndCommit)
{
    auto panel = loadPanel(R"(
        <TextInput name="single"><size width="80" height="20"/><links><link as="connectedTo" param="Title"/></links>
            <font name="Tahoma" height="15" style="bold"/></TextInput>
        <TextInput name="double" editable="onDoubleClick"><size width="80" height="20"/></TextInput>
        <TextInput name="none" editable="no" backgroundColour="FF102030"><size width="80" height="20"/></TextInput>
        <TextInput name="odd"><font name="" height="nan" extraKerning="1e308"/></TextInput>)");
    auto* single = find<TextInput>(*panel, "single");
    auto* twice = find<TextInput>(*panel, "double");
    auto* none = find<TextInput>(*panel, "none");
    EXPECT_TRUE(single->getFont().isBold());
    EXPECT_FLOAT_EQ(single->getFont().getHeight(), 15.0f);
    EXPECT_EQ(none->findColour(TextInput::backgroundColourId), juce::Colour(0xff102030));
    // A font without a name or with measures that are no numbers keeps the default's.
    const auto oddFont = find<TextInput>(*panel, "odd")->getFont();
    EXPECT_TRUE(oddFont.getTypefaceName().isNotEmpty());
    EXPECT_TRUE(std::isfinite(oddFont.getHeight()));
    EXPECT_TRUE(std::isfinite(oddFont.getExtraKerningFactor()));

    mouseDown(*twice, { 5, 5 });
    EXPECT_FALSE(twice->isEditorVisible());
    twice->mouseDoubleClick(juce::MouseEvent(juce::Desktop::getInstance().getMainMouseSource(), {}, {}, 0, 0, 0, 0,
                                             0, twice, twice, {}, {}, {}, 2, false));
    EXPECT_TRUE(twice->isEditorVisible());
    bool childrenClick = true;
    none->getInterceptsMouseClicks(childrenClick, childrenClick);
    EXPECT_FALSE(childrenClick);

    // The editor takes the keyboard focus, which only a component on the screen can.
    if (! TestHelpers::prepareScreenForWindows())
        GTEST_SKIP() << "the rest needs a display (run under xvfb-run)";
    panel->setVisible(true);
    panel->addToDesktop(0);
    RecordingListener record;
    panel->addListener(&record);
    mouseDown(*single, { 5, 5 });
    auto* editor = single->getEditor();
    ASSERT_TRUE(single->isEditorVisible());
    ASSERT_TRUE(editor->hasKeyboardFocus(false));
    editor->setText("Long Echo", true);
    TestHelpers::pumpMessages();
    EXPECT_EQ(single->getText(), "Long Echo");
    editor->focusLost(juce::Component::focusChangedDirectly);
    EXPECT_EQ(host.parameter("Title").getText(), "Long Echo");
    EXPECT_EQ(record.log, juce::StringArray("valueChanged"));
    EXPECT_FALSE(single->isEditorVisible());

    host.parameter("Title").setText("Short", true);
    TestHelpers::pumpMessages();
    EXPECT_EQ(single->getText(), "Short");
    EXPECT_EQ(editor->getText(), "Short");
}

TEST_F(SkinDisplayTests, NumericDisplayShowsSignedAndFractionalValuesFromItsStrips)
{
    host.builtIn["digit.png"] = SkinTest::makeStripPng(8, 110, 11);
    host.builtIn["sign.png"] = SkinTest::makeStripPng(8, 20, 2);
    auto panel = loadPanel(R"(
        <NumericDisplay name="n" digitsNum="3" firstDigitOrder="10" minValue="-50" maxValue="50">
            <links><link as="connectedTo" param="Level"/></links>
            <sign><gfx resource="sign.png"/></sign><digits resource="digit.png"/><pos left="4" top="6"/>
        </NumericDisplay>
        <NumericDisplay name="odd" digitsNum="2" firstDigitOrder="30" maxValue="99"><size width="40" height="10"/>
        </NumericDisplay>)");
    auto* display = find<NumericDisplay>(*panel, "n");
    ASSERT_EQ(display->getNumDigits(), 3);
    ASSERT_NE(display->getSign(), nullptr);
    EXPECT_EQ(display->getBounds(), juce::Rectangle<int>(4, 6, 32, 10));

    struct Row
    {
        float value;
        int sign, d0, d1, d2;
    };
    // Frame 0 is blank, frame k + 1 shows the digit k.
    const Row rows[] = { { -2.5f, 1, 0, 3, 6 }, { 0.4f, 0, 0, 1, 5 }, { 42.0f, 0, 5, 3, 1 }, { 99.0f, 0, 6, 1, 1 } };
    for (const auto& row : rows)
    {
        host.parameter("Level").setValue(row.value, true);
        TestHelpers::pumpMessages();
        EXPECT_EQ(display->getSign()->getCurrentFrame(), row.sign) << row.value;
        EXPECT_EQ(display->getDigit(0)->getCurrentFrame(), row.d0) << row.value;
        EXPECT_EQ(display->getDigit(1)->getCurrentFrame(), row.d1) << row.value;
        EXPECT_EQ(display->getDigit(2)->getCurrentFrame(), row.d2) << row.value;
    }

    auto* odd = find<NumericDisplay>(*panel, "odd");
    EXPECT_DOUBLE_EQ(odd->getFirstDigitOrder(), 10.0);
    EXPECT_EQ(odd->getSign(), nullptr);
    EXPECT_EQ(odd->getDigit(1)->getWidth(), 20);
}

TEST_F(SkinDisplayTests, NumericDisplayDragStepsByTheDigitUnderThePointer)
{
    auto panel = loadPanel(R"(<NumericDisplay name="n" digitsNum="3" firstDigitOrder="100" maxValue="999">
        <size width="60" height="10"/><links><link as="connectedTo" param="Level"/></links></NumericDisplay>
        <NumericDisplay name="c" digitsNum="3" firstDigitOrder="100" maxValue="999" control="continous">
        <size width="60" height="10"/></NumericDisplay>
        <NumericDisplay name="s" digitsNum="2" firstDigitOrder="10" minValue="-99" maxValue="99">
        <size width="30" height="10"/></NumericDisplay>)");
    auto* display = find<NumericDisplay>(*panel, "n");
    RecordingListener record;
    host.parameter("Level").addListener(&record);

    dragBy(*display, { 55, 5 }, -25);
    EXPECT_DOUBLE_EQ(display->getValue(), 2.0);
    EXPECT_EQ(record.log, juce::StringArray({ "begin", "param 2", "end" }));
    dragBy(*display, { 5, 5 }, -10);
    EXPECT_DOUBLE_EQ(display->getValue(), 102.0);
    dragBy(*display, { 5, 5 }, 99);
    EXPECT_DOUBLE_EQ(display->getValue(), 0.0);

    auto* continuous = find<NumericDisplay>(*panel, "c");
    dragBy(*continuous, { 55, 5 }, -30);
    EXPECT_DOUBLE_EQ(continuous->getValue(), 30.0);

    // With a sign cell in front, the digit under the pointer is still the one
    // whose place the drag steps: x 18 is over the tens.
    auto* withSign = find<NumericDisplay>(*panel, "s");
    dragBy(*withSign, { 18, 5 }, -10);
    EXPECT_DOUBLE_EQ(withSign->getValue(), -89.0);
    dragBy(*withSign, { 5, 5 }, -10);
    EXPECT_DOUBLE_EQ(withSign->getValue(), -79.0) << "the sign cell steps like the first digit";
}

TEST_F(SkinDisplayTests, NoteDisplayShowsAndDragsNotes)
{
    auto panel = loadPanel(R"(<NoteDisplay name="n"><size width="30" height="16"/>
        <links><link as="connectedTo" param="Note"/></links></NoteDisplay>)");
    auto* display = find<NoteDisplay>(*panel, "n");
    EXPECT_EQ(display->getBounds(), juce::Rectangle<int>(0, 0, 30, 16));
    EXPECT_EQ(display->getCellBounds(NoteDisplay::octavesCell).getX(), 20);

    host.parameter("Note").setIntValue(61, true);
    TestHelpers::pumpMessages();
    EXPECT_EQ(display->getCurrentFrames(), (std::array<int, 3> { 1, 1, 6 }));

    dragBy(*display, { 5, 5 }, -45);
    EXPECT_EQ(host.parameter("Note").getIntValue(), 63);
    dragBy(*display, { 5, 5 }, -20000);
    EXPECT_EQ(display->getNote(), 127);
    dragBy(*display, { 5, 5 }, 20000);
    EXPECT_EQ(display->getNote(), 0);
    display->setEnabled(false);
    EXPECT_EQ(display->getCurrentFrames(), (std::array<int, 3> { 0, 0, 0 }));
}

TEST_F(SkinDisplayTests, PatternDigitsStayWithinTheirStrips)
{
    host.builtIn["d1.png"] = SkinTest::makeStripPng(10, 120, 12);
    host.builtIn["d4.png"] = SkinTest::makeStripPng(10, 110, 11);
    auto panel = loadPanel(R"(<PatternNumberDisplay name="p" notePatternMin="12">
        <gfx firstDigit="d1.png" fourthDigit="d4.png"/><links><link as="connectedTo" param="Note"/></links>
        </PatternNumberDisplay>
        <PatternNumberDisplay name="plain"/>)");
    auto* display = find<PatternNumberDisplay>(*panel, "p");
    ASSERT_NE(display->getDigit(3), nullptr);
    EXPECT_EQ(display->getBounds(), juce::Rectangle<int>(0, 0, 100, 40));
    EXPECT_EQ(display->getDigit(1)->getBounds(), juce::Rectangle<int>(10, 0, 25, 40));
    EXPECT_EQ(find<PatternNumberDisplay>(*panel, "plain")->getDigit(0), nullptr);

    const auto frames = [display] {
        juce::String s;
        for (int i = 0; i < 4; ++i)
            s << display->getDigit(i)->getFrame() << " ";
        return s.trim();
    };
    const std::pair<int, const char*> table[] = { { 61, "11 11 11 6" }, { 64, "11 13 12 6" },
                                                  { 127, "11 15 12 10" }, { 3, "11 11 12 2" } };
    for (const auto& [note, expected] : table)
    {
        host.parameter("Note").setIntValue(note, true);
        TestHelpers::pumpMessages();
        EXPECT_EQ(frames(), expected) << note;
    }
    EXPECT_EQ(display->getDigit(2)->getFrameText(11), "#");
    display->setEnabled(false);
    EXPECT_EQ(frames(), "0 0 0 0");
}
