#pragma once

#include <juce_core/juce_core.h>
#include <juce_graphics/juce_graphics.h>
#include <memory>

// The plug-in's resources are compiled into it; these find one by its file name
// ("parameters.xml", "default.tnhpmap", "skin.xml", ...): first among the
// hand-written files of resources/, then among the files that the image
// generator drew at build time. A missing resource gives null, empty text or a
// null image, which callers treat as nothing to load.

// The resource's bytes, or null when there is no such resource.
std::unique_ptr<juce::MemoryBlock> loadBundleResource(const juce::String& name);

// The resource as UTF-8 text; empty when missing.
juce::String loadBundleResourceAsString(const juce::String& name);

// The resource decoded as an image; a null image when missing or undecodable.
juce::Image loadBundleResourceAsImage(const juce::String& name);

// "*" followed by the extension, for file-chooser patterns ("*.tnhpmap").
juce::String makeWildcardPattern(const juce::String& extension);
