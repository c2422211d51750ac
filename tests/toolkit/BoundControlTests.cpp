#include "TestHelpers.h"
#include "ToolkitTestSupport.h"

#include "core/BoolParameter.h"
#include "core/EnumParameter.h"
#include "core/FloatParameter.h"
#include "core/IntParameter.h"
#include "toolkit/CheckBox_V2.h"
#include "toolkit/HorizontalSlider.h"
#include "toolkit/RadioButtons_V2.h"
#include "toolkit/TextButtonWithIcon.h"
#include "toolkit/ToolbarDrawableButton.h"
#include "toolkit/TwoValueHorizontalSliderWithLevel.h"

namespace
{
// Counts what reaches a parameter's listeners: every write that changed the
// value, and the change gestures around user drags.
struct WriteCounter : Parameter::Listener
{
    void parameterChanged(Parameter*) override { ++writes; }
    void parameterChangeGestureBegin(Parameter*) override { ++begins; }
    void parameterChangeGestureEnd(Parameter*) override { ++ends; }
    int writes = 0;
    int begins = 0;
    int ends = 0;
};

void hoverAndPress(juce::Component& c)
{
    ToolkitTest::mouseEventAt(c, { 3, 3 }, ToolkitTest::enter);
    ToolkitTest::mouseEventAt(c, { 3, 3 }, ToolkitTest::exit);
}
} // namespace

using BoundControlTest = ToolkitTest;

TEST_F(BoundControlTest, CheckBoxWritesOncePerClickAndNeverOnHoverOrOutsideUpdates)
{
    WriteCounter counter;
    BoolParameter parameter(1, "Bypass", "false");
    parameter.addListener(&counter);
    CheckBox_V2 box("Bypass");
    box.setBounds(0, 0, 120, 20);
    box.setVisible(true);
    box.setParameter(&parameter);
    TestHelpers::pumpMessages();
    EXPECT_FALSE(box.isChecked());

    hoverAndPress(box);
    EXPECT_EQ(counter.writes, 0);

    click(box, { 5, 5 });
    EXPECT_TRUE(parameter.getBoolValue());
    EXPECT_TRUE(box.isChecked());
    EXPECT_TRUE(box.getCheckMark()->isVisible());
    EXPECT_EQ(counter.writes, 1);
    click(box, { 5, 5 });
    EXPECT_FALSE(parameter.getBoolValue());
    EXPECT_EQ(counter.writes, 2);

    // A host switches it on; before the box has heard, the user only hovers:
    // the host's value must survive.
    parameter.setBoolValue(true, true);
    EXPECT_EQ(counter.writes, 3);
    hoverAndPress(box);
    mouseEventAt(box, { 5, 5 }, down);
    EXPECT_TRUE(parameter.getBoolValue());
    mouseEventAt(box, { 500, 500 }, exit);
    mouseEventAt(box, { 500, 500 }, up);
    EXPECT_TRUE(parameter.getBoolValue());
    TestHelpers::pumpMessages();
    EXPECT_TRUE(box.isChecked());
    EXPECT_EQ(counter.writes, 3);
}

TEST_F(BoundControlTest, IconButtonsWriteOnlyWhenClicked)
{
    WriteCounter counter;
    BoolParameter parameter(1, "Sync", "false");
    parameter.addListener(&counter);

    TextButtonWithIcon textButton("Sync");
    textButton.setClickingTogglesState(true);
    textButton.setBounds(0, 0, 100, 24);
    textButton.setVisible(true);
    auto icon = getIcon(24);
    textButton.setIcons(*icon);
    textButton.setParameter(&parameter);

    ToolbarDrawableButton toolButton("Record", 24);
    toolButton.setClickingTogglesState(true);
    toolButton.setBounds(0, 0, 24, 24);
    toolButton.setVisible(true);
    toolButton.setParameter(&parameter);

    hoverAndPress(textButton);
    hoverAndPress(toolButton);
    EXPECT_EQ(counter.writes, 0);

    // One icon shows in each state when no toggled icon was given.
    EXPECT_TRUE(textButton.getNormalIcon()->isVisible());
    EXPECT_FALSE(textButton.getToggledIcon()->isVisible());
    click(textButton, { 50, 12 });
    EXPECT_TRUE(parameter.getBoolValue());
    EXPECT_EQ(counter.writes, 1);
    EXPECT_FALSE(textButton.getNormalIcon()->isVisible());
    EXPECT_TRUE(textButton.getToggledIcon()->isVisible());
    EXPECT_EQ(textButton.getNormalIcon()->getDrawableBounds(), textButton.getToggledIcon()->getDrawableBounds());

    TestHelpers::pumpMessages();
    EXPECT_TRUE(toolButton.getToggleState());
    EXPECT_EQ(counter.writes, 1);
    click(toolButton, { 5, 5 });
    EXPECT_FALSE(parameter.getBoolValue());
    EXPECT_EQ(counter.writes, 2);
    TestHelpers::pumpMessages();
    EXPECT_FALSE(textButton.getToggleState());
    EXPECT_EQ(counter.writes, 2);

    textButton.setSize(100, 30);
    textButton.changeWidthToFitText(-1);
    EXPECT_EQ(textButton.getHeight(), 30);
}

