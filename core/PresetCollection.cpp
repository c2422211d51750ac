#include "core/PresetCollection.h"
#include "core/DesktopTrash.h"
#include "core/FolderWalk.h"
#include "core/XmlHelpers.h"

#include <algorithm>
#include <vector>

namespace
{
constexpr const char* kNewFolderName = "New folder";

bool isOnMessageThreadOrLocked()
{
    // With no message manager there is no message thread to hand the work to.
    auto* mm = juce::MessageManager::getInstanceWithoutCreating();
    return mm == nullptr || mm->currentThreadHasLockedMessageManager();
}

// The first of 'name', 'name (2)', 'name (3)', ... that does not exist in the
// folder. A name that already ends in a bracketed number counts on from it, so a
// copy of 'Pad (2)' is 'Pad (3)'. (JUCE's own numbering writes no space before
// the bracket.)
juce::File getNumberedChildFile(const juce::File& folder, const juce::String& name, const juce::String& suffix)
{
    auto f = folder.getChildFile(name + suffix);
    if (!f.exists())
        return f;

    juce::String base = name;
    int number = 1;
    const juce::String trimmed = name.trimEnd();
    const int open = trimmed.lastIndexOfChar('(');
    if (trimmed.endsWithChar(')') && open >= 0)
    {
        const juce::String digits = trimmed.substring(open + 1, trimmed.length() - 1);
        // Up to nine digits: counting on from a larger number could overflow.
        constexpr int kMaxCountDigits = 9;
        if (digits.isNotEmpty() && digits.length() <= kMaxCountDigits && digits.containsOnly("0123456789"))
        {
            base = trimmed.substring(0, open).trimEnd();
            number = digits.getIntValue();
        }
    }
    do
        f = folder.getChildFile(base + " (" + juce::String(++number) + ")" + suffix);
    while (f.exists());
    return f;
}

} // namespace

PresetCollection::PresetCollection(const juce::String& collectionName, const juce::String& fileExtension)
    : name(collectionName),
      extension(fileExtension.isEmpty() || fileExtension.startsWithChar('.') ? fileExtension
                                                                              : "." + fileExtension)
{
}

PresetCollection::~PresetCollection()
{
    cancelPendingUpdate();
}

void PresetCollection::addListener(Listener* listener)
{
    if (listener != nullptr)
        listeners.add(listener);
}

void PresetCollection::removeListener(Listener* listener)
{
    listeners.remove(listener);
}

void PresetCollection::setRootFolder(const juce::File& folder)
{
    if (folder == root.getFolder())
        return;
    {
        const juce::ScopedLock sl(rootFolderLock);
        rootFolder = folder;
    }
    root.setFolder(folder);
    rescanNow();
    triggerAsyncUpdate();
}

juce::File PresetCollection::getRootFolder() const
{
    const juce::ScopedLock sl(rootFolderLock);
    return rootFolder;
}

void PresetCollection::rescan()
{
    if (isOnMessageThreadOrLocked())
    {
        rescanNow();
        triggerAsyncUpdate();
        return;
    }
    // Asked for by a worker: the message thread may be using the tree right now.
    rescanRequested = true;
    triggerAsyncUpdate();
}

void PresetCollection::handleAsyncUpdate()
{
    if (rescanRequested.exchange(false))
        rescanNow();
    listeners.call([this](Listener& l) { l.presetCollectionChanged(this); });
}

PresetCategoryNode* PresetCollection::getNodeForFolder(const juce::File& folder) const
{
    if (folder == root.getFolder())
        return const_cast<PresetCategoryNode*>(&root);
    for (auto* node : allFolders)
        if (node->getFolder() == folder)
            return node;
    return nullptr;
}

bool PresetCollection::containsFolder(const juce::File& folder) const
{
    const auto& rootDir = root.getFolder();
    return folder != juce::File() && rootDir != juce::File() && (folder == rootDir || folder.isAChildOf(rootDir));
}

bool PresetCollection::isBelowRoot(const juce::File& f) const
{
    const auto& rootDir = root.getFolder();
    return rootDir != juce::File() && f.isAChildOf(rootDir);
}

bool PresetCollection::isCollectionDirectory(const juce::File& f) const
{
    return containsFolder(f) && f.isDirectory();
}

bool PresetCollection::isValidNewName(const juce::String& newName)
{
    // A name is one path element; anything else would leave the folder.
    return newName.trim().isNotEmpty() && !newName.containsChar('/') && newName != "." && newName != "..";
}

FilePreset* PresetCollection::getPreset(int index, ParameterManager* manager)
{
    const juce::File file = allFiles[index];
    if (file == juce::File())
        return nullptr;

    const juce::String key = file.getFullPathName();
    if (auto* cached = cacheByPath[key])
        return cached;

    auto preset = std::make_unique<FilePreset>(file);
    // An unreadable or foreign file gives no preset, so nothing half-empty is applied.
    if (!preset->load(manager))
        return nullptr;
    auto* added = cache.add(preset.release());
    cacheByPath.set(key, added);
    return added;
}

