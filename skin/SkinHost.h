#pragma once

#include "core/BundleResources.h"
#include "core/EventsMap.h"
#include "core/ParameterManager.h"
#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_core/juce_core.h>
#include <juce_graphics/juce_graphics.h>
#include <memory>

// What a skin load needs from the editor that runs it: the plug-in's parameters
// and events (which the skin's links and actions name), its keyboard state, the
// product name a skin must declare, where a named skin package lives, and where
// the built-in skin's files come from. The editor base implements it; tests
// implement it over their own registry and resources, so that panels can be
// built without an editor.
class SkinHost
{
public:
    virtual ~SkinHost() = default;

    virtual ParameterManager& getParameterManager() = 0;
    virtual EventsMap& getEventsMap() = 0;
    virtual juce::MidiKeyboardState& getKeyboardState() = 0;

    // The "application" a skin's root element must name (ignoring case).
    virtual juce::String getProductName() const = 0;

    // The ".orvskin" file of the named skin package.
    virtual juce::File getSkinPackageFile(const juce::String& skinName) const = 0;

    // A file of the built-in skin ("skin.xml" and the images it names); null when
    // there is none. The plug-in's compiled-in resources unless overridden.
    virtual std::unique_ptr<juce::MemoryBlock> loadBuiltInSkinResource(const juce::String& name) const
    {
        return loadBundleResource(name);
    }

    // A decoded picture of the built-in skin; a null image when there is none.
    // Decodes loadBuiltInSkinResource unless overridden (an editor may keep the
    // decoded pictures for every instance of the process).
    virtual juce::Image loadBuiltInSkinImage(const juce::String& name) const;
};
