#include "SkinPreview.h"

#include "Drawing.h"
#include "Fonts.h"

#include <cmath>
#include <map>

namespace SkinPreview
{
namespace
{
// One parameter's value as the editor would see it.
struct Value
{
    float normalised = 0.0f;
    double value = 0.0;
    int index = 0; // integer value, or the item of a choice
    juce::String text;
};

// The parameter set read from parameters.xml, by name; line parameters
// ("Line 2 Mute") are answered by their template ("Mute").
class Parameters
{
public:
    bool load(const juce::File& file, juce::String& error)
    {
        const auto root = juce::XmlDocument::parse(file);
        if (root == nullptr)
        {
            error = "cannot read " + file.getFullPathName();
            return false;
        }
        for (auto* p : root->getChildIterator())
            definitions[p->getStringAttribute("name")] = std::make_unique<juce::XmlElement>(*p);
        return true;
    }

    void set(const juce::String& name, const juce::String& text) { overrides[name] = text; }

    Value get(const juce::String& name) const
    {
        const auto* definition = find(name);
        if (definition == nullptr)
            return {};
        const auto override = overrides.find(name);
        const auto text = override != overrides.end() ? override->second : definition->getStringAttribute("value");
        return evaluate(*definition, text);
    }

    bool isOn(const juce::String& name) const { return get(name).normalised >= 0.5f; }

private:
    const juce::XmlElement* find(const juce::String& name) const
    {
        auto it = definitions.find(name);
        if (it == definitions.end() && name.startsWith("Line "))
            it = definitions.find(name.fromFirstOccurrenceOf(" ", false, false).fromFirstOccurrenceOf(" ", false, false));
        return it == definitions.end() ? nullptr : it->second.get();
    }

    static Value evaluate(const juce::XmlElement& d, const juce::String& text)
    {
        Value v;
        const auto type = d.getStringAttribute("type");
        v.text = text;
        if (type == "float" || type == "int")
        {
            const double minimum = d.getDoubleAttribute("min"), maximum = d.getDoubleAttribute("max");
            v.value = juce::jlimit(minimum, maximum, text.getDoubleValue());
            v.index = (int) v.value;
            v.normalised = maximum > minimum ? (float) ((v.value - minimum) / (maximum - minimum)) : 0.0f;
            v.text = type == "int" ? juce::String(v.index) : juce::String(v.value);
        }
        else if (type == "enum")
        {
            const auto items = juce::StringArray::fromTokens(d.getStringAttribute("enum"), ";", {});
            v.index = juce::jmax(0, items.indexOf(text));
            v.value = v.index;
            v.normalised = items.size() > 1 ? (float) v.index / (float) (items.size() - 1) : 0.0f;
        }
        else if (type == "state" || type == "bool")
        {
            const bool on = text.equalsIgnoreCase("on") || text.equalsIgnoreCase("true") || text == "1";
            v.index = on ? 1 : 0;
            v.value = v.index;
            v.normalised = (float) v.index;
        }
        return v;
    }

