#include "skin/ImageStrip.h"

namespace ImageStrip
{
int getFrameHeight(const juce::Image& image, int frames)
{
    return image.isValid() && frames >= 1 ? image.getHeight() / frames : 0;
}

void drawFrame(juce::Graphics& g, const juce::Image& image, int frames, int frame, int x, int y)
{
    const int height = getFrameHeight(image, frames);
    if (height < 1 || image.getWidth() < 1)
        return;
    const int k = juce::jlimit(0, frames - 1, frame);
    g.drawImage(image, x, y, image.getWidth(), height, 0, k * height, image.getWidth(), height);
}
} // namespace ImageStrip
