// Turns the skin's layout table into "skin.xml" and the images it names:
// panel backgrounds with every label printed, and each control's strip.

#include "Drawing.h"
#include "GeneratedFiles.h"
#include "ImageSet.h"
#include "Palette.h"
#include "SkinLayout.h"
#include "SkinWriter.h"

namespace
{
using namespace Skin;
using SkinPictures::PrintKind;

constexpr int labelHeight = 12;
constexpr int labelGap = 2;

// Where a control's label goes on its panel, or nothing for a label on its face.
juce::Rectangle<int> labelArea(const Control& c)
{
    const auto& b = c.bounds;
    const int width = (int) std::ceil(SkinPictures::fontFor(PrintKind::label).getStringWidthFloat(c.label)) + 2;
    switch (c.labelSide)
    {
    case LabelSide::below:
        return { b.getCentreX() - juce::jmax(width, b.getWidth()) / 2, b.getBottom() + labelGap,
                 juce::jmax(width, b.getWidth()), labelHeight };
    case LabelSide::above:
        return { b.getCentreX() - juce::jmax(width, b.getWidth()) / 2, b.getY() - labelGap - labelHeight,
                 juce::jmax(width, b.getWidth()), labelHeight };
    case LabelSide::right:
        return { b.getRight() + 4, b.getCentreY() - labelHeight / 2, width, labelHeight };
    case LabelSide::left:
        return { b.getX() - 4 - width, b.getCentreY() - labelHeight / 2, width, labelHeight };
    case LabelSide::onFace:
        break;
    }
    return {};
}

juce::Justification labelJustification(LabelSide side)
{
    switch (side)
    {
    case LabelSide::right: return juce::Justification::centredLeft;
    case LabelSide::left: return juce::Justification::centredRight;
    default: return juce::Justification::centred;
    }
}

// Controls that the editor shows one at a time stand in the same place: the
// joined right channel instead of the separate one.
bool areAlternatives(const Control& a, const Control& b)
{
    return a.name.replace("Joined", "") == b.name.replace("Joined", "");
}

// Prints every child's label on the panel, and reports labels that leave the
// panel or touch another control or label: a clipped or crowded label is a
// mistake in the table, not something to find on screen.
void printLabels(Control& panel, juce::StringArray& errors)
{
    const juce::Rectangle<int> inside(panel.bounds.getWidth(), panel.bounds.getHeight());
    std::vector<std::pair<juce::Rectangle<int>, const Control*>> placed;
    for (const auto& child : panel.children)
    {
        if (child.labelSide == LabelSide::onFace || child.label.isEmpty())
            continue;
        const auto area = labelArea(child);
        if (! inside.contains(area))
            errors.add("the label of " + child.name + " leaves " + panel.name);
        for (const auto& other : panel.children)
            if (&other != &child && other.bounds.intersects(area))
                errors.add("the label of " + child.name + " touches " + other.name);
        for (const auto& [otherArea, other] : placed)
            if (otherArea.intersects(area) && ! areAlternatives(child, *other))
                errors.add("the labels of " + child.name + " and " + other->name + " touch");
        placed.push_back({ area, &child });
        bool printedAlready = false;
        for (const auto& print : panel.prints)
            if (print.kind == PrintKind::label && print.area == area && print.text == child.label)
                printedAlready = true;
        if (! printedAlready)
            panel.prints.push_back({ PrintKind::label, area, child.label, labelJustification(child.labelSide) });
    }
    for (auto& child : panel.children)
        if (child.tag == Tag::panel)
            printLabels(child, errors);
}

void addPosition(juce::XmlElement& e, const juce::Rectangle<int>& bounds)
{
    auto* pos = e.createNewChildElement("pos");
    pos->setAttribute("left", bounds.getX());
    pos->setAttribute("top", bounds.getY());
}

void addSize(juce::XmlElement& e, const juce::Rectangle<int>& bounds)
{
    auto* size = e.createNewChildElement("size");
    size->setAttribute("width", bounds.getWidth());
    size->setAttribute("height", bounds.getHeight());
}

std::unique_ptr<juce::XmlElement> toXml(const Control& c)
{
    auto e = std::make_unique<juce::XmlElement>(tagName(c.tag));
    e->setAttribute("name", c.name);
    for (const auto& [key, value] : c.attributes)
        e->setAttribute(key, value);
    if (c.label.isNotEmpty())
        e->setAttribute("label", c.label);

    if (c.parameter.isNotEmpty())
    {
        auto* link = e->createNewChildElement("links")->createNewChildElement("link");
        link->setAttribute("as", "connectedTo");
        link->setAttribute("param", c.parameter);
    }
    if (! c.actions.empty())
    {
        auto* actions = e->createNewChildElement("actions");
        for (const auto& [type, event] : c.actions)
        {
            auto* action = actions->createNewChildElement("action");
            action->setAttribute("type", type);
            action->setAttribute("event", event);
        }
    }

    if (c.tag == Tag::numericDisplay)
    {
        addSize(*e, c.bounds);
        e->createNewChildElement("digits")->setAttribute("resource", c.image);
        addPosition(*e, c.bounds);
        return e;
    }

    if (c.image.isNotEmpty())
    {
        auto* gfx = e->createNewChildElement("gfx");
        gfx->setAttribute("resource", c.image);
        if (c.tag != Tag::display)
            gfx->setAttribute("framesNum", c.frames);
        for (const auto& [key, value] : c.gfxAttributes)
            gfx->setAttribute(key, value);
    }
    addPosition(*e, c.bounds);
    if (c.tag == Tag::display)
        addSize(*e, c.bounds);

    if (c.tag == Tag::panel)
    {
        auto* controls = e->createNewChildElement("controls");
        for (const auto& child : c.children)
            controls->addChildElement(toXml(child).release());
    }
    return e;
}

void addPanelImages(const Control& panel, GeneratedFiles& out)
{
    const Drawing::PictureName picture(panel.image);
    out.addImage(panel.image, SkinPictures::panel(panel.bounds.getWidth(), panel.bounds.getHeight(), panel.style,
                                                  panel.prints));
    for (const auto& child : panel.children)
        if (child.tag == Tag::panel)
            addPanelImages(child, out);
}

void produceSkin(GeneratedFiles& out)
{
    auto layout = buildLayout();
    printLabels(layout.main, layout.errors);
    for (const auto& e : layout.errors)
        out.addError("skin: " + e);

    // Every text of the face stands out from what it is drawn on, and a text
    // inside a control keeps its room; controls sit on the panels' colour.
    const Drawing::LegibilityChecks checks(Palette::panel);
    addPanelImages(layout.main, out);
    for (const auto& [name, draw] : layout.images.drawings)
    {
        const Drawing::PictureName picture(name);
        const auto image = draw();
        const int frames = layout.images.frames[name];
        if (image.getHeight() % juce::jmax(1, frames) != 0)
            out.addError("skin: " + name + " is not a strip of " + juce::String(frames) + " frames");
        out.addImage(name, image);
    }
    out.addText("skin.xml", SkinWriter::createSkinXml(layout));
}

const ImageSet skin("skin", produceSkin);
}

namespace SkinWriter
{
juce::String createSkinXml(const Skin::Layout& layout)
{
    juce::XmlElement root("PluginEditor");
    root.setAttribute("application", "Tavinor");
    root.addChildElement(toXml(layout.main).release());

    juce::XmlElement::TextFormat format;
    format.customHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n"
                          "<!-- Tavinor's built-in skin, drawn by tools/imagegen from its layout table\n"
                          "     (SkinLayout.cpp) at build time with every image it names. -->";
    format.customEncoding = "UTF-8";
    format.lineWrapLength = 60;
    return root.toString(format);
}
}
