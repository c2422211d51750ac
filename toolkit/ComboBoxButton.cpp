#include "toolkit/ComboBoxButton.h"

#include "toolkit/DefaultLookAndFeel.h"

namespace
{
constexpr int kArrowIcon = 5;
constexpr int kMinimumWidth = 40;
} // namespace

ComboBoxButton::ComboBoxButton()
{
    ownMenu.addListener(this);

    if (auto icon = std::unique_ptr<juce::Drawable>(getIcon(kArrowIcon).release()))
        button.setIcons(*icon);
    button.setIconMargins({ 3, 1, 5, 1 });
    button.setIconOnRight(true);
    button.setTriggeredOnMouseDown(true);
    button.addListener(this);
    addAndMakeVisible(button);
    refresh();
}

ComboBoxButton::~ComboBoxButton()
{
    button.removeListener(this);
    // Whichever goes first: a gone shared menu is null here, and a menu that we
    // opened is closed before we go, so that it never calls back into us.
    if (auto* shared = sharedMenu.get())
        releaseMenu(*shared);
    releaseMenu(ownMenu);
}

void ComboBoxButton::releaseMenu(PopupMenuEx& menu)
{
    menu.removeListener(this);
    if (menu.isShown() && menu.getParentComponent() == this)
        menu.dismiss();
}

PopupMenuEx& ComboBoxButton::getActiveMenu() noexcept
{
    if (auto* shared = sharedMenu.get())
        return *shared;
    return ownMenu;
}

void ComboBoxButton::addListener(Listener* listener)
{
    if (listener != nullptr)
        listeners.add(listener);
}

void ComboBoxButton::removeListener(Listener* listener)
{
    listeners.remove(listener);
}

void ComboBoxButton::refresh()
{
    auto& menu = getActiveMenu();
    button.setText(menu.getLabel(selectedId), false);
    menu.setItemTicked(selectedId, true, true);
}

void ComboBoxButton::setSelectedId(int id, bool notify)
{
    if (id == selectedId)
        return;

    selectedId = id;
    refresh();

    if (notify)
    {
        // Written before anybody is told: a listener may delete this button,
        // and the choice must reach the parameter all the same.
        setParameterIntValue(id);
        const juce::Component::BailOutChecker checker(this);
        listeners.callChecked(checker, [this](Listener& l) { l.comboBoxButtonChanged(this); });
    }
}

void ComboBoxButton::updateFromParameter(Parameter* p)
{
    if (p == nullptr || p->getIntValue() == selectedId)
        return;
    selectedId = p->getIntValue();
    refresh();
}

void ComboBoxButton::setSharedMenu(PopupMenuEx* menu)
{
    if (menu == sharedMenu.get())
        return;

    if (auto* previous = sharedMenu.get())
        releaseMenu(*previous);
    sharedMenu = menu;
    if (menu != nullptr)
        menu->addListener(this);
    refresh();
}

void ComboBoxButton::setMenu(const PopupMenuEx& menu, bool onlyIfNameDiffers)
{
    if (onlyIfNameDiffers && menu.getName() == ownMenu.getName())
        return;
    ownMenu = menu;
    refresh();
}

void ComboBoxButton::setParameter(EnumParameter* parameter)
{
    if (parameter == nullptr)
        return;

    PopupMenuEx choices { juce::String() };
    const auto names = parameter->getItems();
    for (int i = 0; i < names.size(); ++i)
        choices.addItem(i, names[i], false, true);
    ownMenu = choices;
    refresh();
    ParameterController::setParameter(parameter);
}

void ComboBoxButton::setWidthToFitItems(int height)
{
    if (height >= 0)
        setSize(getWidth(), height);

    auto& menu = getActiveMenu();
    int width = kMinimumWidth;
    for (int id = 0; id < menu.getNumItems(); ++id)
        width = juce::jmax(width, button.getWidthForText(menu.getLabel(id)));
    setSize(width, getHeight());
}

void ComboBoxButton::resized()
{
    button.setBounds(getLocalBounds());
}

void ComboBoxButton::buttonClicked(juce::Button*)
{
    button.setToggleState(true, juce::dontSendNotification);
    // A shared menu carries the tick of whichever button refreshed last: tick
    // our own choice before it opens.
    refresh();
    getActiveMenu().show(this, {}, PopupMenuEx::placementBelow);
}

void ComboBoxButton::itemChosen(PopupMenuEx* menu, int itemId, bool)
{
    if (menu->getParentComponent() != this || (menu != &ownMenu && menu != sharedMenu.get()))
        return;
    // Released first: a listener told of the change may delete this button.
    button.setToggleState(false, juce::dontSendNotification);
    setSelectedId(itemId, true);
}

void ComboBoxButton::menuDismissed(PopupMenuEx* menu)
{
    if (menu->getParentComponent() == this)
        button.setToggleState(false, juce::dontSendNotification);
}
