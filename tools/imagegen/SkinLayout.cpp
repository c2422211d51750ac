// The built-in skin's layout table.
//
// The face is 1200 x 540 (the editor adds its 16 px status bar below) on an
// 8 px grid:
//
//   top bar      0,   0, 1200,  48  logo; preset commands; MIDI learn and activity; options, about; maker
//   lines        8,  56,  200, 256  four rows: select (click; Ctrl copies, Shift pastes), meters,
//                                   mute, solo, copy, paste, padlock
//   routing      8, 320,  200, 160  the routing's name, the menu button, a picture of the wiring
//   line       216,  56,  616, 424  everything of the selected line: time (delay / pre-delay tabs,
//                                   synced and free panels), filter, signal flow, overdrive,
//                                   feedback, level, stereo, modulation
//   MOD 1      840,  56,  352, 208  type; LFO (synced, free), ENV and PEAK panels; retrigger settings
//   MOD 2      840, 272,  352, 208
//   output       8, 488, 1184,  44  dry/wet with its padlock, gain, limiter, output meters and clip lamps
//
// Where this departs from the first design and why:
// - Sections are printed on the main panel and their controls are children of
//   the main panel; only the panels that the editor shows and hides are real
//   panels. The editor places the routing menu and the retrigger windows from
//   their buttons' positions in the buttons' parents, so buttons on the main
//   panel (at the editor's origin) put them where they belong.
// - The selected line's controls are one box titled with the line's number
//   ("LINE 2", a picture that follows the selected-line parameter), so that it
//   is plain which line the knobs change; the design's three bands are groups
//   inside it.
// - The retrigger windows (338 x 161) open 176 px above their buttons; the
//   buttons sit at the modulators' bottom-left corners (x 848, y 236 and 452),
//   so a window covers its modulator's section from 4 px below its top down to
//   15 px above the button, title and type tabs whole (an opaque window over
//   half of the tabs looked broken).
// - The routing's name is a text display and its wiring a nine-frame picture,
//   both following the routing parameter; the menu button beside the name
//   opens the menu to its right.
// - Mode-dependent panels (time, LFO / ENV / PEAK) are opaque: the LFO panel is
//   never hidden by the editor, so the ENV and PEAK panels, later in the list,
//   cover it.
// - Choices that the editor does not drive (LFO waveforms) are multi-state
//   buttons linked to the choice parameter, each lit in its own state only.
// - Join is a toggle bound to its parameter (no event sets it); the contract's
//   join switch is the "L=R" mark between the synced channels.
// - A line's MUTE lights its whole body when on, with no lamp: a lamp and
//   "MUTE" do not fit its 48 px with room around the text.
// - Texts stand out from what they are drawn on by at least 4.5:1 and keep
//   3 px of room inside their controls; the generator measures both and stops
//   the build when one falls short (the labels are a light grey for it).
// - Output meters are horizontal bars of 23 frames (3 dB a segment, 0 dB at
//   the 20th), which suit the 44 px output strip; line meters are vertical
//   bars of 9 frames, the engine's nine steps.

#include "SkinLayout.h"

#include "Drawing.h"
#include "Fonts.h"
#include "Palette.h"

namespace Skin
{
const char* tagName(Tag tag)
{
    switch (tag)
    {
    case Tag::panel: return "Panel";
    case Tag::knob: return "Knob";
    case Tag::multiStateButton: return "MultiStateButton";
    case Tag::toggleButton: return "ToggleButton";
    case Tag::button: return "Button";
    case Tag::animation: return "Animation";
    case Tag::display: return "Display";
    case Tag::numericDisplay: return "NumericDisplay";
    }
    return "";
}

Control* Control::find(const juce::String& controlName)
{
    if (name == controlName)
        return this;
    for (auto& child : children)
        if (auto* found = child.find(controlName))
            return found;
    return nullptr;
}

void ImageTable::use(const juce::String& name, int frameCount, std::function<juce::Image()> draw)
{
    if (drawings.count(name) != 0)
        return;
    drawings[name] = std::move(draw);
    frames[name] = frameCount;
}

namespace
{
using namespace SkinPictures;

constexpr int knobFrames = 128;
constexpr int big = 48, mid = 36, small = 28;
constexpr int buttonHeight = 20;
constexpr int glyphWidth = 8, glyphHeight = 16;

// A place to put controls: a real panel, or a group printed on one (a
// section), whose coordinates start at `origin` of the panel.
class Group
{
public:
    Group(Layout& l, Control& p, juce::Point<int> o = {}) : layout(l), panel(p), origin(o) {}

    Group at(juce::Point<int> offset) const { return Group(layout, panel, origin + offset); }

    void print(PrintKind kind, juce::Rectangle<int> area, const juce::String& text = {},
               juce::Justification justification = juce::Justification::centred)
    {
        panel.prints.push_back({ kind, area + origin, text, justification });
    }

