#include "skin/BaseGFXController.h"
#include "skin/ImageStrip.h"
#include "core/XmlHelpers.h"
#include "skin/SkinPackageLoader.h"
#include "skin/SkinXml.h"
#include <cmath>

namespace
{
// More frames than any strip could hold rows for; keeps the frame maths in range.
constexpr int kMaxFrames = 65536;
}

void BaseGFXController::loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader)
{
    GUIController::loadFromSkin(element, loader);

    framesNum = 1;
    if (auto* gfx = findChildTagged(element, "gfx"))
    {
        framesNum = juce::jlimit(1, kMaxFrames, SkinXml::readInt(*gfx, "framesNum", 1));
        const auto strip = readImage(*gfx, loader);
        if (strip.isValid())
            setImageStrip(strip, framesNum);
    }

    if (! image.isValid())
        readSize(element);
    readPosition(element);
}

void BaseGFXController::setImageStrip(const juce::Image& newImage, int frames)
{
    image = newImage;
    framesNum = juce::jlimit(1, juce::jmax(1, image.getHeight()), frames);
    setFrameSize(image.getWidth(), image.getHeight() / framesNum);
}

int BaseGFXController::frameForProportion(int frames, float proportion)
{
    const float position = (float) (frames - 1) * proportion + 0.5f;
    if (! std::isfinite(position))
        return 0;
    return (int) std::floor(juce::jlimit(-1.0f, (float) kMaxFrames, position));
}

void BaseGFXController::drawFrame(juce::Graphics& g, int frame) const
{
    ImageStrip::drawFrame(g, image, framesNum, frame);
}

void BaseGFXController::placeComponent(juce::Component& component) const
{
    component.setBounds(left, top, frameWidth, frameHeight);
}

void BaseGFXController::frameSizeChanged()
{
    if (steppedComponent != nullptr)
        steppedComponent->setSize(frameWidth, frameHeight);
}

void BaseGFXController::positionChanged()
{
    if (steppedComponent != nullptr)
        steppedComponent->setTopLeftPosition(left, top);
}

void BaseGFXController::readSize(const juce::XmlElement& element)
{
    if (auto* size = findChildTagged(element, "size"))
        setFrameSize(SkinXml::readLength(*size, "width"), SkinXml::readLength(*size, "height"));
}

void BaseGFXController::readPosition(const juce::XmlElement& element)
{
    if (auto* pos = findChildTagged(element, "pos"))
        setPosition(SkinXml::readCoordinate(*pos, "left"), SkinXml::readCoordinate(*pos, "top"));
}

juce::Image BaseGFXController::readImage(const juce::XmlElement& gfx, SkinPackageLoader& loader)
{
    const auto name = gfx.getStringAttribute("resource");
    return name.isEmpty() ? juce::Image() : loader.getImage(name);
}

void BaseGFXController::readImageStrip(const juce::XmlElement& element, SkinPackageLoader& loader, int frames)
{
    if (auto* gfx = findChildTagged(element, "gfx"))
    {
        const auto strip = readImage(*gfx, loader);
        if (strip.isValid())
            setImageStrip(strip, frames);
    }
}

void BaseGFXController::setFrameSize(int width, int height)
{
    if (width == frameWidth && height == frameHeight)
        return;
    frameWidth = width;
    frameHeight = height;
    frameSizeChanged();
}

void BaseGFXController::setPosition(int x, int y)
{
    if (x == left && y == top)
        return;
    left = x;
    top = y;
    positionChanged();
}
