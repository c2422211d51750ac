#include "toolkit/ModalComponent.h"

namespace
{
constexpr float kDimAlpha = 0.25f;
} // namespace

//==============================================================================
ModalComponent::CoveringWindow::CoveringWindow(ModalComponent& ownerToUse) : owner(ownerToUse)
{
}

void ModalComponent::CoveringWindow::fillParent()
{
    if (auto* parent = getParentComponent())
        setBounds(parent->getLocalBounds());
}

void ModalComponent::CoveringWindow::parentHierarchyChanged()
{
    fillParent();
}

void ModalComponent::CoveringWindow::parentSizeChanged()
{
    fillParent();
}

void ModalComponent::CoveringWindow::resized()
{
    owner.updatePosition();
}

void ModalComponent::CoveringWindow::paint(juce::Graphics& g)
{
    if (owner.shouldDimBackground())
        g.fillAll(juce::Colours::black.withAlpha(kDimAlpha));
}

//==============================================================================
ModalComponent::ModalComponent() : coveringWindow(*this)
{
}

ModalComponent::~ModalComponent()
{
    // Leave the cover and take the cover off the desktop while both still
    // exist, so the desktop keeps no pointer to either.
    const juce::ScopedValueSetter<bool> guard(attaching, true);
    if (getParentComponent() == &coveringWindow)
        coveringWindow.removeChildComponent(this);
    detachCover();
}

bool ModalComponent::isInAttachedCover() const
{
    return getParentComponent() == &coveringWindow && coveringWindow.getParentComponent() != nullptr;
}

void ModalComponent::detachCover()
{
    if (auto* parent = coveringWindow.getParentComponent())
        parent->removeChildComponent(&coveringWindow);
}

void ModalComponent::attach()
{
    if (isInAttachedCover())
        return;

    juce::Component* desktop = nullptr;
    for (auto* c = getParentComponent(); c != nullptr && desktop == nullptr; c = c->getParentComponent())
        if (c != &coveringWindow && dynamic_cast<Desktop*>(c) != nullptr)
            desktop = c;
    if (desktop == nullptr)
        return;

    // Moving into the cover passes through "no parent" for a moment; that is
    // not a detach.
    const juce::ScopedValueSetter<bool> guard(attaching, true);
    detachCover();
    desktop->addChildComponent(coveringWindow);
    coveringWindow.addChildComponent(this);
    coveringWindow.setVisible(false);
    coveringWindow.toBack();
}

void ModalComponent::showInMode(PositionMode mode, juce::Point<int> position, juce::Component* relativeTo)
{
    attach();
    if (isInAttachedCover() && !coveringWindow.isVisible())
    {
        positionMode = mode;
        storedPoint = relativeTo != nullptr ? coveringWindow.getLocalPoint(relativeTo, position) : position;
        coveringWindow.setVisible(true);
        coveringWindow.toFront(true);
        updatePosition();
    }
    setVisible(true);
    // Only a component on the screen can take the focus: an editor that the
    // host has closed keeps its windows, and may show one, until it reopens.
    if (getWantsKeyboardFocus() && isShowing() && !hasKeyboardFocus(true))
    {
        focusBefore = getCurrentlyFocusedComponent();
        grabKeyboardFocus();
    }
}

void ModalComponent::show()
{
    showInMode(centred, {}, nullptr);
}

void ModalComponent::showAt(juce::Point<int> position, juce::Component* relativeTo)
{
    showInMode(atPoint, position, relativeTo);
}

void ModalComponent::hide()
{
    const bool hadFocus = hasKeyboardFocus(true);
    if (isInAttachedCover() && coveringWindow.isVisible())
    {
        coveringWindow.setVisible(false);
        coveringWindow.toBack();
    }
    setVisible(false);
    if (hadFocus && focusBefore != nullptr && focusBefore->isShowing())
        focusBefore->grabKeyboardFocus();
    focusBefore = nullptr;
}

void ModalComponent::updatePosition()
{
    if (positionMode == atPoint)
    {
        setTopLeftPosition(storedPoint);
        return;
    }
    if (auto* desktop = dynamic_cast<Desktop*>(coveringWindow.getParentComponent()))
    {
        const auto area = desktop->getDesktopArea();
        setCentrePosition(area.getWidth() / 2, area.getHeight() / 2);
    }
}

void ModalComponent::parentHierarchyChanged()
{
    if (attaching)
        return;
    // A component taken out of its cover (to another parent, or to none at
    // all) takes its cover off the desktop, so no empty cover is left there
    // swallowing clicks.
    if (getParentComponent() != &coveringWindow && coveringWindow.getParentComponent() != nullptr)
        detachCover();
}

void ModalComponent::resized()
{
    updatePosition();
}