    // A titled section box printed on the panel; its group's origin is the box's corner.
    Group section(juce::Rectangle<int> area, const juce::String& title)
    {
        print(PrintKind::box, area);
        if (title.isNotEmpty())
            print(PrintKind::title, { area.getX() + 8, area.getY() + 6, area.getWidth() / 2, 16 }, title,
                  juce::Justification::centredLeft);
        return at(area.getPosition());
    }

    // The name of a group of controls with a rule after it.
    void caption(juce::Rectangle<int> area, const juce::String& text)
    {
        checkFits(text, fontFor(PrintKind::caption), (float) area.getWidth(), "caption");
        print(PrintKind::caption, area, text);
    }

    // A real panel (the editor shows and hides it); its group starts at its corner.
    Group panelChild(const juce::String& name, juce::Rectangle<int> area, PanelStyle style)
    {
        auto& p = add(Tag::panel, name, area);
        p.style = style;
        p.image = name + ".png";
        return Group(layout, p);
    }

    Control& knob(const juce::String& name, juce::Point<int> position, int size, bool bipolar,
                  const juce::String& parameter, const juce::String& label, LabelSide side = LabelSide::below,
                  bool active = true)
    {
        const juce::String image = "Knob" + juce::String(size) + (bipolar ? "Bipolar" : "") + (active ? "" : "Inactive")
                                 + ".png";
        layout.images.use(image, knobFrames, [=] { return SkinPictures::knob(size, bipolar, knobFrames, active); });
        auto& c = add(Tag::knob, name, { position.x, position.y, size, size });
        c.image = image;
        c.frames = knobFrames;
        c.parameter = parameter;
        c.label = label;
        c.labelSide = side;
        return c;
    }

    // An on/off button with a lamp; without one (`lamp` false) it lights its
    // whole body when on, for a narrow button whose text needs the room.
    Control& toggle(const juce::String& name, juce::Rectangle<int> area, const juce::String& parameter,
                    const juce::String& text, bool lamp = true)
    {
        ButtonFace face { text, Symbol::none, Segment::single, Fonts::smallest };
        checkFace(face, (float) area.getWidth() - (lamp ? 16.0f : 6.0f));
        auto& c = add(Tag::toggleButton, name, area);
        c.image = name + ".png";
        c.frames = 4;
        c.parameter = parameter;
        c.label = text;
        c.attributes = { { "style", "3D" } };
        // The switch's strip has the toggle's frame order: off, off pressed, on, on pressed.
        layout.images.use(c.image, 4, [=] {
            return lamp ? toggleButton(area.getWidth(), area.getHeight(), face)
                        : switchButton(area.getWidth(), area.getHeight(), face, 2, { 1 });
        });
        return c;
    }

    Control& push(const juce::String& name, juce::Rectangle<int> area, const ButtonFace& face,
                  const juce::String& event, const juce::String& parameter = {})
    {
        checkFace(face, (float) area.getWidth() - 6.0f);
        auto& c = add(Tag::button, name, area);
        c.image = name + ".png";
        c.frames = 2;
        c.parameter = parameter;
        c.label = face.text.isNotEmpty() ? face.text : juce::String(name);
        if (event.isNotEmpty())
            c.actions = { { "onClick", event } };
        layout.images.use(c.image, 2, [=] { return pushButton(area.getWidth(), area.getHeight(), face); });
        return c;
    }

    // A multi-state button ("3D": each state with its pressed form), lit in
    // the states listed. Its clicks raise the actions' events.
    Control& choice(const juce::String& name, juce::Rectangle<int> area, const ButtonFace& face, int states,
                    std::vector<int> litStates, std::vector<std::pair<juce::String, juce::String>> actions,
                    const juce::String& parameter = {})
    {
        checkFace(face, (float) area.getWidth() - 6.0f);
        return multiState(name, area, face.text.isNotEmpty() ? face.text : juce::String(name), states,
                          std::move(actions), parameter,
                          [=] { return switchButton(area.getWidth(), area.getHeight(), face, states, litStates); });
    }

    // `pressedForms`: the "3D" style, each state followed by its pressed form.
    Control& multiState(const juce::String& name, juce::Rectangle<int> area, const juce::String& label, int states,
                        std::vector<std::pair<juce::String, juce::String>> actions, const juce::String& parameter,
                        std::function<juce::Image()> draw, bool pressedForms = true)
    {
        auto& c = add(Tag::multiStateButton, name, area);
        c.image = name + ".png";
        c.frames = (pressedForms ? 2 : 1) * states;
        c.parameter = parameter;
        c.label = label;
        c.actions = std::move(actions);
        c.attributes = { { "style", pressedForms ? "3D" : "2D" }, { "states", juce::String(states) } };
        layout.images.use(c.image, c.frames, std::move(draw));
        return c;
    }

    // A two-state mark that the editor lights and that does nothing when
    // clicked: a lamp and a text, no button body, no pressed form ("2D").
    Control& indicator(const juce::String& name, juce::Rectangle<int> area, const juce::String& text)
    {
        return multiState(name, area, text, 2, {}, {}, [=] { return SkinPictures::indicator(area.getWidth(), area.getHeight(), text); },
                          false);
    }

