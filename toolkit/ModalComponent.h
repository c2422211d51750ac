#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// A dialog, menu or settings window that lives inside the editor rather than
// in a window of its own (a plug-in editor is embedded in the host's window).
// It is shown inside a cover that fills the nearest ancestor implementing
// ModalComponent::Desktop, swallows clicks meant for what lies beneath it and
// can darken it. The owner keeps and deletes the component; hiding never
// deletes. One that wants the keys takes them when shown and gives them back
// where they were when hidden.
class ModalComponent : public juce::Component
{
public:
    // Implemented by the editor: the area in whose middle centred modal
    // components are placed.
    class Desktop
    {
    public:
        virtual ~Desktop() = default;
        virtual juce::Rectangle<int> getDesktopArea() = 0;
    };

    // The full-area cover that holds the shown component.
    class CoveringWindow : public juce::Component
    {
    public:
        explicit CoveringWindow(ModalComponent& owner);

        void parentHierarchyChanged() override;
        void parentSizeChanged() override;
        void resized() override;
        void paint(juce::Graphics& g) override;

    private:
        void fillParent();

        ModalComponent& owner;

        JUCE_DECLARE_NON_COPYABLE(CoveringWindow)
    };

    ModalComponent();
    ~ModalComponent() override;

    virtual bool shouldDimBackground() const { return false; }
    // Centres the component in the desktop area, or puts its top-left corner
    // at the point given to showAt.
    virtual void updatePosition();

    void show();
    // position is in relativeTo's coordinates when relativeTo is given,
    // else in the cover's.
    void showAt(juce::Point<int> position, juce::Component* relativeTo);
    void hide();

    // The cover's local bounds: the whole desktop area in the cover's coordinates.
    juce::Rectangle<int> getCoveringArea() const { return coveringWindow.getLocalBounds(); }
    CoveringWindow& getCoveringWindow() { return coveringWindow; }

    void parentHierarchyChanged() override;
    void resized() override;

private:
    enum PositionMode
    {
        centred = 0,
        atPoint = 1
    };

    void attach();
    bool isInAttachedCover() const;
    void showInMode(PositionMode mode, juce::Point<int> position, juce::Component* relativeTo);
    void detachCover();

    PositionMode positionMode = centred;
    juce::Point<int> storedPoint;
    bool attaching = false;
    juce::Component::SafePointer<juce::Component> focusBefore;

protected:
    CoveringWindow coveringWindow;

private:
    JUCE_DECLARE_NON_COPYABLE(ModalComponent)
};
