// Checks the built-in skin as the plug-in embeds it: the element names that
// the product editor binds, the images and their strips, where controls sit,
// what they link and which events they raise.

#include <gtest/gtest.h>

#include "core/BundleResources.h"
#include "core/BoolParameter.h"
#include "core/EnumParameter.h"
#include "core/FloatParameter.h"
#include "core/IntParameter.h"
#include "editor/TavinorEditor.h"
#include "processor/Tavinor.h"

#include <map>
#include <set>

namespace
{
constexpr int faceWidth = 1200, faceHeight = 540;

struct SkinControl
{
    const juce::XmlElement* element = nullptr;
    juce::String tag, name;
    const SkinControl* parent = nullptr;
    juce::Rectangle<int> bounds; // in the parent panel
    std::vector<SkinControl*> children;

    juce::Point<int> positionInEditor() const
    {
        return parent == nullptr ? bounds.getPosition() : parent->positionInEditor() + bounds.getPosition();
    }

    juce::String attribute(const char* key) const { return element->getStringAttribute(key); }

    const juce::XmlElement* child(const char* childTag) const
    {
        for (auto* c : element->getChildIterator())
            if (c->getTagName().equalsIgnoreCase(childTag))
                return c;
        return nullptr;
    }

    juce::String resource() const
    {
        const auto* gfx = child(tag == "NumericDisplay" ? "digits" : "gfx");
        return gfx == nullptr ? juce::String() : gfx->getStringAttribute("resource");
    }

    juce::String linkedParameter() const
    {
        if (const auto* links = child("links"))
            for (auto* link : links->getChildIterator())
                if (link->getStringAttribute("as") == "connectedTo")
                    return link->getStringAttribute("param");
        return {};
    }

    // The frames the control cuts its strip into, as each control reads them.
    int frames() const
    {
        const auto* gfx = child("gfx");
        const bool threeD = attribute("style") == "3D";
        if (tag == "ToggleButton")
            return threeD ? 4 : 2;
        if (tag == "MultiStateButton")
            return (threeD ? 2 : 1) * juce::jmax(2, element->getIntAttribute("states", 2));
        if (tag == "NumericDisplay")
            return 11;
        return gfx == nullptr ? 1 : juce::jmax(1, gfx->getIntAttribute("framesNum", 1));
    }
};

// The skin read the way the panel factory reads it, with every control's
// size taken from its image strip (or its "size" for the text display).
class Skin
{
public:
    Skin()
    {
        root = juce::XmlDocument::parse(loadBundleResourceAsString("skin.xml"));
        if (root == nullptr || root->getTagName() != "PluginEditor")
            return;
        for (auto* e : root->getChildIterator())
            if (e->getTagName() == "Panel" && e->getStringAttribute("name").equalsIgnoreCase("MainPanel"))
            {
                main = read(*e, nullptr);
                break;
            }
    }

    std::unique_ptr<juce::XmlElement> root;
    SkinControl* main = nullptr;
    std::vector<std::unique_ptr<SkinControl>> all;

    std::vector<const SkinControl*> named(const juce::String& name) const
    {
        std::vector<const SkinControl*> found;
        for (const auto& c : all)
            if (c->name == name)
                found.push_back(c.get());
        return found;
    }

private:
    SkinControl* read(const juce::XmlElement& e, const SkinControl* parent)
    {
        all.push_back(std::make_unique<SkinControl>());
        auto* c = all.back().get();
        c->element = &e;
        c->tag = e.getTagName();
        c->name = e.getStringAttribute("name");
        c->parent = parent;
        juce::Point<int> position;
        if (const auto* pos = c->child("pos"))
            position = { pos->getIntAttribute("left"), pos->getIntAttribute("top") };
        c->bounds = juce::Rectangle<int>(position, position + size(*c));
        if (const auto* controls = c->child("controls"))
            for (auto* child : controls->getChildIterator())
                c->children.push_back(read(*child, c));
        return c;
    }

