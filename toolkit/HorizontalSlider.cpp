#include "toolkit/HorizontalSlider.h"

HorizontalSlider::HorizontalSlider() : slider(std::make_unique<OwnSlider>())
{
    slider->setSliderStyle(juce::Slider::LinearHorizontal);
    slider->setTextBoxStyle(juce::Slider::NoTextBox, true, 0, 0);
    slider->addListener(this);
    addAndMakeVisible(*slider);

    title.setJustificationType(juce::Justification::centredTop);
    title.setBorderSize({});
    addChildComponent(title);
}

HorizontalSlider::~HorizontalSlider()
{
    slider->removeListener(this);
}

void HorizontalSlider::setParameter(FloatParameter* parameter)
{
    if (parameter == nullptr)
        return;
    slider->setRange(parameter->getMinimum(), parameter->getMaximum(), 0.0);
    ParameterController::setParameter(parameter);
}

void HorizontalSlider::setIntParameter(IntParameter* parameter)
{
    if (parameter == nullptr)
        return;
    slider->setRange(parameter->getMinimum(), parameter->getMaximum(), 1.0);
    ParameterController::setParameter(parameter);
}

void HorizontalSlider::setUserTouchCallback(std::function<void(Parameter*)> callback)
{
    onUserTouch = std::move(callback);
}

void HorizontalSlider::setTitle(const juce::String& text, juce::Justification justification)
{
    title.setText(text, juce::dontSendNotification);
    title.setVisible(text.isNotEmpty());
    if (justification.getFlags() != 0)
        title.setJustificationType(justification);
    resized();
}

void HorizontalSlider::setScale(int newScalePosition, const juce::StringArray& labels, int newNumTicks)
{
    scaleLabels.clear();
    scalePosition = newScalePosition;
    numTicks = newNumTicks;
    for (const auto& text : labels)
    {
        auto* label = scaleLabels.add(new HardLabel({}, text));
        label->setBorderSize({});
        label->setJustificationType(juce::Justification::centredTop);
        label->changeWidthToFitText(labelHeight);
        addChildComponent(label);
        label->setVisible(scalePosition != noScale);
    }
    resized();
}

void HorizontalSlider::sliderValueChanged(juce::Slider*)
{
    setParameterValue((float) slider->getValue());
}

void HorizontalSlider::sliderDragStarted(juce::Slider*)
{
    beginParameterChange();
}

void HorizontalSlider::sliderDragEnded(juce::Slider*)
{
    endParameterChange();
}

void HorizontalSlider::updateFromParameter(Parameter* p)
{
    slider->setValue(p->getValue(), juce::dontSendNotification);
}

int HorizontalSlider::getMinimumX() const
{
    return slider->getX() + (int) slider->getPositionOfValue(slider->getMinimum());
}

int HorizontalSlider::getMaximumX() const
{
    return slider->getX() + (int) slider->getPositionOfValue(slider->getMaximum());
}

int HorizontalSlider::getTickX(int index) const
{
    const int xMin = getMinimumX();
    const int xMax = getMaximumX();
    return numTicks > 0 ? xMin + (int) ((double) index * (xMax - xMin) / numTicks) : xMin;
}

void HorizontalSlider::lookAndFeelChanged()
{
    for (auto* label : scaleLabels)
        label->changeWidthToFitText(labelHeight);
    resized();
}

void HorizontalSlider::resized()
{
    const auto justification = title.getJustificationType();
    const bool hasTitle = title.getText().isNotEmpty();
    const bool titleAbove = hasTitle && justification.testFlags(juce::Justification::top);
    const bool titleBelow = hasTitle && justification.testFlags(juce::Justification::bottom);
    const int numLabels = scaleLabels.size();
    const bool hasLabels = numLabels >= 2;

    const int scaleSpace = (hasLabels ? labelHeight : 0) + (numTicks >= 1 ? tickLength : 0);
    slider->setBounds(0, (scalePosition == scaleAbove ? scaleSpace : 0) + (titleAbove ? labelHeight : 0), getWidth(),
                      sliderHeight);

    if (hasTitle)
    {
        const int y = titleBelow ? (scalePosition == scaleBelow ? scaleSpace : 0) + slider->getBottom() : 0;
        title.setBounds(0, y, getWidth(), labelHeight);
    }

    if (hasLabels && scalePosition != noScale)
    {
        const int xMin = getMinimumX();
        const int xMax = getMaximumX();
        const int y = (titleAbove ? labelHeight : 0)
                      + (scalePosition == scaleBelow ? sliderHeight + (numTicks >= 1 ? tickLength : 0) : 0);
        for (int i = 0; i < numLabels; ++i)
        {
            auto* label = scaleLabels[i];
            const int w = label->getWidth();
            int x = xMin + (int) ((double) i * (xMax - xMin) / (numLabels - 1)) - w / 2;
            x = juce::jmax(xMin, juce::jmin(x, xMax - w));
            label->setTopLeftPosition(x, y);
        }
    }

    if (scalePosition == scaleBelow)
        tickTop = slider->getBottom();
    else if (scalePosition == scaleAbove)
        tickTop = hasLabels ? (titleAbove ? 2 * labelHeight : labelHeight) : (titleAbove ? labelHeight : 0);
    repaint();
}

void HorizontalSlider::paint(juce::Graphics& g)
{
    if (scalePosition == noScale || numTicks < 1)
        return;
    g.setColour(findColour(juce::Label::textColourId));
    for (int i = 0; i <= numTicks; ++i)
        g.drawVerticalLine(getTickX(i), (float) tickTop, (float) (tickTop + tickLength));
}
