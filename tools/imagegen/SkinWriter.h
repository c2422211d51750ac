#pragma once

#include "SkinLayout.h"

namespace SkinWriter
{
// The skin's XML document for the layout, as the plug-in reads it.
juce::String createSkinXml(const Skin::Layout& layout);
}