    static juce::Point<int> size(const SkinControl& c)
    {
        if (c.tag == "Display")
        {
            const auto* s = c.child("size");
            return s == nullptr ? juce::Point<int>() : juce::Point<int>(s->getIntAttribute("width"), s->getIntAttribute("height"));
        }
        const auto image = loadBundleResourceAsImage(c.resource());
        if (! image.isValid())
            return {};
        const int cells = c.tag == "NumericDisplay" ? c.element->getIntAttribute("digitsNum", 1) : 1;
        return { image.getWidth() * cells, image.getHeight() / c.frames() };
    }
};

const Skin& skin()
{
    static const Skin s;
    return s;
}

// Every element that the product editor and its base look up, with the class
// each must have.
const std::map<juce::String, juce::String>& contract()
{
    static const std::map<juce::String, juce::String> table = [] {
        std::map<juce::String, juce::String> t;
        const auto add = [&t](const juce::String& tag, std::initializer_list<juce::String> names) {
            for (const auto& n : names)
                t[n] = tag;
        };
        add("Animation", { "OutputVULeftAnim", "OutputVURightAnim", "OutputClipLeftAnim", "OutputClipRightAnim",
                           "PEAK1MeterAnim", "PEAK2MeterAnim", "LFO1FreeRateLED", "LFO1SyncRateLED", "LFO2FreeRateLED",
                           "LFO2SyncRateLED", "LFO1ResetLED", "ENV1ResetLED", "LFO2ResetLED", "ENV2ResetLED",
                           "SignalFlowAnim", "MidiActivityLed" });
        add("MultiStateButton", { "DelayModeLRSwitch", "DelayModeMSSwitch", "DelayFilterPreOverdriveSwitch",
                                  "DelayFilterPostOverdriveSwitch", "DelayFilterSwitch", "DelayFilterLPSwitch",
                                  "DelayFilterBPSwitch", "DelayFilterHPSwitch", "ModulationSourceLFO1Switch",
                                  "ModulationSourceLFO2Switch", "ModulationScaleLinearSwitch",
                                  "ModulationScaleLogarithmicSwitch", "DelayPanelSelectSwitch", "PredelayPanelSelectSwitch",
                                  "FXAmountPadlockButton", "MOD1RetriggerSettings", "MOD2RetriggerSettings",
                                  "MidiLearnButton" });
        add("Panel", { "LFO1Panel", "LFO2Panel" });
        add("Button", { "RoutingSelectSwitch" });
        for (int line = 1; line <= 4; ++line)
        {
            const juce::String n(line);
            add("Animation", { "Delay" + n + "VUMeterLeftAnimation", "Delay" + n + "VUMeterRightAnimation" });
            add("MultiStateButton", { "Delay" + n + "SelectButton", "Delay" + n + "PadlockButton" });
        }
        for (const juce::String stage : { "Delay", "Predelay" })
        {
            add("Panel", { stage + "TimePanel", stage + "TimePanelSync", stage + "TimePanelNotSync" });
            add("MultiStateButton", { stage + "JoinChannelsSwitch" });
            for (const juce::String side : { "Left", "Right" })
                for (const juce::String scale : { "Full", "Dot", "Triplet" })
                    add("MultiStateButton", { stage + "Time" + side + scale + "Switch" });
            for (const juce::String joined : { "", "Joined" })
            {
                add("Knob", { stage + "RightTime" + joined + "Knob" });
                add("NumericDisplay", { stage + "RightTime" + joined + "Display", stage + "TimeRightNominator" + joined,
                                        stage + "TimeRightDenominator" + joined });
            }
        }
        for (int m = 1; m <= 2; ++m)
        {
            const juce::String n(m);
            add("Panel", { "LFO" + n + "SyncedPanel", "LFO" + n + "NotSyncedPanel", "ENV" + n + "Panel", "PEAK" + n + "Panel" });
            add("MultiStateButton", { "LFO" + n + "ScaleFullSwitch", "LFO" + n + "ScaleDotSwitch", "LFO" + n + "ScaleTripletSwitch",
                                      "MOD" + n + "TypeLFOSwitch", "MOD" + n + "TypeENVSwitch", "MOD" + n + "TypePEAKSwitch" });
        }
        return t;
    }();
    return table;
}

// Elements that the editor never shows together (or where the later panel
// covers the earlier one): they may share their place.
bool mayShareAPlace(const juce::String& a, const juce::String& b)
{
    static const std::vector<std::set<juce::String>> groups = [] {
        std::vector<std::set<juce::String>> g;
        for (const juce::String stage : { "Delay", "Predelay" })
        {
            g.push_back({ stage + "TimePanelSync", stage + "TimePanelNotSync" });
            for (const juce::String name : { stage + "RightTimeKnob", stage + "RightTimeDisplay",
                                             stage + "TimeRightNominator", stage + "TimeRightDenominator" })
                g.push_back({ name, name.endsWith("Knob") || name.endsWith("Display")
                                        ? name.replace("Time", "TimeJoined")
                                        : name + "Joined" });
        }
        g.push_back({ "DelayTimePanel", "PredelayTimePanel" });
        for (const juce::String n : { "1", "2" })
        {
            g.push_back({ "LFO" + n + "SyncedPanel", "LFO" + n + "NotSyncedPanel" });
            g.push_back({ "LFO" + n + "Panel", "ENV" + n + "Panel", "PEAK" + n + "Panel" });
        }
        return g;
    }();
    for (const auto& group : groups)
        if (group.count(a) != 0 && group.count(b) != 0)
            return true;
    return false;
}

// Only its parameter set is asked for, so it is made without the start-up
// that creates the editor: it outlives the test program's GUI support.
Tavinor& processor()
{
    static Tavinor p;
    return p;
}
}

