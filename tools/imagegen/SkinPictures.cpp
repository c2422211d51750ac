#include "SkinPictures.h"

#include "Drawing.h"
#include "Fonts.h"
#include "Palette.h"

#include <cmath>

namespace SkinPictures
{
namespace
{
constexpr float startAngle = -2.35619449f; // -135 degrees from the top, clockwise
constexpr float endAngle = 2.35619449f;
constexpr float cornerRadius = 3.0f;

juce::Point<float> onCircle(juce::Point<float> centre, float radius, float angle)
{
    return { centre.x + radius * std::sin(angle), centre.y - radius * std::cos(angle) };
}

juce::Path bodyShape(juce::Rectangle<float> r, Segment segment)
{
    const bool roundLeft = segment == Segment::single || segment == Segment::left;
    const bool roundRight = segment == Segment::single || segment == Segment::right;
    juce::Path p;
    p.addRoundedRectangle(r.getX(), r.getY(), r.getWidth(), r.getHeight(), cornerRadius, cornerRadius,
                          roundLeft, roundRight, roundLeft, roundRight);
    return p;
}

// The body every button of the face shares: a flat raised plate, orange when lit.
void drawButtonBody(juce::Graphics& g, juce::Rectangle<float> r, Segment segment, bool lit, bool pressed)
{
    const auto outer = bodyShape(r.reduced(0.5f), segment);
    const auto inner = bodyShape(r.reduced(1.0f), segment);

    juce::Colour top, bottom, border;
    if (lit)
    {
        top = pressed ? Palette::accent : Palette::accentPale;
        bottom = pressed ? Palette::accent.darker(0.1f) : Palette::accent;
        border = Palette::accent.darker(0.6f);
    }
    else
    {
        top = pressed ? Palette::controlDark : Palette::controlLight;
        bottom = pressed ? Palette::controlDark.darker(0.1f) : Palette::control;
        border = Palette::insetBorder;
    }
    g.setGradientFill(juce::ColourGradient(top, 0.0f, r.getY(), bottom, 0.0f, r.getBottom(), false));
    g.fillPath(inner);
    g.setColour(border);
    g.strokePath(outer, juce::PathStrokeType(1.0f));
    if (! pressed)
    {
        // A hairline of light along the top edge makes the plate read as raised.
        g.setColour(juce::Colours::white.withAlpha(lit ? 0.25f : 0.07f));
        g.drawHorizontalLine((int) r.getY() + 1, r.getX() + 3.0f, r.getRight() - 3.0f);
    }
}

void strokeSymbol(juce::Graphics& g, const juce::Path& p, juce::Colour colour, float thickness)
{
    g.setColour(colour);
    g.strokePath(p, juce::PathStrokeType(thickness, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
}

void drawWave(juce::Graphics& g, Symbol symbol, juce::Rectangle<float> r, juce::Colour colour)
{
    juce::Path p;
    const float l = r.getX(), t = r.getY(), w = r.getWidth(), h = r.getHeight();
    const float mid = t + h * 0.5f;
    switch (symbol)
    {
    case Symbol::sine:
        p.startNewSubPath(l, mid);
        for (int i = 1; i <= 32; ++i)
        {
            const float x = (float) i / 32.0f;
            p.lineTo(l + x * w, mid - std::sin(x * juce::MathConstants<float>::twoPi) * h * 0.5f);
        }
        break;
    case Symbol::sawDown:
        p.startNewSubPath(l, t);
        p.lineTo(l + w * 0.5f, t + h);
        p.lineTo(l + w * 0.5f, t);
        p.lineTo(l + w, t + h);
        break;
    case Symbol::square:
        p.startNewSubPath(l, t + h);
        p.lineTo(l, t);
        p.lineTo(l + w * 0.5f, t);
        p.lineTo(l + w * 0.5f, t + h);
        p.lineTo(l + w, t + h);
        p.lineTo(l + w, t);
        break;
    case Symbol::triangle:
        p.startNewSubPath(l, mid);
        p.lineTo(l + w * 0.25f, t);
        p.lineTo(l + w * 0.75f, t + h);
        p.lineTo(l + w, mid);
        break;
    case Symbol::random:
    {
        // Sample and hold: steps at fixed, irregular heights.
        const float levels[] = { 0.3f, 0.9f, 0.1f, 0.65f, 0.45f, 1.0f };
        p.startNewSubPath(l, t + h * (1.0f - levels[0]));
        for (int i = 0; i < 6; ++i)
        {
            const float y = t + h * (1.0f - levels[i]);
            p.lineTo(l + w * (float) i / 6.0f, y);
            p.lineTo(l + w * (float) (i + 1) / 6.0f, y);
        }
        break;
    }
    default:
        return;
    }
    strokeSymbol(g, p, colour, 1.5f);
}

void drawPadlock(juce::Graphics& g, juce::Rectangle<float> r, bool locked, juce::Colour colour)
{
    const float s = juce::jmin(r.getWidth(), r.getHeight());
    const auto box = juce::Rectangle<float>(s, s).withCentre(r.getCentre());
    const auto body = juce::Rectangle<float>(box.getX() + s * 0.18f, box.getY() + s * 0.45f, s * 0.64f, s * 0.5f);
    g.setColour(colour);
    g.fillRoundedRectangle(body, 1.5f);

    // The shackle: closed it enters the body on both sides, open its right leg lifts out.
    const float legLeft = body.getX() + s * 0.12f, legRight = body.getRight() - s * 0.12f;
    const float top = box.getY() + s * 0.04f;
    juce::Path shackle;
    shackle.startNewSubPath(legLeft, body.getY());
    shackle.lineTo(legLeft, top + s * 0.2f);
    shackle.quadraticTo(legLeft, top, (legLeft + legRight) * 0.5f, top);
    shackle.quadraticTo(legRight, top, legRight, top + s * 0.2f);
    shackle.lineTo(legRight, locked ? body.getY() : top + s * 0.3f);
    if (! locked)
        shackle.applyTransform(juce::AffineTransform::translation(0.0f, -s * 0.1f));
    strokeSymbol(g, shackle, colour, juce::jmax(1.5f, s * 0.11f));
}

void drawArrow(juce::Graphics& g, juce::Rectangle<float> r, bool right, juce::Colour colour)
{
    const float s = juce::jmin(r.getWidth(), r.getHeight()) * 0.42f;
    const auto c = r.getCentre();
    juce::Path p;
    if (right)
        p.addTriangle(c.x - s * 0.45f, c.y - s * 0.6f, c.x - s * 0.45f, c.y + s * 0.6f, c.x + s * 0.55f, c.y);
    else
        p.addTriangle(c.x + s * 0.45f, c.y - s * 0.6f, c.x + s * 0.45f, c.y + s * 0.6f, c.x - s * 0.55f, c.y);
    g.setColour(colour);
    g.fillPath(p);
}

// Draws the face in r; a text keeps its room inside `space` (the control
// inside its border, beside its lamp).
void drawFace(juce::Graphics& g, juce::Rectangle<float> r, const ButtonFace& face, juce::Colour colour, bool lit,
              juce::Rectangle<float> space)
{
    switch (face.symbol)
    {
    case Symbol::none:
        Drawing::requireRoom(face.text,
                             Drawing::drawText(g, face.text, Fonts::sansBold(face.fontHeight).withExtraKerningFactor(0.04f),
                                               colour, r.reduced(3.0f, 0.0f)),
                             space);
        break;
    case Symbol::arrowLeft:
    case Symbol::arrowRight:
        drawArrow(g, r, face.symbol == Symbol::arrowRight, colour);
        break;
    case Symbol::padlock:
        drawPadlock(g, r.reduced(2.0f), lit, colour);
        break;
    default:
        drawWave(g, face.symbol, r.reduced(r.getWidth() * 0.22f, r.getHeight() * 0.28f), colour);
        break;
    }
}

juce::Colour faceColour(bool lit)
{
    return lit ? Palette::onAccent : Palette::buttonText;
}

void drawLampAt(juce::Graphics& g, juce::Point<float> centre, float diameter, juce::Colour colour, bool lit)
{
    const auto r = juce::Rectangle<float>(diameter, diameter).withCentre(centre);
    if (lit)
    {
        g.setGradientFill(juce::ColourGradient(colour.withAlpha(0.45f), centre, colour.withAlpha(0.0f),
                                               centre.translated(diameter, 0.0f), true));
        g.fillEllipse(r.expanded(diameter * 0.5f));
        g.setGradientFill(juce::ColourGradient(colour.brighter(0.8f), centre.translated(0.0f, -diameter * 0.15f),
                                               colour, centre.translated(diameter * 0.5f, 0.0f), true));
        g.fillEllipse(r);
    }
    else
    {
        g.setGradientFill(juce::ColourGradient(Palette::controlDark, r.getTopLeft(), colour.withMultipliedBrightness(0.35f)
                                               .withMultipliedSaturation(0.6f), r.getBottomRight(), false));
        g.fillEllipse(r);
    }
    g.setColour(Palette::insetBorder);
    g.drawEllipse(r, 1.0f);
}
}

juce::Image knob(int diameter, bool bipolar, int frames, bool active)
{
    const auto arcColour = active ? Palette::accent : Palette::dimText;
    const auto pointerColour = active ? Palette::text : Palette::dimText;
    const float d = (float) diameter;
    const float arcWidth = diameter >= 44 ? 3.5f : (diameter >= 34 ? 3.0f : 2.5f);
    const float arcRadius = d * 0.5f - arcWidth * 0.5f - 0.5f;
    const float bodyRadius = arcRadius - arcWidth * 0.5f - (diameter >= 44 ? 4.0f : 3.0f);
    const juce::Point<float> centre(d * 0.5f, d * 0.5f);

    return Drawing::makeStrip(diameter, diameter, frames, [=](juce::Graphics& g, int frame) {
        const float p = frames > 1 ? (float) frame / (float) (frames - 1) : 0.0f;
        const float angle = startAngle + p * (endAngle - startAngle);
        const juce::PathStrokeType arcStroke(arcWidth, juce::PathStrokeType::curved, juce::PathStrokeType::butt);

        juce::Path track;
        track.addCentredArc(centre.x, centre.y, arcRadius, arcRadius, 0.0f, startAngle, endAngle, true);
        g.setColour(Palette::inset);
        g.strokePath(track, arcStroke);

        const float from = bipolar ? 0.0f : startAngle;
        if (std::abs(angle - from) > 0.01f)
        {
            juce::Path value;
            value.addCentredArc(centre.x, centre.y, arcRadius, arcRadius, 0.0f, juce::jmin(from, angle),
                                juce::jmax(from, angle), true);
            g.setColour(arcColour);
            g.strokePath(value, arcStroke);
        }
        if (bipolar)
        {
            // The centre detent.
            g.setColour(Palette::label);
            g.drawLine(juce::Line<float>(onCircle(centre, arcRadius - arcWidth * 0.5f, 0.0f),
                                         onCircle(centre, arcRadius + arcWidth * 0.5f, 0.0f)), 1.0f);
        }

        // Body: a soft shadow, a cap lit from above, a dark rim.
        const auto body = juce::Rectangle<float>(bodyRadius * 2.0f, bodyRadius * 2.0f).withCentre(centre);
        g.setColour(juce::Colours::black.withAlpha(0.35f));
        g.fillEllipse(body.translated(0.0f, 1.5f).expanded(0.5f));
        g.setGradientFill(juce::ColourGradient(Palette::controlLight.brighter(0.15f), centre.x, body.getY(),
                                               Palette::controlDark, centre.x, body.getBottom(), false));
        g.fillEllipse(body);
        g.setGradientFill(juce::ColourGradient(Palette::control, centre.x, body.getY() + 2.0f,
                                               Palette::controlDark.brighter(0.05f), centre.x, body.getBottom() - 2.0f, false));
        g.fillEllipse(body.reduced(1.5f));
        g.setColour(Palette::insetBorder);
        g.drawEllipse(body, 1.0f);

        const float pointerWidth = diameter >= 44 ? 2.5f : 2.0f;
        g.setColour(pointerColour);
        g.drawLine(juce::Line<float>(onCircle(centre, bodyRadius * 0.3f, angle), onCircle(centre, bodyRadius - 2.0f, angle)),
                   pointerWidth);
    });
}

juce::Image pushButton(int width, int height, const ButtonFace& face)
{
    return Drawing::makeStrip(width, height, 2, [=](juce::Graphics& g, int frame) {
        const bool pressed = frame == 1;
        auto r = juce::Rectangle<float>((float) width, (float) height);
        drawButtonBody(g, r, face.segment, false, pressed);
        drawFace(g, r.translated(0.0f, pressed ? 1.0f : 0.0f), face, pressed ? Palette::accentLight : Palette::buttonText, false,
                 r.reduced(1.0f));
    });
}

juce::Image switchButton(int width, int height, const ButtonFace& face, int states, const std::vector<int>& litStates,
                         bool pressedForms)
{
    const int framesPerState = pressedForms ? 2 : 1;
    return Drawing::makeStrip(width, height, framesPerState * states, [=](juce::Graphics& g, int frame) {
        const int state = frame / framesPerState;
        const bool pressed = frame % framesPerState == 1;
        const bool lit = std::find(litStates.begin(), litStates.end(), state) != litStates.end();
        auto r = juce::Rectangle<float>((float) width, (float) height);
        drawButtonBody(g, r, face.segment, lit, pressed);
        drawFace(g, r.translated(0.0f, pressed ? 1.0f : 0.0f), face, faceColour(lit), lit, r.reduced(1.0f));
    });
}

juce::Image toggleButton(int width, int height, const ButtonFace& face)
{
    return Drawing::makeStrip(width, height, 4, [=](juce::Graphics& g, int frame) {
        const bool on = frame >= 2;
        const bool pressed = frame % 2 == 1;
        auto r = juce::Rectangle<float>((float) width, (float) height);
        drawButtonBody(g, r, face.segment, false, pressed);
        const float lampSize = juce::jmin(7.0f, (float) height * 0.4f);
        const float shift = pressed ? 1.0f : 0.0f;
        const float lampLeft = 6.0f;
        drawLampAt(g, { lampLeft + lampSize * 0.5f, (float) height * 0.5f + shift }, lampSize, Palette::accent, on);
        const auto textArea = r.withTrimmedLeft(lampLeft + lampSize).translated(0.0f, shift);
        // The lamp's outline is stroked half a pixel outside its size.
        drawFace(g, textArea, face, on ? Palette::text : Palette::buttonText, on,
                 r.reduced(1.0f).withLeft(lampLeft + lampSize + 0.5f));
    });
}

juce::Image lineSelectButton(int width, int height, int line)
{
    return Drawing::makeStrip(width, height, 8, [=](juce::Graphics& g, int frame) {
        const int state = frame / 2;
        const bool lit = state % 2 == 1;
        const bool copied = state >= 2;
        const bool pressed = frame % 2 == 1;
        auto r = juce::Rectangle<float>((float) width, (float) height);
        drawButtonBody(g, r, Segment::single, lit, pressed);
        if (copied)
        {
            // Copied, waiting to be pasted: a ring in a tone of its own, inside
            // the button's edge, never the selection's orange fill.
            g.setColour(Palette::copied);
            g.drawRoundedRectangle(r.reduced(1.5f), cornerRadius, 2.0f);
        }
        const auto colour = faceColour(lit);
        const float shift = pressed ? 1.0f : 0.0f;
        const auto space = r.reduced(copied ? 3.5f : 1.0f);
        const juce::String number(line);
        Drawing::requireRoom("LINE",
                             Drawing::drawText(g, "LINE", Fonts::sansBold(Fonts::smallest).withExtraKerningFactor(0.08f),
                                               colour, { 0.0f, 5.0f + shift, (float) width, 10.0f }),
                             space);
        Drawing::requireRoom(number,
                             Drawing::drawText(g, number, Fonts::sansBold(24.0f), colour,
                                               { 0.0f, 14.0f + shift, (float) width, (float) height - 18.0f }),
                             space);
    });
}

juce::Image indicator(int width, int height, const juce::String& text)
{
    return Drawing::makeStrip(width, height, 2, [=](juce::Graphics& g, int frame) {
        const bool lit = frame == 1;
        constexpr float lampSize = 7.0f, edge = 3.0f;
        drawLampAt(g, { edge + lampSize * 0.5f, (float) height * 0.5f }, lampSize, Palette::accent, lit);
        const juce::Rectangle<float> space(edge + lampSize + 0.5f, 0.0f, (float) width - lampSize - edge - 0.5f,
                                           (float) height);
        Drawing::requireRoom(text,
                             Drawing::drawText(g, text, Fonts::sansBold(Fonts::smallest).withExtraKerningFactor(0.04f),
                                               lit ? Palette::accentLight : Palette::label, space),
                             space);
    });
}

juce::Image lamp(int size, juce::Colour colour)
{
    return Drawing::makeStrip(size, size, 2, [=](juce::Graphics& g, int frame) {
        const float s = (float) size;
        drawLampAt(g, { s * 0.5f, s * 0.5f }, s * 0.6f, colour, frame == 1);
    });
}

juce::Image meter(int width, int height, int frames, bool vertical, float amberFrom, float redFrom)
{
    const int segments = frames - 1;
    return Drawing::makeStrip(width, height, frames, [=](juce::Graphics& g, int frame) {
        g.setColour(Palette::inset);
        g.fillRect(0, 0, width, height);
        const float length = (float) (vertical ? height : width) - 2.0f;
        const float step = length / (float) segments;
        for (int i = 1; i <= segments; ++i)
        {
            const float position = (float) i / (float) segments;
            auto colour = position >= redFrom ? Palette::meterRed
                        : position >= amberFrom ? Palette::meterAmber : Palette::meterGreen;
            if (i > frame)
                colour = colour.withMultipliedBrightness(0.22f).withMultipliedSaturation(0.5f);
            g.setColour(colour);
            const float a = 1.0f + step * (float) (i - 1), b = 1.0f + step * (float) i - 1.0f;
            if (vertical)
                g.fillRect(juce::Rectangle<float>(1.0f, (float) height - b, (float) width - 2.0f, b - a));
            else
                g.fillRect(juce::Rectangle<float>(a, 1.0f, b - a, (float) height - 2.0f));
        }
    });
}

juce::Image lineBadge(int width, int height)
{
    return Drawing::makeStrip(width, height, 4, [=](juce::Graphics& g, int frame) {
        const auto r = juce::Rectangle<float>((float) width, (float) height);
        g.setColour(Palette::accent);
        g.fillRoundedRectangle(r, cornerRadius);
        const auto text = "LINE " + juce::String(frame + 1);
        Drawing::requireRoom(text,
                             Drawing::drawText(g, text, Fonts::sansBold(12.0f).withExtraKerningFactor(0.08f),
                                               Palette::onAccent, r),
                             r);
    });
}

juce::Image bitmapFont(int glyphWidth, int glyphHeight, juce::juce_wchar first, juce::juce_wchar last, juce::Colour colour)
{
    const int count = (int) (last - first) + 1;
    auto strip = Drawing::newImage(glyphWidth, glyphHeight * count * 2);
    juce::Graphics g(strip);
    const auto font = Fonts::mono((float) glyphHeight - 2.0f);
    for (int row = 0; row < count * 2; ++row)
    {
        const bool caret = row >= count;
        const auto character = (juce::juce_wchar) (first + (row % count));
        const auto cell = juce::Rectangle<float>(0.0f, (float) (row * glyphHeight), (float) glyphWidth, (float) glyphHeight);
        if (caret)
        {
            // The caret form: the glyph on an orange block, like a terminal cursor.
            g.setColour(colour);
            g.fillRect(cell);
        }
        g.setColour(caret ? Palette::onAccent : colour);
        g.setFont(font);
        g.drawText(juce::String::charToString(character), cell, juce::Justification::centred, false);
    }
    return strip;
}

juce::Image digits(int width, int height, juce::Colour colour)
{
    // Opaque cells in the well's colour: the numeric display fills black
    // behind its digits, which would show as black boxes in the well.
    const auto font = Fonts::monoBold((float) height);
    return Drawing::makeStrip(width, height, 11, [=](juce::Graphics& g, int frame) {
        g.fillAll(Palette::inset);
        if (frame == 0)
            return;
        g.setColour(colour);
        g.setFont(font);
        g.drawText(juce::String(frame - 1), juce::Rectangle<float>((float) width, (float) height),
                   juce::Justification::centred, false);
    });
}
}
