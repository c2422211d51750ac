#include "SkinTestSupport.h"
#include "core/XmlHelpers.h"
#include "skin/GFXKnob.h"

// Skin XML is input from outside: every mutation of a valid skin must load
// (or be refused) without a crash, and every control it makes must draw and
// take the mouse and the keyboard. Run under AddressSanitizer to catch what
// would otherwise pass silently.
namespace
{
const char* const validSkin = R"(
<PluginEditor application="Tavinor">
  <Panel name="MainPanel">
    <gfx resource="back.png" transparent="no"/><size width="400" height="300"/>
    <controls ofsX="2" ofsY="3">
      <Knob name="Knob"><gfx resource="strip.png" framesNum="5"/><pos left="10" top="10"/>
        <links><link as="connectedTo" param="Gain"/></links></Knob>
      <PitchBender name="Bend"><size width="20" height="40"/><links><link as="connectedTo" param="Mix"/></links></PitchBender>
      <ModWheel name="Wheel"><gfx resource="odd.png" framesNum="3"/></ModWheel>
      <Switch name="Switch" style="Horizontal"><gfx resource="strip.png" framesNum="3"/>
        <links><link as="connectedTo" param="Mode"/></links></Switch>
      <Rocker name="Rocker" type="horizontal"><gfx resource="strip.png" framesNum="3"/>
        <actions><action type="onLessClick" event="Less"/><action type="onMoreClick" event="More"/></actions></Rocker>
      <Animation name="Lamp"><gfx resource="strip.png" framesNum="2"/><links><link as="connectedTo" param="Level"/></links></Animation>
      <Button name="Button" clickEvent="onPress" autorepeat="yes"><gfx resource="strip.png" framesNum="2"/>
        <actions><action type="onClick" event="Click"/><action type="onRightClick" event="Right Click"/></actions></Button>
      <ToggleButton name="Toggle" style="3D" radioGroupId="3"><gfx resource="strip.png"/>
        <links><link as="connectedTo" param="Bypass"/></links></ToggleButton>
      <MultiStateButton name="Multi" states="3" style="2D" radioGroupId="3"><gfx resource="strip.png"/>
        <actions><action type="onClickWithShift" event="Shift Click"/></actions></MultiStateButton>
      <Display name="Display" caretColour="FFFF0000" backgroundColour="FF000000" readonly="no">
        <gfx resource="font.png" fontHeight="10" firstASCII="0"/><pos left="100" top="5"/><size width="50" height="12"/>
        <links><link as="connectedTo" param="Title"/></links></Display>
      <DisplayFloat name="Float"><gfx resource="font.png" fontHeight="10" firstASCII=" "/><size width="40" height="12"/>
        <links><link as="connectedTo" param="Level"/></links></DisplayFloat>
      <MidiChannelDisplay name="Channel"><gfx resource="strip.png" framesNum="18"/>
        <links><link as="connectedTo" param="Gain"/></links></MidiChannelDisplay>
      <TextInput name="Text" editable="onClick" textColour="FF00FF00"><font name="Tahoma" height="14" style="bold"/>
        <pos left="5" top="200"/><size width="120" height="20"/><links><link as="connectedTo" param="Title"/></links></TextInput>
      <NumericDisplay name="Numeric" digitsNum="3" firstDigitOrder="10" minValue="-50" maxValue="50" control="continous">
        <sign><gfx resource="odd.png"/></sign><digits><gfx resource="strip.png"/><gfx resource="odd.png"/></digits>
        <size width="40" height="10"/><links><link as="connectedTo" param="Level"/></links></NumericDisplay>
      <NoteDisplay name="Note"><size width="30" height="12"/>
        <gfx><notes resource="strip.png"/><tones resource="odd.png"/><octaves resource="tiny.png"/></gfx>
        <links><link as="connectedTo" param="Note"/></links></NoteDisplay>
      <PatternNumberDisplay name="Pattern" notePatternMin="0" notePatternMax="127" slotMax="12">
        <gfx firstDigit="strip.png" secondDigit="odd.png" thirdDigit="tiny.png"/>
        <links><link as="connectedTo" param="Note"/></links></PatternNumberDisplay>
      <MidiKeyboard name="Keys" firstKey="60" lastKey="71"><size width="140" height="60"/><pos left="10" top="230"/>
        <Keys><Key left="1" right="1"><gfx resource="strip.png" framesNum="8"/><size width="20" height="60"/>
                <pos left="10" top="230"/></Key>
              <Key right="2"><gfx resource="odd.png" framesNum="2"/><size width="12" height="40"/><pos left="24" top="230"/></Key>
        </Keys></MidiKeyboard>
      <ModulationMatrix name="Matrix"><size width="400" height="150"/><pos left="0" top="100"/></ModulationMatrix>
      <Panel name="Inner"><gfx transparent="yes"/><size width="100" height="60"/><pos left="200" top="150"/>
        <controls ofsX="-4"><Knob name="InnerKnob"><size width="30" height="30"/></Knob></controls></Panel>
    </controls>
  </Panel>
</PluginEditor>)";