TEST(SkinLint, IsAPluginEditorWithAMainPanelOfTheFaceSize)
{
    const auto& s = skin();
    ASSERT_NE(s.root, nullptr);
    EXPECT_EQ(s.root->getStringAttribute("application"), "Tavinor");
    ASSERT_NE(s.main, nullptr);
    EXPECT_EQ(s.main->bounds, juce::Rectangle<int>(0, 0, faceWidth, faceHeight));
}

TEST(SkinLint, EveryContractElementIsThereOnceWithItsClass)
{
    for (const auto& [name, tag] : contract())
    {
        const auto found = skin().named(name);
        ASSERT_EQ(found.size(), 1u) << name;
        EXPECT_EQ(found[0]->tag, tag) << name;
    }
    // The editor finds elements by name, so no name may stand for two of them.
    std::set<juce::String> names;
    for (const auto& c : skin().all)
        EXPECT_TRUE(names.insert(c->name).second) << "two elements named " << c->name;
}

TEST(SkinLint, EveryImageIsThereAndCutsIntoWholeFrames)
{
    std::map<juce::String, juce::String> baseNames;
    for (const auto& c : skin().all)
    {
        const auto resource = c->resource();
        if (resource.isEmpty())
        {
            EXPECT_EQ(c->tag, "NumericDisplay") << c->name << " has no image";
            continue;
        }
        const auto image = loadBundleResourceAsImage(resource);
        ASSERT_TRUE(image.isValid()) << c->name << ": " << resource;
        if (c->tag == "Display")
        {
            // The glyph strip holds every glyph twice (plain and with the caret).
            const int fontHeight = c->child("gfx")->getIntAttribute("fontHeight");
            ASSERT_GT(fontHeight, 0) << c->name;
            EXPECT_EQ(image.getHeight() % (2 * fontHeight), 0) << c->name;
            EXPECT_GE(image.getHeight() / (2 * fontHeight), 95) << c->name << ": printable ASCII";
            continue;
        }
        EXPECT_EQ(image.getHeight() % c->frames(), 0) << c->name << ": " << resource;
        EXPECT_GT(image.getHeight() / c->frames(), 0) << c->name;

        // Resources are found by base name and extension; one base name, one image.
        const auto base = resource.upToLastOccurrenceOf(".", false, false);
        const auto [it, inserted] = baseNames.emplace(base, resource);
        EXPECT_TRUE(inserted || it->second == resource) << resource << " and " << it->second;
    }
}

TEST(SkinLint, ControlsStayInsideTheirPanelsAndTheFace)
{
    for (const auto& c : skin().all)
    {
        EXPECT_FALSE(c->bounds.isEmpty()) << c->name;
        if (c->parent != nullptr)
            EXPECT_TRUE(juce::Rectangle<int>(c->parent->bounds.getWidth(), c->parent->bounds.getHeight())
                            .contains(c->bounds))
                << c->name << " leaves " << c->parent->name;
        EXPECT_TRUE(juce::Rectangle<int>(faceWidth, faceHeight).contains(c->bounds.withPosition(c->positionInEditor())))
            << c->name;
    }
}

