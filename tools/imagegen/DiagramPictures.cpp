// The skin's larger pictures: the signal-flow and routing diagrams, and the
// panel backgrounds with everything printed on them.

#include "SkinPictures.h"

#include "Drawing.h"
#include "Fonts.h"
#include "Logos.h"
#include "Palette.h"

#include <vector>

namespace SkinPictures
{
namespace
{
constexpr float panelCorner = 6.0f;

void arrowLine(juce::Graphics& g, juce::Point<float> from, juce::Point<float> to, juce::Colour colour, bool head = true)
{
    g.setColour(colour);
    if (! head)
    {
        g.drawLine(juce::Line<float>(from, to), 1.2f);
        return;
    }
    juce::Path p;
    p.addArrow(juce::Line<float>(from, to), 1.2f, 6.0f, 5.0f);
    g.fillPath(p);
}

void block(juce::Graphics& g, juce::Rectangle<float> r, const juce::String& text, bool lit)
{
    g.setColour(lit ? Palette::accent.withAlpha(0.18f) : Palette::controlDark);
    g.fillRoundedRectangle(r, 3.0f);
    g.setColour(lit ? Palette::accent : Palette::panelBorder.brighter(0.2f));
    g.drawRoundedRectangle(r.reduced(0.5f), 3.0f, 1.0f);
    Drawing::requireRoom(text,
                         Drawing::drawText(g, text, Fonts::sansBold(Fonts::smallest).withExtraKerningFactor(0.02f),
                                           lit ? Palette::accentLight : Palette::label, r),
                         r.reduced(1.0f));
}

// A chain of lines in one routing, and whether every line of it is tapped
// to the output or only the last one.
struct Chain
{
    std::vector<int> lines;
    bool tapped;
};

// The nine routings, in the engine's order ("Parallel", "Serial", "Tapped
// Serial", "Mixed 1" to "Mixed 6"), as the chains that the engine runs.
const std::vector<std::vector<Chain>>& routings()
{
    static const std::vector<std::vector<Chain>> table = {
        { { { 1 }, false }, { { 2 }, false }, { { 3 }, false }, { { 4 }, false } },
        { { { 1, 2, 3, 4 }, false } },
        { { { 1, 2, 3, 4 }, true } },
        { { { 1, 2 }, false }, { { 3 }, false }, { { 4 }, false } },
        { { { 1, 2 }, true }, { { 3 }, false }, { { 4 }, false } },
        { { { 1, 2 }, false }, { { 3, 4 }, false } },
        { { { 1, 2 }, true }, { { 3, 4 }, true } },
        { { { 1, 2, 3 }, false }, { { 4 }, false } },
        { { { 1, 2, 3 }, true }, { { 4 }, false } },
    };
    return table;
}
}

juce::Image signalFlow(int width, int height)
{
    return Drawing::makeStrip(width, height, 16, [=](juce::Graphics& g, int frame) {
        const bool filterAfterDrive = (frame & 1) != 0;
        const bool driveOn = (frame & 2) != 0;
        const bool filterOn = (frame & 4) != 0;
        const bool loopFilter = (frame & 8) != 0;

        const float w = (float) width, h = (float) height;
        const float rowY = 22.0f, blockH = 20.0f, blockW = 46.0f, loopY = h - 14.0f;
        const auto line = Palette::label;
        const auto small = Fonts::sansBold(Fonts::smallest);

        // In, the two input stages in their order, the feedback sum, the delay, out.
        const juce::Rectangle<float> first(20.0f, rowY - blockH * 0.5f, blockW, blockH);
        const auto second = first.translated(blockW + 12.0f, 0.0f);
        const juce::Point<float> sum(second.getRight() + 14.0f, rowY);
        const juce::Rectangle<float> delay(sum.x + 12.0f, rowY - blockH * 0.5f, blockW, blockH);
        const juce::Point<float> tap(delay.getRight() + 6.0f, rowY);

        Drawing::drawText(g, "IN", small, line, { 0.0f, rowY - 6.0f, 15.0f, 12.0f }, juce::Justification::centredLeft);
        Drawing::drawText(g, "OUT", small, line, { w - 26.0f, rowY - 6.0f, 26.0f, 12.0f }, juce::Justification::centredRight);
        block(g, filterAfterDrive ? second : first, "FILTER", filterOn);
        block(g, filterAfterDrive ? first : second, "DRIVE", driveOn);
        block(g, delay, "DELAY", true);

        arrowLine(g, { 14.0f, rowY }, { first.getX() - 1.0f, rowY }, line);
        arrowLine(g, { first.getRight(), rowY }, { second.getX() - 1.0f, rowY }, line);
        arrowLine(g, { second.getRight(), rowY }, { sum.x - 5.0f, rowY }, line);
        arrowLine(g, { sum.x + 5.0f, rowY }, { delay.getX() - 1.0f, rowY }, line);
        arrowLine(g, { delay.getRight(), rowY }, { w - 27.0f, rowY }, line);

        // The feedback path: from the delay's output back into the sum, through
        // the loop filter when it is switched in.
        g.setColour(line);
        g.drawEllipse(juce::Rectangle<float>(10.0f, 10.0f).withCentre(sum), 1.2f);
        g.drawLine(sum.x - 2.5f, sum.y, sum.x + 2.5f, sum.y, 1.2f);
        g.drawLine(sum.x, sum.y - 2.5f, sum.x, sum.y + 2.5f, 1.2f);
        g.fillEllipse(juce::Rectangle<float>(4.0f, 4.0f).withCentre(tap));
        arrowLine(g, tap, { tap.x, loopY }, line, false);
        arrowLine(g, { sum.x, loopY }, { sum.x, sum.y + 5.5f }, line);
        if (loopFilter)
        {
            const auto loopBlock = juce::Rectangle<float>(delay.getX(), loopY - 8.0f, delay.getWidth(), 16.0f);
            arrowLine(g, { tap.x, loopY }, { loopBlock.getRight(), loopY }, line, false);
            arrowLine(g, { loopBlock.getX(), loopY }, { sum.x, loopY }, line, false);
            block(g, loopBlock, "FILTER", true);
        }
        else
        {
            arrowLine(g, { tap.x, loopY }, { sum.x, loopY }, line, false);
        }
        Drawing::drawText(g, "FEEDBACK", Fonts::sans(Fonts::smallest), Palette::label,
                          { sum.x - 66.0f, loopY - 6.0f, 60.0f, 12.0f }, juce::Justification::centredRight);
    });
}

juce::Image routingDiagram(int width, int height)
{
    const auto& table = routings();
    return Drawing::makeStrip(width, height, (int) table.size(), [=, &table](juce::Graphics& g, int frame) {
        const auto& chains = table[(size_t) frame];
        const float w = (float) width, h = (float) height;
        const float boxW = 20.0f, boxH = 17.0f, inX = 12.0f, outX = w - 12.0f;
        const float firstBoxX = inX + 12.0f;
        const float columnStep = (outX - 12.0f - boxW - firstBoxX) / 3.0f;
        const auto line = Palette::label;

        // Each chain gets an equal share of the height; a tapped chain puts its
        // tap rail in the lower part of its share.
        const float share = h / (float) chains.size();
        float firstY = 0.0f, lastY = 0.0f, firstOutY = 0.0f, lastOutY = 0.0f;
        for (size_t c = 0; c < chains.size(); ++c)
        {
            const auto& chain = chains[c];
            const float top = share * (float) c;
            const float rowY = chain.tapped ? top + share * 0.36f : top + share * 0.5f;
            const float railY = top + share * 0.8f;
            const float outY = chain.tapped ? railY : rowY;
            if (c == 0)
            {
                firstY = rowY;
                firstOutY = outY;
            }
            lastY = rowY;
            lastOutY = outY;

            float x = firstBoxX;
            arrowLine(g, { inX, rowY }, { x - 1.0f, rowY }, line);
            for (size_t i = 0; i < chain.lines.size(); ++i)
            {
                const auto box = juce::Rectangle<float>(x, rowY - boxH * 0.5f, boxW, boxH);
                g.setColour(Palette::controlDark);
                g.fillRoundedRectangle(box, 2.5f);
                g.setColour(Palette::accent);
                g.drawRoundedRectangle(box.reduced(0.5f), 2.5f, 1.0f);
                const juce::String number(chain.lines[i]);
                Drawing::requireRoom(number, Drawing::drawText(g, number, Fonts::sansBold(11.0f), Palette::text, box),
                                     box.reduced(1.0f));
                if (chain.tapped)
                    arrowLine(g, { box.getCentreX(), box.getBottom() }, { box.getCentreX(), railY }, line, false);
                const float next = x + columnStep;
                if (i + 1 < chain.lines.size())
                    arrowLine(g, { box.getRight(), rowY }, { next - 1.0f, rowY }, line);
                else if (! chain.tapped)
                    arrowLine(g, { box.getRight(), rowY }, { outX, rowY }, line, false);
                x = next;
            }
            if (chain.tapped)
            {
                const float firstTap = firstBoxX + boxW * 0.5f;
                arrowLine(g, { firstTap, railY }, { outX, railY }, line, false);
            }
        }
        // The input feeds every chain; the output sums them.
        g.setColour(line);
        const float inY = (firstY + lastY) * 0.5f, outY = (firstOutY + lastOutY) * 0.5f;
        g.drawLine(inX, firstY, inX, lastY, 1.2f);
        g.drawLine(outX, firstOutY, outX, lastOutY, 1.2f);
        arrowLine(g, { 2.0f, inY }, { inX, inY }, line, false);
        arrowLine(g, { outX, outY }, { w - 1.0f, outY }, line);
        const auto small = Fonts::sansBold(Fonts::smallest);
        Drawing::drawText(g, "IN", small, line, { 1.0f, 1.0f, 20.0f, 11.0f }, juce::Justification::centredLeft);
        Drawing::drawText(g, "OUT", small, line, { w - 25.0f, 1.0f, 24.0f, 11.0f }, juce::Justification::centredRight);
    });
}

juce::Font fontFor(PrintKind kind)
{
    switch (kind)
    {
    case PrintKind::title: return Fonts::sansBold(12.0f).withExtraKerningFactor(0.12f);
    case PrintKind::caption: return Fonts::sansBold(Fonts::smallest).withExtraKerningFactor(0.1f);
    case PrintKind::value: return Fonts::sans(Fonts::smallest);
    case PrintKind::symbol: return Fonts::monoBold(20.0f);
    default: return Fonts::sans(Fonts::smallest).withExtraKerningFactor(0.03f);
    }
}

juce::Image panel(int width, int height, PanelStyle style, const std::vector<Print>& prints)
{
    auto image = Drawing::newImage(width, height);
    const Drawing::Canvas canvas(image);
    juce::Graphics g(image);
    switch (style)
    {
    case PanelStyle::canvas:
        g.fillAll(Palette::background);
        break;
    case PanelStyle::fill:
        g.fillAll(Palette::panel);
        break;
    }

    for (const auto& print : prints)
    {
        const auto area = print.area.toFloat();
        const auto font = fontFor(print.kind);
        switch (print.kind)
        {
        case PrintKind::title:
            g.setColour(Palette::accent);
            g.fillRoundedRectangle(area.getX(), area.getCentreY() - 5.0f, 3.0f, 10.0f, 1.0f);
            Drawing::drawText(g, print.text, font, Palette::title, area.withTrimmedLeft(8.0f), print.justification);
            break;
        case PrintKind::label:
            Drawing::drawText(g, print.text, font, Palette::label, area, print.justification);
            break;
        case PrintKind::value:
            Drawing::drawText(g, print.text, font, Palette::text, area, print.justification);
            break;
        case PrintKind::symbol:
            Drawing::drawText(g, print.text, font, Palette::accent, area, print.justification);
            break;
        case PrintKind::caption:
        {
            // The rule follows the text, or leads up to it when the text is set right.
            const bool right = print.justification.testFlags(juce::Justification::right);
            const float textW = Drawing::textWidth(print.text, font);
            Drawing::drawText(g, print.text, font, Palette::caption, area,
                              right ? juce::Justification::centredRight : juce::Justification::centredLeft);
            if (area.getWidth() > textW + 12.0f)
            {
                g.setColour(Palette::panelBorder);
                const float length = area.getWidth() - textW - 6.0f;
                g.fillRect(juce::Rectangle<float>(right ? area.getX() : area.getX() + textW + 6.0f, area.getCentreY(),
                                                  length, 1.0f));
            }
            break;
        }
        case PrintKind::box:
            g.setColour(Palette::panel);
            g.fillRoundedRectangle(area.reduced(0.5f), panelCorner);
            g.setColour(Palette::panelBorder);
            g.drawRoundedRectangle(area.reduced(0.5f), panelCorner, 1.0f);
            break;
        case PrintKind::band:
            g.setGradientFill(juce::ColourGradient(Palette::panel, 0.0f, area.getY(), Palette::background.darker(0.2f),
                                                   0.0f, area.getBottom(), false));
            g.fillRect(area);
            g.setColour(Palette::insetBorder);
            g.fillRect(area.withTop(area.getBottom() - 1.0f));
            break;
        case PrintKind::well:
            g.setColour(Palette::inset);
            g.fillRoundedRectangle(area, 3.0f);
            g.setColour(Palette::insetBorder);
            g.drawRoundedRectangle(area.reduced(0.5f), 3.0f, 1.0f);
            g.setColour(juce::Colours::white.withAlpha(0.05f));
            g.drawHorizontalLine(print.area.getBottom(), area.getX() + 3.0f, area.getRight() - 3.0f);
            break;
        case PrintKind::rule:
            g.setColour(Palette::panelBorder);
            g.fillRect(print.area.getWidth() >= print.area.getHeight()
                           ? print.area.withHeight(1)
                           : print.area.withWidth(1));
            break;
        case PrintKind::logo:
            Logos::drawPluginLogo(g, area.getTopLeft());
            break;
        case PrintKind::makerLogo:
            Logos::drawMakerLogo(g, area.getTopLeft());
            break;
        }
    }
    return image;
}
}
