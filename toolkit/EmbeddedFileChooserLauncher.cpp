#include "toolkit/EmbeddedFileChooserLauncher.h"

#include "toolkit/FileChooserWindow.h"
#include "toolkit/ModalComponent.h"

EmbeddedFileChooserLauncher::EmbeddedFileChooserLauncher(juce::Component& parentToUse) : parent(&parentToUse)
{
    parentToUse.addComponentListener(this);
}

EmbeddedFileChooserLauncher::~EmbeddedFileChooserLauncher()
{
    cancelPendingUpdate();
    closeAll();
    if (parent != nullptr)
        parent->removeComponentListener(this);
}

void EmbeddedFileChooserLauncher::launch(const Request& request, Callback callback)
{
    retire();
    if (parent == nullptr)
    {
        // Nowhere to show it: the same as a cancelled chooser.
        if (callback)
            callback({});
        return;
    }

    auto finished = [this, callback = std::move(callback)](const juce::File& file) {
        // Retired before the answer, which may launch the next chooser.
        retire();
        if (callback)
            callback(file);
    };
    window = std::make_unique<FileChooserWindow>(request, std::move(finished));
    const auto area = getParentArea();
    window->setSize(juce::jmin(kWidth, area.getWidth()), juce::jmin(kHeight, area.getHeight()));
    // Outside an editor, the middle of the parent; an editor centres it in
    // its own area when it is shown.
    window->setCentrePosition(area.getCentre());
    parent->addChildComponent(*window);
    window->show();
    window->focusFirstControl();
}

juce::Rectangle<int> EmbeddedFileChooserLauncher::getParentArea() const
{
    // A page or a field asking for a file gets a chooser the size of the
    // editor it lives in, which places the chooser in its own middle.
    for (auto* c = parent.getComponent(); c != nullptr; c = c->getParentComponent())
        if (auto* desktop = dynamic_cast<ModalComponent::Desktop*>(c))
            return desktop->getDesktopArea().withPosition(0, 0);
    return parent->getLocalBounds();
}

void EmbeddedFileChooserLauncher::retire()
{
    if (window == nullptr)
        return;
    window->hide();
    retired.push_back(std::move(window));
    triggerAsyncUpdate();
}

void EmbeddedFileChooserLauncher::handleAsyncUpdate()
{
    retired.clear();
}

void EmbeddedFileChooserLauncher::closeAll()
{
    window.reset();
    retired.clear();
}

void EmbeddedFileChooserLauncher::componentBeingDeleted(juce::Component& component)
{
    if (&component != parent.getComponent())
        return;
    cancelPendingUpdate();
    closeAll();
    component.removeComponentListener(this);
    parent = nullptr;
}
