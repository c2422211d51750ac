#pragma once

#include "toolkit/DefaultLookAndFeel.h"

#include <gtest/gtest.h>

// Toolkit tests draw with the in-house look-and-feel as the process default,
// the way the editor runs, so "Tahoma" resolves to its replacement face.
class ToolkitTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        juce::LookAndFeel::setDefaultLookAndFeel(&laf);
        juce::Typeface::clearTypefaceCache();
    }

    void TearDown() override
    {
        juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
        juce::Typeface::clearTypefaceCache();
    }

public:
    // A left click at a point of the component, delivered as a user's would be.
    static void click(juce::Component& c, juce::Point<int> at);
    static void mouseEventAt(juce::Component& c, juce::Point<int> at, int kind);
    enum
    {
        down,
        drag,
        up,
        enter,
        exit
    };

protected:
    DefaultLookAndFeel laf;
};

// A component that the modal windows take as their editor.
class TestDesktop : public juce::Component, public ModalComponent::Desktop
{
public:
    juce::Rectangle<int> getDesktopArea() override { return area; }
    juce::Rectangle<int> area { 0, 0, 800, 600 };
};
