#pragma once

#include "ToolkitTestSupport.h"
#include "core/Parameter.h"
#include "toolkit/PopupMenuEx.h"

#include <memory>

// The open menu inside an editor page (its cover is a child of the page), or
// null when no menu is open there.
inline PopupMenuEx::PopupMenuComponent* findOpenMenu(juce::Component& page)
{
    for (auto* cover : page.getChildren())
        for (auto* child : cover->getChildren())
            if (auto* c = dynamic_cast<PopupMenuEx::PopupMenuComponent*>(child))
                return c;
    return nullptr;
}

// Clicks row of the open menu's window level (0 = top level).
inline void clickMenuRow(juce::Component& page, int row, int level = 0)
{
    auto* menu = findOpenMenu(page);
    ASSERT_NE(menu, nullptr);
    auto* window = menu->getWindow(level);
    ASSERT_NE(window, nullptr);
    ToolkitTest::click(*window, window->getRowBounds(row).getCentre());
}

// Rests the pointer on row of a level and lets the hover delay run out.
inline void hoverMenuRow(juce::Component& page, int row, int level = 0)
{
    auto* menu = findOpenMenu(page);
    ASSERT_NE(menu, nullptr);
    auto* window = menu->getWindow(level);
    ASSERT_NE(window, nullptr);
    ToolkitTest::mouseEventAt(*window, window->getRowBounds(row).getCentre(), ToolkitTest::enter);
    menu->openPendingMenu();
}

// A page that rebuilds its rows when one of them changes: told about its row,
// it notes the parameter's value and deletes the row.
template <typename Row>
struct RowRebuilder
{
    void rowChanged(Row* changed)
    {
        valueWhenTold = parameter->getIntValue();
        if (changed == row.get())
            row.reset();
    }
    std::unique_ptr<Row> row;
    Parameter* parameter = nullptr;
    int valueWhenTold = -1;
};

// Counts the writes that reach a parameter's listeners (the processor, the
// host): each one is an automation write.
struct ParameterWrites : Parameter::Listener
{
    void parameterChanged(Parameter*) override { ++count; }
    int count = 0;
};
