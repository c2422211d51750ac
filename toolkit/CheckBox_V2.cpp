#include "toolkit/CheckBox_V2.h"

#include "core/BundleResources.h"
#include "toolkit/DefaultLookAndFeel.h"

namespace
{
constexpr float kTextIndentPerHeight = 1.2f;

std::unique_ptr<juce::Drawable> createCheckMark()
{
    const auto block = loadBundleResource("CheckMark.svg");
    return block != nullptr ? createDrawableFromSvg(block->getData(), block->getSize()) : nullptr;
}
} // namespace

CheckBox_V2::CheckBox_V2(const juce::String& text) : juce::TextButton(text), checkMark(createCheckMark())
{
    setClickingTogglesState(true);
    setWantsKeyboardFocus(false);
    if (checkMark != nullptr)
    {
        checkMark->setInterceptsMouseClicks(false, false);
        checkMark->setWantsKeyboardFocus(false);
        addChildComponent(*checkMark);
    }
    refreshCheckMark();
}

void CheckBox_V2::setChecked(bool checked, juce::NotificationType notification)
{
    setToggleState(checked, notification);
    refreshCheckMark();
}

void CheckBox_V2::changeWidthToFitText(int height)
{
    const int h = height < 0 ? getHeight() : height;
    const auto font = getLookAndFeel().getTextButtonFont(*this, h);
    setSize((int) (font.getStringWidthFloat(getButtonText()) + kTextIndentPerHeight * (float) h), h);
}

void CheckBox_V2::refreshCheckMark()
{
    if (checkMark == nullptr)
        return;
    checkMark->setAlpha(isEnabled() ? 1.0f : 0.5f);
    checkMark->setVisible(getToggleState());
}

void CheckBox_V2::updateFromParameter(Parameter* p)
{
    setToggleState(p->getBoolValue(), juce::dontSendNotification);
    refreshCheckMark();
}

void CheckBox_V2::buttonStateChanged()
{
    refreshCheckMark();
}

void CheckBox_V2::enablementChanged()
{
    refreshCheckMark();
    juce::TextButton::enablementChanged();
}

void CheckBox_V2::clicked()
{
    // Reached by a user's click (or a notifying setChecked), never by hover,
    // press or an update from the parameter.
    refreshCheckMark();
    setParameterBoolValue(getToggleState());
}

void CheckBox_V2::resized()
{
    if (checkMark == nullptr)
        return;
    const int side = getHeight() < 6 ? 0 : getHeight() - 6;
    checkMark->setTransformToFit(juce::Rectangle<float>(3.0f, 3.0f, (float) side, (float) side),
                                 juce::RectanglePlacement::centred);
}

void CheckBox_V2::drawTickBox(juce::Graphics& g, juce::Button& button, const juce::Path& box, bool isMouseOver,
                              bool isButtonDown)
{
    auto base = button.findColour(juce::TextButton::buttonColourId)
                    .withMultipliedSaturation(button.hasKeyboardFocus(false) ? 1.3f : 0.9f)
                    .withMultipliedAlpha(button.isEnabled() ? 0.9f : 0.5f);
    if (isButtonDown || isMouseOver)
        base = base.contrasting(isButtonDown ? 0.2f : 0.1f);

    const auto bounds = box.getBounds();
    g.setGradientFill(juce::ColourGradient::vertical(base.brighter(0.2f), bounds.getY(), base.darker(0.25f),
                                                     bounds.getBottom()));
    g.fillPath(box);

    const float brightness = base.getBrightness();
    g.setColour(juce::Colours::white.withAlpha(brightness * brightness * 0.4f * base.getFloatAlpha()));
    g.strokePath(box, juce::PathStrokeType(1.0f),
                 juce::AffineTransform::translation(0.0f, 1.0f)
                     .scaled(1.0f, (bounds.getHeight() - 1.6f) / bounds.getHeight(), 0.0f, bounds.getY()));
    g.setColour(juce::Colours::black.withAlpha(0.4f * base.getFloatAlpha()));
    g.strokePath(box, juce::PathStrokeType(1.0f));
}

void CheckBox_V2::paintButton(juce::Graphics& g, bool isMouseOver, bool isButtonDown)
{
    const float side = (float) (getHeight() - 4);
    if (side > 0.0f)
    {
        juce::Path box;
        box.addRoundedRectangle(2.5f, 2.5f, side - 1.0f, side - 1.0f, 4.0f);
        drawTickBox(g, *this, box, isMouseOver, isButtonDown);
    }

    if (getButtonText().isNotEmpty())
    {
        g.setFont(getLookAndFeel().getTextButtonFont(*this, getHeight()));
        g.setColour(textWhenEnabled(findColour(juce::Label::textColourId), isEnabled()));
        auto area = getLocalBounds();
        area.removeFromLeft((int) (kTextIndentPerHeight * (float) getHeight()));
        g.drawText(getButtonText(), area, juce::Justification::centredLeft, false);
    }
}
