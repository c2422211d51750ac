#include "toolkit/DefaultResourceCheckBox.h"

DefaultResourceCheckBox::DefaultResourceCheckBox()
{
    checkBox.addListener(this);
    path.addListener(this);
    addAndMakeVisible(checkBox);
    addAndMakeVisible(path);
    path.setEnabled(false);
}

DefaultResourceCheckBox::~DefaultResourceCheckBox()
{
    checkBox.removeListener(this);
    path.removeListener(this);
}

void DefaultResourceCheckBox::setFile(const juce::File& file, bool notify)
{
    const bool checked = file != juce::File();
    checkBox.setChecked(checked, juce::dontSendNotification);
    path.setFile(file, false);
    path.setEnabled(checked);
    if (notify)
        notifyListeners();
}

juce::File DefaultResourceCheckBox::getFile() const
{
    return checkBox.isChecked() ? path.getFile() : juce::File();
}

void DefaultResourceCheckBox::addListener(Listener* listener)
{
    if (listener != nullptr)
        listeners.add(listener);
}

void DefaultResourceCheckBox::removeListener(Listener* listener)
{
    listeners.remove(listener);
}

void DefaultResourceCheckBox::notifyListeners()
{
    listeners.call([this](Listener& l) { l.defaultResourceChanged(this); });
}

void DefaultResourceCheckBox::pathChanged(PathComponent*)
{
    notifyListeners();
}

void DefaultResourceCheckBox::buttonClicked(juce::Button* button)
{
    if (button != &checkBox)
        return;
    path.setEnabled(checkBox.isChecked());
    notifyListeners();
}

void DefaultResourceCheckBox::resized()
{
    checkBox.setBounds(0, 0, getHeight(), getHeight());
    const int pathWidth = juce::jmax(0, getWidth() - PathComponent::gap - checkBox.getWidth());
    path.setBounds(getWidth() - pathWidth, 0, pathWidth, getHeight());
}