    std::map<juce::String, std::unique_ptr<juce::XmlElement>> definitions;
    std::map<juce::String, juce::String> overrides;
};

// What a state changes from the defaults, and the editor-side states that no
// parameter holds (padlocks, MIDI learn, open windows, meter levels).
struct State
{
    const char* name;
    std::vector<std::pair<juce::String, juce::String>> parameters;
    bool lit = false; // meters moving, lamps on, padlocks locked, MIDI learn on
};

const std::vector<State>& states()
{
    static const std::vector<State> table = {
        { "default", {}, false },
        { "playing",
          { { "Filter Type", "Low Pass" }, { "Overdrive", "on" }, { "Filter Feedback Loop", "on" },
            { "Delay Join Channels", "on" }, { "Routing", "Tapped Serial" }, { "Preset Name", "Dotted Eighth Lead" } },
          true },
        { "free",
          { { "Delay Tempo Sync", "off" }, { "Selected Line", "2" }, { "Filter Type", "High Pass" },
            { "Filter Mode", "Post Overdrive" }, { "Overdrive", "on" }, { "Input Mode", "M/S" },
            { "MOD 1 Tempo Sync", "on" }, { "MOD 2 Type", "Envelope" }, { "Routing", "Mixed 4" } },
          false },
        { "predelay",
          { { "Time Panel 1", "1" }, { "Pre-delay Tempo Sync", "on" }, { "Pre-delay Join Channels", "off" },
            { "Pre-delay Left Numerator", "1" }, { "Pre-delay Right Numerator", "3" },
            { "MOD 1 Type", "Peak Follower" }, { "MOD 2 Type", "Envelope" }, { "Routing", "Mixed 6" } },
          true },
        { "joined",
          { { "Delay Tempo Sync", "off" }, { "Delay Join Channels", "on" }, { "Modulation Source", "MOD 2" },
            { "Modulation Scale", "Logarithmic" }, { "MOD 2 Tempo Sync", "on" }, { "Routing", "Serial" } },
          false },
    };
    return table;
}

// The editor's rules: which of its panels and join variants show.
bool isShown(const juce::String& name, const Parameters& p)
{
    const int line = p.get("Selected Line").index;
    const int timePanel = p.get("Time Panel " + juce::String(line)).index;
    if (name == "DelayTimePanel") return timePanel == 0;
    if (name == "PredelayTimePanel") return timePanel == 1;
    if (name == "DelayTimePanelSync") return p.isOn("Delay Tempo Sync");
    if (name == "DelayTimePanelNotSync") return ! p.isOn("Delay Tempo Sync");
    if (name == "PredelayTimePanelSync") return p.isOn("Pre-delay Tempo Sync");
    if (name == "PredelayTimePanelNotSync") return ! p.isOn("Pre-delay Tempo Sync");
    for (int m = 1; m <= 2; ++m)
    {
        const juce::String n(m), mod = "MOD " + n + " ";
        const int type = p.get(mod + "Type").index;
        const bool sync = p.isOn(mod + "Tempo Sync");
        if (name == "LFO" + n + "SyncedPanel") return type == 0 && sync;
        if (name == "LFO" + n + "NotSyncedPanel") return type == 0 && ! sync;
        if (name == "ENV" + n + "Panel") return type == 1;
        if (name == "PEAK" + n + "Panel") return type == 2;
    }
    for (const juce::String stage : { "Delay", "Predelay" })
    {
        const bool joined = p.isOn(stage == "Delay" ? "Delay Join Channels" : "Pre-delay Join Channels");
        for (const juce::String& control : { stage + "RightTimeKnob", stage + "RightTimeDisplay",
                                            stage + "TimeRightNominator", stage + "TimeRightDenominator",
                                            stage + "TimeRightDragHint" })
        {
            if (name == control) return ! joined;
        }
        for (const juce::String& control : { stage + "RightTimeJoinedKnob", stage + "RightTimeJoinedDisplay",
                                            stage + "TimeRightNominatorJoined", stage + "TimeRightDenominatorJoined",
                                            stage + "RightTimeFollowsLeftMark", stage + "TimeRightFollowsLeftMark" })
        {
            if (name == control) return joined;
        }
    }
    return true;
}

// The editor's rules for the switches that it lights; -1 for switches it does not drive.
int editorSwitchState(const juce::String& name, const Parameters& p, bool lit)
{
    const auto follows = [&](const juce::StringArray& group, const juce::String& parameter) {
        const int i = group.indexOf(name);
        return i < 0 ? -1 : (p.get(parameter).index == i ? 1 : 0);
    };
    const int line = p.get("Selected Line").index;
    const juce::StringArray selects { "Delay1SelectButton", "Delay2SelectButton", "Delay3SelectButton", "Delay4SelectButton" };
    if (selects.contains(name))
        return selects.indexOf(name) + 1 == line ? 1 : 0;
    if (name == "DelayPanelSelectSwitch") return p.get("Time Panel " + juce::String(line)).index == 0 ? 1 : 0;
    if (name == "PredelayPanelSelectSwitch") return p.get("Time Panel " + juce::String(line)).index == 1 ? 1 : 0;

    const std::pair<juce::StringArray, juce::String> groups[] = {
        { { "DelayModeLRSwitch", "DelayModeMSSwitch" }, "Input Mode" },
        { { "DelayFilterPreOverdriveSwitch", "DelayFilterPostOverdriveSwitch" }, "Filter Mode" },
        { { "DelayFilterSwitch", "DelayFilterLPSwitch", "DelayFilterBPSwitch", "DelayFilterHPSwitch" }, "Filter Type" },
        { { "ModulationSourceLFO1Switch", "ModulationSourceLFO2Switch" }, "Modulation Source" },
        { { "ModulationScaleLinearSwitch", "ModulationScaleLogarithmicSwitch" }, "Modulation Scale" },
        { { "LFO1ScaleFullSwitch", "LFO1ScaleDotSwitch", "LFO1ScaleTripletSwitch" }, "MOD 1 Rhythmic Scale" },
        { { "LFO2ScaleFullSwitch", "LFO2ScaleDotSwitch", "LFO2ScaleTripletSwitch" }, "MOD 2 Rhythmic Scale" },
        { { "MOD1TypeLFOSwitch", "MOD1TypeENVSwitch", "MOD1TypePEAKSwitch" }, "MOD 1 Type" },
        { { "MOD2TypeLFOSwitch", "MOD2TypeENVSwitch", "MOD2TypePEAKSwitch" }, "MOD 2 Type" },
    };
    for (const auto& [group, parameter] : groups)
        if (group.contains(name))
            return follows(group, parameter);

    for (const juce::String stage : { "Delay", "Predelay" })
    {
        const juce::String prefix = stage == "Delay" ? "Delay " : "Pre-delay ";
        const bool sync = p.isOn(prefix + "Tempo Sync"), joined = p.isOn(prefix + "Join Channels");
        if (name == stage + "JoinChannelsSwitch")
            return sync && joined ? 1 : 0;
        const juce::StringArray left { stage + "TimeLeftFullSwitch", stage + "TimeLeftDotSwitch", stage + "TimeLeftTripletSwitch" };
        const juce::StringArray right { stage + "TimeRightFullSwitch", stage + "TimeRightDotSwitch", stage + "TimeRightTripletSwitch" };
        if (left.contains(name))
            return sync ? follows(left, prefix + "Left Rhythmic Scale") : 0;
        if (right.contains(name))
            return sync ? follows(right, prefix + (joined ? "Left" : "Right") + " Rhythmic Scale") : 0;
    }
    if (name.endsWith("PadlockButton") || name == "MidiLearnButton" || name == "MOD1RetriggerSettings")
        return lit ? 1 : 0;
    if (name == "MOD2RetriggerSettings")
        return 0;
    return -1;
}

// A frame of a strip, as the controls cut them.
void drawFrame(juce::Graphics& g, const juce::Image& strip, int frames, int frame, juce::Point<int> at)
{
    if (! strip.isValid())
        return;
    const int h = strip.getHeight() / juce::jmax(1, frames);
    frame = juce::jlimit(0, juce::jmax(0, frames - 1), frame);
    g.drawImage(strip, at.x, at.y, strip.getWidth(), h, 0, frame * h, strip.getWidth(), h);
}

int frameFor(int frames, float proportion)
{
    return (int) std::floor((float) (frames - 1) * juce::jlimit(0.0f, 1.0f, proportion) + 0.5f);
}

class Composer
{
public:
    Composer(const GeneratedFiles& f, const Parameters& p, bool l) : files(f), parameters(p), lit(l) {}

