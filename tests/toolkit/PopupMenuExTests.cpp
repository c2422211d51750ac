#include "ToolkitTestSupport.h"
#include "toolkit/PopupMenuEx.h"

#include <vector>

namespace
{
using Window = PopupMenuEx::Window;

struct Recorder : PopupMenuEx::Listener
{
    Recorder(std::vector<juce::String>& logToUse, juce::String nameToUse) : log(logToUse), name(nameToUse) {}

    void itemChosen(PopupMenuEx*, int itemId, bool wasTicked) override
    {
        log.push_back(name + " chose " + juce::String(itemId) + (wasTicked ? " ticked" : " unticked"));
    }
    void menuDismissed(PopupMenuEx*) override { log.push_back(name + " dismissed"); }

    std::vector<juce::String>& log;
    juce::String name;
};

PopupMenuEx::PopupMenuComponent* findShownComponent(juce::Component& desktop)
{
    for (auto* cover : desktop.getChildren())
        for (auto* child : cover->getChildren())
            if (auto* c = dynamic_cast<PopupMenuEx::PopupMenuComponent*>(child))
                return c;
    return nullptr;
}

// The centre of row index of a window, in the window's coordinates.
juce::Point<int> rowCentre(Window& w, int index)
{
    return w.getRowBounds(index).getCentre();
}

PopupMenuEx makeTree()
{
    PopupMenuEx inner("inner");
    inner.addItem(5, "Five", false, true);
    inner.addItem(6, "Six", true, true);
    PopupMenuEx sub("sub");
    sub.addItem(3, "Three", true, true);
    sub.addSubMenu("Deeper", inner);
    PopupMenuEx root("root");
    root.addItem(1, "One", true, true);
    root.addSubMenu("More", sub);
    root.addItem(2, "Two", false, false);
    return root;
}
} // namespace

class PopupMenuExTest : public ToolkitTest
{
protected:
    void SetUp() override
    {
        ToolkitTest::SetUp();
        desktop.setSize(800, 600);
        desktop.addAndMakeVisible(page);
        page.setBounds(100, 50, 300, 200);
    }

    PopupMenuEx::PopupMenuComponent& shown()
    {
        auto* c = findShownComponent(desktop);
        EXPECT_NE(c, nullptr);
        return *c;
    }

    TestDesktop desktop;
    juce::Component page;
    std::vector<juce::String> log;
};

TEST(PopupMenuExPlacement, RuleAndClampTable)
{
    struct Case
    {
        const char* what;
        juce::Rectangle<int> request;
        int placement;
        int w, h;
        juce::Point<int> expected;
    };
    const Case cases[] = {
        { "below, fits", { 10, 20, 50, 20 }, 16, 100, 50, { 10, 40 } },
        { "below, left of the area", { -30, 20, 50, 20 }, 16, 100, 50, { 0, 40 } },
        { "below, past the right edge", { 750, 20, 50, 20 }, 16, 100, 50, { 700, 40 } },
        { "beside, fits on the right", { 100, 300, 110, 16 }, 2, 80, 40, { 210, 300 } },
        { "beside, opens to the left", { 700, 300, 90, 16 }, 2, 80, 40, { 620, 300 } },
        { "beside, ends below: 24 under the request", { 100, 500, 110, 16 }, 2, 80, 120, { 210, 404 } },
        { "below, ends below", { 10, 540, 50, 20 }, 16, 100, 100, { 10, 484 } },
        { "other placement", { 300, 300, 10, 10 }, 4, 80, 40, { 0, 0 } },
        // Clamped: the rule would leave these partly outside the area.
        { "beside, leftwards near the left edge", { 5, 300, 700, 16 }, 2, 200, 40, { 0, 300 } },
        { "beside, ends below even after moving up", { 100, 590, 110, 16 }, 2, 80, 100, { 210, 500 } },
        { "taller than the area", { 100, 100, 110, 16 }, 2, 80, 700, { 210, 0 } },
        { "wider than the area", { 10, 20, 50, 20 }, 16, 900, 50, { 0, 40 } },
    };
    for (const auto& c : cases)
        EXPECT_EQ(PopupMenuEx::computeWindowPosition(c.request, c.placement, { 0, 0, c.w, c.h }, 800, 600), c.expected)
            << c.what;
}

