#pragma once

#include <juce_graphics/juce_graphics.h>

// Reads the pictures of skins, which may come from outside the program. JUCE's
// own image readers, built on this platform's libraries, crash on damaged files
// (the PNG one returns from libpng's error handler, the JPEG one from libjpeg's,
// and the GIF one follows broken code tables past its buffers), so skin
// pictures are PNG files read through libpng's checked reading instead: a
// damaged file gives a null image and nothing worse.
namespace PngReader
{
// The width times the height that the file's header declares; -1 when the data
// is no PNG file or its header is damaged.
juce::int64 getDeclaredPixels(const void* data, size_t size);

// The picture as a premultiplied ARGB image, as JUCE keeps them; a null image
// for data that is no PNG file, is damaged anywhere, or declares more than
// maxPixels (refused before anything is allocated).
juce::Image read(const void* data, size_t size, juce::int64 maxPixels);
} // namespace PngReader