    void drawPanel(juce::Graphics& g, const juce::XmlElement& panel, juce::Point<int> origin)
    {
        const auto* gfx = panel.getChildByName("gfx");
        if (gfx != nullptr && ! gfx->getBoolAttribute("transparent"))
            drawFrame(g, image(gfx->getStringAttribute("resource")), 1, 0, origin);

        const auto* controls = panel.getChildByName("controls");
        if (controls == nullptr)
            return;
        const juce::Point<int> offset(controls->getIntAttribute("ofsX"), controls->getIntAttribute("ofsY"));
        for (auto* c : controls->getChildIterator())
        {
            if (! isShown(c->getStringAttribute("name"), parameters))
                continue;
            const auto at = origin + offset + position(*c);
            if (c->getTagName() == "Panel")
                drawPanel(g, *c, at);
            else
                drawControl(g, *c, at);
        }
    }

    juce::StringArray missing;

private:
    juce::Image image(const juce::String& name)
    {
        auto img = files.findImage(name);
        if (! img.isValid())
            missing.addIfNotAlreadyThere(name);
        return img;
    }

    static juce::Point<int> position(const juce::XmlElement& e)
    {
        const auto* pos = e.getChildByName("pos");
        return pos == nullptr ? juce::Point<int>() : juce::Point<int>(pos->getIntAttribute("left"), pos->getIntAttribute("top"));
    }

