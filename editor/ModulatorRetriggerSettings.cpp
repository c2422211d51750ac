#include "editor/ModulatorRetriggerSettings.h"

#include "editor/NoteLearn.h"

namespace
{
// Opaque: nothing of the face under the window may show through its controls.
constexpr juce::uint32 kBackground = 0xFF393633;
constexpr juce::uint32 kTitleBarAndFrame = 0xFF0C0C0C;
constexpr float kTitleFontHeight = 13.0f;
// Title above the slider, centred.
const juce::Justification kSliderTitleJustification(juce::Justification::centredTop);
} // namespace

ModulatorRetriggerSettings::LF::LF()
{
    setColour(DefaultLookAndFeel::windowBackgroundColourId, juce::Colour(kBackground));
    setColour(DefaultLookAndFeel::windowTitleBarColourId, juce::Colour(kTitleBarAndFrame));
    setColour(juce::Label::textColourId, juce::Colours::white);
    setColour(juce::DrawableButton::textColourId, juce::Colours::white);
}

juce::Font ModulatorRetriggerSettings::LF::getWindowTitleFont()
{
    return DefaultLookAndFeel::getWindowTitleFont().withHeight(kTitleFontHeight);
}

ModulatorRetriggerSettings::ModulatorRetriggerSettings(const juce::String& title, EnumParameter* mode,
                                                       EnumParameter* channel, NoteParameter* note,
                                                       BoolParameter* learn, FloatParameter* speed,
                                                       FloatParameter* lowerThreshold,
                                                       FloatParameter* upperThreshold)
    : modeChooser(mode), modeParameter(mode)
{
    jassert(mode != nullptr);

    modeChooser.setTitle("Retrigger mode", false);
    addAndMakeVisible(modeChooser);

    noteChooser.setParameters(channel, note, learn);
    notePanel.setContent(&noteChooser, false);
    addAndMakeVisible(notePanel);

    speedSlider.setTitle("Speed", kSliderTitleJustification);
    speedSlider.setScale(HorizontalSlider::scaleBelow, { "Slow", "Fast" }, 0);
    speedSlider.setParameter(speed);

    thresholdSlider.setTitle("Threshold", kSliderTitleJustification);
    // The ends of the thresholds' range.
    thresholdSlider.setScale(HorizontalSlider::scaleBelow, { "0dB", "-64dB" }, 0);
    thresholdSlider.setParameters(lowerThreshold, upperThreshold);

    sliderColumn.addAndMakeVisible(speedSlider);
    sliderColumn.addAndMakeVisible(thresholdSlider);
    detectionPanel.setContent(&sliderColumn, false);
    addAndMakeVisible(detectionPanel);

    setTitle(title);
    setIcon(nullptr);
    setTitleBarHeight(kTitleBarHeight);
    setLookAndFeel(&lf);
    // The cross is drawn inside the frame; its whole square still takes clicks.
    getCloseButton().setEdgeIndent(getBorderWidth());

    if (modeParameter != nullptr)
    {
        modeParameter->addController(this);
        parameterChanged(modeParameter);
    }
}

ModulatorRetriggerSettings::~ModulatorRetriggerSettings()
{
    if (modeParameter != nullptr)
        modeParameter->removeController(this);
    // The detection panel outlives the column it frames.
    detectionPanel.setContent(nullptr, false);
    setLookAndFeel(nullptr);
}

void ModulatorRetriggerSettings::setParameterTouchedCallback(const std::function<void(Parameter*)>& callback)
{
    speedSlider.setUserTouchCallback(callback);
    thresholdSlider.setUserTouchCallback(callback);
}

void ModulatorRetriggerSettings::parameterChanged(Parameter* p)
{
    if (p != modeParameter || p == nullptr)
        return;
    const int mode = p->getIntValue();
    notePanel.setVisible(mode == DelayParameters::kRetriggerMidiNote);
    detectionPanel.setVisible(mode == DelayParameters::kRetriggerInputLevel);
    // A preset may switch to the note mode while the window is closed; a
    // learn left on from earlier must not wake up with it.
    if (!isVisible())
        stopNoteLearning(noteChooser);
}

void ModulatorRetriggerSettings::visibilityChanged()
{
    // Whether shown or hidden, learning starts afresh from the window.
    stopNoteLearning(noteChooser);
}

int ModulatorRetriggerSettings::getModeChooserFittedWidth()
{
    auto& panel = modeChooser.getPanel();
    const auto bounds = panel.getBounds();
    panel.setSizeToFit(-1, -1);
    const int width = panel.getWidth();
    panel.setBounds(bounds);
    return width;
}

void ModulatorRetriggerSettings::resized()
{
    WindowComponent::resized();
    // The title bar is as high as the largest cross, which would then reach the
    // window's edges: its square sits inside the right edge of the frame.
    const int side = getTitleBarHeight();
    getCloseButton().setBounds(getWidth() - getBorderWidth() - side, 0, side, side);

    const auto area = getContentArea();
    // A third of the width, but never so narrow that "Retrigger mode" is cut.
    const int third = juce::jmin(area.getWidth(), juce::jmax(area.getWidth() / 3, getModeChooserFittedWidth()));
    modeChooser.setBounds(area.getX(), area.getY(), third, area.getHeight());
    const juce::Rectangle<int> panelBounds(area.getX() + third + kPanelGap, area.getY(),
                                           juce::jmax(0, area.getWidth() - third - kPanelGap), area.getHeight());
    notePanel.setBounds(panelBounds);
    detectionPanel.setBounds(panelBounds);
    const int sliderWidth = detectionPanel.getContentArea().getWidth();
    speedSlider.setSize(sliderWidth, kSliderHeight);
    thresholdSlider.setSize(sliderWidth, kSliderHeight);
}
