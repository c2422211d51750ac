#include "TestHelpers.h"
#include "ToolkitTestSupport.h"
#include "core/EnumParameter.h"
#include "toolkit/ComboBoxEx.h"

namespace
{
// Counts the writes that reach the parameter's listeners (the processor, the
// host): every one of them is an automation write.
struct WriteCounter : Parameter::Listener
{
    void parameterChanged(Parameter*) override { ++writes; }
    int writes = 0;
};

struct ChangeCounter : ComboBoxEx::Listener
{
    void comboBoxExChanged(ComboBoxEx*) override { ++changes; }
    int changes = 0;
};

PopupMenuEx routingMenu()
{
    PopupMenuEx menu("routing");
    menu.addItem(0, "Parallel", false, true);
    menu.addItem(1, "Serial", "Ser.", false, true);
    menu.addItem(2, "Tapped Serial", false, false);
    return menu;
}

PopupMenuEx::Window* openWindow(juce::Component& desktop)
{
    for (auto* cover : desktop.getChildren())
        for (auto* child : cover->getChildren())
            if (auto* c = dynamic_cast<PopupMenuEx::PopupMenuComponent*>(child))
                return c->getWindow(0);
    return nullptr;
}
} // namespace

class ComboBoxExTest : public ToolkitTest
{
protected:
    void SetUp() override
    {
        ToolkitTest::SetUp();
        desktop.setSize(600, 400);
        desktop.addAndMakeVisible(box);
        box.setBounds(20, 30, 120, 20);
        box.setMenu(routingMenu(), false);
        parameter.addListener(&writes);
        box.addListener(&changes);
    }

    void chooseRow(int row)
    {
        auto* window = openWindow(desktop);
        ASSERT_NE(window, nullptr);
        click(*window, window->getRowBounds(row).getCentre());
        box.getMenu().handleUpdateNowIfNeeded();
    }

    // The parameter outlives the box bound to it, as in the plug-in.
    EnumParameter parameter { 90, "Routing", "Parallel;Serial;Tapped Serial", "Parallel" };
    WriteCounter writes;
    ChangeCounter changes;
    TestDesktop desktop;
    ComboBoxEx box;
};

TEST_F(ComboBoxExTest, ShowsTheLabelOfTheChosenItemOrDashesInItalics)
{
    box.setSelectedId(1, false);
    EXPECT_EQ(box.getText(), "Ser.");
    EXPECT_FALSE(box.getFont().isItalic());
    EXPECT_TRUE(box.getMenu().findItem(1)->ticked);

    box.setSelectedId(2, false);
    EXPECT_EQ(box.getText(), "Tapped Serial");
    EXPECT_TRUE(box.getFont().isItalic()) << "disabled item";
    EXPECT_FALSE(box.getMenu().findItem(1)->ticked);

    box.setSelectedId(7, false);
    EXPECT_EQ(box.getText(), "---");
    EXPECT_TRUE(box.getFont().isItalic());
    EXPECT_EQ(changes.changes, 0);

    // The same name keeps the menu when asked to.
    PopupMenuEx other("routing");
    other.addItem(7, "Seven", false, true);
    box.setMenu(other, true);
    EXPECT_EQ(box.getText(), "---");
    box.setMenu(other, false);
    EXPECT_EQ(box.getText(), "Seven");
}

TEST_F(ComboBoxExTest, OutsideChangesShowWithoutWritingBackAndAUserChoiceWritesOnce)
{
    box.setParameter(&parameter);
    EXPECT_EQ(box.getSelectedId(), 0);
    EXPECT_EQ(writes.writes, 0);

    // The host moves the parameter: the box follows, writing nothing.
    parameter.setIntValue(2, true);
    ASSERT_EQ(writes.writes, 1);
    TestHelpers::pumpMessages();
    EXPECT_EQ(box.getSelectedId(), 2);
    EXPECT_EQ(box.getText(), "Tapped Serial");
    EXPECT_EQ(writes.writes, 1);
    EXPECT_EQ(changes.changes, 0);

    // The user opens the box and picks "Serial".
    click(box, { 10, 10 });
    EXPECT_TRUE(box.isMenuOpen());
    ASSERT_NE(openWindow(desktop), nullptr);
    EXPECT_EQ(openWindow(desktop)->getPosition(), juce::Point<int>(20, 50)) << "below the box";
    chooseRow(1);
    TestHelpers::pumpMessages();
    EXPECT_FALSE(box.isMenuOpen());
    EXPECT_EQ(parameter.getIntValue(), 1);
    EXPECT_EQ(writes.writes, 2);
    EXPECT_EQ(changes.changes, 1);

    // Choosing the item already chosen changes nothing.
    click(box, { 10, 10 });
    chooseRow(1);
    TestHelpers::pumpMessages();
    EXPECT_EQ(writes.writes, 2);
    EXPECT_EQ(changes.changes, 1);

    // Set from code without notification: nobody is told, the parameter still
    // follows the box.
    box.setSelectedId(0, false);
    EXPECT_EQ(parameter.getIntValue(), 0);
    EXPECT_EQ(changes.changes, 1);
}

TEST_F(ComboBoxExTest, AClickOutsideTheMenuClosesItWithoutAChoice)
{
    box.setParameter(&parameter);
    click(box, { 10, 10 });
    auto* window = openWindow(desktop);
    ASSERT_NE(window, nullptr);
    click(*window->getParentComponent(), { 500, 350 });
    box.getMenu().handleUpdateNowIfNeeded();
    EXPECT_FALSE(box.isMenuOpen());
    EXPECT_EQ(openWindow(desktop), nullptr);
    EXPECT_EQ(writes.writes, 0);
}
