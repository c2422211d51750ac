#pragma once

#include <juce_core/juce_core.h>

// Tag names in our XML files are matched ignoring case; JUCE's own hasTagName
// asserts on a case difference, so every reader goes through this one helper.
bool tagNameIs(const juce::XmlElement& element, juce::StringRef tagName);

// The first child whose tag is tagName, ignoring case; null when there is none.
const juce::XmlElement* findChildTagged(const juce::XmlElement& parent, juce::StringRef tagName);

// Writes the element as a UTF-8 XML document wrapped at 60 columns. The text goes
// to a temporary file next to the target first, which replaces the old file only
// once it is complete, so a failed write never destroys what was there. A target
// that exists but is no regular file (a folder, say), or that is read-only, is
// never replaced.
bool writeXmlFile(const juce::XmlElement& element, const juce::File& file);

// The bytes writeXmlFile writes for the element; compact: on one line, with
// no indentation and no wrapping.
juce::MemoryBlock getXmlFileText(const juce::XmlElement& element, bool compact);

// Replaces the file with these bytes as writeXmlFile does: whole or not at
// all, never over a folder or a read-only file.
bool replaceFileWithData(const juce::File& file, const juce::MemoryBlock& data);

// Whether an existing file may not be written: no write permission for anyone,
// or none for this process.
bool isMarkedReadOnly(const juce::File& file);

// Whether the path names a regular file (after following links): no folder,
// pipe or device.
bool isRegularFile(const juce::File& file);

// A fresh name for a file that is written first and then renamed onto target.
// It lies next to the target, so the rename stays on one disk, but it is hidden
// and does not end in the target's extension: a folder scan for that extension
// never lists it, not even when a crash leaves it behind.
juce::File getTemporaryFileFor(const juce::File& target);
