#include "toolkit/PopupMenuEx.h"

#include "toolkit/DefaultLookAndFeel.h"

namespace
{
// Extra height a window may hang below its request point before it is moved up:
// for a sub-menu this lines its last row up with the row that opened it.
constexpr int kOverhangBelowRequest = 24;
// Sub-menu requests reach a little past the window on both sides.
constexpr int kRequestOverlap = 5;

const juce::Colour kMenuFill { 0xFFE3E3E3 };
const juce::Colour kHighlight { 0xFFADADAD };
const juce::Colour kDisabledText { 0xFF808080 };
constexpr float kMenuCornerSize = 6.0f;
constexpr float kHighlightCornerSize = 3.0f;
constexpr float kTickSize = 5.0f;

template <typename Visitor>
bool anyChooseableItem(const PopupMenuEx& menu, Visitor&& test)
{
    for (int i = 0; i < menu.getNumItems(); ++i)
    {
        const auto* item = menu.getItem(i);
        if (item->isSubMenu() ? anyChooseableItem(*item->subMenu, test) : test(*item))
            return true;
    }
    return false;
}
} // namespace

//==============================================================================
PopupMenuEx::Item::Item(const Item& other)
    : id(other.id),
      text(other.text),
      label(other.label),
      ticked(other.ticked),
      enabled(other.enabled),
      hasTickedInside(other.hasTickedInside),
      hasEnabledInside(other.hasEnabledInside),
      subMenu(other.subMenu != nullptr ? std::make_unique<PopupMenuEx>(*other.subMenu) : nullptr)
{
}

//==============================================================================
PopupMenuEx::PopupMenuEx(const juce::String& menuName) : name(menuName) {}

PopupMenuEx::PopupMenuEx(const PopupMenuEx& other) : juce::AsyncUpdater()
{
    copyFrom(other);
}

PopupMenuEx& PopupMenuEx::operator=(const PopupMenuEx& other)
{
    if (this != &other)
    {
        // The open windows point at our items: close them before the items go.
        if (shownComponent != nullptr)
            dismiss();
        copyFrom(other);
    }
    return *this;
}

PopupMenuEx::~PopupMenuEx()
{
    cancelPendingUpdate();
    shownComponent.reset();
}

void PopupMenuEx::copyFrom(const PopupMenuEx& other)
{
    name = other.name;
    roundTicks = other.roundTicks;
    ticksOnRight = other.ticksOnRight;

    juce::OwnedArray<Item> copies;
    for (const auto* item : other.items)
        copies.add(new Item(*item));
    items.swapWith(copies);

    adoptItems(0);
    updateDerivedFlags();
    repaintShown();
}

void PopupMenuEx::adoptItems(int newDepth)
{
    depth = newDepth;
    for (auto* item : items)
    {
        item->owner = this;
        if (item->subMenu != nullptr)
            item->subMenu->adoptItems(newDepth + 1);
    }
}

void PopupMenuEx::updateDerivedFlags()
{
    for (auto* item : items)
    {
        if (item->subMenu == nullptr)
            continue;
        item->subMenu->updateDerivedFlags();
        item->hasTickedInside = anyChooseableItem(*item->subMenu, [](const Item& i) { return i.ticked; });
        item->hasEnabledInside = anyChooseableItem(*item->subMenu, [](const Item& i) { return i.enabled; });
    }
}

void PopupMenuEx::repaintShown()
{
    if (shownComponent != nullptr)
        shownComponent->repaint();
}

void PopupMenuEx::setTickStyle(bool round, bool onRight)
{
    roundTicks = round;
    ticksOnRight = onRight;
    repaintShown();
}

void PopupMenuEx::addItem(int id, const juce::String& text, bool ticked, bool enabled)
{
    addItem(id, text, {}, ticked, enabled);
}

