#include "Drawing.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <vector>

namespace Drawing
{
namespace
{
constexpr float squeeze = 0.85f;
constexpr double minimumContrast = 4.5;
constexpr float minimumRoom = 3.0f;

juce::StringArray& problems()
{
    static juce::StringArray list;
    return list;
}

// What the legibility checks know while they run.
struct Checks
{
    bool on = false;
    juce::Colour behind;
    juce::Image canvas;
    juce::String picture;
    // Worst case per picture and text.
    std::map<std::pair<juce::String, juce::String>, double> contrast;
    std::map<std::pair<juce::String, juce::String>, float> room;
};

Checks& checks()
{
    static Checks c;
    return c;
}

double linear(juce::uint8 component)
{
    const double c = component / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(juce::Colour c)
{
    return 0.2126 * linear(c.getRed()) + 0.7152 * linear(c.getGreen()) + 0.0722 * linear(c.getBlue());
}

// What a pixel looks like on the face: a see-through one over what lies behind.
juce::Colour onFace(juce::Colour pixel)
{
    return checks().behind.overlaidWith(pixel);
}

// How far the text stands out where it is drawn: the contrast between the
// pixels it changed and those pixels before, as at least a quarter of them
// reach it. Thin strokes cover pixels partly, and their edges blend into the
// background; a text is as legible as its stems, not as its single best pixel.
void measureContrast(const juce::String& text, const juce::Image& before, const juce::Rectangle<int>& region)
{
    auto& c = checks();
    std::vector<double> ratios;
    for (int y = 0; y < region.getHeight(); ++y)
        for (int x = 0; x < region.getWidth(); ++x)
        {
            const auto was = before.getPixelAt(x, y);
            const auto now = c.canvas.getPixelAt(region.getX() + x, region.getY() + y);
            if (was != now)
                ratios.push_back(contrastRatio(onFace(was), onFace(now)));
        }
    if (ratios.empty())
        return;
    const auto quarter = ratios.begin() + (std::ptrdiff_t) (ratios.size() / 4);
    std::nth_element(ratios.begin(), quarter, ratios.end(), std::greater<double>());
    const double best = *quarter;
    const auto key = std::make_pair(c.picture, text);
    const auto found = c.contrast.find(key);
    if (found == c.contrast.end() || best < found->second)
        c.contrast[key] = best;
    if (best < minimumContrast)
        problems().addIfNotAlreadyThere("\"" + text + "\" in " + c.picture + " stands out by "
                                        + juce::String(best, 2) + ":1, less than 4.5:1");
}
} // namespace

juce::StringArray getProblems()
{
    return problems();
}

juce::Image newImage(int width, int height)
{
    return juce::Image(juce::Image::ARGB, juce::jmax(1, width), juce::jmax(1, height), true,
                       juce::SoftwareImageType());
}

juce::Image makeStrip(int width, int height, int frames,
                      const std::function<void(juce::Graphics&, int frame)>& drawFrame)
{
    // Each frame is drawn on its own and copied in, so that a frame's pixels do
    // not depend on how far down the strip it sits (edges are rasterised in
    // float, and a large offset changes their coverage in the last bits).
    auto strip = newImage(width, height * frames);
    juce::Graphics g(strip);
    for (int frame = 0; frame < frames; ++frame)
    {
        auto single = newImage(width, height);
        {
            const Canvas canvas(single);
            juce::Graphics frameGraphics(single);
            drawFrame(frameGraphics, frame);
        }
        g.drawImageAt(single, 0, frame * height);
    }
    return strip;
}

juce::Rectangle<float> drawText(juce::Graphics& g, const juce::String& text, const juce::Font& font,
                                juce::Colour colour, juce::Rectangle<float> area, juce::Justification justification)
{
    if (textWidth(text, font) * squeeze > area.getWidth() + 0.5f)
        problems().addIfNotAlreadyThere("\"" + text + "\" does not fit in " + juce::String(area.getWidth()) + " px");

    // Laid out as Graphics::drawFittedText lays it out, so that its ink is known.
    const auto box = area.getSmallestIntegerContainer();
    juce::GlyphArrangement glyphs;
    if (text.isNotEmpty() && ! box.isEmpty())
        glyphs.addFittedText(font, text, (float) box.getX(), (float) box.getY(), (float) box.getWidth(),
                             (float) box.getHeight(), justification, 1, squeeze);
    juce::Path outline;
    glyphs.createPath(outline);
    const auto ink = outline.getBounds();

    auto& c = checks();
    juce::Image before;
    juce::Rectangle<int> region;
    if (c.on && c.canvas.isValid() && ! ink.isEmpty())
    {
        region = ink.getSmallestIntegerContainer().expanded(1).getIntersection(c.canvas.getBounds());
        if (! region.isEmpty())
            before = c.canvas.getClippedImage(region).createCopy();
    }

    g.setColour(colour);
    g.setFont(font);
    glyphs.draw(g);

    if (before.isValid())
        measureContrast(text, before, region);
    return ink;
}

void requireRoom(const juce::String& text, juce::Rectangle<float> ink, juce::Rectangle<float> space)
{
    auto& c = checks();
    if (! c.on || ink.isEmpty())
        return;
    const float room = juce::jmin(juce::jmin(ink.getX() - space.getX(), space.getRight() - ink.getRight()),
                                  juce::jmin(ink.getY() - space.getY(), space.getBottom() - ink.getBottom()));
    const auto key = std::make_pair(c.picture, text);
    const auto found = c.room.find(key);
    if (found == c.room.end() || room < found->second)
        c.room[key] = room;
    if (room < minimumRoom)
        problems().addIfNotAlreadyThere("\"" + text + "\" in " + c.picture + " has " + juce::String(room, 1)
                                        + " px of room, less than 3");
}

float textWidth(const juce::String& text, const juce::Font& font)
{
    return font.getStringWidthFloat(text);
}

LegibilityChecks::LegibilityChecks(juce::Colour behindTransparent)
{
    checks().on = true;
    checks().behind = behindTransparent;
}

LegibilityChecks::~LegibilityChecks()
{
    checks().on = false;
}

PictureName::PictureName(const juce::String& name) : previous(checks().picture)
{
    checks().picture = name;
}

PictureName::~PictureName()
{
    checks().picture = previous;
}

Canvas::Canvas(const juce::Image& image) : previous(checks().canvas)
{
    checks().canvas = image;
}

Canvas::~Canvas()
{
    checks().canvas = previous;
}

juce::StringArray getLegibilityReport()
{
    juce::StringArray lines;
    for (const auto& [key, ratio] : checks().contrast)
        lines.add("contrast\t" + key.first + "\t" + key.second + "\t" + juce::String(ratio, 2));
    for (const auto& [key, pixels] : checks().room)
        lines.add("room\t" + key.first + "\t" + key.second + "\t" + juce::String(pixels, 1));
    return lines;
}

double contrastRatio(juce::Colour a, juce::Colour b)
{
    const double la = luminance(a), lb = luminance(b);
    return (juce::jmax(la, lb) + 0.05) / (juce::jmin(la, lb) + 0.05);
}
}
