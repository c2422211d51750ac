#include "toolkit/ComponentRow.h"

ComponentRow::ComponentRow(int orientationToUse, int alignmentToUse)
    : orientation(orientationToUse), alignment(alignmentToUse)
{
    layout();
}

ComponentRow::~ComponentRow()
{
    for (auto* c : watched)
        c->removeComponentListener(this);
}

void ComponentRow::setOrientation(int newOrientation)
{
    if (newOrientation == orientation)
        return;
    orientation = newOrientation;
    layout();
}

void ComponentRow::setAlignment(int newAlignment)
{
    if (newAlignment == alignment)
        return;
    alignment = newAlignment;
    layout();
}

void ComponentRow::setSpacing(int newSpacing)
{
    if (newSpacing == spacing)
        return;
    spacing = newSpacing;
    layout();
}

void ComponentRow::childrenChanged()
{
    for (auto* c : watched)
        c->removeComponentListener(this);
    watched.clearQuick();
    for (auto* c : getChildren())
    {
        c->addComponentListener(this);
        watched.add(c);
    }
    layout();
}

void ComponentRow::componentMovedOrResized(juce::Component&, bool, bool)
{
    layout();
}

void ComponentRow::componentBeingDeleted(juce::Component& c)
{
    watched.removeFirstMatchingValue(&c);
}

void ComponentRow::componentParentHierarchyChanged(juce::Component& c)
{
    // JUCE tells a parent about a removed child only while it is on screen;
    // the child itself always hears.
    if (c.getParentComponent() != this)
        childrenChanged();
}

void ComponentRow::layout()
{
    if (layingOut)
        return;
    const juce::ScopedValueSetter<bool> guard(layingOut, true);

    const bool isRow = orientation == row;
    const auto& children = getChildren();
    int along = 0;
    int across = 0;
    for (auto* c : children)
    {
        along += isRow ? c->getWidth() : c->getHeight();
        across = juce::jmax(across, isRow ? c->getHeight() : c->getWidth());
    }
    if (!children.isEmpty())
        along += (children.size() - 1) * spacing;
    if (isRow)
        setSize(along, across);
    else
        setSize(across, along);

    int position = 0;
    for (auto* c : children)
    {
        const int size = isRow ? c->getHeight() : c->getWidth();
        const int offset = alignment == alignCentre ? (across - size) / 2 : alignment == alignEnd ? across - size : 0;
        if (isRow)
            c->setTopLeftPosition(position, offset);
        else
            c->setTopLeftPosition(offset, position);
        position += (isRow ? c->getWidth() : c->getHeight()) + spacing;
    }
}
