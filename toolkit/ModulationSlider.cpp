#include "toolkit/ModulationSlider.h"

#include <cmath>

namespace
{
const char* const kLabels[] = { "-1.0", "-0.5", "-0", "0.0", "+0", "+0.5", "+1.0" };
const juce::Colour kModulationColour(0xFFA90000);
constexpr int kLabelHeight = 13;
} // namespace

ModulationSlider::OwnLookAndFeel::OwnLookAndFeel(ModulationSlider& ownerToUse) : owner(ownerToUse)
{
}

int ModulationSlider::OwnLookAndFeel::getSliderThumbRadius(juce::Slider&)
{
    return (int) (thumbWidth / 2.0f);
}

void ModulationSlider::OwnLookAndFeel::drawLinearSliderBackground(juce::Graphics& g, int, int, int, int, float, float,
                                                                  float, const juce::Slider::SliderStyle,
                                                                  juce::Slider& slider)
{
    const float W = (float) slider.getWidth();
    const int cy = slider.getHeight() / 2;
    const float tx = thumbWidth / 2.0f;
    const float tw = W - thumbWidth;

    // The amount times the modulation, from the centre.
    g.setColour(kModulationColour);
    const float product = owner.modulationValue * (float) slider.getValue();
    g.drawLine(W / 2.0f, (float) (cy + 10), W / 2.0f + product * tw / 2.0f, (float) (cy + 10), 4.0f);

    g.setColour(juce::Colours::black);
    g.fillRect((float) (std::floor(tx) - 2.0f), (float) (cy + 12), (float) std::ceil(W - tx - 3.0f), 3.0f);

    for (int i = 1; i < 20; ++i)
        if (i % 5 != 0)
            g.drawVerticalLine((int) ((float) i * tw / 20.0f) + (int) tx, (float) (cy + 7), (float) (cy + 14));

    const auto bigTick = [&g, cy](int x, int width) { g.fillRect(x, cy - 1, width, 15); };
    bigTick((int) tx - 2, 3);
    bigTick((int) (W / 2.0f) - 1, 3);
    bigTick((int) (tx + tw), 3);
    bigTick((int) (tx + tw / 4.0f), 2);
    bigTick((int) (tx + 3.0f * tw / 4.0f) - 1, 2);

    g.setFont(owner.font);
    const auto& widths = owner.labelWidths;
    const int y = cy - 15;
    const auto label = [&g, y, &widths](int index, int x, juce::Justification j) {
        g.drawText(kLabels[index], x, y, (int) std::ceil(widths[index]), kLabelHeight, j, true);
    };
    label(minusOne, (int) (thumbWidth / 2.0f), juce::Justification::right);
    label(minusHalf, (int) (tx + tw / 4.0f - widths[minusZero]), juce::Justification::left);
    label(zero, (int) (tx + tw / 2.0f - widths[zero] / 2.0f), juce::Justification::centred);
    label(plusHalf, (int) (tx + 3.0f * tw / 4.0f - widths[plusZero]) - 1, juce::Justification::left);
    label(plusOne, (int) (W - widths[plusOne] - (float) (int) (thumbWidth / 2.0f)), juce::Justification::left);
}

void ModulationSlider::OwnLookAndFeel::drawLinearSliderThumb(juce::Graphics& g, int, int y, int, int height,
                                                             float sliderPos, float, float,
                                                             const juce::Slider::SliderStyle, juce::Slider&)
{
    juce::Path thumb;
    thumb.addTriangle(1.0f, 0.5f, thumbWidth - 1.0f, 0.5f, thumbWidth / 2.0f, 13.0f);
    thumb.applyTransform(juce::AffineTransform::translation(sliderPos + 0.5f - thumbWidth / 2.0f,
                                                            (float) y + (float) height / 2.0f));
    g.setColour(juce::Colours::white);
    g.fillPath(thumb);
    g.setColour(juce::Colours::black);
    g.strokePath(thumb, juce::PathStrokeType(1.0f));
}

ModulationSlider::ModulationSlider() : font("Tahoma", 13.0f, juce::Font::plain)
{
    ownLookAndFeel = std::make_unique<OwnLookAndFeel>(*this);
    setLookAndFeel(ownLookAndFeel.get());
    setRange(-1.0, 1.0, 0.0001);
    setValue(0.0, juce::sendNotificationAsync);
    setTextBoxStyle(juce::Slider::NoTextBox, true, 0, 0);
    setSliderStyle(juce::Slider::LinearHorizontal);
}

ModulationSlider::~ModulationSlider()
{
    setLookAndFeel(nullptr);
}

void ModulationSlider::setModulationValue(float value)
{
    value = juce::jlimit(-1.0f, 1.0f, value);
    if (value == modulationValue)
        return;
    modulationValue = value;
    repaint();
}

void ModulationSlider::resized()
{
    juce::Slider::resized();
    for (int i = 0; i < numLabels; ++i)
        labelWidths[i] = font.getStringWidthFloat(kLabels[i]);
}
