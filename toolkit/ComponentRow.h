#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

// Lays its children out one after another in a row or a column and sizes
// itself to hold them; it follows every change of its children's sizes.
class ComponentRow : public juce::Component, private juce::ComponentListener
{
public:
    enum Orientation
    {
        row = 0,
        column = 1
    };
    enum Alignment
    {
        alignStart = 0,
        alignCentre = 1,
        alignEnd = 2
    };

    explicit ComponentRow(int orientation = row, int alignment = alignStart);
    ~ComponentRow() override;

    // Anything other than 0 is a column.
    void setOrientation(int orientation);
    void setAlignment(int alignment);
    void setSpacing(int spacing);

    void childrenChanged() override;

private:
    void componentMovedOrResized(juce::Component&, bool wasMoved, bool wasResized) override;
    void componentBeingDeleted(juce::Component&) override;
    void componentParentHierarchyChanged(juce::Component&) override;
    void layout();

    int orientation;
    int alignment;
    int spacing = 0;
    bool layingOut = false;
    juce::Array<juce::Component*> watched;

    JUCE_DECLARE_NON_COPYABLE(ComponentRow)
};
