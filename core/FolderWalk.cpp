#include "core/FolderWalk.h"

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
struct CompareBy
{
    const FolderWalk::Order& order;
    int compareElements(const juce::File& a, const juce::File& b) const { return order(a, b); }
};
} // namespace

FolderWalk::FolderWalk(const juce::String& filePattern, int depthLimit, int entryLimit)
    : maxDepth(juce::jmax(0, depthLimit)), maxEntries(juce::jmax(0, entryLimit))
{
    wildcards.addTokens(filePattern, ";,", "\"'");
    wildcards.trim();
    wildcards.removeEmptyStrings();
}

void FolderWalk::setOrder(Order newOrder)
{
    order = std::move(newOrder);
}

bool FolderWalk::walk(const juce::File& root, const Visitor& visit)
{
    entered.clear();
    entriesRead = 0;
    limitReached = false;
    stopped = false;
    return root != juce::File() && enter(root, 0, visit);
}

juce::Array<juce::File> FolderWalk::findFiles(const juce::File& root)
{
    juce::Array<juce::File> files;
    walk(root, [&files](const Folder& f) {
        files.addArray(f.files);
        return true;
    });
    return files;
}

bool FolderWalk::containsFile(const juce::File& root)
{
    bool found = false;
    walk(root, [&found](const Folder& f) {
        found = ! f.files.isEmpty();
        return ! found;
    });
    return found;
}

bool FolderWalk::matches(const juce::String& name) const
{
    for (const auto& w : wildcards)
        if (name.matchesWildcard(w, ! juce::File::areFileNamesCaseSensitive()))
            return true;
    return false;
}

bool FolderWalk::enter(const juce::File& folder, int depth, const Visitor& visit)
{
    // The folder is known by what was opened, not by its path, so that a
    // link swapped in between cannot make the walk enter a folder twice.
    const auto path = folder.getFullPathName();
    const int fd = ::open(path.toRawUTF8(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || ! entered.insert({ (juce::uint64) info.st_dev, (juce::uint64) info.st_ino }).second)
    {
        ::close(fd);
        return false;
    }
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr)
    {
        ::close(fd);
        return false;
    }

    Folder found { folder, depth, {} };
    juce::Array<juce::File> folders;
    const auto prefix = path.endsWithChar('/') ? path : path + "/";
    while (auto* entry = ::readdir(dir))
    {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        if (entriesRead >= maxEntries)
        {
            limitReached = stopped = true;
            break;
        }
        ++entriesRead;
        // Followed: a link counts as what it leads to, and one that leads
        // nowhere as nothing.
        struct stat entryInfo {};
        if (::fstatat(::dirfd(dir), name, &entryInfo, 0) != 0)
            continue;
        const auto fileName = juce::String::fromUTF8(name);
        const auto file = juce::File::createFileWithoutCheckingPath(prefix + fileName);
        if (S_ISDIR(entryInfo.st_mode))
            folders.add(file);
        else if (matches(fileName))
            found.files.add(file);
    }
    ::closedir(dir);

    if (order)
    {
        const CompareBy compare { order };
        folders.sort(compare);
    }
    if (! visit(found))
        stopped = true;

    for (const auto& sub : folders)
    {
        if (stopped)
            break;
        if (depth >= maxDepth)
        {
            limitReached = true;
            break;
        }
        enter(sub, depth + 1, visit);
    }
    return true;
}