void PopupMenuEx::addItem(int id, const juce::String& text, const juce::String& label, bool ticked, bool enabled)
{
    auto* item = items.add(new Item());
    item->owner = this;
    item->id = id;
    item->text = text;
    item->label = label.isEmpty() ? text : label;
    item->ticked = ticked;
    item->enabled = enabled;
}

void PopupMenuEx::addSubMenu(const juce::String& text, const PopupMenuEx& subMenu)
{
    auto* item = items.add(new Item());
    item->owner = this;
    item->id = -1;
    item->text = text;
    item->label = text;
    item->subMenu = std::make_unique<PopupMenuEx>(subMenu);
    item->subMenu->adoptItems(depth + 1);
    // Known at once, so that a menu shown without being copied first draws its
    // sub-menu rows right (not greyed, bold when something inside is ticked).
    item->hasTickedInside = anyChooseableItem(*item->subMenu, [](const Item& i) { return i.ticked; });
    item->hasEnabledInside = anyChooseableItem(*item->subMenu, [](const Item& i) { return i.enabled; });
}

void PopupMenuEx::setItemTicked(int id, bool ticked, bool exclusive)
{
    for (auto* item : items)
    {
        if (item->subMenu != nullptr)
            item->subMenu->setItemTicked(id, ticked, exclusive);
        else if (item->id == id)
            item->ticked = ticked;
    }

    if (exclusive)
        for (auto* item : items)
            if (item->subMenu == nullptr && item->id != id)
                item->ticked = false;

    for (auto* item : items)
        if (item->subMenu != nullptr)
            item->hasTickedInside = anyChooseableItem(*item->subMenu, [](const Item& i) { return i.ticked; });

    repaintShown();
}

PopupMenuEx::Item* PopupMenuEx::findItem(int id) const
{
    for (auto* item : items)
    {
        if (item->subMenu != nullptr)
        {
            if (auto* found = item->subMenu->findItem(id))
                return found;
        }
        else if (item->id == id)
        {
            return item;
        }
    }
    return nullptr;
}

juce::String PopupMenuEx::getLabel(int id) const
{
    const auto* item = findItem(id);
    return item != nullptr ? item->label : juce::String("---");
}

//==============================================================================
void PopupMenuEx::show(juce::Component* parent, juce::Rectangle<int> target, int placementCode)
{
    if (parent == nullptr)
        return;

    if (shownComponent == nullptr)
        shownComponent = std::make_unique<PopupMenuComponent>(*this);

    parentComponent = parent;
    placement = placementCode;
    targetArea = target;

    // Hidden first, so that becoming visible again always starts from the root
    // level at the new target, also when the menu was already open.
    shownComponent->setVisible(false);
    parent->addChildComponent(*shownComponent);
    shownComponent->showAt({ 0, 0 }, parent);
}

void PopupMenuEx::dismiss()
{
    if (shownComponent == nullptr)
        return;

    closeShownComponent();
    chosen = false;
    dismissed = true;
    triggerAsyncUpdate();
}

void PopupMenuEx::closeShownComponent()
{
    if (shownComponent == nullptr)
        return;

    // Taken out of the member first: hiding may call back into this menu.
    auto component = std::move(shownComponent);
    component->cancelRequest();
    component->hide();
}

void PopupMenuEx::itemClicked(const Item& item)
{
    chosen = true;
    chosenId = item.id;
    chosenWasTicked = item.ticked;
    triggerAsyncUpdate();
}

void PopupMenuEx::dismissedByClick()
{
    dismissed = true;
    triggerAsyncUpdate();
}

void PopupMenuEx::handleAsyncUpdate()
{
    const bool wasChosen = chosen;
    if (! wasChosen && ! dismissed)
        return;
    chosen = false;
    dismissed = false;

    closeShownComponent();

    // Told from the last registered to the first; a listener may remove itself,
    // another one, or delete the menu while it is told.
    struct MenuDeleted
    {
        juce::WeakReference<PopupMenuEx> menu;
        bool shouldBailOut() const { return menu == nullptr; }
    };
    const int id = chosenId;
    const bool wasTicked = chosenWasTicked;
    listeners.callChecked(MenuDeleted { this }, [this, wasChosen, id, wasTicked](Listener& l) {
        if (wasChosen)
            l.itemChosen(this, id, wasTicked);
        else
            l.menuDismissed(this);
    });
}