TEST_F(PopupMenuExTest, TickingFindingAndCopyingWorkThroughTheWholeTree)
{
    auto root = makeTree();
    ASSERT_NE(root.findItem(5), nullptr);
    EXPECT_EQ(root.findItem(5)->text, "Five");
    EXPECT_EQ(root.findItem(-1), nullptr) << "a sub-menu item never matches itself";
    EXPECT_EQ(root.findItem(42), nullptr);

    root.setItemTicked(5, true, true);
    for (int id : { 1, 2, 3, 6 })
        EXPECT_FALSE(root.findItem(id)->ticked) << id;
    EXPECT_TRUE(root.findItem(5)->ticked);
    auto* more = root.getItem(1);
    ASSERT_TRUE(more->isSubMenu());
    EXPECT_TRUE(more->hasTickedInside);
    EXPECT_TRUE(more->subMenu->getItem(1)->hasTickedInside);

    root.setItemTicked(1, true, true);
    EXPECT_FALSE(more->hasTickedInside);

    // A copy is deep, renumbers depths from 0 and leaves the listeners behind.
    Recorder listener(log, "L");
    root.addListener(&listener);
    PopupMenuEx copy("other");
    copy = *more->subMenu;
    EXPECT_EQ(copy.getName(), "sub");
    EXPECT_EQ(copy.getDepth(), 0);
    EXPECT_EQ(copy.getItem(1)->subMenu->getDepth(), 1);
    EXPECT_EQ(more->subMenu->getItem(1)->subMenu->getDepth(), 2);
    EXPECT_EQ(copy.getItem(0)->owner, &copy);
    copy.setItemTicked(3, true, false);
    EXPECT_FALSE(root.findItem(3)->ticked);

    // A label given empty is the text.
    EXPECT_EQ(root.findItem(1)->label, "One");
    root.addItem(9, "Nine long", "9", false, true);
    EXPECT_EQ(root.findItem(9)->label, "9");
}

TEST_F(PopupMenuExTest, AnEmptyMenuOpensSmallAndCanOnlyBeDismissed)
{
    PopupMenuEx menu("empty");
    Recorder listener(log, "L");
    menu.addListener(&listener);
    menu.show(&page, {}, PopupMenuEx::placementBelow);

    auto& c = shown();
    EXPECT_EQ(c.getBounds(), desktop.getLocalBounds());
    ASSERT_EQ(c.getNumWindows(), 1);
    auto& w = *c.getWindow(0);
    EXPECT_EQ(w.getBounds(), juce::Rectangle<int>(100, 250, 36, 8)) << "below the whole page";

    click(w, { 10, 4 });
    menu.handleUpdateNowIfNeeded();
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(menu.isShown());

    click(c, { 600, 500 });
    menu.handleUpdateNowIfNeeded();
    EXPECT_FALSE(menu.isShown());
    EXPECT_EQ(findShownComponent(desktop), nullptr);
    EXPECT_EQ(log, std::vector<juce::String>({ "L dismissed" }));
}

TEST_F(PopupMenuExTest, AChoiceReportsTheTickBeforeTheClickToListenersInReverseOrder)
{
    auto menu = makeTree();
    Recorder a(log, "A"), b(log, "B");
    menu.addListener(&a);
    menu.addListener(&b);
    menu.addListener(&b);
    menu.addListener(nullptr);
    menu.show(&page, { 10, 10, 40, 20 }, PopupMenuEx::placementBelow);

    auto& w = *shown().getWindow(0);
    EXPECT_EQ(w.getPosition(), juce::Point<int>(110, 80));
    const auto bold = laf.getDefaultFont().boldened();
    int widest = 0;
    for (auto text : { "One", "More", "Two" })
        widest = juce::jmax(widest, bold.getStringWidth(text));
    EXPECT_EQ(w.getWidth(), 36 + widest);
    EXPECT_EQ(w.getHeight(), 3 * 16 + 8);

    click(w, rowCentre(w, 2)); // "Two" is disabled
    menu.handleUpdateNowIfNeeded();
    EXPECT_TRUE(log.empty());

    click(w, rowCentre(w, 0));
    EXPECT_TRUE(log.empty()) << "told asynchronously";
    EXPECT_TRUE(menu.isShown());
    menu.handleUpdateNowIfNeeded();
    EXPECT_EQ(log, std::vector<juce::String>({ "B chose 1 ticked", "A chose 1 ticked" }));
    EXPECT_FALSE(menu.isShown());
    EXPECT_TRUE(menu.findItem(1)->ticked) << "choosing leaves the tick to the owner";

    log.clear();
    menu.removeListener(&b);
    menu.show(&page, {}, PopupMenuEx::placementBelow);
    auto& again = *shown().getWindow(0);
    mouseEvent(again, rowCentre(again, 1), enter);
    shown().openPendingMenu();
    ASSERT_EQ(shown().getNumWindows(), 2);
    auto& sub = *shown().getWindow(1);
    click(sub, rowCentre(sub, 0));
    menu.handleUpdateNowIfNeeded();
    EXPECT_EQ(log, std::vector<juce::String>({ "A chose 3 ticked" }));
}

