#pragma once

#include <juce_graphics/juce_graphics.h>

// The product's and the maker's logos. The same drawing makes the bundle
// images "PluginLogo.png" and "OrvLogo.png" and the logos printed on the
// skin's top bar, so the two can never differ.
namespace Logos
{
constexpr int pluginLogoWidth = 176, pluginLogoHeight = 36;
constexpr int makerLogoWidth = 104, makerLogoHeight = 24;

void drawPluginLogo(juce::Graphics& g, juce::Point<float> topLeft);
void drawMakerLogo(juce::Graphics& g, juce::Point<float> topLeft);
}