TEST(SkinLint, NoTwoControlsThatShowTogetherOverlap)
{
    for (const auto& panel : skin().all)
    {
        const auto& children = panel->children;
        for (size_t i = 0; i < children.size(); ++i)
            for (size_t j = i + 1; j < children.size(); ++j)
            {
                const auto& a = *children[i];
                const auto& b = *children[j];
                if (! a.bounds.intersects(b.bounds))
                    continue;
                EXPECT_TRUE(mayShareAPlace(a.name, b.name)) << a.name << " overlaps " << b.name << " in " << panel->name;
            }
    }
    // The editor never hides an LFO panel; its ENV and PEAK panels must come
    // later (in front) and cover it wholly.
    for (const juce::String n : { "1", "2" })
    {
        const auto* lfo = skin().named("LFO" + n + "Panel")[0];
        for (const juce::String other : { "ENV" + n + "Panel", "PEAK" + n + "Panel" })
        {
            const auto* cover = skin().named(other)[0];
            ASSERT_EQ(cover->parent, lfo->parent) << other;
            EXPECT_TRUE(cover->bounds.contains(lfo->bounds)) << other;
            const auto& siblings = lfo->parent->children;
            EXPECT_LT(std::find(siblings.begin(), siblings.end(), lfo), std::find(siblings.begin(), siblings.end(), cover));
            EXPECT_EQ(cover->child("gfx")->getStringAttribute("transparent"), "") << other << " must be opaque";
        }
    }
}

// The editor opens a retrigger window of 338 x 161 with its corner above the
// button, and the routing menu to the right of its button.
TEST(SkinLint, WindowsAnchoredOnButtonsOpenInsideTheFace)
{
    for (const juce::String name : { "MOD1RetriggerSettings", "MOD2RetriggerSettings" })
    {
        const auto* button = skin().named(name)[0];
        const auto at = button->positionInEditor();
        EXPECT_TRUE(juce::Rectangle<int>(faceWidth, faceHeight).contains(juce::Rectangle<int>(at.x, at.y - TavinorEditor::kRetriggerWindowGap, TavinorEditor::kRetriggerWindowWidth, TavinorEditor::kRetriggerWindowHeight)))
            << name;
        // On the main panel its position in its parent is its position in the editor.
        EXPECT_EQ(button->parent, skin().main) << name;
    }
    const auto* routing = skin().named("RoutingSelectSwitch")[0];
    EXPECT_EQ(routing->parent, skin().main);
    EXPECT_LE(routing->bounds.getRight() + 100, faceWidth);
}

TEST(SkinLint, LinksNameParametersThatFitTheirControls)
{
    auto& parameters = processor().getParameterManager();
    int linked = 0;
    for (const auto& c : skin().all)
    {
        const auto name = c->linkedParameter();
        if (name.isEmpty())
            continue;
        ++linked;
        auto* p = parameters.getParameterByName(name);
        ASSERT_NE(p, nullptr) << c->name << " links " << name;

        // The selected line's controls link its proxies; only a line's own row
        // (its mute button) links that line's parameter.
        if (name.startsWith("Line "))
            EXPECT_TRUE(c->name.startsWith("Line" + name.substring(5, 6))) << c->name << " links " << name;
        else
            EXPECT_FALSE(p->getId() >= 1000 && p->getId() < 5000) << c->name;

        if (c->tag == "ToggleButton")
            EXPECT_NE(dynamic_cast<BoolParameter*>(p), nullptr) << c->name;
        if (c->tag == "MultiStateButton")
        {
            auto* e = dynamic_cast<EnumParameter*>(p);
            ASSERT_NE(e, nullptr) << c->name;
            EXPECT_EQ(c->element->getIntAttribute("states"), e->getItems().size()) << c->name;
        }
        if (c->tag == "NumericDisplay")
        {
            double minimum = 0, maximum = 0;
            if (auto* i = dynamic_cast<IntParameter*>(p))
                minimum = i->getMinimum(), maximum = i->getMaximum();
            else if (auto* f = dynamic_cast<FloatParameter*>(p))
                minimum = f->getMinimum(), maximum = f->getMaximum();
            EXPECT_EQ(c->element->getDoubleAttribute("minValue"), minimum) << c->name;
            EXPECT_EQ(c->element->getDoubleAttribute("maxValue"), maximum) << c->name;
        }
    }
    EXPECT_GT(linked, 60);
}

