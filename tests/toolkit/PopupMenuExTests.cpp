#include "MenuTestSupport.h"

#include <vector>

namespace
{
struct Recorder : PopupMenuEx::Listener
{
    Recorder(std::vector<juce::String>& logToUse, const char* nameToUse) : log(logToUse), name(nameToUse) {}
    void itemChosen(PopupMenuEx*, int id, bool wasTicked) override
    {
        log.push_back(name + " chose " + juce::String(id) + (wasTicked ? " ticked" : ""));
    }
    void menuDismissed(PopupMenuEx*) override { log.push_back(name + " dismissed"); }

    std::vector<juce::String>& log;
    juce::String name;
};

// One, More > (Three, Deeper > (Five, Six)), Two (disabled); One, Three and
// Six ticked.
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
        page.setSize(800, 600);
        page.addAndMakeVisible(owner);
        owner.setBounds(100, 50, 300, 200);
    }

    PopupMenuEx::Window& window(int level) { return *findOpenMenu(page)->getWindow(level); }

    TestDesktop page;
    juce::Component owner;
    std::vector<juce::String> log;
};

TEST(PopupMenuExPlacement, RuleAndClampTable)
{
    struct Case
    {
        const char* what;
        juce::Rectangle<int> request;
        int placement, w, h;
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
        // The rule alone would leave these partly outside the area.
        { "beside, leftwards near the left edge", { 5, 300, 700, 16 }, 2, 200, 40, { 0, 300 } },
        { "beside, ends below even after moving up", { 100, 590, 110, 16 }, 2, 80, 100, { 210, 500 } },
        { "taller than the area", { 100, 100, 110, 16 }, 2, 80, 700, { 210, 0 } },
        { "wider than the area", { 10, 20, 50, 20 }, 16, 900, 50, { 0, 40 } },
    };
    for (const auto& c : cases)
        EXPECT_EQ(PopupMenuEx::computeWindowPosition(c.request, c.placement, { c.w, c.h }, 800, 600), c.expected)
            << c.what;
}

TEST_F(PopupMenuExTest, TicksAndCopiesReachTheWholeTree)
{
    auto root = makeTree();
    EXPECT_EQ(root.findItem(-1), nullptr) << "a sub-menu item never matches itself";
    root.setItemTicked(5, true, true);
    for (int id : { 1, 2, 3, 6 })
        EXPECT_FALSE(root.findItem(id)->ticked) << id;
    EXPECT_TRUE(root.findItem(5)->ticked);
    const auto* more = root.getItem(1);
    EXPECT_TRUE(more->hasTickedInside) << "drawn bold with a filled triangle";
    root.setItemTicked(1, true, true);
    EXPECT_FALSE(more->hasTickedInside);

    // A copy is deep and renumbers depths from its own top.
    PopupMenuEx copy("other");
    copy = *more->subMenu;
    EXPECT_EQ(copy.getName(), "sub");
    EXPECT_EQ(copy.getDepth(), 0);
    EXPECT_EQ(copy.getItem(1)->subMenu->getDepth(), 1);
    EXPECT_EQ(more->subMenu->getItem(1)->subMenu->getDepth(), 2);
    copy.setItemTicked(3, true, false);
    EXPECT_FALSE(root.findItem(3)->ticked);
}

TEST_F(PopupMenuExTest, AnEmptyMenuOpensSmallAndCanOnlyBeDismissed)
{
    PopupMenuEx menu("empty");
    Recorder listener(log, "L");
    menu.addListener(&listener);
    menu.show(&owner, {}, PopupMenuEx::placementBelow);
    auto* open = findOpenMenu(page);
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->getBounds(), page.getLocalBounds());
    EXPECT_EQ(window(0).getBounds(), juce::Rectangle<int>(100, 250, 36, 8)) << "below the whole owner";

    click(window(0), { 10, 4 });
    menu.handleUpdateNowIfNeeded();
    EXPECT_TRUE(log.empty());

    click(*open, { 600, 500 });
    menu.handleUpdateNowIfNeeded();
    EXPECT_EQ(findOpenMenu(page), nullptr);
    EXPECT_EQ(log, std::vector<juce::String>({ "L dismissed" }));
}