    Value linked(const juce::XmlElement& e) const
    {
        if (const auto* links = e.getChildByName("links"))
            if (const auto* link = links->getChildByName("link"))
                return parameters.get(link->getStringAttribute("param"));
        return {};
    }

    static juce::String linkedName(const juce::XmlElement& e)
    {
        if (const auto* links = e.getChildByName("links"))
            if (const auto* link = links->getChildByName("link"))
                return link->getStringAttribute("param");
        return {};
    }

    void drawControl(juce::Graphics& g, const juce::XmlElement& c, juce::Point<int> at)
    {
        const auto tag = c.getTagName();
        const auto name = c.getStringAttribute("name");
        const auto* gfx = c.getChildByName("gfx");
        const auto strip = gfx != nullptr ? image(gfx->getStringAttribute("resource")) : juce::Image();
        const int frames = gfx != nullptr ? juce::jmax(1, gfx->getIntAttribute("framesNum", 1)) : 1;
        const auto value = linked(c);
        const bool isLinked = linkedName(c).isNotEmpty();

        if (tag == "Knob")
            drawFrame(g, strip, frames, frameFor(frames, value.normalised), at);
        else if (tag == "ToggleButton")
            drawFrame(g, strip, 4, value.index != 0 ? 2 : 0, at);
        else if (tag == "Button")
            drawFrame(g, strip, frames, 0, at);
        else if (tag == "MultiStateButton")
        {
            const int states = c.getIntAttribute("states", 2);
            const int perState = c.getStringAttribute("style") == "3D" ? 2 : 1;
            int state = editorSwitchState(name, parameters, lit);
            if (state < 0)
                state = isLinked ? frameFor(states, value.normalised) : 0;
            drawFrame(g, strip, perState * states, perState * state, at);
        }
        else if (tag == "Animation")
        {
            int frame = isLinked ? frameFor(frames, value.normalised) : 0;
            if (lit && ! isLinked)
            {
                // Levels a mix of a few echoes might show.
                if (name.contains("VU"))
                    frame = frameFor(frames, name.contains("Right") ? 0.62f : 0.74f);
                else if (name.contains("Meter"))
                    frame = frameFor(frames, 0.55f);
                else if (! name.contains("Clip"))
                    frame = 1;
            }
            if (name == "SignalFlowAnim")
                frame = signalFlowFrame();
            drawFrame(g, strip, frames, frame, at);
        }
        else if (tag == "Display")
            drawDisplay(g, c, strip, value.text, at);
        else if (tag == "NumericDisplay")
            drawNumber(g, c, value.value, at);
    }

    int signalFlowFrame() const
    {
        const bool filterOn = parameters.get("Filter Type").index != 0;
        return (parameters.get("Filter Mode").index != 0 ? 1 : 0) + (parameters.isOn("Overdrive") ? 2 : 0)
             + (filterOn ? 4 : 0) + (filterOn && parameters.isOn("Filter Feedback Loop") ? 8 : 0);
    }