TEST(SkinLint, ActionsRaiseKnownEventsThroughGesturesTheirControlsHave)
{
    const auto& events = processor().getEventsMap();
    const std::map<juce::String, juce::StringArray> gestures = {
        { "Button", { "onClick", "onClickWithCtrl", "onRightClick" } },
        { "MultiStateButton", { "onClick", "onClickWithCtrl", "onClickWithShift", "onRightClick" } },
    };
    std::set<int> used;
    for (const auto& c : skin().all)
        if (const auto* actions = c->child("actions"))
            for (auto* action : actions->getChildIterator())
            {
                const auto event = action->getStringAttribute("event");
                const int uid = events.getUid(event);
                EXPECT_NE(uid, -1) << c->name << ": " << event;
                used.insert(uid);
                ASSERT_EQ(gestures.count(c->tag), 1u) << c->name;
                EXPECT_TRUE(gestures.at(c->tag).contains(action->getStringAttribute("type"))) << c->name;
            }
    // Every event that the product editor acts on has a control that raises
    // it, and so do the editor base's preset, option and learn commands. Not
    // "Select Next Line" (the four select buttons are always in view) nor the
    // mute events (each line's mute button is bound to the line's own switch).
    for (int uid = 0; uid <= 76; ++uid)
        if (uid < 4 || uid > 8)
            EXPECT_EQ(used.count(uid), 1u) << events.getName(uid);
    for (int uid : { 1000, 1001, 1002, 1003, 1004, 1005, 1006, 1010 })
        EXPECT_EQ(used.count(uid), 1u) << events.getName(uid);
}

TEST(SkinLint, ControlsAreLabelledAndTextDisplaysReadOnly)
{
    for (const auto& c : skin().all)
    {
        if (c->tag == "Knob" || c->tag == "Button" || c->tag == "ToggleButton" || c->tag == "MultiStateButton")
            EXPECT_TRUE(c->attribute("label").isNotEmpty()) << c->name << " has no label";
        if (c->tag == "Display")
            EXPECT_EQ(c->attribute("readonly"), "yes") << c->name;
    }
}

// ---------------------------------------------------------------------------
// The strips: each frame must show what the control means by it, or a meter
// reads backwards and the wrong waveform lights.

namespace
{
juce::Image frameOf(const juce::Image& strip, int frames, int frame)
{
    const int h = strip.getHeight() / frames;
    return strip.getClippedImage({ 0, frame * h, strip.getWidth(), h });
}

bool samePixels(const juce::Image& a, const juce::Image& b)
{
    if (a.getBounds() != b.getBounds())
        return false;
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            if (a.getPixelAt(x, y) != b.getPixelAt(x, y))
                return false;
    return true;
}

// How much light a frame gives: the sum of its opaque brightness.
double light(const juce::Image& image)
{
    double sum = 0.0;
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
        {
            const auto c = image.getPixelAt(x, y);
            sum += (double) c.getBrightness() * c.getFloatAlpha();
        }
    return sum;
}

bool isOneColour(const juce::Image& image)
{
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (image.getPixelAt(x, y) != image.getPixelAt(0, 0))
                return false;
    return true;
}

bool isBlank(const juce::Image& image)
{
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (image.getPixelAt(x, y).getAlpha() != 0)
                return false;
    return true;
}

void expectAllDifferent(const juce::Image& strip, int frames, const juce::String& name)
{
    for (int a = 0; a < frames; ++a)
        for (int b = a + 1; b < frames; ++b)
            EXPECT_FALSE(samePixels(frameOf(strip, frames, a), frameOf(strip, frames, b)))
                << name << ": frames " << a << " and " << b;
}

// The item that a choice button's click selects: its event names the item
// ("MOD 1 Waveform Saw Down" selects "Saw Down").
int selectedItem(const SkinControl& c, EnumParameter& parameter)
{
    const auto event = c.child("actions")->getChildElement(0)->getStringAttribute("event");
    const auto items = parameter.getItems();
    for (int i = 0; i < items.size(); ++i)
        if (event.endsWith(" " + items[i]))
            return i;
    return -1;
}
}

