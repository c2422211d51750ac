#pragma once

#include <juce_core/juce_core.h>

#include <functional>
#include <set>
#include <utility>

// The one way the plug-in walks a folder the user controls: the preset
// folder (its collection, the check for an earlier installation) and the
// skins folder. Such a folder may hold links that loop, fan out, or lead to
// the top of a disk, so the walk is bounded three ways:
// - links are followed (a folder linked in from elsewhere shows where the
//   link is), but each real folder, by device and inode, is entered once per
//   walk however many links lead to it;
// - it goes no deeper than its depth below the starting folder;
// - it reads no more than its number of directory entries in all.
// Links that lead nowhere are skipped. A folder is read to its end before
// the walk goes into the folders inside it, so one folder is open at a time.
//
// Usage:
//     FolderWalk walk("*.tnprst");
//     walk.walk(root, [](const FolderWalk::Folder& f) { ...; return true; });
class FolderWalk
{
public:
    // Far beyond any tree of categories a user makes, and still a walk no
    // host waits long for.
    static constexpr int kMaxDepth = 32;
    static constexpr int kMaxEntries = 100000;

    // A folder the walk entered.
    struct Folder
    {
        juce::File folder;             // by the path the walk took to it
        int depth = 0;                 // 0 for the starting folder
        juce::Array<juce::File> files; // non-folders matching the pattern
    };

    // Called for each folder entered, before the folders inside it; false
    // ends the walk.
    using Visitor = std::function<bool(const Folder&)>;
    // Negative, zero or positive as a comes before, with or after b.
    using Order = std::function<int(const juce::File& a, const juce::File& b)>;

    // filePattern: wildcards as JUCE's file searches take them ("*.tnprst",
    // several separated by ';'). A depth of 0 reads the starting folder only.
    explicit FolderWalk(const juce::String& filePattern, int maxDepth = kMaxDepth, int maxEntries = kMaxEntries);

    // The folders inside a folder are entered in this order (their names',
    // say), so that of two links to one folder the first is the one entered.
    // Unset, and for files always, it is the order the system lists them in.
    void setOrder(Order order);

    // Walks depth first from root. False when root is no folder that can be read.
    bool walk(const juce::File& root, const Visitor& visit);

    // Every matching file, in the walk's order.
    juce::Array<juce::File> findFiles(const juce::File& root);
    // Whether there is any; the walk ends at the first.
    bool containsFile(const juce::File& root);

    // Whether the last walk left something out for its depth or its entries.
    bool reachedLimit() const noexcept { return limitReached; }

private:
    bool enter(const juce::File& folder, int depth, const Visitor& visit);
    bool matches(const juce::String& name) const;

    juce::StringArray wildcards;
    const int maxDepth;
    const int maxEntries;
    Order order;

    std::set<std::pair<juce::uint64, juce::uint64>> entered;
    int entriesRead = 0;
    bool limitReached = false;
    bool stopped = false;
};
