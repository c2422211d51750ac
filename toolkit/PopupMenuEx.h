#pragma once

#include "toolkit/ModalComponent.h"

#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>

// The editor's own popup menu: a value (items with ids, texts, short labels,
// tick and enabled state, nested sub-menus) that is copied into its users and
// shown inside the editor as a modal child, never as a desktop window, since a
// plug-in editor lives inside the host's window. The choice reaches the
// listeners asynchronously, after the menu has closed.
class PopupMenuEx : public juce::AsyncUpdater
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void itemChosen(PopupMenuEx* menu, int itemId, bool wasTicked) = 0;
        virtual void menuDismissed(PopupMenuEx* menu) {}
    };

    struct Item
    {
        Item() = default;
        // Copies id, texts and flags, and makes a new copy of the sub-menu; the
        // owner is set by the menu that holds the copy.
        Item(const Item& other);
        Item& operator=(const Item&) = delete;

        bool isSubMenu() const noexcept { return subMenu != nullptr; }

        PopupMenuEx* owner = nullptr;
        int id = -1;
        juce::String text;
        juce::String label;
        bool ticked = false;
        bool enabled = true;
        // For a sub-menu item: whether anything chooseable below it is ticked or
        // enabled. The row is drawn bold or grey from these.
        bool hasTickedInside = false;
        bool hasEnabledInside = false;
        std::unique_ptr<PopupMenuEx> subMenu;
    };

    class PopupMenuComponent;
    class Window;

    // Placement codes of show(): below the target area, or beside it (used for
    // sub-menus). Any other code puts the window at the covering area's top-left.
    static constexpr int placementBeside = 2;
    static constexpr int placementBelow = 16;

    explicit PopupMenuEx(const juce::String& name);
    // Copies name, tick style and items; never listeners, placement, target or
    // shown component.
    PopupMenuEx(const PopupMenuEx& other);
    // A shown destination is closed first (its listeners hear a dismissal), so
    // that no open window is left showing the items being replaced.
    PopupMenuEx& operator=(const PopupMenuEx& other);
    ~PopupMenuEx() override;

    const juce::String& getName() const noexcept { return name; }
    int getDepth() const noexcept { return depth; }

    void setTickStyle(bool roundTicks, bool ticksOnRight);
    bool hasRoundTicks() const noexcept { return roundTicks; }
    bool hasTicksOnRight() const noexcept { return ticksOnRight; }

    void addItem(int id, const juce::String& text, bool ticked, bool enabled);
    void addItem(int id, const juce::String& text, const juce::String& label, bool ticked, bool enabled);
    void addSubMenu(const juce::String& text, const PopupMenuEx& subMenu);

    int getNumItems() const noexcept { return items.size(); }
    Item* getItem(int index) const noexcept { return items[index]; }

    // Sets the tick of every plain item with the id, through the whole tree; an
    // exclusive call unticks every other plain item of every level.
    void setItemTicked(int id, bool ticked, bool exclusive);
    // Depth-first in item order; a sub-menu item never matches itself.
    Item* findItem(int id) const;
    // What a choice box shows for the id: the item's label, or "---".
    juce::String getLabel(int id) const;

    // Opens the menu over the editor that contains parent. The target area is in
    // parent's coordinates; an empty one stands for the whole of parent.
    void show(juce::Component* parent, juce::Rectangle<int> targetArea, int placement);
    bool isShown() const noexcept { return shownComponent != nullptr; }
    // Closes a shown menu at once; the listeners hear menuDismissed later, as
    // after a click outside the menu.
    void dismiss();

    void addListener(Listener* listener);
    void removeListener(Listener* listener);

    // The component the menu was last shown on (null when never shown or when
    // that component is gone), and its name.
    juce::Component* getParentComponent() const noexcept { return parentComponent.getComponent(); }
    juce::String getParentName() const;

    int getPlacement() const noexcept { return placement; }
    juce::Rectangle<int> getTargetArea() const noexcept { return targetArea; }

    // Where a window of the given size opens for a request area, inside a
    // covering area of the given size. The window always stays inside the area
    // (top-left never negative), even when the usual rule would push it out.
    static juce::Point<int> computeWindowPosition(juce::Rectangle<int> requestArea, int placement,
                                                  juce::Rectangle<int> windowSize, int coveringWidth,
                                                  int coveringHeight);

    void handleAsyncUpdate() override;

