#include "SkinPictures.h"
#include "SkinTestSupport.h"
#include "skin/ImageMidiKeyboard.h"

namespace
{
constexpr int kWhiteWidth = 20, kWhiteHeight = 80, kBlackWidth = 12, kBlackHeight = 50;

// A key strip of 8 frames for one neighbour on each side: released frames 0-3,
// pressed 4-7; within each half, bit 0 is a pressed left neighbour and bit 1 a
// pressed right one, which cast a shadow on this key's side.
juce::MemoryBlock makeKeyStrip(bool white)
{
    const int w = white ? kWhiteWidth : kBlackWidth;
    const int h = white ? kWhiteHeight : kBlackHeight;
    juce::Image image(juce::Image::ARGB, w, h * 8, true);
    juce::Graphics g(image);
    for (int frame = 0; frame < 8; ++frame)
    {
        const juce::Rectangle<int> r(0, frame * h, w, h);
        const bool pressed = frame >= 4;
        const auto face = white ? (pressed ? juce::Colour(0xFFFFC38A) : juce::Colour(0xFFF7F4EC))
                                : (pressed ? juce::Colour(0xFF8A4A1A) : juce::Colour(0xFF202020));
        g.setGradientFill(juce::ColourGradient(face.brighter(0.1f), 0.0f, (float) r.getY(), face.darker(0.15f), 0.0f,
                                               (float) r.getBottom(), false));
        g.fillRect(r);
        g.setColour(juce::Colours::black.withAlpha(0.35f));
        if ((frame & 1) != 0)
            g.fillRect(r.withWidth(3));
        if ((frame & 2) != 0)
            g.fillRect(r.withTrimmedLeft(w - 3));
        g.setColour(juce::Colour(0xFF303030));
        g.drawRect(r);
    }
    juce::MemoryOutputStream out;
    juce::PNGImageFormat().writeImageToStream(image, out);
    return out.getMemoryBlock();
}

// One octave from C4 (note 60): the keys in note order with their skin x.
juce::String octaveKeys(int left, int top)
{
    const struct
    {
        bool black;
        int x;
    } octave[] = { { false, 0 },  { true, 14 }, { false, 20 }, { true, 34 },  { false, 40 },  { false, 60 },
                   { true, 74 },  { false, 80 }, { true, 94 }, { false, 100 }, { true, 114 }, { false, 120 } };
    juce::String keys;
    for (const auto& k : octave)
        keys << "<Key left=\"1\" right=\"1\"><gfx resource=\"" << (k.black ? "black.png" : "white.png")
             << "\" framesNum=\"8\"/><size width=\"" << (k.black ? kBlackWidth : kWhiteWidth) << "\" height=\""
             << (k.black ? kBlackHeight : kWhiteHeight) << "\"/><pos left=\"" << left + k.x << "\" top=\"" << top
             << "\"/></Key>";
    return keys;
}

class ImageMidiKeyboardTest : public SkinFixture
{
protected:
    void SetUp() override
    {
        SkinFixture::SetUp();
        host.builtIn["white.png"] = makeKeyStrip(true);
        host.builtIn["black.png"] = makeKeyStrip(false);
    }

    ImageMidiKeyboard* loadKeyboard(const juce::String& attributes, const juce::String& keys)
    {
        panel = loadPanel("<MidiKeyboard name=\"keys\" " + attributes
                              + "><size width=\"140\" height=\"80\"/><pos left=\"10\" top=\"6\"/><Keys>" + keys
                              + "</Keys></MidiKeyboard>",
                          R"(<size width="160" height="92"/>)");
        if (panel == nullptr)
            return nullptr;
        // Shown, as in an editor, so that the mouse finds the keys.
        panel->setVisible(true);
        return find<ImageMidiKeyboard>(*panel, "keys");
    }

    std::unique_ptr<GFXPanel> panel;
};
} // namespace

TEST_F(ImageMidiKeyboardTest, TheSkinPlacesTheKeysOnTheirNotes)
{
    auto* keyboard = loadKeyboard(R"(firstKey="60" lastKey="71")", octaveKeys(10, 6));
    ASSERT_NE(keyboard, nullptr);
    EXPECT_EQ(keyboard->getBounds(), juce::Rectangle<int>(10, 6, 140, 80));
    EXPECT_EQ(keyboard->getRangeStart(), 60);
    EXPECT_EQ(keyboard->getRangeEnd(), 71);

    const auto& cSharp = keyboard->getKey(61);
    EXPECT_EQ(cSharp.frames, 8);
    EXPECT_EQ(cSharp.halfFrames, 4);
    EXPECT_EQ(cSharp.x, 14) << "stored relative to the keyboard";
    EXPECT_EQ(cSharp.y, 0);
    EXPECT_EQ(cSharp.width, kBlackWidth);
    EXPECT_EQ(keyboard->getKey(71).x, 120);
    EXPECT_FALSE(keyboard->getKey(72).image.isValid());
    EXPECT_EQ(keyboard->getKeyStartPosition(64), 40.0f) << "keys with a picture sit where the skin puts them";
}