void PopupMenuEx::addListener(Listener* listener)
{
    if (listener != nullptr)
        listeners.add(listener);
}

void PopupMenuEx::removeListener(Listener* listener)
{
    listeners.remove(listener);
}

juce::String PopupMenuEx::getParentName() const
{
    if (auto* parent = parentComponent.getComponent())
        return parent->getName();
    return {};
}

juce::Point<int> PopupMenuEx::computeWindowPosition(juce::Rectangle<int> request, int placementCode,
                                                    juce::Rectangle<int> windowSize, int coveringWidth,
                                                    int coveringHeight)
{
    const int w = windowSize.getWidth();
    const int h = windowSize.getHeight();
    int left = 0;
    int top = 0;

    if (placementCode == placementBelow)
    {
        top = request.getBottom();
        left = juce::jmax(request.getX(), 0);
        if (left + w > coveringWidth)
            left = coveringWidth - w;
    }
    else if (placementCode == placementBeside)
    {
        top = request.getY();
        left = request.getRight();
        if (left + w > coveringWidth)
            left = request.getX() - w;
    }

    if (top + h > coveringHeight)
        top = top + kOverhangBelowRequest - h;

    // Wherever the rule above still leaves the window hanging out of the area
    // (a sub-menu opened leftwards near the left edge, a menu taller or wider
    // than the area), it is pulled back in; the top-left corner wins.
    left = juce::jmax(0, juce::jmin(left, coveringWidth - w));
    top = juce::jmax(0, juce::jmin(top, coveringHeight - h));
    return { left, top };
}

//==============================================================================
PopupMenuEx::PopupMenuComponent::PopupMenuComponent(PopupMenuEx& rootMenu) : root(rootMenu)
{
    setName("PopupMenu");
    setWantsKeyboardFocus(true);
}

PopupMenuEx::PopupMenuComponent::~PopupMenuComponent()
{
    stopTimer();
    windows.clear();
}

void PopupMenuEx::PopupMenuComponent::updatePosition()
{
    setBounds(getCoveringArea());
}

void PopupMenuEx::PopupMenuComponent::visibilityChanged()
{
    if (! isVisible())
        return;

    stopTimer();
    windows.clear();
    topMenu = nullptr;

    juce::Rectangle<int> area = root.targetArea;
    if (auto* parent = root.getParentComponent())
    {
        if (area.getWidth() < 1 || area.getHeight() < 1)
            area = parent->getLocalBounds();
        area = getLocalArea(parent, area);
    }

    pendingMenu = &root;
    pendingArea = area;
    pendingPlacement = root.placement;
    openPendingMenu();
}

void PopupMenuEx::PopupMenuComponent::requestMenu(PopupMenuEx* menu, juce::Rectangle<int> requestArea,
                                                  int requestPlacement)
{
    if (menu == topMenu)
    {
        cancelRequest();
        return;
    }

    pendingMenu = menu;
    pendingArea = requestArea;
    pendingPlacement = requestPlacement;
    startTimer(hoverDelayMs);
}

void PopupMenuEx::PopupMenuComponent::cancelRequest()
{
    pendingMenu = nullptr;
    stopTimer();
}

void PopupMenuEx::PopupMenuComponent::timerCallback()
{
    stopTimer();
    openPendingMenu();
}

void PopupMenuEx::PopupMenuComponent::closeTopWindow()
{
    if (windows.size() <= 1)
        return; // the root menu's window stays until the whole menu closes
    windows.removeLast();
    topMenu = &windows.getLast()->getMenu();
}

