#include "core/PresetCategoryNode.h"
#include "core/CompareNatural.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

namespace
{
// A folder name without its extension and its whole file name, as the order
// of files and folders looks at them.
struct SortKey
{
    explicit SortKey(const juce::File& f)
        : name(f.getFileNameWithoutExtension()), fileName(f.getFileName()), file(f)
    {
    }

    // A folder named "v1.5" sorts as "v1"; two names equal that far are ordered
    // by their full file names so that the order never depends on the sort.
    static int compare(const SortKey& a, const SortKey& b)
    {
        if (const int byName = compareNatural(a.name, b.name); byName != 0)
            return byName;
        return a.fileName.compare(b.fileName);
    }

    juce::String name, fileName;
    juce::File file;
};

// The names are taken from each path once, not in every comparison: a folder
// may hold thousands of presets.
void sortFiles(juce::Array<juce::File>& files)
{
    std::vector<SortKey> keys;
    keys.reserve((size_t) files.size());
    for (const auto& f : files)
        keys.emplace_back(f);
    std::sort(keys.begin(), keys.end(), [](const SortKey& a, const SortKey& b) { return SortKey::compare(a, b) < 0; });
    files.clearQuick();
    for (const auto& k : keys)
        files.add(k.file);
}

struct NodeOrder
{
    static int compareElements(const PresetCategoryNode* a, const PresetCategoryNode* b)
    {
        return PresetCategoryNode::compareFiles(a->getFolder(), b->getFolder());
    }
};
} // namespace

PresetCategoryNode::PresetCategoryNode(const juce::File& nodeFolder) : folder(nodeFolder)
{
}

int PresetCategoryNode::compareFiles(const juce::File& a, const juce::File& b)
{
    return SortKey::compare(SortKey(a), SortKey(b));
}

void PresetCategoryNode::clear()
{
    children.clear();
    files.clear();
}

juce::File PresetCategoryNode::getChildFolder(int index) const
{
    auto* child = children[index];
    return child != nullptr ? child->folder : juce::File();
}

int PresetCategoryNode::indexOfChild(const juce::File& childFolder) const
{
    for (int i = 0; i < children.size(); ++i)
        if (children.getUnchecked(i)->folder == childFolder)
            return i;
    return -1;
}

PresetCategoryNode* PresetCategoryNode::findChild(const juce::File& childFolder) const
{
    return children[indexOfChild(childFolder)];
}

int PresetCategoryNode::getRowOfItem(const juce::File& file) const
{
    const int index = files.indexOf(file);
    return index < 0 ? -1 : index + children.size();
}

void PresetCategoryNode::addFile(const juce::File& file, bool sortAfterwards)
{
    if (file == juce::File() || files.contains(file))
        return;
    files.add(file);
    if (sortAfterwards)
        sort(false);
}

void PresetCategoryNode::addFiles(const juce::Array<juce::File>& newFiles, bool sortAfterwards)
{
    // Paths as keys: on this system juce::File compares its full path, case
    // and all, which is what a set of paths does.
    std::unordered_set<juce::String> present;
    present.reserve((size_t) (files.size() + newFiles.size()));
    for (const auto& f : files)
        present.insert(f.getFullPathName());
    files.ensureStorageAllocated(files.size() + newFiles.size());
    for (const auto& f : newFiles)
        if (f != juce::File() && present.insert(f.getFullPathName()).second)
            files.add(f);
    if (sortAfterwards)
        sort(false);
}

void PresetCategoryNode::removeFile(const juce::File& file)
{
    files.removeFirstMatchingValue(file);
    sort(false);
}

void PresetCategoryNode::addChild(PresetCategoryNode* child, bool sortAfterwards)
{
    if (child == nullptr)
        return;
    children.add(child);
    if (sortAfterwards)
        sort(false);
}

void PresetCategoryNode::removeChild(PresetCategoryNode* child)
{
    children.removeObject(child, true);
    sort(false);
}

void PresetCategoryNode::sort(bool recursive)
{
    sortFiles(files);
    NodeOrder nodeOrder;
    children.sort(nodeOrder);
    if (recursive)
        for (auto* child : children)
            child->sort(true);
}
