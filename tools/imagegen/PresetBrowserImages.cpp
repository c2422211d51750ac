// The preset browser's pictures: the folder and preset icons of its rows, in
// a normal and a selected variant (the selected row is mid grey with white
// text), and the picture at the foot of the preset's info column, drawn faint
// so that the texts above it stay readable. They sit on the look-and-feel's
// light greys with its orange accent.

#include "Drawing.h"
#include "GeneratedFiles.h"
#include "ImageSet.h"
#include "Palette.h"

namespace
{
const juce::Colour kAccent = Palette::accent;
const juce::Colour kAccentLight = Palette::accentPale;
const juce::Colour kAccentPale(0xFFFFD2AE);
const juce::Colour kAccentDark(0xFFB84E00);
const juce::Colour kPaper(0xFFFFFFFF);
const juce::Colour kPaperOutline(0xFF6E6E6E);
const juce::Colour kSelectedOutline(0xFF3C3C3C);

constexpr int kIconSide = 16;

enum class RowIcon
{
    folder,
    preset
};

struct RowIconSpec
{
    const char* name;
    RowIcon kind;
    bool selected;
};

const RowIconSpec rowIcons[] = {
    { "PresetBrowserFolder.png", RowIcon::folder, false },
    { "PresetBrowserFolderSelected.png", RowIcon::folder, true },
    { "PresetBrowserPreset.png", RowIcon::preset, false },
    { "PresetBrowserPresetSelected.png", RowIcon::preset, true },
};

void drawFolder(juce::Graphics& g, bool selected)
{
    // A tab at the top left, the body below it, and the front flap a shade lighter.
    juce::Path back;
    back.startNewSubPath(1.5f, 3.5f);
    back.lineTo(6.0f, 3.5f);
    back.lineTo(7.5f, 5.0f);
    back.lineTo(14.5f, 5.0f);
    back.lineTo(14.5f, 13.5f);
    back.lineTo(1.5f, 13.5f);
    back.closeSubPath();
    g.setColour(selected ? kAccentPale : kAccent);
    g.fillPath(back);

    juce::Path front;
    front.addRoundedRectangle(1.5f, 6.5f, 13.0f, 7.0f, 1.0f);
    g.setColour(selected ? kPaper : kAccentLight);
    g.fillPath(front);

    g.setColour(selected ? kSelectedOutline : kAccentDark);
    g.strokePath(back, juce::PathStrokeType(1.0f));
    g.strokePath(front, juce::PathStrokeType(1.0f));
}

void drawPreset(juce::Graphics& g, bool selected)
{
    // A page with a folded corner, holding three echoes that fade out.
    juce::Path page;
    page.startNewSubPath(3.5f, 1.5f);
    page.lineTo(10.0f, 1.5f);
    page.lineTo(13.5f, 5.0f);
    page.lineTo(13.5f, 14.5f);
    page.lineTo(3.5f, 14.5f);
    page.closeSubPath();
    g.setColour(kPaper);
    g.fillPath(page);
    g.setColour(selected ? kSelectedOutline : kPaperOutline);
    g.strokePath(page, juce::PathStrokeType(1.0f));

    juce::Path fold;
    fold.startNewSubPath(10.0f, 1.5f);
    fold.lineTo(10.0f, 5.0f);
    fold.lineTo(13.5f, 5.0f);
    g.strokePath(fold, juce::PathStrokeType(1.0f));

    const float heights[] = { 7.0f, 5.0f, 3.0f };
    for (int i = 0; i < 3; ++i)
    {
        g.setColour(kAccent.withAlpha(1.0f - 0.28f * (float) i));
        const float h = heights[i];
        g.fillRoundedRectangle(5.0f + 2.5f * (float) i, 11.5f - h, 1.6f, h, 0.8f);
    }
}

juce::Image drawRowIcon(const RowIconSpec& spec)
{
    auto image = Drawing::newImage(kIconSide, kIconSide);
    juce::Graphics g(image);
    if (spec.kind == RowIcon::folder)
        drawFolder(g, spec.selected);
    else
        drawPreset(g, spec.selected);
    return image;
}

constexpr int kPictureWidth = 176;
constexpr int kPictureHeight = 203;

// Echoes leaving a source at the foot of the column: rings that widen and fade,
// and the taps of a delay line shrinking from the left.
juce::Image drawInfoPicture()
{
    auto image = Drawing::newImage(kPictureWidth, kPictureHeight);
    juce::Graphics g(image);
    const float w = (float) kPictureWidth;
    const float h = (float) kPictureHeight;
    const juce::Point<float> source(w * 0.5f, h - 18.0f);

    for (int ring = 0; ring < 6; ++ring)
    {
        const float r = 30.0f + 24.0f * (float) ring;
        juce::Path arc;
        arc.addCentredArc(source.x, source.y, r, r, 0.0f, -1.05f, 1.05f, true);
        g.setColour(kAccent.withAlpha(0.16f - 0.022f * (float) ring));
        g.strokePath(arc, juce::PathStrokeType(3.0f - 0.3f * (float) ring, juce::PathStrokeType::curved,
                                               juce::PathStrokeType::rounded));
    }

    for (int tap = 0; tap < 5; ++tap)
    {
        const float barHeight = 34.0f * std::pow(0.72f, (float) tap);
        const float x = 28.0f + 26.0f * (float) tap;
        g.setColour(juce::Colours::black.withAlpha(0.09f - 0.012f * (float) tap));
        g.fillRoundedRectangle(x, h - 10.0f - barHeight, 9.0f, barHeight, 3.0f);
    }
    g.setColour(kAccent.withAlpha(0.22f));
    g.fillEllipse(source.x - 5.0f, source.y - 5.0f, 10.0f, 10.0f);

    // The top fades out, so the picture has no edge of its own on any fill.
    const int fadeRows = (int) (h * 0.45f);
    juce::Image::BitmapData pixels(image, juce::Image::BitmapData::readWrite);
    for (int y = 0; y < fadeRows; ++y)
    {
        const float keep = (float) y / (float) fadeRows;
        for (int x = 0; x < kPictureWidth; ++x)
            pixels.setPixelColour(x, y, pixels.getPixelColour(x, y).withMultipliedAlpha(keep));
    }
    return image;
}

void produce(GeneratedFiles& out)
{
    for (const auto& icon : rowIcons)
        out.addImage(icon.name, drawRowIcon(icon));
    out.addImage("PresetBrowserPicture.png", drawInfoPicture());
}

const ImageSet presetBrowserImages("presetbrowser", produce);
} // namespace
