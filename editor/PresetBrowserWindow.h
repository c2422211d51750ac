#pragma once

#include "core/BasePlugin.h"
#include "core/PresetCollection.h"
#include "toolkit/ComponentRow.h"
#include "toolkit/ToolbarDrawableButton.h"
#include "toolkit/WindowComponent.h"

#include <memory>

class PresetBrowser;

// The preset browser's window: a tool bar (new folder, copy, delete, rescan),
// the preset browser, "Restore default" and "OK". It follows the plug-in's
// current preset and rebuilds its columns after every change of the tree.
// The product uses it through TavinorPresetBrowser.
class PresetBrowserWindow : public WindowComponent,
                            public BasePlugin::Listener,
                            public PresetCollection::Listener
{
public:
    PresetBrowserWindow(BasePlugin& plugin, PresetCollection& collection);
    ~PresetBrowserWindow() override;

    // Only the root column remains.
    void resetBrowser();
    // The collection's name, with " - " and the name of the preset shown, if any.
    virtual void updateTitle();

    void buttonClicked(juce::Button* button) override;
    bool shouldDimBackground() const override { return true; }
    void presetChanged(PresetCollection* collection) override;
    void presetCollectionChanged(PresetCollection* collection) override;

    // Shown, the preset list takes the keyboard.
    void visibilityChanged() override;
    void resized() override;
    void childBoundsChanged(juce::Component* child) override;
    void paint(juce::Graphics& g) override;

    PresetBrowser& getBrowser() { return *browser; }
    ToolbarDrawableButton& getNewFolderButton() { return newFolderButton; }
    ToolbarDrawableButton& getCopyButton() { return copyButton; }
    ToolbarDrawableButton& getDeleteButton() { return deleteButton; }
    ToolbarDrawableButton& getRescanButton() { return rescanButton; }
    juce::TextButton& getRestoreDefaultButton() { return restoreDefaultButton; }
    juce::TextButton& getOkButton() { return okButton; }

    static constexpr int kToolbarButtonSide = 24;
    static constexpr int kButtonHeight = 20;

protected:
    BasePlugin& plugin;
    PresetCollection& collection;
    ComponentRow& getBottomRow() { return bottomRow; }

private:
    std::unique_ptr<PresetBrowser> browser;
    ComponentRow toolbarRow { ComponentRow::row, ComponentRow::alignStart };
    ComponentRow bottomRow { ComponentRow::row, ComponentRow::alignStart };
    ToolbarDrawableButton newFolderButton;
    ToolbarDrawableButton copyButton;
    ToolbarDrawableButton deleteButton;
    ToolbarDrawableButton rescanButton;
    juce::TextButton restoreDefaultButton { "Restore default" };
    juce::TextButton okButton { "OK" };

    JUCE_DECLARE_NON_COPYABLE(PresetBrowserWindow)
};