TEST_F(BoundControlTest, SliderWritesUserDragsInsideAGestureAndFollowsTheParameterSilently)
{
    WriteCounter counter;
    FloatParameter parameter(1, "Gain", 0.0f, 10.0f, 5.0f);
    parameter.addListener(&counter);
    HorizontalSlider slider;
    slider.setBounds(0, 0, 220, 20);
    slider.setVisible(true);
    slider.setParameter(&parameter);
    EXPECT_DOUBLE_EQ(slider.getSlider().getValue(), 5.0);
    EXPECT_DOUBLE_EQ(slider.getSlider().getInterval(), 0.0);

    parameter.setValue(2.5f, true);
    TestHelpers::pumpMessages();
    EXPECT_DOUBLE_EQ(slider.getSlider().getValue(), 2.5);
    EXPECT_EQ(counter.writes, 1);

    auto& s = slider.getSlider();
    const int xAt8 = (int) s.getPositionOfValue(8.0);
    mouseEventAt(s, { xAt8, 10 }, down);
    mouseEventAt(s, { xAt8, 10 }, up);
    EXPECT_NEAR(parameter.getValue(), 8.0f, 0.1f);
    EXPECT_EQ(counter.writes, 2);
    EXPECT_EQ(counter.begins, 1);
    EXPECT_EQ(counter.ends, 1);

    // An int parameter moves in whole steps.
    IntParameter steps(2, "Steps", 0, 10, 3);
    HorizontalSlider stepSlider;
    stepSlider.setBounds(0, 0, 220, 20);
    stepSlider.setVisible(true);
    stepSlider.setIntParameter(&steps);
    EXPECT_DOUBLE_EQ(stepSlider.getSlider().getInterval(), 1.0);
    auto& t = stepSlider.getSlider();
    const int between = (int) t.getPositionOfValue(6.4);
    mouseEventAt(t, { between, 10 }, down);
    mouseEventAt(t, { between, 10 }, up);
    EXPECT_EQ(steps.getIntValue(), 6);
}

TEST_F(BoundControlTest, EachThumbOfATwoValueSliderWritesOnlyItsOwnParameter)
{
    WriteCounter minCounter, maxCounter;
    FloatParameter low(1, "Low", 0.0f, 1.0f, 0.2f);
    FloatParameter high(2, "High", 0.0f, 1.0f, 0.8f);
    low.addListener(&minCounter);
    high.addListener(&maxCounter);
    TwoValueHorizontalSliderWithLevel slider;
    slider.setBounds(0, 0, 220, 20);
    slider.setVisible(true);
    slider.setParameters(&low, &high);
    auto& s = slider.getSlider();
    EXPECT_DOUBLE_EQ(s.getMinValue(), 0.2f);
    EXPECT_DOUBLE_EQ(s.getMaxValue(), 0.8f);

    // The host moves the maximum; before the slider has heard, the user drags
    // the minimum: the host's maximum must stay.
    high.setValue(0.9f, true);
    ASSERT_EQ(maxCounter.writes, 1);
    const int from = (int) s.getPositionOfValue(0.2);
    const int to = (int) s.getPositionOfValue(0.4);
    mouseEventAt(s, { from, 10 }, down);
    mouseEventAt(s, { to, 10 }, drag);
    mouseEventAt(s, { to, 10 }, up);
    // Written before the gesture ended, as hosts record automation.
    EXPECT_NEAR(low.getValue(), 0.4f, 0.01f);
    EXPECT_GE(minCounter.writes, 1);
    EXPECT_EQ(minCounter.begins, 1);
    EXPECT_EQ(minCounter.ends, 1);
    EXPECT_FLOAT_EQ(high.getValue(), 0.9f);
    EXPECT_EQ(maxCounter.writes, 1);
    EXPECT_EQ(maxCounter.begins, 0);

    TestHelpers::pumpMessages();
    EXPECT_DOUBLE_EQ(s.getMaxValue(), 0.9f);
    EXPECT_EQ(maxCounter.writes, 1);

    // The level strip sits over the track and takes its setters.
    auto& strip = slider.getLevelStrip();
    EXPECT_EQ(strip.getX(), (int) s.getPositionOfValue(0.0));
    EXPECT_EQ(strip.getHeight(), 24);
    slider.setLevel(0.5f);
    slider.setLevel(7.0f);
    EXPECT_FLOAT_EQ(strip.getLevel(), 1.0f);
    slider.setHighlighted(true, 200);
    EXPECT_TRUE(strip.isHighlighted());
    strip.timerCallback();
    EXPECT_FALSE(strip.isHighlighted());
}

