#pragma once

#include "toolkit/DefaultFileChooserLauncher.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>

// A file field with a "Browse" button. A path too long for the field is cut
// and ended with a faded "[...]".
class PathComponent : public juce::Component, public juce::Button::Listener
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void pathChanged(PathComponent* path) = 0;
    };

    static constexpr int gap = 6;

    PathComponent();
    ~PathComponent() override;

    // Nothing happens for the file already shown (paths compare as the file
    // system does: on Linux, letter case matters).
    void setFile(const juce::File& file, bool notify);
    const juce::File& getFile() const { return file; }
    void setFilePattern(const juce::String& pattern);
    void setChooserTitle(const juce::String& title) { chooserTitle = title; }
    void setInitialLocation(const juce::File& location) { initialLocation = location; }

    void addListener(Listener* listener);
    void removeListener(Listener* listener);

    juce::TextButton& getBrowseButton() { return browseButton; }
    juce::Rectangle<int> getFieldArea() const { return fieldArea; }
    bool isPathCut() const;

    // Where a chosen file comes back from the file chooser.
    void fileChosen(const juce::File& chosen);

    void buttonClicked(juce::Button* button) override;
    void paint(juce::Graphics& g) override;
    void resized() override;
    void lookAndFeelChanged() override;
    void parentHierarchyChanged() override;
    void enablementChanged() override;

protected:
    // Opens the file chooser; the answer arrives through fileChosen.
    virtual void launchChooser();

private:
    void measure();

    juce::String chooserTitle { "Choose a file" };
    juce::File initialLocation;
    juce::String filePattern { "*" };
    juce::File file;
    juce::TextButton browseButton { "Browse" };
    juce::Font font;
    juce::Rectangle<int> fieldArea;
    juce::Rectangle<int> textArea;
    int pathWidth = 0;
    int ellipsisWidth = 0;
    juce::ListenerList<Listener> listeners;
    DefaultFileChooserLauncher launcher { *this };

    JUCE_DECLARE_NON_COPYABLE(PathComponent)
};
