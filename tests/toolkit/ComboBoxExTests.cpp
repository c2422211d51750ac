#include "MenuTestSupport.h"
#include "TestHelpers.h"
#include "core/EnumParameter.h"
#include "toolkit/ComboBoxEx.h"

#include <memory>

namespace
{
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
} // namespace

class ComboBoxExTest : public ToolkitTest
{
protected:
    void SetUp() override
    {
        ToolkitTest::SetUp();
        page.setSize(600, 400);
        page.addAndMakeVisible(box);
        box.setBounds(20, 30, 120, 20);
        box.setMenu(routingMenu(), false);
        parameter.addListener(&writes);
        box.addListener(&changes);
    }

    void choose(int row)
    {
        click(box, { 10, 10 });
        clickMenuRow(page, row);
        box.getMenu().handleUpdateNowIfNeeded();
        TestHelpers::pumpMessages();
    }

    // The parameter outlives the box bound to it, as in the plug-in.
    EnumParameter parameter { 90, "Routing", "Parallel;Serial;Tapped Serial", "Parallel" };
    ParameterWrites writes;
    ChangeCounter changes;
    TestDesktop page;
    ComboBoxEx box;
};

TEST_F(ComboBoxExTest, ShowsTheChosenLabelOrDashesInItalics)
{
    box.setSelectedId(1, false);
    EXPECT_EQ(box.getText(), "Ser.");
    EXPECT_FALSE(box.getFont().isItalic());
    box.setSelectedId(7, false);
    EXPECT_EQ(box.getText(), "---");
    EXPECT_TRUE(box.getFont().isItalic());
    EXPECT_EQ(changes.changes, 0);
}

TEST_F(ComboBoxExTest, OutsideChangesShowWithoutWritingBackAndAUserChoiceWritesOnce)
{
    box.setParameter(&parameter);
    parameter.setIntValue(2, true); // the host
    TestHelpers::pumpMessages();
    EXPECT_EQ(box.getText(), "Tapped Serial");
    EXPECT_EQ(writes.count, 1) << "only the host's own write";
    EXPECT_EQ(changes.changes, 0);

    click(box, { 10, 10 });
    EXPECT_TRUE(box.isMenuOpen());
    EXPECT_EQ(findOpenMenu(page)->getWindow(0)->getPosition(), juce::Point<int>(20, 50)) << "below the box";
    clickMenuRow(page, 1);
    box.getMenu().handleUpdateNowIfNeeded();
    TestHelpers::pumpMessages();
    EXPECT_FALSE(box.isMenuOpen());
    EXPECT_EQ(parameter.getIntValue(), 1);
    EXPECT_EQ(writes.count, 2);
    EXPECT_EQ(changes.changes, 1);

    choose(1); // the item already chosen
    EXPECT_EQ(writes.count, 2);
    EXPECT_EQ(changes.changes, 1);

    box.setSelectedId(0, false); // from code: nobody told, the parameter follows
    EXPECT_EQ(parameter.getIntValue(), 0);
    EXPECT_EQ(changes.changes, 1);
}

TEST_F(ComboBoxExTest, DestroyedWhileItsMenuIsOpenItLeavesNothingBehind)
{
    auto doomed = std::make_unique<ComboBoxEx>();
    page.addAndMakeVisible(*doomed);
    doomed->setMenu(routingMenu(), false);
    click(*doomed, { 10, 10 });
    clickMenuRow(page, 1); // chosen, not yet told
    doomed.reset();
    EXPECT_EQ(findOpenMenu(page), nullptr);
    EXPECT_EQ(page.getNumChildComponents(), 1) << "only the other box";
    TestHelpers::pumpMessages();
}

TEST_F(ComboBoxExTest, AListenerMayDeleteTheBoxItIsToldAbout)
{
    struct Rebuilder : RowRebuilder<ComboBoxEx>, ComboBoxEx::Listener
    {
        void comboBoxExChanged(ComboBoxEx* changed) override { rowChanged(changed); }
    } rebuilder;
    rebuilder.parameter = &parameter;
    rebuilder.row = std::make_unique<ComboBoxEx>();
    auto& row = *rebuilder.row;
    page.addAndMakeVisible(row);
    row.setMenu(routingMenu(), false);
    row.setParameter(&parameter);
    row.addListener(&rebuilder);

    click(row, { 10, 10 });
    clickMenuRow(page, 1);
    row.getMenu().handleUpdateNowIfNeeded(); // the box goes while it is told
    TestHelpers::pumpMessages();
    EXPECT_EQ(rebuilder.row, nullptr);
    EXPECT_EQ(rebuilder.valueWhenTold, 1) << "written before the listeners hear";
    EXPECT_EQ(parameter.getIntValue(), 1);
    EXPECT_EQ(findOpenMenu(page), nullptr);
}
