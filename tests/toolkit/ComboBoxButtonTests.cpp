#include "MenuTestSupport.h"
#include "TestHelpers.h"
#include "core/EnumParameter.h"
#include "toolkit/ComboBoxButton.h"

#include <memory>

namespace
{
struct ChangeCounter : ComboBoxButton::Listener
{
    void comboBoxButtonChanged(ComboBoxButton*) override { ++changes; }
    int changes = 0;
};

PopupMenuEx parameterMenu()
{
    PopupMenuEx line("line");
    line.addItem(1000, "Delay Time", "Line 1 Delay Time", false, true);
    line.addItem(1001, "Feedback", "Line 1 Feedback", false, true);
    PopupMenuEx menu("parameters");
    menu.addItem(-1, "None", false, true);
    menu.addSubMenu("Line 1", line);
    menu.addItem(90, "Routing", false, true);
    return menu;
}
} // namespace

class ComboBoxButtonTest : public ToolkitTest
{
protected:
    void SetUp() override
    {
        ToolkitTest::SetUp();
        page.setSize(600, 400);
    }

    // Presses the button and picks a row, of a sub-menu when subRow is given.
    void choose(ComboBoxButton& box, int row, int subRow = -1)
    {
        click(box.getButton(), { 5, 5 });
        if (subRow >= 0)
            hoverMenuRow(page, row);
        clickMenuRow(page, subRow >= 0 ? subRow : row, subRow >= 0 ? 1 : 0);
        box.getActiveMenu().handleUpdateNowIfNeeded();
        TestHelpers::pumpMessages();
    }

    TestDesktop page;
};

TEST_F(ComboBoxButtonTest, BoundToAnEnumItShowsItsChoicesAndWritesOnlyUserChoices)
{
    EnumParameter quality(99, "Realtime quality", "Draft;Normal;High;Best", "Normal");
    ParameterWrites writes;
    quality.addListener(&writes);
    ComboBoxButton box;
    ChangeCounter changes;
    box.addListener(&changes);
    page.addAndMakeVisible(box);
    box.setWidthToFitItems(20);
    EXPECT_EQ(box.getWidth(), 40) << "empty menu";

    box.setParameter(&quality);
    EXPECT_EQ(box.getText(), "Normal");
    box.setSelectedId(3, false);
    EXPECT_EQ(box.getText(), "Best");
    EXPECT_EQ(quality.getIntValue(), 1) << "set without notify: not written";

    quality.setIntValue(0, true);
    TestHelpers::pumpMessages();
    EXPECT_EQ(box.getText(), "Draft");

    choose(box, 2);
    EXPECT_EQ(quality.getIntValue(), 2);
    EXPECT_EQ(writes.count, 2) << "the host's write and the user's";
    EXPECT_EQ(changes.changes, 1);
    EXPECT_FALSE(box.getButton().getToggleState());
    choose(box, 2);
    EXPECT_EQ(writes.count, 2);
    EXPECT_EQ(changes.changes, 1);
}

TEST_F(ComboBoxButtonTest, ASharedMenuAnswersOnlyTheButtonItWasOpenedOn)
{
    PopupMenuEx shared = parameterMenu();
    ComboBoxButton first, second;
    for (auto* box : { &first, &second })
    {
        box->setName("slot"); // the host-parameter list names every slot alike
        box->setSharedMenu(&shared);
        page.addAndMakeVisible(box);
        box->setSize(200, 20);
    }
    EXPECT_EQ(first.getText(), "None") << "-1 is the list's 'no parameter'";

    choose(first, 1, 1);
    EXPECT_EQ(first.getText(), "Line 1 Feedback");
    EXPECT_EQ(second.getSelectedId(), -1);
    choose(second, 2);
    EXPECT_EQ(second.getText(), "Routing");
    EXPECT_EQ(first.getSelectedId(), 1001);

    // Opened on the first again, the menu ticks the first button's choice;
    // a click beside it closes it and releases only that button.
    click(first.getButton(), { 5, 5 });
    EXPECT_TRUE(shared.findItem(1001)->ticked);
    EXPECT_FALSE(shared.findItem(90)->ticked);
    click(*findOpenMenu(page), { 590, 390 });
    shared.handleUpdateNowIfNeeded();
    EXPECT_FALSE(first.getButton().getToggleState());
    EXPECT_EQ(first.getSelectedId(), 1001);

    first.setSharedMenu(nullptr);
    EXPECT_EQ(first.getText(), "---") << "back to the own, empty menu";
}

TEST_F(ComboBoxButtonTest, DestroyingAButtonOrItsMenuWhileTheMenuIsOpenIsClean)
{
    PopupMenuEx shared = parameterMenu();
    ComboBoxButton survivor;
    survivor.setSharedMenu(&shared);

    auto doomed = std::make_unique<ComboBoxButton>();
    doomed->setSharedMenu(&shared);
    page.addAndMakeVisible(*doomed);
    click(doomed->getButton(), { 5, 5 });
    clickMenuRow(page, 2); // chosen, not yet told
    doomed.reset();
    EXPECT_EQ(findOpenMenu(page), nullptr);
    shared.handleUpdateNowIfNeeded();
    EXPECT_EQ(survivor.getSelectedId(), -1);

    auto menu = std::make_unique<PopupMenuEx>(parameterMenu());
    ComboBoxButton box;
    box.setSharedMenu(menu.get());
    page.addAndMakeVisible(box);
    click(box.getButton(), { 5, 5 });
    menu.reset();
    EXPECT_EQ(findOpenMenu(page), nullptr);
    box.setSelectedId(90, false);
    EXPECT_EQ(box.getText(), "---") << "the menu is forgotten";
    click(box.getButton(), { 5, 5 });
    EXPECT_NE(findOpenMenu(page), nullptr) << "the own menu opens instead";
    TestHelpers::pumpMessages();
}

TEST_F(ComboBoxButtonTest, AListenerMayDeleteTheButtonItIsToldAbout)
{
    EnumParameter quality(99, "Realtime quality", "Draft;Normal;High;Best", "Normal");
    struct Rebuilder : RowRebuilder<ComboBoxButton>, ComboBoxButton::Listener
    {
        void comboBoxButtonChanged(ComboBoxButton* changed) override { rowChanged(changed); }
    } rebuilder;
    rebuilder.parameter = &quality;
    rebuilder.row = std::make_unique<ComboBoxButton>();
    auto& row = *rebuilder.row;
    page.addAndMakeVisible(row);
    row.setSize(120, 20);
    row.setParameter(&quality);
    row.addListener(&rebuilder);

    PopupMenuEx* menu = &row.getActiveMenu();
    click(row.getButton(), { 5, 5 });
    clickMenuRow(page, 3);
    menu->handleUpdateNowIfNeeded(); // the button and its menu go while it is told
    TestHelpers::pumpMessages();
    EXPECT_EQ(rebuilder.row, nullptr);
    EXPECT_EQ(rebuilder.valueWhenTold, 3) << "written before the listeners hear";
    EXPECT_EQ(quality.getIntValue(), 3);
    EXPECT_EQ(findOpenMenu(page), nullptr);
}
