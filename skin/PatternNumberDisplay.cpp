#include "skin/PatternNumberDisplay.h"
#include "core/MidiNoteNames.h"
#include "core/XmlHelpers.h"
#include "skin/SkinPackageLoader.h"
#include "skin/SkinXml.h"

namespace
{
constexpr int kHighestNote = 127;
constexpr int kDefaultWidth = 100;
constexpr int kDefaultHeight = 40;
constexpr int kNumDigits = 4;
constexpr int kPatternFrame = 11;
constexpr int kFirstLetterFrame = 11;
constexpr int kSharpFrame = 11;
constexpr int kNaturalFrame = 12;

// Frames 1 to 10 of every digit show the digits 0 to 9.
bool isNumberFrame(int frame)
{
    return frame >= 1 && frame <= 10;
}
} // namespace

//==============================================================================
PatternNumberDisplay::PatternNumberDisplayDigit::PatternNumberDisplayDigit(int framesNum, const juce::Image& image,
                                                                             int width, int height)
    : GFXAnimation({})
{
    if (image.isValid())
    {
        setImageStrip(image, framesNum);
    }
    else
    {
        setFramesNum(framesNum);
        setSize(width, height);
    }
}

juce::String PatternNumberDisplay::PatternNumberDisplayDigit::getFrameText(int frame) const
{
    return isNumberFrame(frame) ? juce::String(frame - 1) : juce::String();
}

void PatternNumberDisplay::PatternNumberDisplayDigit::paintFallback(juce::Graphics& g)
{
    g.fillAll(juce::Colour::greyLevel(0.9f));
    g.setColour(juce::Colours::black);
    g.drawRect(getLocalBounds(), 1);
    if (getFrame() != 0)
        g.drawText(getFrameText(getFrame()), getLocalBounds(), juce::Justification::centred, true);
}

PatternNumberDisplay::PatternNumberDisplayFirstDigit::PatternNumberDisplayFirstDigit(const juce::Image& image,
                                                                                       int width, int height)
    : PatternNumberDisplayDigit(12, image, width, height)
{
}

juce::String PatternNumberDisplay::PatternNumberDisplayFirstDigit::getFrameText(int frame) const
{
    return frame == kPatternFrame ? juce::String("P.") : PatternNumberDisplayDigit::getFrameText(frame);
}

PatternNumberDisplay::PatternNumberDisplaySecondDigit::PatternNumberDisplaySecondDigit(const juce::Image& image,
                                                                                         int width, int height)
    : PatternNumberDisplayDigit(19, image, width, height)
{
}

juce::String PatternNumberDisplay::PatternNumberDisplaySecondDigit::getFrameText(int frame) const
{
    static const char* const letters[] = { "C", "D", "E", "F", "G", "A", "B", "-" };
    if (frame >= kFirstLetterFrame && frame < kFirstLetterFrame + 8)
        return letters[frame - kFirstLetterFrame];
    return PatternNumberDisplayDigit::getFrameText(frame);
}

PatternNumberDisplay::PatternNumberDisplayThirdDigit::PatternNumberDisplayThirdDigit(const juce::Image& image,
                                                                                       int width, int height)
    : PatternNumberDisplayDigit(13, image, width, height)
{
}

juce::String PatternNumberDisplay::PatternNumberDisplayThirdDigit::getFrameText(int frame) const
{
    if (frame == kSharpFrame)
        return "#";
    if (frame == kNaturalFrame)
        return "-";
    return PatternNumberDisplayDigit::getFrameText(frame);
}

PatternNumberDisplay::PatternNumberDisplayFourthDigit::PatternNumberDisplayFourthDigit(const juce::Image& image,
                                                                                         int width, int height)
    : PatternNumberDisplayDigit(11, image, width, height)
{
}

//==============================================================================
PatternNumberDisplay::PatternNumberDisplay(const juce::String& name)
    : juce::Component(name)
{
}

PatternNumberDisplay::~PatternNumberDisplay() = default;

