#include "skin/NumericDisplay.h"
#include "core/XmlHelpers.h"
#include "skin/FallbackLook.h"
#include "skin/ImageStrip.h"
#include "skin/SkinPackageLoader.h"
#include "skin/SkinXml.h"
#include <cmath>

namespace
{
constexpr int kDigitFrames = 11;
constexpr int kSignFrames = 2;
// Doubles hold every integer of this many digits exactly.
constexpr int kMaxDigits = 15;
constexpr double kMaxMagnitude = 1.0e15;
constexpr int kPixelsPerStep = 10;

// A limit read from the skin: finite and within what the digits can show.
double readLimit(const juce::XmlElement& element, juce::StringRef attribute)
{
    const double v = element.getDoubleAttribute(attribute, 0.0);
    return std::isfinite(v) ? juce::jlimit(-kMaxMagnitude, kMaxMagnitude, v) : 0.0;
}

// The exponent of a place value when it is a power of ten (0.01, 1, 100, ...).
bool getPowerOfTenExponent(double order, int& exponent)
{
    if (! std::isfinite(order) || order <= 0.0)
        return false;
    const double e = std::round(std::log10(order));
    if (std::abs(e) > kMaxDigits || std::abs(order - std::pow(10.0, e)) > 1.0e-9 * order)
        return false;
    exponent = (int) e;
    return true;
}

juce::Image readCellImage(const juce::XmlElement* gfx, SkinPackageLoader& loader)
{
    if (gfx == nullptr)
        return {};
    const auto resource = gfx->getStringAttribute("resource");
    return resource.isEmpty() ? juce::Image() : loader.getImage(resource);
}

void fillCellWithText(juce::Graphics& g, juce::Component& cell, juce::Colour fill, const juce::String& text)
{
    g.fillAll(fill);
    if (text.isEmpty())
        return;
    g.setColour(juce::Colours::black);
    g.setFont((float) cell.getHeight());
    FallbackLook::drawCellText(g, text, cell.getLocalBounds());
}
} // namespace

//==============================================================================
NumericDisplayDigit::NumericDisplayDigit(int width, int height, bool isInteger, const juce::Image& strip)
    : integerPart(isInteger), image(strip)
{
    setInterceptsMouseClicks(false, false);
    if (image.isValid())
        setSize(image.getWidth(), ImageStrip::getFrameHeight(image, kDigitFrames));
    else
        setSize(width, height);
}

void NumericDisplayDigit::setDigit(int newDigit, bool newBlank)
{
    newDigit = juce::jlimit(0, 9, newDigit);
    if (newDigit == digit && newBlank == blank)
        return;
    digit = newDigit;
    blank = newBlank;
    repaint();
}

int NumericDisplayDigit::getCurrentFrame() const
{
    const bool hidden = isBlinking() && getBlinkPhase();
    return isEnabled() && ! blank && ! hidden ? digit + 1 : 0;
}

void NumericDisplayDigit::blinkStateChanged()
{
    repaint();
}

void NumericDisplayDigit::paint(juce::Graphics& g)
{
    if (image.isValid())
    {
        ImageStrip::drawFrame(g, image, kDigitFrames, getCurrentFrame());
        return;
    }
    if (! isEnabled() || (isBlinking() && getBlinkPhase()))
        g.fillAll(juce::Colours::black);
    else
        fillCellWithText(g, *this, juce::Colour::greyLevel(integerPart ? 1.0f : 0.8f),
                         blank ? juce::String() : juce::String(digit));
}

//==============================================================================
NumericDisplaySign::NumericDisplaySign(int width, int height, const juce::Image& strip)
    : image(strip)
{
    setInterceptsMouseClicks(false, false);
    if (image.isValid())
        setSize(image.getWidth(), ImageStrip::getFrameHeight(image, kSignFrames));
    else
        setSize(width, height);
}

void NumericDisplaySign::setNegative(bool shouldBeNegative)
{
    if (negative == shouldBeNegative)
        return;
    negative = shouldBeNegative;
    repaint();
}

int NumericDisplaySign::getCurrentFrame() const
{
    return isEnabled() && negative && ! (isBlinking() && getBlinkPhase()) ? 1 : 0;
}

void NumericDisplaySign::blinkStateChanged()
{
    repaint();
}

void NumericDisplaySign::paint(juce::Graphics& g)
{
    if (image.isValid())
        ImageStrip::drawFrame(g, image, kSignFrames, getCurrentFrame());
    else if (! isEnabled() || (isBlinking() && getBlinkPhase()))
        g.fillAll(juce::Colours::black);
    else
        fillCellWithText(g, *this, juce::Colours::white, negative ? "-" : "");
}

//==============================================================================
NumericDisplay::NumericDisplay(const juce::String& name)
    : juce::Component(name)
{
}

NumericDisplay::~NumericDisplay() = default;

void NumericDisplay::parameterValueChanged(Parameter* p)
{
    setValue(p->getValue(), false);
}

