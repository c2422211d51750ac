#pragma once

#include "toolkit/AlertWindow.h"
#include "toolkit/ColumnBrowser.h"
#include "toolkit/RatingComponent.h"

#include <memory>

class BasePlugin;
class PresetBrowserWindow;
class PresetCollection;

// The preset folder tree of a collection in columns: folders list their
// sub-folders, then their presets; a selected preset opens its info column
// (name, author, the user's rating) and is loaded at once. Presets and folders
// are renamed in place, moved by dragging them onto a folder, copied and
// deleted from the window's tool bar; deletes and moves ask first, and every
// operation that fails says so and leaves the files as they were.
//
// Navigation is asynchronous: showFile names the folder or preset to show, and
// the columns leading to it are rebuilt on the message thread.
class PresetBrowser : public ColumnBrowser,
                      public juce::AsyncUpdater,
                      public Orv::AlertWindow::Caller
{
public:
    class PresetDirectoryColumn;
    class PresetInfoColumn;

    PresetBrowser(PresetBrowserWindow& window, BasePlugin& plugin, PresetCollection& collection);
    ~PresetBrowser() override;

    // Shows the folder or preset (the nearest of its folders that the tree
    // still has) when it differs from the one shown, or when forced.
    void showFile(const juce::File& file, bool force);
    // Rebuilds the columns for what is shown, after the tree changed.
    void refreshLater() { triggerAsyncUpdate(); }
    const juce::File& getPendingFile() const { return pendingFile; }

    void handleAsyncUpdate() override;
    std::unique_ptr<Column> createRootColumn() override;
    void columnsRefreshed() override;

    // The preset of the info column at the right end, or the nonexistent file.
    juce::File getSelectedPresetFile() const;
    // The folder of the rightmost folder column, or the nonexistent file.
    juce::File getCurrentFolder() const;
    void updateButtons();
    bool canCopy() const;
    bool canDelete() const;

    void copySelected();
    void deleteSelected();
    void createFolder();
    void dropItems(ColumnBrowser::ListColumn* source, const juce::File& destination);
    void alertWindowClosed(Orv::AlertWindow* alert, int result) override;

    // The alert shown last (for tests and the window's own checks).
    Orv::AlertWindow* getLastAlert() const { return lastAlert; }

    BasePlugin& getPlugin() const { return plugin; }
    PresetCollection& getCollection() const { return collection; }

    // Reports a failed operation in an OK box.
    void reportFailure(const juce::String& message);
    // The current preset moved or was renamed: it stays current under its new
    // path, with its unsaved changes.
    void followCurrentPreset(const juce::File& oldFile, const juce::File& newFile);
    // The folder column of what is shown takes the keyboard, unless another
    // window (a question, a chooser) or a rename has it; forced, only a
    // question of the browser's own keeps it.
    void takeKeyboard(bool force);

    // Loads the preset; over unsaved changes of the current one it first asks
    // the editor's question and shows the current preset again until the
    // answer is "Discard".
    void loadPresetOrAsk(const juce::File& file);

private:
    // A question closed, however: the keyboard goes back to the presets.
    struct QuestionWatch : juce::ComponentListener
    {
        explicit QuestionWatch(PresetBrowser& b) : browser(b) {}
        void componentVisibilityChanged(juce::Component& question) override;
        PresetBrowser& browser;
    };
    bool isAsking() const;

    // The rightmost folder column with a selection, or null.
    PresetDirectoryColumn* getSelectionColumn() const;
    // The folder column at the right end, or the one behind an info column there.
    PresetDirectoryColumn* getLastDirectoryColumn() const;
    juce::Array<juce::File> collectSelection(PresetDirectoryColumn* column) const;
    std::unique_ptr<Orv::AlertWindow>& showAlert(std::unique_ptr<Orv::AlertWindow>& slot,
                                                 Orv::AlertWindow* alert);
    // With replace, presets of the same names in the destination go to the trash first.
    void performMove(bool replace);
    bool tryToShow(const juce::File& file);
    void startNamingFolder();
    // The loaded preset, or the folder given when no preset file is loaded.
    void showCurrentPreset(const juce::File& folder);

    PresetBrowserWindow& window;
    BasePlugin& plugin;
    PresetCollection& collection;
    juce::File pendingFile;
    // A folder just made, whose name is asked for once its row is shown.
    juce::File folderToName;
    std::unique_ptr<Orv::AlertWindow> deleteConfirmation;
    std::unique_ptr<Orv::AlertWindow> moveConfirmation;
    std::unique_ptr<Orv::AlertWindow> replaceConfirmation;
    std::unique_ptr<Orv::AlertWindow> moveError;
    std::unique_ptr<Orv::AlertWindow> failureReport;
    std::unique_ptr<Orv::AlertWindow> saveChangesQuestion;
    Orv::AlertWindow* lastAlert = nullptr;
    QuestionWatch questionWatch { *this };
    juce::Array<juce::File> itemList;
    juce::File destination;

    JUCE_DECLARE_NON_COPYABLE(PresetBrowser)
};