TEST_F(ImageMidiKeyboardTest, FramesFollowTheKeyAndItsNeighbours)
{
    auto* keyboard = loadKeyboard(R"(firstKey="60" lastKey="71")", octaveKeys(10, 6));
    ASSERT_NE(keyboard, nullptr);
    auto& state = host.getKeyboardState();

    // D (62) with its neighbours C# (61) and D# (63).
    EXPECT_EQ(keyboard->getKey(62).currentFrame, 0);

    // Notes from the host reach the keys at the keyboard's next timer tick.
    state.noteOn(1, 63, 1.0f);
    EXPECT_EQ(keyboard->getKey(62).currentFrame, 0);
    keyboard->timerCallback();
    EXPECT_TRUE(keyboard->getKey(63).pressed);
    EXPECT_EQ(keyboard->getKey(62).currentFrame, 2) << "released, right neighbour pressed";
    EXPECT_EQ(keyboard->getKey(63).currentFrame, 4);

    state.noteOff(1, 63, 0.0f);
    state.noteOn(1, 61, 1.0f);
    keyboard->timerCallback();

    // A press on D plays it into the keyboard state. The framework finds keys
    // only in a component on the screen.
    if (! TestHelpers::prepareScreenForWindows())
        GTEST_SKIP() << "the rest needs a display (run under xvfb-run)";
    panel->addToDesktop(0);
    mouseDown(*keyboard, { 30, 70 });
    EXPECT_TRUE(state.isNoteOn(1, 62));
    EXPECT_EQ(keyboard->getKey(62).currentFrame, 5) << "pressed, left neighbour pressed";
    EXPECT_EQ(keyboard->getKey(61).currentFrame, 6) << "pressed, right neighbour pressed";
    mouseUp(*keyboard, { 30, 70 });
    EXPECT_FALSE(state.isNoteOn(1, 62));
    keyboard->timerCallback();
    EXPECT_EQ(keyboard->getKey(62).currentFrame, 1);
    state.allNotesOff(1);
    keyboard->timerCallback();
    EXPECT_EQ(keyboard->getKey(62).currentFrame, 0);

    // Typing keys play nothing.
    EXPECT_FALSE(keyboard->keyPressed(juce::KeyPress('a', {}, 'a')));
}

TEST_F(ImageMidiKeyboardTest, RangesAndKeyListsBeyondTheLimitsAreCut)
{
    const auto key = R"(<Key><gfx resource="white.png" framesNum="8"/><size width="20" height="80"/></Key>)";
    juce::String tenKeys;
    for (int i = 0; i < 10; ++i)
        tenKeys << key;

    auto* high = loadKeyboard(R"(firstKey="120" lastKey="127")", tenKeys);
    ASSERT_NE(high, nullptr);
    EXPECT_EQ(high->getKey(127).frames, 8) << "keys up to note 127 are read";
    EXPECT_EQ(high->getKey(119).frames, 0) << "and the rest dropped";

    // Without both ends, or with ends the framework cannot hold, the default
    // range stays and the keys start at its first note.
    for (const char* attributes : { R"(firstKey="60")", R"(lastKey="60")", R"(firstKey="200" lastKey="210")",
                                    R"(firstKey="70" lastKey="60")", R"(firstKey="-5" lastKey="60")" })
    {
        auto* keyboard = loadKeyboard(attributes, key);
        ASSERT_NE(keyboard, nullptr) << attributes;
        EXPECT_EQ(keyboard->getRangeStart(), 0) << attributes;
        EXPECT_EQ(keyboard->getRangeEnd(), 127) << attributes;
        EXPECT_EQ(keyboard->getKey(0).frames, 8) << attributes;
    }

    // Broken numbers: no frame count, a neighbour count no strip could serve.
    auto* odd = loadKeyboard(R"(firstKey="60" lastKey="61")",
                             R"(<Key left="99" right="-3"><gfx resource="white.png" framesNum="0"/>
                                  <size width="20" height="80"/></Key>
                                <Key left="1"><gfx resource="missing.png" framesNum="4"/></Key>)");
    ASSERT_NE(odd, nullptr);
    EXPECT_EQ(odd->getKey(60).frames, 1);
    EXPECT_EQ(odd->getKey(60).left, ImageMidiKeyboard::maxNeighbours);
    EXPECT_EQ(odd->getKey(60).right, 0);
    EXPECT_EQ(odd->getKey(61).frames, 0) << "no picture, no frames";
    odd->setKeyPressed(59, true);
    odd->setKeyPressed(61, true);
    EXPECT_EQ(odd->getKey(60).currentFrame, 128) << "the nearest left neighbour is the highest of 8 bits";
    EXPECT_GT(SkinPictures::countColours(SkinPictures::draw(*odd)), 1) << "a frame the strip lacks draws its last";

    // Any other tag gives an empty control.
    ImageMidiKeyboard other(host.getKeyboardState(), juce::MidiKeyboardComponent::horizontalKeyboard, "other");
    SkinPackageLoader loader(host, {});
    const auto element = juce::parseXML(R"(<Keyboard firstKey="60" lastKey="71"><size width="140" height="80"/></Keyboard>)");
    other.loadFromSkin(*element, loader);
    EXPECT_EQ(other.getWidth(), 0);
    EXPECT_EQ(other.getHeight(), 0);
    EXPECT_EQ(other.getRangeStart(), 0);
}

TEST_F(ImageMidiKeyboardTest, DrawsItsKeysFromTheSkin)
{
    auto* keyboard = loadKeyboard(R"(firstKey="60" lastKey="71")", octaveKeys(10, 6));
    ASSERT_NE(keyboard, nullptr);
    host.getKeyboardState().noteOn(1, 64, 1.0f);
    host.getKeyboardState().noteOn(1, 66, 1.0f);
    keyboard->timerCallback();

    EXPECT_EQ(keyboard->getKey(64).currentFrame, 4);
    const auto picture = SkinPictures::draw(*keyboard);
    EXPECT_GT(SkinPictures::countColours(picture), 20);
    // E (64) is pressed: its face shows the pressed colour, not the released one.
    EXPECT_GT(picture.getPixelAt(50, 70).getRed(), picture.getPixelAt(50, 70).getBlue() + 40);
    EXPECT_GT(picture.getPixelAt(90, 70).getBlue(), 200) << "G is released";
    SkinPictures::keep(SkinPictures::draw(*panel), "skin-midi-keyboard");
    host.getKeyboardState().allNotesOff(1);
}