TEST(SkinPictures, EveryStripShowsItsStatesInTheOrderItsControlReadsThem)
{
    auto& parameters = processor().getParameterManager();
    for (const auto& c : skin().all)
    {
        const auto strip = loadBundleResourceAsImage(c->resource());
        const int frames = c->frames();
        if (! strip.isValid() || c->tag == "Panel" || c->tag == "Display")
            continue;
        const auto frame = [&](int k) { return frameOf(strip, frames, k); };

        if (c->tag == "Knob")
        {
            EXPECT_FALSE(samePixels(frame(0), frame(frames - 1))) << c->name;
            EXPECT_FALSE(samePixels(frame(0), frame(frames / 2))) << c->name;
        }
        else if (c->tag == "Button" || c->tag == "ToggleButton")
        {
            EXPECT_FALSE(samePixels(frame(0), frame(1))) << c->name << ": pressed looks like released";
            if (c->tag == "ToggleButton")
                EXPECT_FALSE(samePixels(frame(0), frame(2))) << c->name << ": on looks like off";
        }
        else if (c->tag == "MultiStateButton")
        {
            const int states = c->element->getIntAttribute("states");
            auto* choice = dynamic_cast<EnumParameter*>(parameters.getParameterByName(c->linkedParameter()));
            if (choice == nullptr)
            {
                EXPECT_FALSE(samePixels(frame(0), frame(2))) << c->name << ": lit looks like dark";
                continue;
            }
            // A linked choice button is lit in the state of its own item only.
            const int own = selectedItem(*c, *choice);
            ASSERT_GE(own, 0) << c->name;
            const int dark = own == 0 ? 1 : 0;
            for (int s = 0; s < states; ++s)
                if (s != own)
                {
                    EXPECT_FALSE(samePixels(frame(2 * own), frame(2 * s))) << c->name << ": state " << s;
                    EXPECT_TRUE(samePixels(frame(2 * dark), frame(2 * s))) << c->name << ": only its own state is lit";
                }
        }
        else if (c->tag == "NumericDisplay")
        {
            EXPECT_TRUE(isOneColour(frame(0))) << c->name << ": frame 0 is the blank digit";
            for (int d = 1; d < frames; ++d)
                EXPECT_FALSE(isOneColour(frame(d))) << c->name << ": digit " << d - 1;
            expectAllDifferent(strip, frames, c->name);
        }
        else if (c->tag == "Animation" && frames == 2)
        {
            EXPECT_GT(light(frame(1)), light(frame(0))) << c->name << ": the lamp is lit in frame 1";
        }
        else if (c->tag == "Animation" && (c->name.contains("VU") || c->name.contains("MeterAnim")))
        {
            for (int k = 1; k < frames; ++k)
                EXPECT_GT(light(frame(k)), light(frame(k - 1))) << c->name << ": frame " << k;
        }
        else if (c->tag == "Animation")
        {
            expectAllDifferent(strip, frames, c->name);
        }
    }
}

TEST(SkinPictures, TextDisplayFontsHoldEveryGlyphWithItsCaretForm)
{
    for (const auto* name : { "PresetNameDisplay", "RoutingNameDisplay" })
    {
        const auto* display = skin().named(name)[0];
        const auto* gfx = display->child("gfx");
        const auto font = loadBundleResourceAsImage(gfx->getStringAttribute("resource"));
        const int height = gfx->getIntAttribute("fontHeight");
        const int first = gfx->getStringAttribute("firstASCII")[0];
        const int count = font.getHeight() / (2 * height);
        const auto row = [&](int r) { return font.getClippedImage({ 0, r * height, font.getWidth(), height }); };

        EXPECT_EQ(first, ' ');
        EXPECT_TRUE(isBlank(row(0))) << "a space draws nothing";
        EXPECT_FALSE(isBlank(row(count))) << "the caret shows on a space";
        for (const char c : juce::String("Tavinor 1/16"))
            if (c != ' ')
                EXPECT_FALSE(isBlank(row(c - first))) << c;
        EXPECT_FALSE(samePixels(row('A' - first), row('B' - first)));
    }
}