TEST_F(BoundControlTest, RadioButtonsFollowTheHostAndWriteOnceWhenClicked)
{
    WriteCounter counter;
    EnumParameter mode(1, "Mode", "Eco;Normal;High;Ultra", "Eco");
    mode.addListener(&counter);
    RadioButtons_V2 radio(&mode);
    radio.setBounds(0, 0, 160, 120);
    radio.setVisible(true);
    ASSERT_EQ(radio.getNumButtons(), 4);
    EXPECT_EQ(radio.getPanel().getTitle(), "Mode");
    EXPECT_EQ(radio.getSelectedIndex(), 0);

    mode.setIntValue(2, true);
    TestHelpers::pumpMessages();
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(radio.getButton(i)->getToggleState(), i == 2);
    EXPECT_EQ(counter.writes, 1);

    auto* fourth = radio.getButton(3);
    fourth->setVisible(true);
    mouseEventAt(*fourth, { 4, 4 }, enter);
    mouseEventAt(*fourth, { 4, 4 }, down);
    mouseEventAt(*fourth, { 4, 4 }, up);
    EXPECT_EQ(mode.getIntValue(), 3);
    EXPECT_EQ(counter.writes, 2);
    EXPECT_TRUE(fourth->getToggleState());
    EXPECT_FALSE(radio.getButton(2)->getToggleState());

    // Out of range: no button on, nothing written.
    radio.setSelectedIndex(9, true);
    EXPECT_EQ(radio.getSelectedIndex(), -1);
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(radio.getButton(i)->getToggleState());
    EXPECT_EQ(mode.getIntValue(), 3);

    // Buttons are 18 high and as wide as the panel's content area.
    EXPECT_EQ(fourth->getHeight(), 18);
    EXPECT_EQ(fourth->getWidth(), radio.getPanel().getContentArea().getWidth());
}

TEST_F(BoundControlTest, SliderScaleAndTitleLayout)
{
    HorizontalSlider slider;
    slider.setBounds(0, 0, 300, 60);
    slider.setScale(HorizontalSlider::scaleBelow, { "0", "25", "50", "75", "100" }, 4);
    const int xMin = (int) slider.getSlider().getPositionOfValue(slider.getSlider().getMinimum());
    const int xMax = (int) slider.getSlider().getPositionOfValue(slider.getSlider().getMaximum());
    ASSERT_EQ(slider.getNumScaleLabels(), 5);
    EXPECT_EQ(slider.getScaleLabel(0)->getX(), xMin);
    EXPECT_EQ(slider.getScaleLabel(4)->getRight(), xMax);
    EXPECT_EQ(slider.getScaleLabel(0)->getY(), 25);
    EXPECT_EQ(slider.getTickTop(), 20);
    EXPECT_EQ(slider.getTickX(0), xMin);
    EXPECT_EQ(slider.getTickX(4), xMax);

    // Above, with a title on top: title, labels, ticks, then the slider.
    slider.setTitle("Quality", juce::Justification::centredTop);
    slider.setScale(HorizontalSlider::scaleAbove, { "Low", "High" }, 1);
    EXPECT_EQ(slider.getTitleLabel().getY(), 0);
    EXPECT_EQ(slider.getScaleLabel(0)->getY(), 16);
    EXPECT_EQ(slider.getTickTop(), 32);
    EXPECT_EQ(slider.getSlider().getY(), 16 + 21);

    HorizontalSlider titled;
    titled.setBounds(0, 0, 200, 40);
    titled.setTitle("Below", juce::Justification::centredBottom);
    EXPECT_EQ(titled.getSlider().getY(), 0);
    EXPECT_EQ(titled.getTitleLabel().getY(), 20);
    EXPECT_TRUE(titled.getTitleLabel().isVisible());
    titled.setTitle({}, juce::Justification(0));
    EXPECT_FALSE(titled.getTitleLabel().isVisible());
}