void NumericDisplay::loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader)
{
    GUIController::loadFromSkin(element, loader);
    if (! tagNameIs(element, "NumericDisplay"))
        return;

    digitsNum = juce::jlimit(1, kMaxDigits, SkinXml::readInt(element, "digitsNum", 1));
    if (! getPowerOfTenExponent(element.getDoubleAttribute("firstDigitOrder", 0.0), firstDigitExponent))
        firstDigitExponent = digitsNum - 1;
    firstDigitOrder = std::pow(10.0, firstDigitExponent);
    scale = std::pow(10.0, digitsNum - firstDigitExponent - 1);
    onesCount = juce::jmax(digitsNum - firstDigitExponent, 0);

    minimum = readLimit(element, "minValue");
    maximum = readLimit(element, "maxValue");
    value = minimum;
    continuous = element.getStringAttribute("control") == "continous";
    pixelsPerStep = kPixelsPerStep;

    const bool hasSign = minimum < 0.0;
    if (auto* size = findChildTagged(element, "size"))
    {
        cellWidth = SkinXml::readLength(*size, "width") / (digitsNum + (hasSign ? 1 : 0));
        cellHeight = SkinXml::readLength(*size, "height");
    }

    if (hasSign)
    {
        const auto* signElement = findChildTagged(element, "sign");
        const auto* gfx = signElement != nullptr ? findChildTagged(*signElement, "gfx") : nullptr;
        sign = std::make_unique<NumericDisplaySign>(cellWidth, cellHeight, readCellImage(gfx, loader));
        addAndMakeVisible(*sign);
    }

    // A digit's place value is the first digit's divided by ten for each step.
    const auto addDigit = [this](const juce::Image& image) {
        const bool integerPart = digits.size() <= firstDigitExponent;
        addAndMakeVisible(digits.add(new NumericDisplayDigit(cellWidth, cellHeight, integerPart, image)));
    };
    if (auto* digitsElement = findChildTagged(element, "digits"))
    {
        if (digitsElement->getNumChildElements() > 0)
        {
            for (auto* gfx : digitsElement->getChildIterator())
                if (tagNameIs(*gfx, "gfx") && digits.size() < digitsNum)
                    addDigit(readCellImage(gfx, loader));
        }
        else if (digitsElement->hasAttribute("resource"))
        {
            const auto image = readCellImage(digitsElement, loader);
            for (int i = 0; i < digitsNum; ++i)
                addDigit(image);
        }
    }
    else
    {
        for (int i = 0; i < digitsNum; ++i)
            addDigit({});
    }

    if (auto* pos = findChildTagged(element, "pos"))
        setTopLeftPosition(SkinXml::readCoordinate(*pos, "left"), SkinXml::readCoordinate(*pos, "top"));
    layOut();
    setValue(minimum, false);
}

void NumericDisplay::layOut()
{
    int x = 0;
    int height = 0;
    if (sign != nullptr)
    {
        sign->setTopLeftPosition(0, 0);
        x = sign->getWidth();
        height = sign->getHeight();
    }
    for (auto* digit : digits)
    {
        digit->setTopLeftPosition(x, 0);
        x += digit->getWidth();
        height = juce::jmax(height, digit->getHeight());
    }
    setSize(x, height);
}

void NumericDisplay::setValue(double newValue, bool notify)
{
    if (! std::isfinite(newValue))
        return;
    if (newValue < minimum)
        newValue = minimum;
    else if (newValue > maximum)
        newValue = maximum;

    if (newValue != value)
    {
        value = newValue;
        if (auto* p = getParameter(); p != nullptr && notify)
        {
            p->setValue((float) value, true);
            sendValueChanged();
        }
    }
    showValue();
}

void NumericDisplay::showValue()
{
    // n counts units of the last digit; each digit takes its share, from the
    // most significant down. Weights are exact powers of ten.
    double n = std::round(std::abs(value) * scale);
    bool shown = false;
    for (int i = 0; i < digitsNum; ++i)
    {
        const double weight = std::pow(10.0, digitsNum - 1 - i);
        const int d = (int) juce::jlimit(0.0, 9.0, std::floor(n / weight));
        shown = shown || d != 0 || i == digitsNum - onesCount;
        if (i < digits.size())
            digits.getUnchecked(i)->setDigit(d, ! shown);
        n -= d * weight;
    }
    if (sign != nullptr)
        sign->setNegative(value < 0.0);
}

void NumericDisplay::paint(juce::Graphics& g)
{
    g.fillAll(juce::Colours::black);
}

void NumericDisplay::enablementChanged()
{
    repaint();
}

int NumericDisplay::getDigitIndexAt(int x) const
{
    for (int i = 0; i < digits.size(); ++i)
        if (x < digits.getUnchecked(i)->getRight())
            return i;
    return juce::jmax(0, digits.size() - 1);
}

void NumericDisplay::mouseDown(const juce::MouseEvent& e)
{
    beginUserGesture();
    dragging = true;
    dragStartValue = value;
    dragStep = continuous ? firstDigitOrder / 10.0
                          : firstDigitOrder / std::pow(10.0, getDigitIndexAt(e.getEventRelativeTo(this).x));
}

void NumericDisplay::mouseDrag(const juce::MouseEvent& e)
{
    if (! dragging)
        return;
    const int steps = -e.getDistanceFromDragStartY() / pixelsPerStep;
    setValue(dragStartValue + steps * dragStep, true);
}

void NumericDisplay::mouseUp(const juce::MouseEvent&)
{
    if (! dragging)
        return;
    dragging = false;
    endUserGesture();
}