void PopupMenuEx::PopupMenuComponent::openPendingMenu()
{
    auto* menu = pendingMenu;
    pendingMenu = nullptr;
    if (menu == nullptr)
        return;

    while (windows.size() > 1 && topMenu->getDepth() > menu->getDepth())
        closeTopWindow();

    if (windows.size() > 1 && topMenu != menu && topMenu->getDepth() == menu->getDepth())
        closeTopWindow();

    if (topMenu == menu)
        return;

    auto* window = windows.add(new Window(*this, *menu));
    addChildComponent(window);
    window->sendLookAndFeelChange();

    const auto size = window->getPreferredSize();
    const auto position = computeWindowPosition(pendingArea, pendingPlacement, size, getWidth(), getHeight());
    window->setBounds(size.withPosition(position));
    topMenu = menu;
    window->setVisible(true);
}

void PopupMenuEx::PopupMenuComponent::mouseDown(const juce::MouseEvent&)
{
    // Clicks on the windows go to the windows; this is a click beside them.
    cancelRequest();
    root.dismissedByClick();
}

bool PopupMenuEx::PopupMenuComponent::keyPressed(const juce::KeyPress& key)
{
    auto* top = windows.getLast();
    if (top == nullptr)
        return false;
    const bool escape = key == juce::KeyPress::escapeKey;
    if (escape || key == juce::KeyPress::leftKey)
    {
        cancelRequest();
        if (windows.size() > 1)
            closeTopWindow();
        else if (escape)
            root.dismissedByClick();
        return true;
    }
    if (key == juce::KeyPress::upKey || key == juce::KeyPress::downKey)
    {
        cancelRequest();
        top->highlightNext(key == juce::KeyPress::upKey ? -1 : 1);
        return true;
    }
    if (key == juce::KeyPress::returnKey || key == juce::KeyPress::rightKey)
    {
        top->enterHighlighted(key == juce::KeyPress::returnKey);
        return true;
    }
    return false;
}

//==============================================================================
PopupMenuEx::Window::Window(PopupMenuComponent& ownerComponent, PopupMenuEx& shownMenu)
    : owner(ownerComponent), menu(shownMenu)
{
    setWantsKeyboardFocus(false);
}

int PopupMenuEx::Window::getItemIndexAt(int y) const
{
    const int row = (y - 6) / rowHeight;
    return (row >= 0 && row < menu.getNumItems()) ? row : -1;
}

juce::Rectangle<int> PopupMenuEx::Window::getRowBounds(int index) const
{
    return { 0, verticalPadding + rowHeight * index, getWidth(), rowHeight };
}

juce::Rectangle<int> PopupMenuEx::Window::getPreferredSize() const
{
    const auto bold = font.boldened();
    int widest = 0;
    for (int i = 0; i < menu.getNumItems(); ++i)
        widest = juce::jmax(widest, bold.getStringWidth(menu.getItem(i)->text));
    return { 0, 0, extraWidth + widest, rowHeight * menu.getNumItems() + 2 * verticalPadding };
}

void PopupMenuEx::Window::setHovered(int index)
{
    if (hoveredItem != index || lastHoveredItem != index)
    {
        hoveredItem = index;
        lastHoveredItem = index;
        repaint();
    }
}

void PopupMenuEx::Window::hoverAt(int y)
{
    const int index = getItemIndexAt(y);
    setHovered(index);
    if (index >= 0)
        requestRow(index);
}

void PopupMenuEx::Window::requestRow(int index)
{
    const auto* item = menu.getItem(index);
    const juce::Rectangle<int> request(getX() - kRequestOverlap, getY() + rowHeight * index,
                                       getWidth() + 2 * kRequestOverlap, rowHeight);
    owner.requestMenu(item->isSubMenu() ? item->subMenu.get() : &menu, request, placementBeside);
}

bool PopupMenuEx::Window::canEnter(int index) const
{
    const auto* item = menu.getItem(index);
    return item != nullptr && (item->isSubMenu() ? item->hasEnabledInside : item->enabled);
}