PatternNumberDisplay::PatternNumberDisplayDigit* PatternNumberDisplay::getDigit(int index) const
{
    return juce::isPositiveAndBelow(index, kNumDigits) ? digits[index].get() : nullptr;
}

void PatternNumberDisplay::parameterValueChanged(Parameter* p)
{
    setValue(p->getIntValue());
}

void PatternNumberDisplay::setValue(int newValue)
{
    newValue = newValue < notePatternMin ? notePatternMin : juce::jmin(newValue, notePatternMax);
    if (newValue == value)
        return;
    value = newValue;
    refresh();
}

void PatternNumberDisplay::loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader)
{
    GUIController::loadFromSkin(element, loader);
    if (! tagNameIs(element, "PatternNumberDisplay"))
        return;

    notePatternMin = juce::jlimit(0, kHighestNote, SkinXml::readInt(element, "notePatternMin", 0));
    notePatternMax = juce::jlimit(0, kHighestNote, SkinXml::readInt(element, "notePatternMax", kHighestNote));
    numericPatternMin = SkinXml::readInt(element, "numericPatternMin", 1);
    numericPatternMax = SkinXml::readInt(element, "numericPatternMax", 16);
    bankAndSlotPatternMin = SkinXml::readInt(element, "bankAndSlotPatternMin", 1);
    bankAndSlotPatternMax = SkinXml::readInt(element, "bankAndSlotPatternMax", 96);
    slotMax = juce::jlimit(4, 16, SkinXml::readInt(element, "slotMax", 12));
    value = value < notePatternMin ? notePatternMin : juce::jmin(value, notePatternMax);

    int width = kDefaultWidth;
    int height = kDefaultHeight;
    if (auto* size = findChildTagged(element, "size"))
    {
        width = SkinXml::readLength(*size, "width");
        height = SkinXml::readLength(*size, "height");
    }

    if (auto* gfx = findChildTagged(element, "gfx"))
    {
        const auto image = [&](const char* attribute) {
            const auto resource = gfx->getStringAttribute(attribute);
            return resource.isEmpty() ? juce::Image() : loader.getImage(resource);
        };
        const int cellWidth = width / kNumDigits;
        digits[0] = std::make_unique<PatternNumberDisplayFirstDigit>(image("firstDigit"), cellWidth, height);
        digits[1] = std::make_unique<PatternNumberDisplaySecondDigit>(image("secondDigit"), cellWidth, height);
        digits[2] = std::make_unique<PatternNumberDisplayThirdDigit>(image("thirdDigit"), cellWidth, height);
        digits[3] = std::make_unique<PatternNumberDisplayFourthDigit>(image("fourthDigit"), cellWidth, height);

        int x = 0;
        for (auto& digit : digits)
        {
            digit->setTopLeftPosition(x, 0);
            x += digit->getWidth();
            addAndMakeVisible(*digit);
        }
    }

    int left = 0;
    int top = 0;
    if (auto* pos = findChildTagged(element, "pos"))
    {
        left = SkinXml::readCoordinate(*pos, "left");
        top = SkinXml::readCoordinate(*pos, "top");
    }
    setBounds(left, top, width, height);
    refresh();
}

void PatternNumberDisplay::enablementChanged()
{
    refresh();
}

void PatternNumberDisplay::refresh()
{
    if (digits[0] == nullptr)
        return;
    if (! isEnabled())
    {
        for (auto& digit : digits)
            digit->setFrame(0);
        return;
    }
    // The fourth digit's strip ends at octave 9: octave 10 (notes 120 to 127)
    // shows its last frame, as every frame setting of a strip does.
    digits[0]->setFrame(kPatternFrame);
    digits[1]->setFrame(getMidiNoteLetterIndex(value) + kFirstLetterFrame);
    digits[2]->setFrame(isMidiNoteSharp(value) ? kSharpFrame : kNaturalFrame);
    digits[3]->setFrame(getMidiNoteOctave(value) + 1);
}