int PresetCollection::indexOfPlaceOf(const juce::File& file) const
{
    auto* node = getNodeForFolder(file.getParentDirectory());
    if (node == nullptr || node->getNumItems() == 0)
        return -1;
    // The list holds each folder's presets side by side, in the folder's order.
    for (int row = 0; row < node->getNumItems(); ++row)
        if (PresetCategoryNode::compareFiles(node->getItem(row), file) > 0)
            return allFiles.indexOf(node->getItem(row));
    return allFiles.indexOf(node->getItem(node->getNumItems() - 1)) + 1;
}

FilePreset* PresetCollection::getPresetForFile(const juce::File& file, ParameterManager* manager)
{
    return getPreset(allFiles.indexOf(file), manager);
}

juce::String PresetCollection::getDisplayPath(const juce::File& file) const
{
    const juce::File rootDir = getRootFolder();
    return rootDir.getFileName() + "/" + file.getRelativePathFrom(rootDir);
}

void PresetCollection::scan(PresetCategoryNode& node) const
{
    FolderWalk walk("*" + extension);
    // In their final order, so that of two links to one folder the first
    // listed is the one that shows it.
    walk.setOrder(PresetCategoryNode::compareFiles);
    // The walk visits a folder right after the folders above it: the node of
    // each level on the way down is the parent of the next.
    std::vector<PresetCategoryNode*> path;
    walk.walk(node.getFolder(), [&node, &path](const FolderWalk::Folder& found) {
        auto* target = &node;
        path.resize((size_t) found.depth);
        if (found.depth > 0)
        {
            target = new PresetCategoryNode(found.folder);
            path.back()->addChild(target, false);
        }
        target->addFiles(found.files, false);
        path.push_back(target);
        return true;
    });
    node.sort(true);
}

void PresetCollection::rescanNow()
{
    // allFolders points into the old tree until rebuildLists refills it; nothing
    // reads it in between.
    root.clear();
    scan(root);
    rebuildLists();
}

void PresetCollection::rebuildLists()
{
    cacheByPath.clear();
    cache.clear();
    allFiles.clearQuick();
    allFolders.clearQuick();
    collect(root);
}

void PresetCollection::collect(PresetCategoryNode& node)
{
    for (int i = 0; i < node.getNumItems(); ++i)
        allFiles.add(node.getItem(i));
    for (int i = 0; i < node.getNumChildren(); ++i)
        allFolders.add(node.getChild(i));
    for (int i = 0; i < node.getNumChildren(); ++i)
        collect(*node.getChild(i));
}

void PresetCollection::rebuild()
{
    rebuildLists();
    triggerAsyncUpdate();
}

bool PresetCollection::addFile(const juce::File& file)
{
    if (!file.existsAsFile() || !isBelowRoot(file) || !file.hasFileExtension(extension))
        return false;

    juce::Array<juce::File> folders; // from the file's folder up to just below the root
    for (auto dir = file.getParentDirectory(); dir != root.getFolder(); dir = dir.getParentDirectory())
        folders.insert(0, dir);

    PresetCategoryNode* node = &root;
    for (const auto& dir : folders)
    {
        auto* child = node->findChild(dir);
        if (child == nullptr)
        {
            // A folder the tree has not seen yet: take in whatever it already holds.
            auto created = std::make_unique<PresetCategoryNode>(dir);
            scan(*created);
            child = created.get();
            node->addChild(created.release(), true);
        }
        node = child;
    }
    node->addFile(file, true);
    rebuild();
    return true;
}

juce::File PresetCollection::createFolder(const juce::File& parent)
{
    JUCE_ASSERT_MESSAGE_MANAGER_IS_LOCKED
    if (!isCollectionDirectory(parent))
        return {};
    auto* node = getNodeForFolder(parent);
    if (node == nullptr)
        return {};

    const juce::File folder = getNumberedChildFile(parent, kNewFolderName, {});
    if (!folder.createDirectory().wasOk() || !folder.isDirectory())
        return {};

    node->addChild(new PresetCategoryNode(folder), true);
    rebuild();
    return folder;
}

juce::File PresetCollection::duplicatePreset(const juce::File& file)
{
    JUCE_ASSERT_MESSAGE_MANAGER_IS_LOCKED
    if (!file.existsAsFile() || !isBelowRoot(file))
        return {};
    auto* node = getNodeForFolder(file.getParentDirectory());
    if (node == nullptr || !node->containsFile(file))
        return {};

    const juce::File copy = getNumberedChildFile(file.getParentDirectory(), file.getFileNameWithoutExtension(),
                                                 file.getFileExtension());
    if (copy.exists() || node->containsFile(copy))
        return {};
    // Copied under a temporary name first, so an interrupted copy never shows up
    // in the folder as a truncated preset.
    juce::TemporaryFile temp(copy, getTemporaryFileFor(copy));
    if (!file.copyFileTo(temp.getFile()) || !temp.overwriteTargetFileWithTemporary())
        return {};

    node->addFile(copy, true);
    rebuild();
    return copy;
}

