#pragma once

#include "skin/GUIController.h"
#include <juce_gui_basics/juce_gui_basics.h>

// What the bitmap controls share: an image strip of equal frames stacked
// vertically, the frame size, and the position the skin gives them inside their
// panel.
class BaseGFXController : public GUIController
{
public:
    BaseGFXController() = default;

    // Links and actions, then "gfx" (image strip), "size" (frame size when there
    // is no image) and "pos".
    void loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader) override;

    // Hooks called when the frame size or the position changes; they size and
    // place the component named by keepInStep, when there is one.
    virtual void frameSizeChanged();
    virtual void positionChanged();

    // Frame height = image height / frames; a frame count below 1 counts as 1,
    // and one above the image height as the image height, so every frame is at
    // least one row of the image.
    void setImageStrip(const juce::Image& image, int framesNum);

    const juce::Image& getImage() const noexcept { return image; }
    bool hasImageStrip() const noexcept { return image.isValid(); }
    int getFramesNum() const noexcept { return framesNum; }
    int getFrameWidth() const noexcept { return frameWidth; }
    int getFrameHeight() const noexcept { return frameHeight; }
    int getLeft() const noexcept { return left; }
    int getTop() const noexcept { return top; }

    // The frame a continuous control shows for a proportion p in 0..1:
    // floor((frames - 1) * p + 0.5), worked in single precision.
    static int frameForProportion(int frames, float proportion);

protected:
    // Draws frame k of the strip at (0, 0), unscaled; k is kept within the strip.
    void drawFrame(juce::Graphics& g, int frame) const;

    // The skin's frame size and position applied to the control's component.
    void placeComponent(juce::Component& component) const;
    // For controls whose component follows every change of frame size and
    // position, through the hooks.
    void keepInStep(juce::Component& component) noexcept { steppedComponent = &component; }

    // The "size" and "pos" children, each when present.
    void readSize(const juce::XmlElement& element);
    void readPosition(const juce::XmlElement& element);

    // The "gfx" child's image, or a null image when it names none or none is found.
    static juce::Image readImage(const juce::XmlElement& gfx, SkinPackageLoader& loader);
    // The image of the element's "gfx" child, when valid, as a strip of the given
    // number of frames (the skin's "framesNum" is not read).
    void readImageStrip(const juce::XmlElement& element, SkinPackageLoader& loader, int frames);

    void setFramesNum(int frames) noexcept { framesNum = frames; }

private:
    void setFrameSize(int width, int height);
    void setPosition(int x, int y);

    juce::Image image;
    int framesNum = 0;
    int frameWidth = 0;
    int frameHeight = 0;
    int left = 0;
    int top = 0;
    juce::Component* steppedComponent = nullptr;
};
