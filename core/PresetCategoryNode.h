#pragma once

#include <juce_core/juce_core.h>

// One folder of the preset tree: its sub-folders (owned) and the preset files
// directly inside it. The rows of a node's listing are the children, then the files.
class PresetCategoryNode
{
public:
    PresetCategoryNode() = default;
    explicit PresetCategoryNode(const juce::File& folder);

    const juce::File& getFolder() const { return folder; }
    void setFolder(const juce::File& newFolder) { folder = newFolder; }
    // Deletes the children and forgets the files.
    void clear();

    int getNumItems() const { return files.size(); }
    int getNumChildren() const { return children.size(); }
    // The file at index, or the nonexistent file when out of range.
    juce::File getItem(int index) const { return files[index]; }
    PresetCategoryNode* getChild(int index) const { return children[index]; }
    juce::File getChildFolder(int index) const;
    int indexOfChild(const juce::File& childFolder) const;
    PresetCategoryNode* findChild(const juce::File& childFolder) const;
    bool containsFile(const juce::File& file) const { return files.contains(file); }
    // The file's row in the listing (after the children), -1 when absent.
    int getRowOfItem(const juce::File& file) const;

    // Ignores the nonexistent file and files already present.
    void addFile(const juce::File& file, bool sortAfterwards);
    // The same for many files at once, in time linear in their number (a
    // folder may hold thousands of presets); sorts once when asked.
    void addFiles(const juce::Array<juce::File>& newFiles, bool sortAfterwards);
    void removeFile(const juce::File& file);
    // Takes ownership; null is ignored.
    void addChild(PresetCategoryNode* child, bool sortAfterwards);
    // Deletes the child.
    void removeChild(PresetCategoryNode* child);
    void sort(bool recursive);

    // Order of files and folders: natural order of their names without extension.
    static int compareFiles(const juce::File& a, const juce::File& b);

private:
    juce::File folder;
    juce::OwnedArray<PresetCategoryNode> children;
    juce::Array<juce::File> files;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(PresetCategoryNode)
};
