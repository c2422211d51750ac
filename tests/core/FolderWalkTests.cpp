// The one walk of the folders a user controls: every real folder once,
// however its links loop or fan out, within its depth and its entries.

#include <gtest/gtest.h>

#include "TestHelpers.h"
#include "core/FolderWalk.h"

#include <functional>

namespace juce
{
static void PrintTo(const StringArray& a, std::ostream* os)
{
    *os << "{ " << a.joinIntoString(" | ") << " }";
}
} // namespace juce

namespace
{
// A tree described by lines: "dir/" a folder, "a/b.x" a file, "a/l -> b" a
// link to a path below the top ("." the top itself), or outside it ("@").
void build(const juce::File& top, const juce::File& outside, const juce::StringArray& lines)
{
    for (const auto& line : lines)
    {
        if (line.contains(" -> "))
        {
            const auto at = top.getChildFile(line.upToFirstOccurrenceOf(" -> ", false, false));
            const auto to = line.fromFirstOccurrenceOf(" -> ", false, false);
            const auto target = to == "@" ? outside : top.getChildFile(to);
            ASSERT_TRUE(at.getParentDirectory().createDirectory().wasOk());
            ASSERT_TRUE(target.createSymbolicLink(at, false)) << line;
        }
        else if (line.endsWith("/"))
            ASSERT_TRUE(top.getChildFile(line).createDirectory().wasOk()) << line;
        else
        {
            const auto f = top.getChildFile(line);
            ASSERT_TRUE(f.getParentDirectory().createDirectory().wasOk());
            ASSERT_TRUE(f.replaceWithText("x")) << line;
        }
    }
}

int byName(const juce::File& a, const juce::File& b)
{
    return a.getFileName().compare(b.getFileName());
}

struct Walked
{
    juce::StringArray folders; // "depth path" of each folder visited, in order
    juce::StringArray files;   // sorted
    bool limited = false;
};

Walked walkOf(const juce::File& top, const juce::String& pattern, int depth, int entries)
{
    Walked w;
    FolderWalk walk(pattern, depth, entries);
    walk.setOrder(byName);
    walk.walk(top, [&](const FolderWalk::Folder& f) {
        w.folders.add(juce::String(f.depth) + " " + (f.depth == 0 ? "." : f.folder.getRelativePathFrom(top)));
        for (const auto& file : f.files)
            w.files.add(file.getRelativePathFrom(top));
        return true;
    });
    w.files.sort(false);
    w.limited = walk.reachedLimit();
    return w;
}
} // namespace

TEST(FolderWalk, EachRealFolderOnceWithinItsDepthAndEntries)
{
    struct Case
    {
        const char* what;
        juce::StringArray tree;
        int depth, entries;
        juce::StringArray folders, files;
        bool limited;
    };
    const Case cases[] = {
        { "two links of a folder back to itself", { "Cat/x -> Cat", "Cat/y -> Cat" }, 32, 1000,
          { "0 .", "1 Cat" }, {}, false },
        { "a fan-out on every level, back to each level and to the top",
          { "A/1 -> A", "A/2 -> A", "A/3 -> .", "A/B/1 -> A", "A/B/2 -> A/B", "A/B/3 -> .", "A/B/C/1 -> A/B",
            "A/B/C/2 -> A", "A/B/C/p.x" },
          32, 1000, { "0 .", "1 A", "2 A/B", "3 A/B/C" }, { "A/B/C/p.x" }, false },
        { "a folder reached by two links: the first in order shows it",
          { "real/p.x", "a -> real", "b -> real" }, 32, 1000, { "0 .", "1 a" }, { "a/p.x" }, false },
        { "a link out of the tree, and from there back in",
          { "Out -> @", "q.x" }, 32, 1000, { "0 .", "1 Out" }, { "Out/e.x", "q.x" }, false },
        { "links that lead nowhere, to a folder or as a file",
          { "gone -> nothing", "gone.x -> nothing.x", "p.x" }, 32, 1000, { "0 ." }, { "p.x" }, false },
        { "only files matching the pattern, folders named like them are folders",
          { "a.x", "b.y", "c.X", "d.x/e.x", "f.z" }, 32, 1000, { "0 .", "1 d.x" }, { "a.x", "d.x/e.x" }, false },
        { "no deeper than the depth", { "1/2/3/4/deep.x", "1/2/two.x" }, 2, 1000,
          { "0 .", "1 1", "2 1/2" }, { "1/2/two.x" }, true },
        { "depth 0: the folder itself", { "top.x", "sub/below.x" }, 0, 1000, { "0 ." }, { "top.x" }, true },
        { "no more entries than the bound, then nothing more",
          { "sub/a.x", "sub/b.x", "sub/c.x", "sub/d.x", "z/z.x" }, 32, 4, { "0 .", "1 sub" }, {}, true },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        const TestHelpers::TempFolder temp;
        const auto top = temp.getChild("top");
        const auto outside = temp.getChild("ext");
        ASSERT_TRUE(top.createDirectory().wasOk());
        ASSERT_TRUE(outside.createDirectory().wasOk());
        ASSERT_TRUE(outside.getChildFile("e.x").replaceWithText("x"));
        ASSERT_TRUE(top.createSymbolicLink(outside.getChildFile("back"), false));
        build(top, outside, c.tree);

        const auto w = walkOf(top, "*.x", c.depth, c.entries);
        EXPECT_EQ(w.folders, c.folders);
        // The bound of entries may cut a folder's listing anywhere: only
        // that nothing past it was read is certain.
        if (c.entries >= 1000)
            EXPECT_EQ(w.files, c.files);
        else
            EXPECT_LE(w.files.size(), c.entries);
        EXPECT_EQ(w.limited, c.limited);
    }
}

TEST(FolderWalk, EndsWhenAskedAndAtTheFirstFileWhenOnlyThatIsAsked)
{
    const TestHelpers::TempFolder temp;
    const auto top = temp.getChild("top");
    build(top, {}, { "a/one.x", "b/two.x", "c/three.x", "b/loop -> .", "c/loop -> b" });

    int visits = 0;
    FolderWalk walk("*.x");
    walk.setOrder(byName);
    EXPECT_TRUE(walk.walk(top, [&visits](const FolderWalk::Folder& f) {
        ++visits;
        return f.files.isEmpty();
    }));
    EXPECT_EQ(visits, 2) << "the root, then a, which has a file";
    EXPECT_TRUE(walk.containsFile(top));
    EXPECT_EQ(walk.findFiles(top).size(), 3);
    EXPECT_FALSE(FolderWalk("*.y").containsFile(top));
    EXPECT_EQ(FolderWalk("*.x;*.y").findFiles(top.getChildFile("a")).size(), 1);

    // No folder, or none to read.
    EXPECT_FALSE(walk.walk(top.getChildFile("a/one.x"), [](const FolderWalk::Folder&) { return true; }));
    EXPECT_FALSE(walk.walk(top.getChildFile("missing"), [](const FolderWalk::Folder&) { return true; }));
    EXPECT_FALSE(walk.walk({}, [](const FolderWalk::Folder&) { return true; }));
    EXPECT_FALSE(walk.containsFile(top.getChildFile("missing")));
}