const char* const nastyValues[] = { "", "0", "-1", "1", "2", "-0", "99999999999", "-99999999999", "2147483647",
                                    "-2147483648", "nan", "inf", "-inf", "1e308", "0.0000001", "abc", "3D", "yes",
                                    "continous", "onPress", "  12", "+7", "\xc3\xa9\xe2\x82\xac", "FFFFFFFF",
                                    "strip.png", "font.png", "missing.png", "Gain", "Toggle Midi Learn" };

const char* const tags[] = { "Knob", "Switch", "Animation", "Button", "ToggleButton", "MultiStateButton", "Display",
                             "DisplayFloat", "Rocker", "Panel", "NumericDisplay", "NoteDisplay",
                             "PatternNumberDisplay", "PitchBender", "ModWheel", "MidiChannelDisplay", "TextInput",
                             "MidiKeyboard", "ModulationMatrix", "Keys", "Key", "gfx", "size", "pos", "controls",
                             "links", "link", "digits", "sign", "Unknown" };

void collect(juce::XmlElement& element, juce::Array<juce::XmlElement*>& all)
{
    for (auto* child : element.getChildIterator())
    {
        if (child->isTextElement())
            continue;
        all.add(child);
        collect(*child, all);
    }
}

juce::XmlElement* findParentOf(juce::XmlElement& root, juce::XmlElement* target)
{
    for (auto* child : root.getChildIterator())
    {
        if (child == target)
            return &root;
        if (auto* found = findParentOf(*child, target))
            return found;
    }
    return nullptr;
}

void mutate(juce::XmlElement& root, juce::Random& random)
{
    juce::Array<juce::XmlElement*> all;
    collect(root, all);
    if (all.isEmpty())
        return;
    auto* element = all[random.nextInt(all.size())];
    const auto pick = [&random](const auto& array) { return array[random.nextInt((int) std::size(array))]; };

    switch (random.nextInt(6))
    {
        case 0: // a strange value for an attribute that is there, or a new one
        {
            const int count = element->getNumAttributes();
            const auto name = count > 0 && random.nextBool() ? element->getAttributeName(random.nextInt(count))
                                                             : juce::String(pick(tags));
            element->setAttribute(name, random.nextInt(8) == 0 ? juce::String::repeatedString("9", 400)
                                                                : juce::String::fromUTF8(pick(nastyValues)));
            break;
        }
        case 1: // an attribute dropped
            if (element->getNumAttributes() > 0)
                element->removeAttribute(element->getAttributeName(random.nextInt(element->getNumAttributes())));
            break;
        case 2: // an element dropped
            if (auto* parent = findParentOf(root, element))
                parent->removeChildElement(element, true);
            break;
        case 3: // an element renamed to another part of the vocabulary
            element->setTagName(pick(tags));
            break;
        case 4: // an element copied, or copied into itself
            if (auto* parent = findParentOf(root, element))
                (random.nextBool() ? parent : element)->addChildElement(new juce::XmlElement(*element));
            break;
        default: // an empty element of any tag added
            element->addChildElement(new juce::XmlElement(pick(tags)));
            break;
    }
}

