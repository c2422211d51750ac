#include "editor/PresetBrowserWindow.h"

#include "editor/PresetBrowser.h"
#include "toolkit/DefaultLookAndFeel.h"

namespace
{
// Icons of the look-and-feel's library.
constexpr int kNewFolderIcon = 15;
constexpr int kCopyIcon = 1;
constexpr int kDeleteIcon = 16;
constexpr int kRescanIcon = 17;

constexpr int kToolbarSpacing = 2;
constexpr int kBottomGap = 10;
constexpr int kToolbarGap = 4;
constexpr int kButtonOffset = 5;
constexpr float kLoadingFontHeight = 20.0f;
constexpr int kLoadingHeight = 30;
} // namespace

PresetBrowserWindow::PresetBrowserWindow(BasePlugin& p, PresetCollection& c)
    : plugin(p), collection(c),
      newFolderButton("New Folder", kNewFolderIcon),
      copyButton("Copy", kCopyIcon),
      deleteButton("Delete", kDeleteIcon),
      rescanButton("Rescan", kRescanIcon)
{
    toolbarRow.setSpacing(kToolbarSpacing);
    for (auto* button : { &newFolderButton, &copyButton, &deleteButton, &rescanButton })
    {
        button->setSize(kToolbarButtonSide, kToolbarButtonSide);
        button->addListener(this);
        toolbarRow.addAndMakeVisible(button);
    }
    for (auto* button : { &restoreDefaultButton, &okButton })
    {
        button->changeWidthToFitText(kButtonHeight);
        button->setWantsKeyboardFocus(false);
        button->addListener(this);
    }
    addAndMakeVisible(restoreDefaultButton);
    bottomRow.addAndMakeVisible(okButton);

    plugin.addListener(this);
    collection.addListener(this);

    setTitleBarVisible(true);
    browser = std::make_unique<PresetBrowser>(*this, plugin, collection);
    addAndMakeVisible(*browser);
    addAndMakeVisible(toolbarRow);
    addAndMakeVisible(bottomRow);
}

PresetBrowserWindow::~PresetBrowserWindow()
{
    for (auto* button : { &newFolderButton, &copyButton, &deleteButton, &rescanButton })
        button->removeListener(this);
    for (auto* button : { &restoreDefaultButton, &okButton })
        button->removeListener(this);
    collection.removeListener(this);
    plugin.removeListener(this);
    browser.reset();
}

void PresetBrowserWindow::resetBrowser()
{
    browser->reset();
}

void PresetBrowserWindow::updateTitle()
{
    const auto preset = browser->getSelectedPresetFile();
    setTitle(preset == juce::File() ? collection.getName()
                                    : collection.getName() + " - " + preset.getFileNameWithoutExtension());
}

void PresetBrowserWindow::buttonClicked(juce::Button* button)
{
    WindowComponent::buttonClicked(button);
    if (button == &restoreDefaultButton)
    {
        plugin.restoreDefaultPreset(&collection);
        browser->showFile(browser->getCurrentFolder(), false);
    }
    else if (button == &okButton)
        hide();
    else if (button == &rescanButton)
        collection.rescan();
    else if (button == &copyButton)
        browser->copySelected();
    else if (button == &deleteButton)
        browser->deleteSelected();
    else if (button == &newFolderButton)
        browser->createFolder();
}

void PresetBrowserWindow::presetChanged(PresetCollection* changed)
{
    if (changed != &collection)
        return;
    const juce::MessageManagerLock lock;
    // "Restore default" leaves no preset file to show: the columns stay.
    if (plugin.isDefaultPresetApplied(&collection))
        return;
    browser->showFile(plugin.getCurrentPresetPath(&collection), false);
}

void PresetBrowserWindow::presetCollectionChanged(PresetCollection* changed)
{
    if (changed != &collection)
        return;
    const juce::MessageManagerLock lock;
    browser->refreshLater();
}

void PresetBrowserWindow::visibilityChanged()
{
    WindowComponent::visibilityChanged();
    if (isVisible())
        browser->takeKeyboard(true);
}

void PresetBrowserWindow::resized()
{
    WindowComponent::resized();
    const auto content = getContentArea();
    const int x = content.getX(), y = content.getY(), w = content.getWidth(), h = content.getHeight();

    toolbarRow.setTopLeftPosition(x, y);
    const int b = juce::jmin(h, bottomRow.getHeight() + kBottomGap);
    const int t = juce::jmin(h - b, toolbarRow.getHeight() + kToolbarGap);
    browser->setBounds(x, y + t, w, juce::jmax(0, h - b - t));
    bottomRow.setTopLeftPosition(x + w - bottomRow.getWidth(), y + h - b + kButtonOffset);
    // A subclass may have moved the button into a row of its own.
    if (restoreDefaultButton.getParentComponent() == this)
        restoreDefaultButton.setTopLeftPosition(x, y + h - b + kButtonOffset);
}

void PresetBrowserWindow::childBoundsChanged(juce::Component* child)
{
    if (child == &toolbarRow || child == &bottomRow)
        resized();
}

void PresetBrowserWindow::paint(juce::Graphics& g)
{
    WindowComponent::paint(g);
    if (browser != nullptr && !browser->isVisible())
    {
        g.setColour(juce::Colours::black);
        auto font = juce::Font(kLoadingFontHeight, juce::Font::bold);
        if (auto* lf = dynamic_cast<DefaultLookAndFeel*>(&getLookAndFeel()))
            font = lf->getDefaultFont().withHeight(kLoadingFontHeight).boldened();
        g.setFont(font);
        g.drawText("...LOADING...", juce::Rectangle<int>(0, getHeight() / 2, getWidth(), kLoadingHeight),
                   juce::Justification::centred, false);
    }
}
