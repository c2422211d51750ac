// The widget toolkit's bitmaps: the image buttons, the flat text buttons'
// skin sets, the small icons and the rating marks. They sit on the settings
// pages' light greys, so they use the look-and-feel's palette (light greys
// with the orange accent) rather than the skin's graphite.

#include "Drawing.h"
#include "GeneratedFiles.h"
#include "ImageSet.h"
#include "Palette.h"

namespace
{
// The look-and-feel's colours that these pictures sit beside.
const juce::Colour kButtonTop(0xFFFAFAFA);
const juce::Colour kButtonBottom(0xFFDCDCDC);
const juce::Colour kButtonOutline(0xFF8C8C8C);
const juce::Colour kGlyph(0xFF333333);
const juce::Colour kPressedOutline(0xFFB84E00);
const juce::Colour kFlatFill(0xFFE0E0E0);
const juce::Colour kFlatOutline(0xFFA0A0A0);
const juce::Colour kFlatHover(0xFFFF9648);
const juce::Colour kFlatPressedOutline(0xFFE0E0E0);

//==============================================================================
// Image-button glyphs, drawn in a 16 x 16 box.
enum class Glyph
{
    close, plus, minus, left, right, up, down, play, stop, record, folder, save, refresh, gear, info, lock, search
};

struct ImageButtonSpec
{
    int kind;
    Glyph glyph;
};

// Kinds 9 to 12 and 17 have no pictures.
const ImageButtonSpec imageButtons[] = {
    { 0, Glyph::close },   { 1, Glyph::plus },    { 2, Glyph::minus },   { 3, Glyph::left },
    { 4, Glyph::right },   { 5, Glyph::up },      { 6, Glyph::down },    { 7, Glyph::play },
    { 8, Glyph::stop },    { 13, Glyph::record }, { 14, Glyph::folder }, { 15, Glyph::save },
    { 16, Glyph::refresh }, { 18, Glyph::gear },  { 19, Glyph::info },   { 20, Glyph::lock },
    { 21, Glyph::search },
};

const int imageButtonSizes[] = { 27, 43 };

void addStroke(juce::Path& target, const juce::Path& line, float width)
{
    juce::Path stroked;
    juce::PathStrokeType(width, juce::PathStrokeType::curved, juce::PathStrokeType::rounded)
        .createStrokedPath(stroked, line);
    target.addPath(stroked);
}

juce::Path glyphPath(Glyph glyph)
{
    juce::Path p;
    juce::Path line;
    switch (glyph)
    {
        case Glyph::close:
            line.startNewSubPath(3.5f, 3.5f);
            line.lineTo(12.5f, 12.5f);
            line.startNewSubPath(12.5f, 3.5f);
            line.lineTo(3.5f, 12.5f);
            addStroke(p, line, 2.4f);
            break;
        case Glyph::plus:
            p.addRectangle(6.8f, 2.5f, 2.4f, 11.0f);
            p.addRectangle(2.5f, 6.8f, 11.0f, 2.4f);
            break;
        case Glyph::minus:
            p.addRectangle(2.5f, 6.8f, 11.0f, 2.4f);
            break;
        case Glyph::left:
            p.addTriangle(11.0f, 2.5f, 11.0f, 13.5f, 3.5f, 8.0f);
            break;
        case Glyph::right:
            p.addTriangle(5.0f, 2.5f, 5.0f, 13.5f, 12.5f, 8.0f);
            break;
        case Glyph::up:
            p.addTriangle(2.5f, 11.0f, 13.5f, 11.0f, 8.0f, 3.5f);
            break;
        case Glyph::down:
            p.addTriangle(2.5f, 5.0f, 13.5f, 5.0f, 8.0f, 12.5f);
            break;
        case Glyph::play:
            p.addTriangle(4.5f, 2.5f, 4.5f, 13.5f, 13.5f, 8.0f);
            break;
        case Glyph::stop:
            p.addRoundedRectangle(3.5f, 3.5f, 9.0f, 9.0f, 1.0f);
            break;
        case Glyph::record:
            p.addEllipse(3.0f, 3.0f, 10.0f, 10.0f);
            break;
        case Glyph::folder:
            p.startNewSubPath(1.5f, 4.0f);
            p.lineTo(6.0f, 4.0f);
            p.lineTo(7.5f, 5.5f);
            p.lineTo(14.5f, 5.5f);
            p.lineTo(14.5f, 13.0f);
            p.lineTo(1.5f, 13.0f);
            p.closeSubPath();
            break;
        case Glyph::save:
            p.addRoundedRectangle(2.0f, 2.0f, 12.0f, 12.0f, 1.0f);
            p.addRectangle(4.5f, 2.0f, 7.0f, 4.0f);
            p.addRectangle(4.5f, 8.5f, 7.0f, 4.0f);
            p.setUsingNonZeroWinding(false);
            break;
        case Glyph::refresh:
            line.addCentredArc(8.0f, 8.0f, 5.0f, 5.0f, 0.0f, 0.5f, 5.4f, true);
            addStroke(p, line, 2.0f);
            p.addTriangle(9.0f, 0.8f, 13.6f, 3.2f, 9.6f, 6.2f);
            break;
        case Glyph::gear:
            for (int tooth = 0; tooth < 8; ++tooth)
            {
                juce::Path t;
                t.addRectangle(6.8f, 1.0f, 2.4f, 3.5f);
                t.applyTransform(juce::AffineTransform::rotation((float) tooth * juce::MathConstants<float>::pi / 4.0f,
                                                                 8.0f, 8.0f));
                p.addPath(t);
            }
            p.addEllipse(3.0f, 3.0f, 10.0f, 10.0f);
            {
                juce::Path hole;
                hole.addEllipse(6.0f, 6.0f, 4.0f, 4.0f);
                p.addPath(hole);
            }
            p.setUsingNonZeroWinding(false);
            break;
        case Glyph::info:
            p.addEllipse(6.6f, 1.8f, 2.8f, 2.8f);
            p.addRoundedRectangle(6.7f, 6.0f, 2.6f, 8.5f, 0.8f);
            break;
        case Glyph::lock:
            line.startNewSubPath(5.0f, 7.5f);
            line.lineTo(5.0f, 5.5f);
            line.addCentredArc(8.0f, 5.5f, 3.0f, 3.0f, 0.0f, -juce::MathConstants<float>::halfPi,
                               juce::MathConstants<float>::halfPi);
            line.lineTo(11.0f, 7.5f);
            addStroke(p, line, 1.8f);
            p.addRoundedRectangle(3.0f, 7.5f, 10.0f, 7.0f, 1.0f);
            break;
        case Glyph::search:
            line.addEllipse(2.5f, 2.5f, 8.0f, 8.0f);
            addStroke(p, line, 1.8f);
            {
                juce::Path handle;
                handle.startNewSubPath(9.5f, 9.5f);
                handle.lineTo(13.5f, 13.5f);
                addStroke(p, handle, 2.6f);
            }
            break;
    }
    return p;
}

// A raised light button; pressed, it is lit in the accent and the glyph sinks
// a pixel.
juce::Image drawImageButton(const ImageButtonSpec& spec, int size, bool pressed)
{
    auto image = Drawing::newImage(size, size);
    juce::Graphics g(image);
    const float s = (float) size;
    const auto body = juce::Rectangle<float>(0.5f, 0.5f, s - 1.0f, s - 1.0f);
    const float corner = s * 0.16f;

    if (pressed)
        g.setGradientFill(juce::ColourGradient::vertical(Palette::accentLight, 0.0f, Palette::accent, s));
    else
        g.setGradientFill(juce::ColourGradient::vertical(kButtonTop, 0.0f, kButtonBottom, s));
    g.fillRoundedRectangle(body, corner);
    g.setColour(juce::Colours::white.withAlpha(pressed ? 0.25f : 0.8f));
    g.drawLine(corner, 1.5f, s - corner, 1.5f, 1.0f);
    g.setColour(pressed ? kPressedOutline : kButtonOutline);
    g.drawRoundedRectangle(body, corner, 1.0f);

    const float glyphSide = s * 0.56f;
    const float offset = (s - glyphSide) * 0.5f + (pressed ? 1.0f : 0.0f);
    g.setColour(pressed ? juce::Colours::white : kGlyph);
    g.fillPath(glyphPath(spec.glyph), juce::AffineTransform::scale(glyphSide / 16.0f)
                                          .translated((s - glyphSide) * 0.5f, offset));
    return image;
}

//==============================================================================
// The flat text button's skin: caps and middles cut from one flat body, in
// the button's three looks (idle, pressed, and a hover middle).
struct TextSkinSpec
{
    const char* set;
    int height;
    int leftWidth;
    int middleWidth;
    int rightWidth;
};

const TextSkinSpec textSkins[] = {
    { "Small", 28, 15, 31, 15 },
    { "Large", 32, 15, 44, 14 },
};

enum class Piece { left, middle, right };

juce::Image drawTextSkinPiece(const TextSkinSpec& spec, Piece piece, juce::Colour fill, juce::Colour outline)
{
    const int width = piece == Piece::left ? spec.leftWidth : piece == Piece::right ? spec.rightWidth : spec.middleWidth;
    auto image = Drawing::newImage(width, spec.height);
    juce::Graphics g(image);
    // The whole body spans the three pieces; each piece shows its slice of it,
    // inset as the button paints itself (3 left and right, 4 top and bottom).
    const float xOffset = piece == Piece::left ? 0.0f : piece == Piece::middle ? -(float) spec.leftWidth
                                                                               : -(float) (spec.leftWidth + spec.middleWidth);
    const float total = (float) (spec.leftWidth + spec.middleWidth + spec.rightWidth);
    const auto body = juce::Rectangle<float>(xOffset + 3.0f, 4.0f, total - 6.0f, (float) spec.height - 8.0f);
    g.setColour(fill);
    g.fillRect(body);
    g.setColour(outline);
    g.drawRect(body, 1.0f);
    return image;
}

//==============================================================================
// Small 15 x 14 icons of the browser rows.
enum class SmallIcon { folder, preset, author, tag };

juce::Image drawSmallIcon(SmallIcon icon)
{
    auto image = Drawing::newImage(15, 14);
    juce::Graphics g(image);
    switch (icon)
    {
        case SmallIcon::folder:
        {
            juce::Path p;
            p.startNewSubPath(0.5f, 2.5f);
            p.lineTo(5.0f, 2.5f);
            p.lineTo(6.5f, 4.0f);
            p.lineTo(14.5f, 4.0f);
            p.lineTo(14.5f, 12.5f);
            p.lineTo(0.5f, 12.5f);
            p.closeSubPath();
            g.setColour(Palette::accentPale);
            g.fillPath(p);
            g.setColour(Palette::accent.darker(0.3f));
            g.strokePath(p, juce::PathStrokeType(1.0f));
            break;
        }
        case SmallIcon::preset:
        {
            juce::Path p;
            p.startNewSubPath(2.5f, 0.5f);
            p.lineTo(9.5f, 0.5f);
            p.lineTo(12.5f, 3.5f);
            p.lineTo(12.5f, 13.5f);
            p.lineTo(2.5f, 13.5f);
            p.closeSubPath();
            g.setColour(juce::Colours::white);
            g.fillPath(p);
            g.setColour(kGlyph);
            g.strokePath(p, juce::PathStrokeType(1.0f));
            g.setColour(Palette::accent);
            for (int i = 0; i < 3; ++i)
                g.fillRect(4.5f + 2.5f * (float) i, 10.0f - 2.0f * (float) i, 1.6f, 2.5f + 2.0f * (float) i);
            break;
        }
        case SmallIcon::author:
            g.setColour(kGlyph);
            g.fillEllipse(4.5f, 0.5f, 6.0f, 6.0f);
            g.fillRoundedRectangle(1.5f, 7.5f, 12.0f, 6.0f, 3.0f);
            break;
        case SmallIcon::tag:
        {
            juce::Path p;
            p.startNewSubPath(0.5f, 1.5f);
            p.lineTo(7.0f, 1.5f);
            p.lineTo(14.0f, 8.0f);
            p.lineTo(8.5f, 13.5f);
            p.lineTo(0.5f, 6.5f);
            p.closeSubPath();
            juce::Path hole;
            hole.addEllipse(3.0f, 3.5f, 2.5f, 2.5f);
            p.addPath(hole);
            p.setUsingNonZeroWinding(false);
            g.setColour(Palette::accent);
            g.fillPath(p);
            break;
        }
    }
    return image;
}

//==============================================================================
// The rating marks: a five-pointed star, outlined when empty, filled in the
// accent when set.
juce::Image drawRatingMark(bool filled)
{
    auto image = Drawing::newImage(16, 16);
    juce::Graphics g(image);
    juce::Path star;
    star.addStar({ 8.0f, 8.3f }, 5, 3.0f, 7.2f, 0.0f);
    if (filled)
    {
        g.setColour(Palette::accent);
        g.fillPath(star);
        g.setColour(Palette::accent.darker(0.35f));
    }
    else
    {
        g.setColour(juce::Colours::white.withAlpha(0.6f));
        g.fillPath(star);
        g.setColour(kFlatOutline.darker(0.2f));
    }
    g.strokePath(star, juce::PathStrokeType(1.0f, juce::PathStrokeType::mitered));
    return image;
}

void produceToolkitImages(GeneratedFiles& out)
{
    for (const auto& spec : imageButtons)
        for (int size : imageButtonSizes)
            for (bool pressed : { false, true })
                out.addImage(juce::String::formatted("ImageButton%02d_%d_", spec.kind, size)
                                 + (pressed ? "pressed" : "normal") + ".png",
                             drawImageButton(spec, size, pressed));

    for (const auto& skin : textSkins)
    {
        const juce::String prefix = juce::String("TextButton") + skin.set + "_";
        const juce::Image pieces[] = {
            drawTextSkinPiece(skin, Piece::left, kFlatFill, kFlatOutline),
            drawTextSkinPiece(skin, Piece::middle, kFlatFill, kFlatOutline),
            drawTextSkinPiece(skin, Piece::right, kFlatFill, kFlatOutline),
            drawTextSkinPiece(skin, Piece::left, Palette::accent, kFlatPressedOutline),
            drawTextSkinPiece(skin, Piece::middle, Palette::accent, kFlatPressedOutline),
            drawTextSkinPiece(skin, Piece::right, Palette::accent, kFlatPressedOutline),
            drawTextSkinPiece(skin, Piece::middle, kFlatHover, kFlatOutline),
        };
        for (int i = 0; i < (int) std::size(pieces); ++i)
            out.addImage(prefix + juce::String(i) + ".png", pieces[i]);
    }

    const SmallIcon smallIcons[] = { SmallIcon::folder, SmallIcon::preset, SmallIcon::author, SmallIcon::tag };
    for (int i = 0; i < (int) std::size(smallIcons); ++i)
        out.addImage("SmallIcon" + juce::String(i + 1) + ".png", drawSmallIcon(smallIcons[i]));

    out.addImage("RatingEmpty.png", drawRatingMark(false));
    out.addImage("RatingFilled.png", drawRatingMark(true));
}

const ImageSet toolkitImages("toolkit", produceToolkitImages);
} // namespace
