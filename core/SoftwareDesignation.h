#pragma once

#include <juce_core/juce_core.h>

// The product's identity as the about window, the host and the diagnostics
// show it. Pure interface: the plug-in base answers the generic entries and
// the product the rest.
class SoftwareDesignation
{
public:
    virtual ~SoftwareDesignation() = default;

    // Same signature as juce::AudioProcessor::getName, so that one override
    // in the processor answers both.
    virtual const juce::String getName() const = 0;
    virtual juce::String getDescription() const = 0;
    virtual juce::String getVersion() const = 0;
    virtual juce::String getProductPage() const = 0;
    virtual juce::String getYear() const = 0;
    virtual juce::String getBundlePath() const = 0;
    virtual juce::String getBuildDate() const = 0;
    virtual juce::String getSpareText() const = 0;
    virtual juce::String getBuildId() const = 0;
    virtual juce::String getPluginFormat() const = 0;
    virtual juce::String getArchitecture() const = 0;
    virtual juce::String getBranch() const = 0;
    virtual juce::String getVersionTag() const = 0;
    virtual juce::String getBuildNumber() const = 0;
};