void PopupMenuEx::Window::highlightNext(int direction)
{
    const int n = menu.getNumItems();
    int index = lastHoveredItem >= 0 ? lastHoveredItem : (direction > 0 ? -1 : n);
    for (int tries = 0; tries < n; ++tries)
    {
        index = (index + direction + n) % n;
        if (canEnter(index))
        {
            setHovered(index);
            return;
        }
    }
}

void PopupMenuEx::Window::enterHighlighted(bool choose)
{
    const int index = lastHoveredItem;
    if (!canEnter(index))
        return;
    const auto* item = menu.getItem(index);
    if (item->isSubMenu())
    {
        requestRow(index);
        owner.openPendingMenu();
        if (auto* opened = owner.getWindow(owner.getNumWindows() - 1); opened != this)
            opened->highlightNext(1);
    }
    else if (choose)
    {
        owner.cancelRequest();
        owner.getRootMenu().itemClicked(*item);
    }
}

void PopupMenuEx::Window::mouseMove(const juce::MouseEvent& e)
{
    hoverAt(e.getPosition().y);
}

void PopupMenuEx::Window::mouseEnter(const juce::MouseEvent& e)
{
    hoverAt(e.getPosition().y);
}

void PopupMenuEx::Window::mouseExit(const juce::MouseEvent&)
{
    if (hoveredItem != -1)
    {
        hoveredItem = -1;
        repaint();
    }
}

void PopupMenuEx::Window::mouseDown(const juce::MouseEvent& e)
{
    const int index = getItemIndexAt(e.getPosition().y);
    if (index < 0)
        return;

    const auto* item = menu.getItem(index);
    if (item->isSubMenu())
    {
        hoverAt(e.getPosition().y);
    }
    else if (item->enabled)
    {
        owner.cancelRequest();
        owner.getRootMenu().itemClicked(*item);
    }
}

void PopupMenuEx::Window::lookAndFeelChanged()
{
    if (auto* laf = dynamic_cast<DefaultLookAndFeel*>(&getLookAndFeel()))
        font = laf->getDefaultFont();
}

void PopupMenuEx::Window::paint(juce::Graphics& g)
{
    const int width = getWidth();
    drawRoundedBox(g, getLocalBounds(), kMenuFill, juce::Colours::black, kMenuCornerSize, 1.0f);

    for (int i = 0; i < menu.getNumItems(); ++i)
    {
        const auto* item = menu.getItem(i);
        const int rowTop = verticalPadding + rowHeight * i;

        if (i == hoveredItem || i == lastHoveredItem)
        {
            g.setColour(kHighlight);
            g.fillRoundedRectangle(juce::Rectangle<int>(4, rowTop, width - 8, rowHeight).toFloat(),
                                   kHighlightCornerSize);
        }

        const bool looksEnabled = item->isSubMenu() ? item->hasEnabledInside : item->enabled;
        g.setColour(looksEnabled ? juce::Colours::black : kDisabledText);
        g.setFont(item->isSubMenu() && item->hasTickedInside ? font.boldened() : font);

        if (item->isSubMenu())
        {
            juce::Path triangle;
            triangle.addTriangle(0.0f, 0.5f, 7.0f, 3.5f, 0.0f, 6.5f);
            triangle.applyTransform(juce::AffineTransform::translation((float) (width - 14), (float) (8 + rowHeight * i)));
            if (item->hasTickedInside)
                g.fillPath(triangle);
            g.strokePath(triangle, juce::PathStrokeType(1.0f));
        }
        else if (item->ticked)
        {
            const juce::Rectangle<float> tick((float) (menu.ticksOnRight ? width - 12 : 7),
                                              (float) (9 + rowHeight * i), kTickSize, kTickSize);
            if (menu.roundTicks)
                g.fillEllipse(tick);
            else
                g.fillRect(tick);
        }

        g.drawText(item->text, menu.ticksOnRight ? 6 : 22, 3 + rowHeight * i, width - 12, rowHeight,
                   juce::Justification::centredLeft, false);
    }
}
