#pragma once

#include <juce_graphics/juce_graphics.h>

#include <vector>

// The kinds of picture that the built-in skin is made of. Each function draws
// every instance of its kind from a few numbers, so that all knobs, all
// switches and all lamps of the face are drawn by one hand. Strips stack their
// frames vertically, in the frame order that the skin's control expects.
namespace SkinPictures
{
// Rotary knob, `frames` positions from the start angle (-135 degrees) to the
// end (+135). A bipolar knob draws its value arc from the top centre. An
// inactive knob (one that only shows a value it follows) draws its arc and
// pointer in greys, without the orange that marks what is active.
juce::Image knob(int diameter, bool bipolar, int frames, bool active = true);

// Where a button sits in a row of joined buttons: its outer corners are round.
enum class Segment { single, left, middle, right };

// What a button shows: a text, or one of a few drawn symbols.
enum class Symbol { none, arrowLeft, arrowRight, padlock, sine, sawDown, square, triangle, random };

struct ButtonFace
{
    juce::String text;
    Symbol symbol = Symbol::none;
    Segment segment = Segment::single;
    float fontHeight = 11.0f; // never below Fonts::smallest
};

// Momentary push button: frame 0 up, 1 pressed.
juce::Image pushButton(int width, int height, const ButtonFace& face);

// Switch showing one of `states` states, "3D" layout (frame 2k state k, 2k + 1
// state k pressed), or "2D" without the pressed forms for a switch that only
// shows a state. The switch is lit in the states listed, dark in the others:
// a choice button of a group is lit in its own state only.
juce::Image switchButton(int width, int height, const ButtonFace& face, int states, const std::vector<int>& litStates,
                         bool pressedForms = true);

// On/off button with a lamp beside its text, "3D" layout (off, off pressed,
// on, on pressed).
juce::Image toggleButton(int width, int height, const ButtonFace& face);

// The big line select button: its number; "3D", four states: 0 dark, 1 lit
// (selected), 2 dark and copied, 3 lit and copied (a ring in its own tone).
juce::Image lineSelectButton(int width, int height, int line);

// A state shown, not a button: a lamp and its text, with no body or border;
// frame 0 off, frame 1 lit.
juce::Image indicator(int width, int height, const juce::String& text);

// Round lamp: frame 0 dark, frame 1 lit in the colour.
juce::Image lamp(int size, juce::Colour colour);

// Segmented level meter of `frames` frames (frame 0 all dark, the last all
// lit); segments turn amber and red towards the top (or right).
juce::Image meter(int width, int height, int frames, bool vertical, float amberFrom, float redFrom);

// The filter and drive signal-flow diagram: 16 frames, frame bits 1 filter
// after the drive, 2 drive on, 4 filter on, 8 filter in the feedback loop.
juce::Image signalFlow(int width, int height);

// The wiring of the four lines in each of the nine routings.
juce::Image routingDiagram(int width, int height);

// "LINE 1" to "LINE 4", for the title of the selected line's controls.
juce::Image lineBadge(int width, int height);

// The glyph strip of a text display: one glyph a row from first to last
// character, then the same glyphs in their caret form.
juce::Image bitmapFont(int glyphWidth, int glyphHeight, juce::juce_wchar first, juce::juce_wchar last, juce::Colour colour);

// The digit strip of a numeric display: frame 0 blank, frames 1 to 10 the
// digits 0 to 9, on the colour of the well they sit in.
juce::Image digits(int width, int height, juce::Colour colour);
}

// Panel backgrounds: what a panel prints around its controls.
namespace SkinPictures
{
enum class PanelStyle
{
    canvas, // the whole face: graphite; sections are printed on it as boxes
    fill    // an opaque area of panel colour, for panels that replace each other
};

enum class PrintKind
{
    title,    // a section's name, bold capitals
    label,    // a control's name
    caption,  // the name of a group inside a section, with a rule after it
    value,    // small bright text, such as a unit after a display
    symbol,   // a large dim sign between displays, such as the "/" of a note value
    box,      // a section's box with round corners, printed on a larger panel
    band,     // the top bar's darker strip
    well,     // a dark recess behind displays, meters and diagrams
    rule,     // a thin line between groups (the area is its extent)
    logo,     // the product's logo at the area's top-left corner
    makerLogo // the maker's logo at the area's top-left corner
};

struct Print
{
    PrintKind kind;
    juce::Rectangle<int> area;
    juce::String text;
    juce::Justification justification = juce::Justification::centred;
};

juce::Image panel(int width, int height, PanelStyle style, const std::vector<Print>& prints);

// The font of each print kind; the layout measures texts with it.
juce::Font fontFor(PrintKind kind);
}
