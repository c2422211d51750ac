#pragma once

#include "SkinPictures.h"

#include <functional>
#include <list>
#include <map>
#include <vector>

// The built-in skin as data: every panel and control with its place, its
// parameter, its events, its printed label and the picture it shows. One table
// (SkinLayout.cpp) is the only source of "skin.xml" and of every image that it
// names (SkinWriter.cpp turns it into both).
namespace Skin
{
// The skin XML tags this skin uses.
enum class Tag { panel, knob, multiStateButton, toggleButton, button, animation, display, numericDisplay };

const char* tagName(Tag tag);

// Where a control's label is printed, next to it on its panel's background.
// `onFace`: the control's own picture carries the text (buttons).
enum class LabelSide { onFace, below, above, right, left };

struct Control
{
    Tag tag = Tag::panel;
    juce::String name;
    juce::Rectangle<int> bounds; // in the parent panel
    juce::String image;          // resource name, empty for none
    int frames = 1;
    juce::String parameter;                                  // the "connectedTo" link
    std::vector<std::pair<juce::String, juce::String>> actions;    // gesture, event name
    std::vector<std::pair<juce::String, juce::String>> attributes; // further XML attributes
    std::vector<std::pair<juce::String, juce::String>> gfxAttributes; // further attributes of its "gfx" child
    juce::String label;
    LabelSide labelSide = LabelSide::onFace;

    // Panels only.
    SkinPictures::PanelStyle style = SkinPictures::PanelStyle::fill;
    std::vector<SkinPictures::Print> prints;
    std::list<Control> children; // a list: the builder keeps references to panels while adding

    Control* find(const juce::String& controlName);
};

// The pictures that the table names, drawn only when the skin is generated.
struct ImageTable
{
    std::map<juce::String, std::function<juce::Image()>> drawings;
    std::map<juce::String, int> frames;

    // Records a picture once; a name already recorded keeps its first drawing
    // (a shared strip such as a knob size).
    void use(const juce::String& name, int frameCount, std::function<juce::Image()> draw);
};

struct Layout
{
    Control main; // "MainPanel"
    ImageTable images;
    juce::StringArray errors; // table mistakes that the generator reports
};

// The whole face.
Layout buildLayout();
}