juce::File PresetCollection::renamePreset(const juce::File& file, const juce::String& newName)
{
    JUCE_ASSERT_MESSAGE_MANAGER_IS_LOCKED
    if (!isValidNewName(newName) || !file.existsAsFile() || !isBelowRoot(file))
        return {};

    const juce::File target = file.getSiblingFile(newName + extension);
    if (target.exists() || target.getParentDirectory() != file.getParentDirectory())
        return {};
    auto* node = getNodeForFolder(file.getParentDirectory());
    if (node == nullptr || !node->containsFile(file) || node->containsFile(target))
        return {};
    if (!file.moveFileTo(target))
        return {};

    node->removeFile(file);
    node->addFile(target, true);
    rebuild();
    return target;
}

juce::File PresetCollection::renameFolder(const juce::File& folder, const juce::String& newName)
{
    JUCE_ASSERT_MESSAGE_MANAGER_IS_LOCKED
    if (!isValidNewName(newName) || !folder.isDirectory() || !isBelowRoot(folder))
        return {};

    const juce::File target = folder.getSiblingFile(newName);
    if (target.exists() || target.getParentDirectory() != folder.getParentDirectory())
        return {};
    auto* node = getNodeForFolder(folder);
    if (node == nullptr || node == &root || !folder.moveFileTo(target))
        return {};

    node->clear();
    node->setFolder(target);
    scan(*node);
    // The new name may belong elsewhere among its siblings.
    if (auto* parentNode = getNodeForFolder(target.getParentDirectory()))
        parentNode->sort(false);
    rebuild();
    return target;
}

bool PresetCollection::moveFolder(const juce::File& folder, const juce::File& destination)
{
    if (!folder.isDirectory() || !isBelowRoot(folder) || !isCollectionDirectory(destination))
        return false;
    if (destination == folder.getParentDirectory() || destination == folder || destination.isAChildOf(folder))
        return false;
    // Anything already there under that name would be replaced by the move.
    const juce::File target = destination.getChildFile(folder.getFileName());
    if (target.exists())
        return false;
    return folder.moveFileTo(target);
}

bool PresetCollection::moveFile(const juce::File& file, const juce::File& destination)
{
    if (!file.existsAsFile() || !isBelowRoot(file) || !isCollectionDirectory(destination))
        return false;
    if (destination == file.getParentDirectory())
        return false;
    const juce::File target = destination.getChildFile(file.getFileName());
    if (!isBelowRoot(target) || target.exists())
        return false;
    auto* node = getNodeForFolder(file.getParentDirectory());
    if (node == nullptr || !node->containsFile(file) || getNodeForFolder(destination) == nullptr)
        return false;
    return file.moveFileTo(target);
}

bool PresetCollection::applyToEach(const juce::Array<juce::File>& items,
                                   const std::function<bool(const juce::File&)>& folderOperation,
                                   const std::function<bool(const juce::File&)>& fileOperation)
{
    bool allDone = true;
    juce::Array<juce::File> foldersDone;
    for (const auto& item : items)
    {
        // An item inside a folder of the same request went with that folder.
        const bool wentWithFolder = std::any_of(foldersDone.begin(), foldersDone.end(),
                                                [&item](const juce::File& f) { return item.isAChildOf(f); });
        if (wentWithFolder)
            continue;
        const bool isFolder = item.isDirectory();
        const bool done = isFolder ? folderOperation(item) : fileOperation(item);
        if (done && isFolder)
            foldersDone.add(item);
        allDone = done && allDone;
    }
    rescanNow();
    triggerAsyncUpdate();
    return allDone;
}

bool PresetCollection::moveItems(const juce::Array<juce::File>& items, const juce::File& destination)
{
    JUCE_ASSERT_MESSAGE_MANAGER_IS_LOCKED
    return applyToEach(
        items, [this, &destination](const juce::File& f) { return moveFolder(f, destination); },
        [this, &destination](const juce::File& f) { return moveFile(f, destination); });
}

bool PresetCollection::deleteFolder(const juce::File& folder)
{
    if (!folder.isDirectory() || !isBelowRoot(folder))
        return false;
    auto* parentNode = getNodeForFolder(folder.getParentDirectory());
    if (parentNode == nullptr || parentNode->findChild(folder) == nullptr)
        return false;

    return DesktopTrash::moveToTrash(folder);
}

bool PresetCollection::deleteFile(const juce::File& file)
{
    if (!file.existsAsFile() || !isBelowRoot(file))
        return false;
    auto* node = getNodeForFolder(file.getParentDirectory());
    if (node == nullptr || !node->containsFile(file))
        return false;

    return DesktopTrash::moveToTrash(file);
}

bool PresetCollection::deleteItems(const juce::Array<juce::File>& items)
{
    JUCE_ASSERT_MESSAGE_MANAGER_IS_LOCKED
    return applyToEach(
        items, [this](const juce::File& f) { return deleteFolder(f); },
        [this](const juce::File& f) { return deleteFile(f); });
}
