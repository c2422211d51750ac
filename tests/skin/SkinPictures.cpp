#include "SkinPictures.h"

#include <cstdlib>
#include <set>

namespace SkinPictures
{
juce::Image draw(juce::Component& component)
{
    return component.createComponentSnapshot(component.getLocalBounds(), true, 1.0f);
}

int countColours(const juce::Image& image)
{
    std::set<juce::uint32> colours;
    const juce::Image::BitmapData pixels(image, juce::Image::BitmapData::readOnly);
    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            colours.insert(pixels.getPixelColour(x, y).getARGB());
    return (int) colours.size();
}

bool keep(const juce::Image& image, const juce::String& name)
{
    const char* folder = std::getenv("TAVINOR_PICTURES");
    if (folder == nullptr || *folder == 0)
        return false;
    const auto file = juce::File::getCurrentWorkingDirectory().getChildFile(folder).getChildFile(name + ".png");
    file.getParentDirectory().createDirectory();
    file.deleteFile();
    juce::FileOutputStream out(file);
    return out.openedOk() && juce::PNGImageFormat().writeImageToStream(image, out);
}
} // namespace SkinPictures
