#include "toolkit/PathComponent.h"

#include "toolkit/DefaultLookAndFeel.h"

#include <cmath>

namespace
{
const juce::String kCutMark("[...]");
}

PathComponent::PathComponent()
{
    browseButton.addListener(this);
    addAndMakeVisible(browseButton);
    lookAndFeelChanged();
}

PathComponent::~PathComponent()
{
    browseButton.removeListener(this);
}

void PathComponent::setFile(const juce::File& newFile, bool notify)
{
    if (newFile == file)
        return;
    file = newFile;
    measure();
    repaint();
    if (notify)
        listeners.call([this](Listener& l) { l.pathChanged(this); });
}

void PathComponent::setFilePattern(const juce::String& pattern)
{
    filePattern = pattern;
}

void PathComponent::addListener(Listener* listener)
{
    if (listener != nullptr)
        listeners.add(listener);
}

void PathComponent::removeListener(Listener* listener)
{
    listeners.remove(listener);
}

bool PathComponent::isPathCut() const
{
    return pathWidth > fieldArea.getWidth() - 8;
}

void PathComponent::fileChosen(const juce::File& chosen)
{
    if (chosen != juce::File())
        setFile(chosen, true);
}

void PathComponent::launchChooser()
{
    FileChooserLauncher::Request request;
    request.title = chooserTitle;
    request.initialFile = initialLocation;
    request.pattern = filePattern;
    request.mode = FileChooserLauncher::openFile;
    juce::Component::SafePointer<PathComponent> safeThis(this);
    launcher.launch(request, [safeThis](const juce::File& chosen) {
        if (safeThis != nullptr)
            safeThis->fileChosen(chosen);
    });
}

void PathComponent::buttonClicked(juce::Button* button)
{
    if (button == &browseButton)
        launchChooser();
}

void PathComponent::measure()
{
    pathWidth = (int) std::ceil(font.getStringWidthFloat(file.getFullPathName()));
    ellipsisWidth = (int) std::ceil(font.getStringWidthFloat(kCutMark));
}

void PathComponent::lookAndFeelChanged()
{
    if (auto* laf = dynamic_cast<DefaultLookAndFeel*>(&getLookAndFeel()))
        font = laf->getDefaultFont();
    measure();
    resized();
}

void PathComponent::parentHierarchyChanged()
{
    lookAndFeelChanged();
}

void PathComponent::enablementChanged()
{
    browseButton.setEnabled(isEnabled());
    repaint();
}

void PathComponent::resized()
{
    browseButton.changeWidthToFitText(getHeight());
    browseButton.setTopLeftPosition(getWidth() - browseButton.getWidth(), 0);
    fieldArea = { 0, 0, juce::jmax(0, getWidth() - browseButton.getWidth() - gap), getHeight() };
    textArea = fieldArea.reduced(4, 0);
}

void PathComponent::paint(juce::Graphics& g)
{
    const float alpha = isEnabled() ? 1.0f : 0.5f;
    const auto outline = findPaletteColour(*this, DefaultLookAndFeel::pathFieldOutlineColourId);
    const auto fill = findPaletteColour(*this, DefaultLookAndFeel::pathFieldFillColourId);
    if (!outline.isTransparent())
        drawRoundedBox(g, fieldArea, fill.withMultipliedAlpha(alpha), outline.withMultipliedAlpha(alpha), 4.0f, 1.0f);

    const auto text = textWhenEnabled(findPaletteColour(*this, DefaultLookAndFeel::pathFieldTextColourId), isEnabled());
    g.setFont(font);
    g.setColour(text);
    const auto path = file.getFullPathName();
    if (!isPathCut())
    {
        g.drawText(path, textArea, juce::Justification::centredLeft, false);
        return;
    }
    g.drawText(path, textArea.withTrimmedRight(ellipsisWidth), juce::Justification::centredLeft, false);
    g.setColour(text.withMultipliedAlpha(0.5f));
    g.drawText(kCutMark, textArea.withTrimmedLeft(juce::jmax(0, textArea.getWidth() - ellipsisWidth)),
               juce::Justification::centredLeft, false);
}