private:
    friend class PopupMenuComponent;
    friend class Window;

    void copyFrom(const PopupMenuEx& other);
    void adoptItems(int newDepth);
    void updateDerivedFlags();
    void repaintShown();
    void closeShownComponent();
    void itemClicked(const Item& item);
    void dismissedByClick();

    bool roundTicks = true;
    bool ticksOnRight = true;
    juce::ListenerList<Listener> listeners;
    juce::String name;
    int depth = 0;
    juce::OwnedArray<Item> items;
    std::unique_ptr<PopupMenuComponent> shownComponent;
    juce::Component::SafePointer<juce::Component> parentComponent;
    int placement = placementBelow;
    juce::Rectangle<int> targetArea;
    bool chosen = false;
    int chosenId = 0;
    bool chosenWasTicked = false;
    bool dismissed = false;

    JUCE_DECLARE_WEAK_REFERENCEABLE(PopupMenuEx)
};

// Covers the whole covering area and holds the stack of open menu windows; a
// click on it outside every window dismisses the menu. It takes the keys while
// open: Up and Down move along the rows of the innermost level, Return chooses
// a row (or opens its sub-menu, as Right does), Left and Escape close the
// innermost sub-menu, and Escape on the top level dismisses the menu.
class PopupMenuEx::PopupMenuComponent : public ModalComponent, private juce::Timer
{
public:
    explicit PopupMenuComponent(PopupMenuEx& rootMenu);
    ~PopupMenuComponent() override;

    PopupMenuEx& getRootMenu() const noexcept { return root; }
    int getNumWindows() const noexcept { return windows.size(); }
    Window* getWindow(int index) const noexcept { return windows[index]; }

    // Asks for menu to open over the request area (in this component's
    // coordinates) after the hover delay; a request for the menu already on top
    // only cancels a pending one.
    void requestMenu(PopupMenuEx* menu, juce::Rectangle<int> requestArea, int requestPlacement);
    void cancelRequest();
    virtual void openPendingMenu();

    void updatePosition() override;
    void visibilityChanged() override;
    void mouseDown(const juce::MouseEvent& e) override;
    bool keyPressed(const juce::KeyPress& key) override;

    static constexpr int hoverDelayMs = 100;

private:
    friend class PopupMenuEx;

    void timerCallback() override;
    void closeTopWindow();

    juce::OwnedArray<Window> windows;
    PopupMenuEx& root;
    PopupMenuEx* pendingMenu = nullptr;
    juce::Rectangle<int> pendingArea;
    int pendingPlacement = placementBelow;
    PopupMenuEx* topMenu = nullptr;
};

// One open level of a menu.
class PopupMenuEx::Window : public juce::Component
{
public:
    Window(PopupMenuComponent& owner, PopupMenuEx& menu);

    PopupMenuEx& getMenu() const noexcept { return menu; }
    int getHoveredItem() const noexcept { return hoveredItem; }
    int getLastHoveredItem() const noexcept { return lastHoveredItem; }

    // The item row under a y position in this window, or -1.
    int getItemIndexAt(int y) const;
    juce::Rectangle<int> getRowBounds(int index) const;
    juce::Rectangle<int> getPreferredSize() const;

    // Highlights the next row, up (-1) or down (1), that can be chosen or
    // opened, going round past either end.
    void highlightNext(int direction);
    // The highlighted row as a click would take it: a sub-menu opens at once
    // with its first row highlighted; a plain row is chosen when choose is true.
    void enterHighlighted(bool choose);

    void mouseMove(const juce::MouseEvent& e) override;
    void mouseEnter(const juce::MouseEvent& e) override;
    void mouseExit(const juce::MouseEvent& e) override;
    void mouseDown(const juce::MouseEvent& e) override;
    void lookAndFeelChanged() override;
    void paint(juce::Graphics& g) override;

    static constexpr int rowHeight = 16;
    static constexpr int verticalPadding = 4;
    static constexpr int extraWidth = 36;

private:
    void hoverAt(int y);
    void setHovered(int index);
    void requestRow(int index);
    bool canEnter(int index) const;

    PopupMenuComponent& owner;
    PopupMenuEx& menu;
    juce::Font font { 13.0f };
    int hoveredItem = -1;
    int lastHoveredItem = -1;
};
