#pragma once

#include <juce_core/juce_core.h>
#include <juce_events/juce_events.h>
#include <atomic>
#include <functional>

#include "core/FilePreset.h"
#include "core/PresetCategoryNode.h"

class ParameterManager;

// The in-memory picture of a preset folder: a tree of category folders holding
// preset files of one extension, a flat list of every preset file in tree order,
// and a cache of loaded presets. It also performs the folder and file operations
// of the preset browser so that the tree stays in step with the disk.
//
// Threads: everything runs on the message thread except getDisplayPath and rescan,
// which worker threads may call. A rescan asked for by another thread is carried
// out later on the message thread, so it never pulls the tree from under code
// that holds pointers into it. Listeners are always called on the message thread,
// once after any number of changes made in one go.
class PresetCollection : public juce::AsyncUpdater
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void presetCollectionChanged(PresetCollection* collection) = 0;
    };

    // extension with or without its leading dot, e.g. ".tnprst".
    PresetCollection(const juce::String& name, const juce::String& extension);
    ~PresetCollection() override;

    const juce::String& getName() const { return name; }
    const juce::String& getExtension() const { return extension; }

    void addListener(Listener* listener);
    void removeListener(Listener* listener);

    // Scans the folder when it differs from the current root folder.
    void setRootFolder(const juce::File& folder);
    juce::File getRootFolder() const;
    // Reads the whole tree again from the disk.
    void rescan();

    int getNumPresets() const { return allFiles.size(); }
    juce::File getPresetFile(int index) const { return allFiles[index]; }
    int indexOfPresetFile(const juce::File& file) const { return allFiles.indexOf(file); }
    // Where a file its folder no longer holds would stand in the list: the
    // index of the first preset of the folder that sorts after it, or the
    // index after the folder's last; -1 when the folder is gone or empty.
    int indexOfPlaceOf(const juce::File& file) const;
    PresetCategoryNode* getRootNode() { return &root; }
    const PresetCategoryNode* getRootNode() const { return &root; }
    // The root node for the root folder, the folder's node below it, or null.
    PresetCategoryNode* getNodeForFolder(const juce::File& folder) const;
    // True for the root folder and anything below it.
    bool containsFolder(const juce::File& folder) const;

    // The loaded preset of a file of the list, cached until the next change of the
    // tree (pointers handed out are invalid after it). Null for an index outside
    // the list and for a file that is not a readable preset.
    FilePreset* getPreset(int index, ParameterManager* manager);
    FilePreset* getPresetForFile(const juce::File& file, ParameterManager* manager);

    // The root folder's name, "/", and the file's path relative to the root folder.
    juce::String getDisplayPath(const juce::File& file) const;

    // Takes a preset file written into the tree (for instance by "Save preset as")
    // into the lists; false when it is not an existing preset file below the root.
    bool addFile(const juce::File& file);

    // Operations that make a file or folder return it, or the nonexistent file
    // when refused. A refusal leaves the disk as it was.
    juce::File createFolder(const juce::File& parent);
    juce::File duplicatePreset(const juce::File& file);
    juce::File renamePreset(const juce::File& file, const juce::String& newName);
    juce::File renameFolder(const juce::File& folder, const juce::String& newName);
    // Each item on its own (refused items stay where they are); true when all moved.
    bool moveItems(const juce::Array<juce::File>& items, const juce::File& destination);
    // Moves each item to the trash; true when all of them went.
    bool deleteItems(const juce::Array<juce::File>& items);

private:
    void handleAsyncUpdate() override;

    bool isBelowRoot(const juce::File& f) const;
    bool isCollectionDirectory(const juce::File& f) const;
    static bool isValidNewName(const juce::String& newName);

    // Fills the node from the disk through the one bounded walk: links that
    // loop or fan out cannot make a scan endless.
    void scan(PresetCategoryNode& node) const;
    // Clears and scans the whole tree and rebuilds the lists, without notifying.
    void rescanNow();
    // Rebuilds the flat lists and empties the cache, without notifying.
    void rebuildLists();
    void collect(PresetCategoryNode& node);
    // Rebuilds the lists and notifies the listeners asynchronously.
    void rebuild();

    // Each acts on one item on the disk only; the caller rescans the tree once
    // after all of them.
    bool moveFolder(const juce::File& folder, const juce::File& destination);
    bool moveFile(const juce::File& file, const juce::File& destination);
    bool deleteFolder(const juce::File& folder);
    bool deleteFile(const juce::File& file);
    // Runs the folder or the file operation on each item, then rescans once.
    // True when every item is done; an item that lies inside a folder already
    // done in the same call counts as done, since it went with that folder.
    bool applyToEach(const juce::Array<juce::File>& items,
                     const std::function<bool(const juce::File&)>& folderOperation,
                     const std::function<bool(const juce::File&)>& fileOperation);

    const juce::String name;
    const juce::String extension;
    juce::ListenerList<Listener> listeners;
    juce::Array<juce::File> allFiles;
    juce::OwnedArray<FilePreset> cache;
    juce::HashMap<juce::String, FilePreset*> cacheByPath { 101 };
    juce::Array<PresetCategoryNode*> allFolders;
    PresetCategoryNode root;

    // The root folder as worker threads may read it.
    juce::CriticalSection rootFolderLock;
    juce::File rootFolder;
    std::atomic<bool> rescanRequested { false };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(PresetCollection)
};