    // One button of a group of choices that the editor lights (state 1 = chosen).
    Control& option(const juce::String& name, juce::Rectangle<int> area, const juce::String& text, Segment segment,
                    const juce::String& event, float fontHeight = Fonts::smallest)
    {
        std::vector<std::pair<juce::String, juce::String>> actions;
        if (event.isNotEmpty())
            actions.push_back({ "onClick", event });
        return choice(name, area, { text, Symbol::none, segment, fontHeight }, 2, { 1 }, actions);
    }

    // A row of joined options, left to right, each `width` wide.
    void options(juce::Point<int> position, int width, const juce::StringArray& names, const juce::StringArray& texts,
                 const juce::StringArray& events, float fontHeight = Fonts::smallest)
    {
        for (int i = 0; i < names.size(); ++i)
        {
            const auto segment = names.size() == 1 ? Segment::single
                               : i == 0 ? Segment::left
                               : i == names.size() - 1 ? Segment::right : Segment::middle;
            option(names[i], { position.x + i * width, position.y, width, buttonHeight }, texts[i], segment,
                   events[i], fontHeight);
        }
    }

    // A print that the editor shows or hides (a hint that holds only in some
    // states): one frame drawn as the print would be on a filled panel.
    Control& shownPrint(const juce::String& name, PrintKind kind, juce::Rectangle<int> area, const juce::String& text,
                        juce::Justification justification)
    {
        const Print print { kind, { area.getWidth(), area.getHeight() }, text, justification };
        return animation(name, area, name + ".png", 1,
                         [=] { return SkinPictures::panel(area.getWidth(), area.getHeight(), PanelStyle::fill, { print }); });
    }

    Control& animation(const juce::String& name, juce::Rectangle<int> area, const juce::String& image, int frames,
                       std::function<juce::Image()> draw, const juce::String& parameter = {})
    {
        layout.images.use(image, frames, std::move(draw));
        auto& c = add(Tag::animation, name, area);
        c.image = image;
        c.frames = frames;
        c.parameter = parameter;
        return c;
    }

    Control& lamp(const juce::String& name, juce::Point<int> position, juce::Colour colour, const juce::String& colourName,
                  const juce::String& label, LabelSide side)
    {
        constexpr int size = 14;
        auto& c = animation(name, { position.x, position.y, size, size }, "Lamp" + colourName + ".png", 2,
                            [=] { return SkinPictures::lamp(size, colour); });
        c.label = label;
        c.labelSide = side;
        return c;
    }

    // A read-only text display in the face's bitmap font, on a printed well.
    Control& display(const juce::String& name, juce::Point<int> position, int characters, const juce::String& parameter)
    {
        const juce::String image = "DisplayFont.png";
        layout.images.use(image, 1, [] { return bitmapFont(glyphWidth, glyphHeight, ' ', '~', Palette::accentLight); });
        const juce::Rectangle<int> area { position.x, position.y, characters * glyphWidth, glyphHeight };
        print(PrintKind::well, area.expanded(4, 3));
        auto& c = add(Tag::display, name, area);
        c.image = image;
        c.parameter = parameter;
        c.attributes = { { "readonly", "yes" }, { "backgroundColour", Palette::inset.toDisplayString(true) } };
        c.gfxAttributes = { { "fontHeight", juce::String(glyphHeight) }, { "firstASCII", " " } };
        return c;
    }

    // A number shown in digit cells; dragging it up or down changes it.
    Control& numeric(const juce::String& name, juce::Point<int> position, int digitCount, int digitWidth, int digitHeight,
                     int minimum, int maximum, const juce::String& parameter)
    {
        const juce::String image = "Digits" + juce::String(digitWidth) + "x" + juce::String(digitHeight) + ".png";
        layout.images.use(image, 11, [=] { return digits(digitWidth, digitHeight, Palette::accentLight); });
        auto& c = add(Tag::numericDisplay, name, { position.x, position.y, digitCount * digitWidth, digitHeight });
        c.image = image;
        c.frames = 11;
        c.parameter = parameter;
        int order = 1;
        for (int i = 1; i < digitCount; ++i)
            order *= 10;
        c.attributes = { { "digitsNum", juce::String(digitCount) }, { "firstDigitOrder", juce::String(order) },
                         { "minValue", juce::String(minimum) }, { "maxValue", juce::String(maximum) } };
        return c;
    }

    Control& add(Tag tag, const juce::String& name, juce::Rectangle<int> area)
    {
        Control c;
        c.tag = tag;
        c.name = name;
        c.bounds = area + origin;
        panel.children.push_back(c);
        return panel.children.back();
    }

    Layout& layout;
    Control& panel;
    juce::Point<int> origin;

private:
    void checkFits(const juce::String& text, const juce::Font& font, float width, const char* what)
    {
        if (Drawing::textWidth(text, font) * 0.85f > width)
            layout.errors.add(juce::String(what) + " \"" + text + "\" does not fit in " + juce::String(width) + " px");
    }