//==============================================================================
// One folder of the tree: its sub-folders, then its presets.
class PresetBrowser::PresetDirectoryColumn : public ColumnBrowser::ListColumn
{
public:
    PresetDirectoryColumn(PresetBrowser& browser, const juce::File& folder);

    const juce::File& getFolder() const { return folder; }
    // The folder or preset a row stands for; the nonexistent file past the end.
    juce::File getFileForRow(int row) const;
    bool isFolderRow(int row) const;
    int getRowForFile(const juce::File& file) const;

    // Wide enough for the factory presets' longest names.
    int getPreferredWidth() override { return 240; }
    int getNumRows() override;
    juce::String getRowText(int row) override;
    juce::Image getRowImage(int row, bool selected) override;
    bool rowHasChildren(int row) override;
    std::unique_ptr<Column> createColumnForRow(int row) override;
    std::unique_ptr<Column> createParentColumn() override;
    bool followsColumn(Column* column) override;
    bool isChildOf(Column* column) override;
    void refresh() override;
    void rowSelected(int row) override;
    void rowNameChanged(int row, const juce::String& newName) override;
    bool canDropOntoColumn(ListColumn* source) override;
    bool canDropInto(ListColumn* source, int row) override;
    bool canDropBefore(ListColumn*, int) override { return false; }
    bool canDropAfter(ListColumn*, int) override { return false; }
    void dropOntoColumn(ListColumn* source) override;
    void dropInto(ListColumn* source, int row) override;

private:
    bool isSameBrowser(Column* column) const;

    PresetBrowser& browser;
    juce::File folder;
    juce::Image folderIcon;
    juce::Image folderSelectedIcon;
    juce::Image presetIcon;
    juce::Image presetSelectedIcon;

    JUCE_DECLARE_NON_COPYABLE(PresetDirectoryColumn)
};

//==============================================================================
// One preset: its name, its author and the user's rating of it.
class PresetBrowser::PresetInfoColumn : public ColumnBrowser::Column, public RatingComponent::Listener
{
public:
    // Draws the labels in their own fonts.
    class LF : public juce::LookAndFeel_V3
    {
    public:
        juce::Font getLabelFont(juce::Label& label) override { return label.getFont(); }
    };

    PresetInfoColumn(PresetBrowser& browser, const juce::File& presetFile);
    ~PresetInfoColumn() override;

    const juce::File& getPresetFile() const { return presetFile; }
    const juce::Label& getNameLabel() const { return nameLabel; }
    const juce::Label& getAuthorLabel() const { return authorLabel; }
    const juce::Label& getAuthorCaption() const { return authorCaption; }
    const juce::Label& getRatingCaption() const { return ratingCaption; }
    RatingComponent& getRating() { return rating; }

    bool isResizable() override { return true; }
    int getPreferredWidth() override { return 220; }
    int getMinimumWidth() override { return 180; }
    bool followsColumn(Column* column) override;
    bool isChildOf(Column* column) override;
    std::unique_ptr<Column> createParentColumn() override;
    void refresh() override;
    void ratingChanged(RatingComponent* rating) override;

    void resized() override;
    void paint(juce::Graphics& g) override;

private:
    PresetBrowser& browser;
    juce::File presetFile;
    juce::Label nameLabel;
    juce::Label authorCaption;
    juce::Label authorLabel;
    juce::Label ratingCaption;
    juce::Image picture;
    RatingComponent rating;
    LF lf;

    JUCE_DECLARE_NON_COPYABLE(PresetInfoColumn)
};
