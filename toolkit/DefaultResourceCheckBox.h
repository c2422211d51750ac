#pragma once

#include "toolkit/CheckBox_V2.h"
#include "toolkit/PathComponent.h"

// Chooses between a built-in default (box unchecked) and a file of the
// user's (box checked, path field enabled).
class DefaultResourceCheckBox : public juce::Component, public PathComponent::Listener, public juce::Button::Listener
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void defaultResourceChanged(DefaultResourceCheckBox* box) = 0;
    };

    DefaultResourceCheckBox();
    ~DefaultResourceCheckBox() override;

    // The empty file unchecks the box: the default is used.
    void setFile(const juce::File& file, bool notify);
    // The chosen file while the box is checked, else the empty file.
    juce::File getFile() const;
    bool isChecked() const { return checkBox.isChecked(); }

    void addListener(Listener* listener);
    void removeListener(Listener* listener);

    CheckBox_V2& getCheckBox() { return checkBox; }
    PathComponent& getPathComponent() { return path; }

    void pathChanged(PathComponent*) override;
    void buttonClicked(juce::Button* button) override;
    void resized() override;

private:
    void notifyListeners();

    CheckBox_V2 checkBox;
    PathComponent path;
    juce::ListenerList<Listener> listeners;

    JUCE_DECLARE_NON_COPYABLE(DefaultResourceCheckBox)
};