    void checkFace(const ButtonFace& face, float width)
    {
        if (face.symbol == Symbol::none)
            checkFits(face.text, Fonts::sansBold(face.fontHeight).withExtraKerningFactor(0.04f), width, "button text");
    }
};

const juce::StringArray lineScaleTexts { "FULL", "DOTTED", "TRIPLET" };

// ---------------------------------------------------------------------------
// Top bar

void buildTopBar(Group main)
{
    main.print(PrintKind::band, { 0, 0, 1200, 48 });
    main.print(PrintKind::logo, { 16, 6, 176, 36 });

    const int y = 11, h = 26;
    main.print(PrintKind::label, { 232, y, 50, h }, "PRESET", juce::Justification::centredRight);
    main.push("PresetPreviousButton", { 288, y, 26, h }, { {}, Symbol::arrowLeft }, "Select previous preset").label =
        "Previous preset";
    main.push("PresetNextButton", { 316, y, 26, h }, { {}, Symbol::arrowRight }, "Select next preset").label =
        "Next preset";
    main.display("PresetNameDisplay", { 356, 16 }, 30, "Preset Name");
    main.push("PresetSaveButton", { 604, y, 52, h }, { "SAVE" }, "Save preset");
    main.push("PresetSaveAsButton", { 660, y, 68, h }, { "SAVE AS" }, "Save preset as");
    main.push("PresetBrowseButton", { 732, y, 68, h }, { "BROWSE" }, "Browse presets");

    main.choice("MidiLearnButton", { 840, y, 84, h }, { "MIDI LEARN" }, 2, { 1 }, { { "onClick", "Toggle Midi Learn" } });
    main.animation("MidiActivityLed", { 932, 10, 14, 14 }, "LampGreen.png", 2,
                   [] { return SkinPictures::lamp(14, Palette::meterGreen); })
        .label = "MIDI";
    main.panel.children.back().labelSide = LabelSide::below;
    main.push("OptionsButton", { 960, y, 64, h }, { "OPTIONS" }, "Options");
    main.push("AboutButton", { 1028, y, 52, h }, { "ABOUT" }, "About");
    main.print(PrintKind::makerLogo, { 1088, 12, 104, 24 });
}

// ---------------------------------------------------------------------------
// The four lines and the routing

void buildLines(Group main)
{
    auto lines = main.section({ 8, 56, 200, 256 }, "LINES");
    for (int i = 0; i < 4; ++i)
    {
        const juce::String n(i + 1);
        const int y = 32 + 54 * i;
        lines.multiState("Delay" + n + "SelectButton", { 8, y, 44, 48 }, "LINE " + n, 4,
                         { { "onClick", "Select Line " + n },
                           { "onClickWithCtrl", "Copy Line " + n },
                           { "onClickWithShift", "Paste Line " + n } },
                         {}, [=] { return lineSelectButton(44, 48, i + 1); });

        lines.print(PrintKind::well, { 56, y, 16, 48 });
        const auto lineMeter = [] { return meter(5, 44, 9, true, 0.75f, 1.0f); };
        lines.animation("Delay" + n + "VUMeterLeftAnimation", { 58, y + 2, 5, 44 }, "LineMeter.png", 9, lineMeter);
        lines.animation("Delay" + n + "VUMeterRightAnimation", { 65, y + 2, 5, 44 }, "LineMeter.png", 9, lineMeter);

        lines.toggle("Line" + n + "MuteButton", { 78, y, 48, 22 }, "Line " + n + " Mute", "MUTE", false);
        lines.push("Line" + n + "SoloButton", { 128, y, 40, 22 }, { "SOLO", Symbol::none, Segment::single, Fonts::smallest },
                   "Solo Line " + n);
        lines.push("Line" + n + "CopyButton", { 78, y + 26, 44, 22 }, { "COPY", Symbol::none, Segment::left, Fonts::smallest },
                   "Copy Line " + n);
        lines.push("Line" + n + "PasteButton", { 122, y + 26, 46, 22 }, { "PASTE", Symbol::none, Segment::right, Fonts::smallest },
                   "Paste Line " + n);
        lines.choice("Delay" + n + "PadlockButton", { 172, y, 20, 48 }, { {}, Symbol::padlock }, 2, { 1 },
                     { { "onClick", "Toggle Padlock Line " + n } })
            .label = "Padlock";
        if (i < 3)
            lines.print(PrintKind::rule, { 8, y + 51, 184, 1 });
    }

    auto routing = main.section({ 8, 320, 200, 160 }, "ROUTING");
    routing.display("RoutingNameDisplay", { 14, 32 }, 14, "Routing");
    routing.push("RoutingSelectSwitch", { 136, 29, 56, 22 }, { "CHANGE", Symbol::none, Segment::single, Fonts::smallest },
                 "Show Routing Menu");
    routing.print(PrintKind::well, { 8, 60, 184, 92 });
    routing.animation("RoutingDiagram", { 10, 62, 180, 88 }, "RoutingDiagram.png", 9,
                      [] { return routingDiagram(180, 88); }, "Routing");
}

// ---------------------------------------------------------------------------
// The selected line: time

// The synced or free time controls of one channel; `joined` names the
// variant that stands for the right channel while both channels are joined.
struct TimeNames
{
    juce::String stage;   // "Delay" or "Predelay"
    juce::String params;  // "Delay" or "Pre-delay"
};

// The right channel's caption row ends in this mark while it follows the left.
const juce::Rectangle<int> followsLeftArea { 128, 8, 112, 14 };
const juce::String followsLeftText = "FOLLOWS LEFT";
const juce::String dragHintText = "DRAG TO SET";

void buildTimePanel(Group parent, const TimeNames& t, bool withTap)
{
    auto panel = parent.panelChild(t.stage + "TimePanel", { 8, 54, 600, 116 }, PanelStyle::fill);
    panel.toggle(t.stage + "TempoSyncButton", { 0, 12, 72, 22 }, t.params + " Tempo Sync", "SYNC");
    panel.toggle(t.stage + "JoinButton", { 0, 40, 72, 22 }, t.params + " Join Channels", "JOIN");
    panel.print(PrintKind::rule, { 84, 4, 1, 108 });

    const juce::String lr[] = { "Left", "Right" };

    // Free times: a knob and its milliseconds per channel.
    auto free = panel.panelChild(t.stage + "TimePanelNotSync", { 96, 0, 504, 116 }, PanelStyle::fill);
    for (int ch = 0; ch < 2; ++ch)
    {
        auto g = free.at({ ch * 256, 0 });
        g.caption({ 8, 8, 232, 14 }, ch == 0 ? "LEFT" : "RIGHT");
        // The joined variant follows the left time and takes no drag: it is drawn inactive.
        const auto draw = [&](const juce::String& suffix, const juce::String& channel) {
            g.knob(t.stage + lr[ch] + "Time" + suffix + "Knob", { 16, 32 }, big, false,
                   t.params + " " + channel + " Time", "TIME", LabelSide::below, suffix.isEmpty());
            g.numeric(t.stage + lr[ch] + "Time" + suffix + "Display", { 88, 44 }, 4, 10, 16, 0, 1000,
                      t.params + " " + channel + " Time (ms)");
        };
        draw({}, lr[ch]);
        if (ch == 1)
        {
            draw("Joined", "Left");
            g.shownPrint(t.stage + "RightTimeFollowsLeftMark", PrintKind::caption, followsLeftArea, followsLeftText,
                         juce::Justification::centredRight);
        }
        g.print(PrintKind::well, { 80, 38, 76, 28 });
        g.print(PrintKind::value, { 130, 44, 22, 16 }, "ms", juce::Justification::centredLeft);
        if (withTap)
            g.push(juce::String("Tap") + lr[ch] + "Button", { 168, 40, 56, 24 }, { "TAP" }, {}, "Tap " + lr[ch]);
    }

    // Synced times: numerator / denominator and the rhythmic scale per channel.
    auto synced = panel.panelChild(t.stage + "TimePanelSync", { 96, 0, 504, 116 }, PanelStyle::fill);
    const int numeratorMinimum = t.stage == "Delay" ? 1 : 0;
    for (int ch = 0; ch < 2; ++ch)
    {
        auto g = synced.at({ ch * 256, 0 });
        g.caption({ 8, 8, 232, 14 }, ch == 0 ? "LEFT" : "RIGHT");
        const auto draw = [&](const juce::String& suffix, const juce::String& channel) {
            g.numeric(t.stage + "Time" + lr[ch] + "Nominator" + suffix, { 28, 36 }, 2, 14, 24, numeratorMinimum, 32,
                      t.params + " " + channel + " Numerator");
            g.numeric(t.stage + "Time" + lr[ch] + "Denominator" + suffix, { 80, 36 }, 2, 14, 24, 1, 32,
                      t.params + " " + channel + " Denominator");
        };
        draw({}, lr[ch]);
        const juce::Rectangle<int> hintArea { 128, 32, 100, 32 };
        if (ch == 1)
        {
            // Joined, the right channel follows the left: it drops its hint and says so.
            draw("Joined", "Left");
            g.shownPrint(t.stage + "TimeRightDragHint", PrintKind::label, hintArea, dragHintText,
                         juce::Justification::centredLeft);
            g.shownPrint(t.stage + "TimeRightFollowsLeftMark", PrintKind::caption, followsLeftArea, followsLeftText,
                         juce::Justification::centredRight);
        }
        else
        {
            g.print(PrintKind::label, hintArea, dragHintText, juce::Justification::centredLeft);
        }
        g.print(PrintKind::well, { 16, 32, 104, 32 });
        g.print(PrintKind::symbol, { 58, 36, 20, 24 }, "/");

        juce::StringArray names, events;
        const juce::String scaleNames[] = { "Full", "Dot", "Triplet" };
        const juce::String eventStage = t.stage == "Delay" ? "Delay " : "Pre-delay ";
        const juce::String eventScale[] = { "Full", "Dotted", "Triplet" };
        for (int s = 0; s < 3; ++s)
        {
            names.add(t.stage + "Time" + lr[ch] + scaleNames[s] + "Switch");
            events.add(eventStage + lr[ch] + " Scale " + eventScale[s]);
        }
        g.options({ 16, 76 }, 64, names, lineScaleTexts, events);
    }
    synced.indicator(t.stage + "JoinChannelsSwitch", { 228, 38, 40, 20 }, "L=R");
}

void buildTime(Group line)
{
    line.caption({ 8, 30, 600, 14 }, "TIME");
    line.options({ 56, 28 }, 88, { "DelayPanelSelectSwitch", "PredelayPanelSelectSwitch" },
                 { "DELAY", "PRE-DELAY" }, { "Show Delay Panel", "Show Pre-delay Panel" });
    buildTimePanel(line, { "Delay", "Delay" }, true);
    buildTimePanel(line, { "Predelay", "Pre-delay" }, false);
}

// ---------------------------------------------------------------------------
// The selected line: filter, signal flow, overdrive

void buildFilterAndDrive(Group line)
{
    auto g = line.at({ 8, 178 });
    g.caption({ 0, 0, 160, 14 }, "FILTER");
    g.options({ 0, 20 }, 40, { "DelayFilterSwitch", "DelayFilterLPSwitch", "DelayFilterBPSwitch", "DelayFilterHPSwitch" },
              { "OFF", "LP", "BP", "HP" }, { "Filter Off", "Filter Low Pass", "Filter Band Pass", "Filter High Pass" });
    g.knob("FilterCutoffKnob", { 14, 50 }, big, false, "Filter Cutoff", "CUTOFF");
    g.knob("FilterResonanceKnob", { 94, 50 }, big, false, "Filter Resonance", "RESONANCE");

    g.caption({ 176, 0, 248, 14 }, "SIGNAL FLOW");
    g.print(PrintKind::well, { 176, 20, 248, 68 });
    g.animation("SignalFlowAnim", { 178, 22, 244, 64 }, "SignalFlow.png", 16, [] { return signalFlow(244, 64); });
    g.options({ 176, 94 }, 84, { "DelayFilterPreOverdriveSwitch", "DelayFilterPostOverdriveSwitch" },
              { "FILTER FIRST", "DRIVE FIRST" }, { "Filter Pre Overdrive", "Filter Post Overdrive" }, Fonts::smallest);
    g.toggle("FilterLoopButton", { 348, 94, 76, 20 }, "Filter Feedback Loop", "LOOP");

    g.caption({ 440, 0, 160, 14 }, "OVERDRIVE");
    g.toggle("OverdriveButton", { 440, 20, 60, 20 }, "Overdrive", "ON");
    g.knob("OverdrivePreampKnob", { 444, 56 }, mid, false, "Overdrive Preamp", "PREAMP");
    g.knob("OverdriveColorKnob", { 500, 56 }, mid, true, "Overdrive Color", "COLOR");
    g.knob("OverdriveGainKnob", { 556, 56 }, mid, false, "Overdrive Gain", "GAIN");
}

// ---------------------------------------------------------------------------
// The selected line: feedback, level, stereo, modulation

void buildFeedbackStereoModulation(Group line)
{
    auto g = line.at({ 8, 306 });
    g.caption({ 0, 0, 196, 14 }, "FEEDBACK & LEVEL");
    g.knob("FeedbackKnob", { 8, 20 }, big, true, "Feedback", "FEEDBACK");
    g.knob("LevelKnob", { 76, 20 }, big, false, "Level", "LEVEL");
    g.knob("BalanceKnob", { 144, 26 }, mid, true, "Balance", "BALANCE");
    g.toggle("FreezeButton", { 4, 86, 64, 20 }, "Freeze", "FREEZE");

    g.caption({ 212, 0, 140, 14 }, "STEREO");
    g.options({ 212, 20 }, 40, { "DelayModeLRSwitch", "DelayModeMSSwitch" }, { "L/R", "M/S" },
              { "Input Mode L/R", "Input Mode M/S" });
    g.toggle("SwapButton", { 212, 48, 80, 20 }, "Swap Channels", "SWAP");
    g.toggle("MonoButton", { 212, 74, 80, 20 }, "Mono Input", "MONO");
    g.knob("StereoOffsetKnob", { 306, 26 }, mid, true, "Stereo Offset", "OFFSET");

    g.caption({ 372, 0, 228, 14 }, "MODULATION");
    g.options({ 372, 20 }, 50, { "ModulationSourceLFO1Switch", "ModulationSourceLFO2Switch" }, { "MOD 1", "MOD 2" },
              { "Modulation Source MOD 1", "Modulation Source MOD 2" });
    g.options({ 492, 20 }, 50, { "ModulationScaleLinearSwitch", "ModulationScaleLogarithmicSwitch" }, { "LIN", "LOG" },
              { "Modulation Scale Linear", "Modulation Scale Logarithmic" });
    g.knob("ModulationTimeKnob", { 384, 54 }, mid, false, "Time Modulation Depth", "TIME");
    g.knob("ModulationCutoffKnob", { 452, 54 }, mid, false, "Cutoff Modulation Depth", "CUTOFF");
    g.knob("ModulationTremoloKnob", { 520, 54 }, mid, false, "Tremolo Depth", "TREMOLO");
}

void buildSelectedLine(Group main)
{
    auto line = main.section({ 216, 56, 616, 424 }, {});
    line.animation("SelectedLineBadge", { 8, 6, 64, 18 }, "LineBadge.png", 4, [] { return lineBadge(64, 18); },
                   "Selected Line");
    buildTime(line);
    line.print(PrintKind::rule, { 8, 174, 600, 1 });
    buildFilterAndDrive(line);
    line.print(PrintKind::rule, { 8, 302, 600, 1 });
    buildFeedbackStereoModulation(line);
}

// ---------------------------------------------------------------------------
// The modulators

void buildModulator(Group main, int index)
{
    const juce::String n(index + 1);
    const juce::String mod = "MOD" + n, lfo = "LFO" + n, env = "ENV" + n, peak = "PEAK" + n;
    const juce::String param = "MOD " + n + " ";
    const juce::String event = "MOD " + n + " ";

    auto section = main.section({ 840, 56 + 216 * index, 352, 208 }, "MOD " + n);
    section.options({ 196, 6 }, 50, { mod + "TypeLFOSwitch", mod + "TypeENVSwitch", mod + "TypePEAKSwitch" },
                    { "LFO", "ENV", "PEAK" }, { event + "Type LFO", event + "Type Envelope", event + "Type Peak Follower" });
    section.choice(mod + "RetriggerSettings", { 8, 180, 96, 20 }, { "RETRIGGER", Symbol::none, Segment::single, Fonts::smallest }, 2,
                   { 1 }, { { "onClick", "Toggle MOD " + n + " Retrigger Settings" } });
    section.print(PrintKind::label, { 112, 180, 232, 20 }, "BY A MIDI NOTE OR THE INPUT LEVEL",
                  juce::Justification::centredLeft);

    const juce::Rectangle<int> modeArea { 8, 32, 336, 142 };

    // LFO: shape, invert, sync and phase; the rate as a free frequency or a synced note value.
    auto lfoPanel = section.panelChild(lfo + "Panel", modeArea, PanelStyle::fill);
    lfoPanel.caption({ 0, 0, 336, 14 }, "WAVEFORM");
    const std::pair<Symbol, int> shapes[] = {
        { Symbol::sine, 3 }, { Symbol::triangle, 4 }, { Symbol::sawDown, 1 }, { Symbol::square, 2 }, { Symbol::random, 0 }
    };
    const juce::String shapeEvents[] = { "Random", "Saw Down", "Square", "Sine", "Triangle" };
    const juce::String shapeNames[] = { "Random", "SawDown", "Square", "Sine", "Triangle" };
    for (int i = 0; i < 5; ++i)
    {
        const auto [symbol, state] = shapes[i];
        const auto segment = i == 0 ? Segment::left : i == 4 ? Segment::right : Segment::middle;
        lfoPanel.choice(lfo + "Waveform" + shapeNames[state] + "Switch", { i * 32, 18, 32, buttonHeight },
                        { {}, symbol, segment }, 5, { state }, { { "onClick", event + "Waveform " + shapeEvents[state] } },
                        param + "Waveform")
            .label = shapeEvents[state];
    }
    lfoPanel.toggle(lfo + "InvertButton", { 172, 18, 76, 20 }, param + "Invert", "INVERT");
    lfoPanel.toggle(lfo + "TempoSyncButton", { 256, 18, 80, 20 }, param + "Tempo Sync", "SYNC");
    lfoPanel.knob(lfo + "StereoPhaseKnob", { 220, 56 }, big, true, param + "Stereo Phase", "PHASE");
    lfoPanel.lamp(lfo + "ResetLED", { 296, 72 }, Palette::accent, "Orange", "RESTART", LabelSide::below);

    auto freeRate = lfoPanel.panelChild(lfo + "NotSyncedPanel", { 0, 48, 204, 94 }, PanelStyle::fill);
    freeRate.knob(lfo + "FrequencyKnob", { 12, 8 }, big, false, param + "Frequency", "FREQUENCY");
    freeRate.lamp(lfo + "FreeRateLED", { 84, 25 }, Palette::accent, "Orange", "RATE", LabelSide::right);

    // The scales get a row of their own below the rate, wide enough for "DOTTED"
    // and "TRIPLET" to keep their room.
    auto syncRate = lfoPanel.panelChild(lfo + "SyncedPanel", { 0, 48, 204, 94 }, PanelStyle::fill);
    syncRate.knob(lfo + "RateKnob", { 12, 4 }, big, false, param + "Rate", "RATE");
    syncRate.display(lfo + "RateDisplay", { 80, 12 }, 4, param + "Rate");
    syncRate.lamp(lfo + "SyncRateLED", { 124, 13 }, Palette::accent, "Orange", {}, LabelSide::onFace);
    syncRate.options({ 8, 70 }, 62, { lfo + "ScaleFullSwitch", lfo + "ScaleDotSwitch", lfo + "ScaleTripletSwitch" },
                     lineScaleTexts, { event + "Scale Full", event + "Scale Dotted", event + "Scale Triplet" }, Fonts::smallest);

    // Envelope.
    auto envPanel = section.panelChild(env + "Panel", modeArea, PanelStyle::fill);
    envPanel.caption({ 0, 0, 336, 14 }, "ENVELOPE");
    const juce::String envParts[] = { "Attack", "Decay", "Sustain", "Hold", "Release" };
    for (int i = 0; i < 5; ++i)
        envPanel.knob(env + envParts[i] + "Knob", { 8 + i * 56, 30 }, big, false, param + "Envelope " + envParts[i],
                      envParts[i].toUpperCase());
    envPanel.lamp(env + "ResetLED", { 300, 46 }, Palette::accent, "Orange", "RESTART", LabelSide::below);

    // Peak follower.
    auto peakPanel = section.panelChild(peak + "Panel", modeArea, PanelStyle::fill);
    peakPanel.caption({ 0, 0, 336, 14 }, "PEAK FOLLOWER");
    peakPanel.knob(peak + "SensitivityKnob", { 12, 30 }, big, false, param + "Follower Sensitivity", "SENSITIVITY");
    peakPanel.knob(peak + "AttackKnob", { 84, 30 }, big, false, param + "Follower Attack", "ATTACK");
    peakPanel.knob(peak + "ReleaseKnob", { 148, 30 }, big, false, param + "Follower Release", "RELEASE");
    peakPanel.print(PrintKind::well, { 216, 44, 116, 20 });
    peakPanel.animation(peak + "MeterAnim", { 218, 46, 112, 16 }, "PeakMeter.png", 17,
                        [] { return meter(112, 16, 17, false, 0.75f, 1.0f); })
        .label = "LEVEL";
    peakPanel.panel.children.back().labelSide = LabelSide::below;
}

// ---------------------------------------------------------------------------
// Output

void buildOutput(Group main)
{
    auto out = main.at({ 8, 488 });
    out.print(PrintKind::box, { 0, 0, 1184, 44 });
    out.print(PrintKind::title, { 8, 14, 80, 16 }, "OUTPUT", juce::Justification::centredLeft);

    out.knob("DryWetKnob", { 96, 8 }, small, false, "Dry/Wet", "DRY/WET", LabelSide::right);
    out.choice("FXAmountPadlockButton", { 178, 11, 22, 22 }, { {}, Symbol::padlock }, 2, { 1 },
               { { "onClick", "Toggle Dry/Wet Padlock" } })
        .label = "Padlock";
    out.knob("OutputGainKnob", { 224, 8 }, small, false, "Output Gain", "GAIN", LabelSide::right);
    out.toggle("LimiterButton", { 304, 12, 80, 20 }, "Limiter", "LIMITER");
    out.knob("LimiterThresholdKnob", { 396, 8 }, small, false, "Limiter Threshold", "THRESHOLD", LabelSide::right);

    // Level meters, 3 dB a segment from -60 dB to +6 dB, with their scale.
    const int meterX = 584, meterW = 22 * 21 + 2;
    out.print(PrintKind::well, { meterX - 2, 6, meterW + 4, 28 });
    for (int ch = 0; ch < 2; ++ch)
    {
        const juce::String side = ch == 0 ? "Left" : "Right";
        out.print(PrintKind::label, { meterX - 20, 8 + ch * 13, 14, 11 }, ch == 0 ? "L" : "R");
        out.animation("OutputVU" + side + "Anim", { meterX, 8 + ch * 13, meterW, 11 }, "OutputMeter.png", 23,
                      [=] { return meter(meterW, 11, 23, false, 17.0f / 22.0f, 21.0f / 22.0f); });
        out.lamp("OutputClip" + side + "Anim", { meterX + meterW + 12, 6 + ch * 16 }, Palette::meterRed, "Red", {},
                 LabelSide::onFace);
    }
    out.print(PrintKind::label, { meterX + meterW + 32, 6, 40, 30 }, "CLIP", juce::Justification::centredLeft);
    const int marks[] = { -60, -48, -36, -24, -12, 0 };
    for (int dB : marks)
    {
        const int x = meterX + 1 + (int) ((float) (dB + 60) / 66.0f * (float) (meterW - 2));
        out.print(PrintKind::value, { x - 14, 34, 28, 10 }, dB == 0 ? "0 dB" : juce::String(dB));
    }
}
}

Layout buildLayout()
{
    Layout layout;
    layout.main.tag = Tag::panel;
    layout.main.name = "MainPanel";
    layout.main.bounds = { 0, 0, 1200, 540 };
    layout.main.image = "MainPanel.png";
    layout.main.style = PanelStyle::canvas;

    Group main(layout, layout.main);
    buildTopBar(main);
    buildLines(main);
    buildSelectedLine(main);
    buildModulator(main, 0);
    buildModulator(main, 1);
    buildOutput(main);
    return layout;
}
}