TEST_F(PopupMenuExTest, SubMenusOpenAfterTheHoverDelayBesideTheirRowAndCloseWhenLeft)
{
    auto menu = makeTree();
    menu.show(&page, { 0, 0, 10, 10 }, PopupMenuEx::placementBelow);
    auto& c = shown();
    auto& top = *c.getWindow(0);

    mouseEvent(top, rowCentre(top, 1), enter);
    EXPECT_EQ(c.getNumWindows(), 1) << "nothing opens before the delay";
    EXPECT_EQ(top.getHoveredItem(), 1);
    c.openPendingMenu();
    ASSERT_EQ(c.getNumWindows(), 2);
    auto& sub = *c.getWindow(1);
    EXPECT_EQ(&sub.getMenu(), menu.getItem(1)->subMenu.get());
    EXPECT_EQ(sub.getPosition(), juce::Point<int>(top.getRight() + 5, top.getY() + 16));

    // Leaving the row keeps it highlighted; going into the sub-menu's own
    // sub-menu stacks a third window.
    mouseEvent(top, rowCentre(top, 1), exit);
    EXPECT_EQ(top.getHoveredItem(), -1);
    EXPECT_EQ(top.getLastHoveredItem(), 1);
    mouseEvent(sub, rowCentre(sub, 1), enter);
    c.openPendingMenu();
    ASSERT_EQ(c.getNumWindows(), 3);

    // Hovering a plain row of the top level closes the deeper levels.
    mouseEvent(top, rowCentre(top, 0), enter);
    c.openPendingMenu();
    EXPECT_EQ(c.getNumWindows(), 1);
}

TEST_F(PopupMenuExTest, WindowsStayInsideTheCoveringArea)
{
    PopupMenuEx inner("inner");
    inner.addItem(1, "A rather long sub-menu entry", false, true);
    PopupMenuEx menu("menu");
    for (int i = 0; i < 40; ++i)
        menu.addSubMenu("Entry " + juce::String(i), inner);

    desktop.setSize(300, 400);
    menu.show(&page, { -80, 0, 10, 10 }, PopupMenuEx::placementBelow);
    auto& c = shown();
    auto& top = *c.getWindow(0);
    EXPECT_EQ(top.getPosition(), juce::Point<int>(20, 0)) << "taller than the area: starts at its top";
    EXPECT_GT(top.getHeight(), 400);

    // No room on either side: the sub-menu is kept inside, at the left edge.
    mouseEvent(top, rowCentre(top, 3), enter);
    c.openPendingMenu();
    ASSERT_EQ(c.getNumWindows(), 2);
    const auto sub = c.getWindow(1)->getBounds();
    EXPECT_EQ(sub.getX(), 0);
    EXPECT_EQ(sub.getY(), top.getY() + 3 * 16);
    EXPECT_LE(sub.getRight(), 300);
}

TEST_F(PopupMenuExTest, ReplacingOrDestroyingAShownMenuClosesItFirst)
{
    auto menu = makeTree();
    Recorder listener(log, "L");
    menu.addListener(&listener);
    menu.show(&page, {}, PopupMenuEx::placementBelow);
    auto& top = *shown().getWindow(0);
    mouseEvent(top, rowCentre(top, 1), enter);
    shown().openPendingMenu();
    ASSERT_EQ(shown().getNumWindows(), 2);

    PopupMenuEx replacement("replacement");
    replacement.addItem(7, "Seven", false, true);
    menu = replacement;
    EXPECT_FALSE(menu.isShown());
    EXPECT_EQ(findShownComponent(desktop), nullptr);
    EXPECT_EQ(desktop.getNumChildComponents(), 1) << "the cover has gone with the windows";
    menu.handleUpdateNowIfNeeded();
    EXPECT_EQ(log, std::vector<juce::String>({ "L dismissed" }));

    // Shown again, it shows the new items.
    menu.show(&page, {}, PopupMenuEx::placementBelow);
    EXPECT_EQ(&shown().getWindow(0)->getMenu(), &menu);
    EXPECT_EQ(shown().getWindow(0)->getHeight(), 16 + 8);

    // A menu destroyed while open takes its windows and cover along.
    {
        PopupMenuEx local = makeTree();
        local.show(&page, {}, PopupMenuEx::placementBelow);
    }
    EXPECT_EQ(desktop.getNumChildComponents(), 2) << "the page and the first menu's cover";
}

TEST_F(PopupMenuExTest, ShowingAgainWhileOpenStartsOverAtTheNewTarget)
{
    auto menu = makeTree();
    menu.show(&page, { 0, 0, 10, 10 }, PopupMenuEx::placementBelow);
    auto& top = *shown().getWindow(0);
    mouseEvent(top, rowCentre(top, 1), enter);
    shown().openPendingMenu();

    menu.show(&page, { 50, 0, 10, 10 }, PopupMenuEx::placementBelow);
    auto& c = shown();
    ASSERT_EQ(c.getNumWindows(), 1);
    EXPECT_EQ(c.getWindow(0)->getPosition(), juce::Point<int>(150, 60));
    EXPECT_EQ(menu.getParentComponent(), &page);
}