void exercise(juce::Component& component, int depth = 0)
{
    if (depth > 40)
        return;
    for (auto* child : component.getChildren())
    {
        // A pointer can only reach what has an area.
        if (child->getWidth() < 1 || child->getHeight() < 1)
            continue;
        const juce::Point<int> middle(child->getWidth() / 2, child->getHeight() / 2);
        const auto time = juce::Time::getCurrentTime();
        const auto source = juce::Desktop::getInstance().getMainMouseSource();
        const auto mods = juce::ModifierKeys(juce::ModifierKeys::leftButtonModifier | juce::ModifierKeys::shiftModifier);
        const juce::MouseEvent down(source, middle.toFloat(), mods, 0, 0, 0, 0, 0, child, child, time,
                                    middle.toFloat(), time, 1, false);
        const juce::MouseEvent drag(source, middle.translated(3, -37).toFloat(), mods, 0, 0, 0, 0, 0, child, child,
                                    time, middle.toFloat(), time, 1, true);
        child->mouseDown(down);
        child->mouseDrag(drag);
        child->mouseUp(drag);
        child->mouseDoubleClick(down);
        child->keyPressed(juce::KeyPress('7', 0, '7'));
        child->keyPressed(juce::KeyPress(juce::KeyPress::backspaceKey));
        child->keyPressed(juce::KeyPress(juce::KeyPress::returnKey));
        exercise(*child, depth + 1);
    }
}
} // namespace

using SkinFuzzTests = SkinFixture;

TEST_F(SkinFuzzTests, MutatedSkinsLoadWithoutHarm)
{
    host.builtIn["back.png"] = SkinTest::makeStripPng(400, 300, 1);
    host.builtIn["strip.png"] = SkinTest::makeStripPng(20, 100, 5);
    host.builtIn["odd.png"] = SkinTest::makeStripPng(13, 37, 3);
    host.builtIn["tiny.png"] = SkinTest::makeStripPng(1, 1, 1);
    host.builtIn["font.png"] = SkinTest::makeStripPng(8, 200, 20);
    const auto original = juce::parseXML(validSkin);
    ASSERT_NE(original, nullptr);

    juce::Random random(20240607);
    int loaded = 0;
    constexpr int cases = 400;
    for (int i = 0; i < cases; ++i)
    {
        juce::XmlElement skin(*original);
        const int mutations = 1 + random.nextInt(6);
        for (int m = 0; m < mutations; ++m)
            mutate(skin, random);
        host.builtIn["skin.xml"] = SkinTest::toBlock(skin.toString());

        auto panel = SkinPackageLoader(host, {}).loadSkin();
        if (panel == nullptr)
            continue;
        ++loaded;
        RecordingListener listener;
        if (auto* gfx = dynamic_cast<GFXPanel*>(panel.get()))
            gfx->addListener(&listener);
        panel->setSize(juce::jmin(panel->getWidth(), 600), juce::jmin(panel->getHeight(), 600));
        panel->createComponentSnapshot(panel->getLocalBounds());
        exercise(*panel);
        for (auto* p : { &host.parameter("Gain"), &host.parameter("Level"), &host.parameter("Note"),
                         &host.parameter("Mode") })
            p->setNormalisedValue(random.nextFloat(), true);
        host.parameter("Title").setText("0123456789abc", true);
        TestHelpers::pumpMessages();
        panel->createComponentSnapshot(panel->getLocalBounds());
    }
    // Most mutations leave a skin that still loads.
    EXPECT_GT(loaded, cases / 2);
}

TEST_F(SkinFuzzTests, DamagedPicturesLoadWithoutHarm)
{
    // Pictures are input too: bytes changed, cut short or lengthened anywhere,
    // in the header, the checksums or the compressed data.
    const auto strip = SkinTest::makeStripPng(20, 100, 5);
    const auto skin = SkinTest::skinXml(R"(
        <Knob name="k"><gfx resource="strip.png" framesNum="5"/></Knob>
        <Animation name="a"><gfx resource="strip.png" framesNum="5"/></Animation>)");
    host.builtIn["skin.xml"] = SkinTest::toBlock(skin);

    juce::Random random(7031);
    int decoded = 0;
    for (int i = 0; i < 300; ++i)
    {
        auto data = strip;
        for (int m = 1 + random.nextInt(4); --m >= 0;)
            data[(size_t) random.nextInt((int) data.getSize())] = (char) random.nextInt(256);
        if (random.nextInt(4) == 0)
            data.setSize((size_t) random.nextInt((int) data.getSize()));
        else if (random.nextInt(8) == 0)
            data.append(strip.getData(), strip.getSize());
        host.builtIn["strip.png"] = data;

        auto panel = SkinPackageLoader(host, {}).loadSkin();
        ASSERT_NE(panel, nullptr);
        auto* knob = find<GFXKnob>(*panel, "k");
        decoded += knob->hasImageStrip() ? 1 : 0;
        panel->createComponentSnapshot(panel->getLocalBounds());
    }
    // Some damage (in ancillary bytes, say) still leaves a readable picture.
    EXPECT_GT(decoded, 0);
}