    // As the text display paints: glyph rows of the font strip, left to right.
    void drawDisplay(juce::Graphics& g, const juce::XmlElement& c, const juce::Image& font, const juce::String& text,
                     juce::Point<int> at)
    {
        const auto* gfx = c.getChildByName("gfx");
        const auto* size = c.getChildByName("size");
        if (gfx == nullptr || size == nullptr || ! font.isValid())
            return;
        const int w = size->getIntAttribute("width"), h = size->getIntAttribute("height");
        g.setColour(juce::Colour::fromString(c.getStringAttribute("backgroundColour", "0")));
        g.fillRect(at.x, at.y, w, h);
        const int glyphW = font.getWidth(), fontH = gfx->getIntAttribute("fontHeight");
        const int first = gfx->getStringAttribute("firstASCII", " ")[0];
        const int count = font.getHeight() / (2 * fontH);
        const int n = w / glyphW;
        for (int i = 0; i < n; ++i)
        {
            const int character = i < text.length() ? (int) text[i] : ' ';
            const int row = juce::jlimit(0, count - 1, character - first);
            g.drawImage(font, at.x + (w % glyphW) / 2 + i * glyphW, at.y + (h - fontH) / 2, glyphW, fontH, 0, row * fontH,
                        glyphW, fontH);
        }
    }

    // As the numeric display paints: leading zeros before the ones digit are blank.
    void drawNumber(juce::Graphics& g, const juce::XmlElement& c, double value, juce::Point<int> at)
    {
        const auto* digitsElement = c.getChildByName("digits");
        if (digitsElement == nullptr)
            return;
        const auto strip = image(digitsElement->getStringAttribute("resource"));
        const int count = c.getIntAttribute("digitsNum", 1);
        value = juce::jlimit(c.getDoubleAttribute("minValue"), c.getDoubleAttribute("maxValue"), value);
        int n = (int) std::round(std::abs(value));
        int weight = 1;
        for (int i = 1; i < count; ++i)
            weight *= 10;
        bool shown = false;
        for (int i = 0; i < count; ++i)
        {
            const int d = n / weight;
            shown = shown || d != 0 || i == count - 1;
            drawFrame(g, strip, 11, shown ? d + 1 : 0, at + juce::Point<int>(i * strip.getWidth(), 0));
            n -= d * weight;
            weight /= 10;
        }
    }

    const GeneratedFiles& files;
    const Parameters& parameters;
    bool lit;
};

// Stands in for the editor's status bar below the skin.
void drawStatusBar(juce::Graphics& g, juce::Rectangle<int> area, const juce::String& text)
{
    g.setColour(juce::Colour(0xFF444444));
    g.fillRect(area);
    Drawing::drawText(g, text, Fonts::sans(13.0f), juce::Colours::white, area.reduced(4, 0).toFloat(),
                      juce::Justification::centredLeft);
}
}

juce::StringArray getStateNames()
{
    juce::StringArray names;
    for (const auto& s : states())
        names.add(s.name);
    return names;
}

juce::Image render(const GeneratedFiles& files, const juce::File& parametersFile, const juce::String& stateName,
                   juce::String& error)
{
    const State* state = nullptr;
    for (const auto& s : states())
        if (stateName == s.name)
            state = &s;
    if (state == nullptr)
    {
        error = "no preview state \"" + stateName + "\"";
        return {};
    }

    Parameters parameters;
    if (! parameters.load(parametersFile, error))
        return {};
    for (const auto& [name, text] : state->parameters)
        parameters.set(name, text);

    const auto root = juce::XmlDocument::parse(files.findText("skin.xml"));
    const auto* main = root != nullptr ? root->getChildByName("Panel") : nullptr;
    const auto* gfx = main != nullptr ? main->getChildByName("gfx") : nullptr;
    const auto background = gfx != nullptr ? files.findImage(gfx->getStringAttribute("resource")) : juce::Image();
    if (! background.isValid())
    {
        error = "skin.xml has no main panel with a background";
        return {};
    }

    constexpr int statusBarHeight = 16;
    auto face = Drawing::newImage(background.getWidth(), background.getHeight() + statusBarHeight);
    juce::Graphics g(face);
    Composer composer(files, parameters, state->lit);
    composer.drawPanel(g, *main, {});
    if (! composer.missing.isEmpty())
    {
        error = "missing images: " + composer.missing.joinIntoString(", ");
        return {};
    }
    drawStatusBar(g, { 0, background.getHeight(), background.getWidth(), statusBarHeight },
                  "Feedback: " + parameters.get("Feedback").text);
    return face;
}
}