TEST_F(PopupMenuExTest, AChoiceReportsTheTickBeforeTheClickToListenersInReverseOrder)
{
    auto menu = makeTree();
    Recorder a(log, "A"), b(log, "B");
    for (auto* l : { &a, &b, &b })
        menu.addListener(l);
    menu.show(&owner, { 10, 10, 40, 20 }, PopupMenuEx::placementBelow);
    EXPECT_EQ(window(0).getPosition(), juce::Point<int>(110, 80));
    EXPECT_EQ(window(0).getHeight(), 3 * 16 + 8);

    clickMenuRow(page, 2); // "Two" is disabled
    clickMenuRow(page, 0);
    EXPECT_TRUE(log.empty()) << "told asynchronously";
    menu.handleUpdateNowIfNeeded();
    EXPECT_EQ(log, std::vector<juce::String>({ "B chose 1 ticked", "A chose 1 ticked" }));
    EXPECT_EQ(findOpenMenu(page), nullptr);
    EXPECT_TRUE(menu.findItem(1)->ticked) << "the tick is left to the owner";

    log.clear();
    menu.removeListener(&b);
    menu.show(&owner, {}, PopupMenuEx::placementBelow);
    hoverMenuRow(page, 1);
    clickMenuRow(page, 0, 1);
    menu.handleUpdateNowIfNeeded();
    EXPECT_EQ(log, std::vector<juce::String>({ "A chose 3 ticked" }));
}

TEST_F(PopupMenuExTest, SubMenusOpenAfterTheHoverDelayBesideTheirRowAndCloseWhenLeft)
{
    auto menu = makeTree();
    menu.show(&owner, { 0, 0, 10, 10 }, PopupMenuEx::placementBelow);
    auto& open = *findOpenMenu(page);
    auto& top = window(0);

    mouseEventAt(top, top.getRowBounds(1).getCentre(), enter);
    EXPECT_EQ(open.getNumWindows(), 1) << "nothing before the delay";
    open.openPendingMenu();
    ASSERT_EQ(open.getNumWindows(), 2);
    EXPECT_EQ(&window(1).getMenu(), menu.getItem(1)->subMenu.get());
    EXPECT_EQ(window(1).getPosition(), juce::Point<int>(top.getRight() + 5, top.getY() + 16));

    mouseEventAt(top, top.getRowBounds(1).getCentre(), exit);
    EXPECT_EQ(top.getHoveredItem(), -1);
    EXPECT_EQ(top.getLastHoveredItem(), 1) << "the row stays highlighted";
    hoverMenuRow(page, 1, 1);
    EXPECT_EQ(open.getNumWindows(), 3);
    hoverMenuRow(page, 0);
    EXPECT_EQ(open.getNumWindows(), 1) << "a plain row of the top level closes the deeper levels";

    // Shown again while open, it starts over at the new target.
    hoverMenuRow(page, 1);
    menu.show(&owner, { 50, 0, 10, 10 }, PopupMenuEx::placementBelow);
    EXPECT_EQ(findOpenMenu(page)->getNumWindows(), 1);
    EXPECT_EQ(window(0).getPosition(), juce::Point<int>(150, 60));
}

TEST_F(PopupMenuExTest, ReplacingAShownMenuClosesItFirst)
{
    auto menu = makeTree();
    Recorder listener(log, "L");
    menu.addListener(&listener);
    menu.show(&owner, {}, PopupMenuEx::placementBelow);
    hoverMenuRow(page, 1);

    PopupMenuEx replacement("replacement");
    replacement.addItem(7, "Seven", false, true);
    menu = replacement;
    EXPECT_EQ(findOpenMenu(page), nullptr);
    EXPECT_EQ(page.getNumChildComponents(), 1) << "the cover went with the windows";
    menu.handleUpdateNowIfNeeded();
    EXPECT_EQ(log, std::vector<juce::String>({ "L dismissed" }));

    menu.show(&owner, {}, PopupMenuEx::placementBelow);
    EXPECT_EQ(window(0).getHeight(), 16 + 8) << "the new items";
}
