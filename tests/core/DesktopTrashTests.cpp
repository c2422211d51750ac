#include <gtest/gtest.h>

#include "TestHelpers.h"
#include "core/DesktopTrash.h"

#include <cstdlib>
#include <sys/stat.h>

// A deleted preset must be restorable from the desktop's trash: it lands in
// Trash/files with a Trash/info record naming where it came from and when.

namespace
{
// Points the trash at a folder of the test's own while it lives.
struct ScopedDataHome
{
    explicit ScopedDataHome(const juce::File& folder)
    {
        setenv("XDG_DATA_HOME", folder.getFullPathName().toRawUTF8(), 1);
    }
    ~ScopedDataHome() { setenv("XDG_DATA_HOME", previous.toRawUTF8(), 1); }
    juce::String previous = juce::SystemStats::getEnvironmentVariable("XDG_DATA_HOME", {});
};

juce::String utf8(const char* text)
{
    return juce::String(juce::CharPointer_UTF8(text));
}
} // namespace

TEST(DesktopTrash, ItemsGoToTheTrashWithARecordOfWhereAndWhen)
{
    TestHelpers::TempFolder temp;
    ScopedDataHome dataHome(temp.getChild("data"));
    const auto trash = DesktopTrash::getTrashFolder();
    EXPECT_EQ(trash, temp.getChild("data/Trash"));

    // A name that needs escaping, a folder with a dot, and the same name twice.
    const auto source = temp.getChild(utf8("Presets/Échos & 50%"));
    const auto preset = source.getChildFile("Warm Pad.tnprst");
    const auto folder = source.getChildFile("Pads v1.5");
    ASSERT_TRUE(preset.create().wasOk() && preset.replaceWithText("first"));
    ASSERT_TRUE(folder.getChildFile("Inner.tnprst").create().wasOk());
    const auto now = juce::Time::getCurrentTime();
    ASSERT_TRUE(DesktopTrash::moveToTrash(preset));
    ASSERT_TRUE(preset.replaceWithText("second"));
    ASSERT_TRUE(DesktopTrash::moveToTrash(preset));
    ASSERT_TRUE(DesktopTrash::moveToTrash(folder));
    EXPECT_FALSE(preset.exists() || folder.exists());

    const struct
    {
        const char* name;
        juce::File original;
    } expected[] = { { "Warm Pad.tnprst", preset }, { "Warm Pad.2.tnprst", preset }, { "Pads v1.5", folder } };
    for (const auto& e : expected)
    {
        SCOPED_TRACE(e.name);
        EXPECT_TRUE(trash.getChildFile("files").getChildFile(e.name).exists());
        juce::StringArray lines;
        lines.addLines(trash.getChildFile("info").getChildFile(juce::String(e.name) + ".trashinfo").loadFileAsString());
        lines.removeEmptyStrings();
        ASSERT_EQ(lines.size(), 3);
        EXPECT_EQ(lines[0], "[Trash Info]");
        EXPECT_EQ(juce::URL::removeEscapeChars(lines[1].fromFirstOccurrenceOf("Path=", false, false)),
                  e.original.getFullPathName());
        // Local time, "YYYY-MM-DDThh:mm:ss", within a few seconds of now.
        const auto date = lines[2].fromFirstOccurrenceOf("DeletionDate=", false, false);
        ASSERT_EQ(date.length(), 19);
        const juce::Time when(date.substring(0, 4).getIntValue(), date.substring(5, 7).getIntValue() - 1,
                              date.substring(8, 10).getIntValue(), date.substring(11, 13).getIntValue(),
                              date.substring(14, 16).getIntValue(), date.substring(17, 19).getIntValue(), 0, true);
        EXPECT_LT(std::abs((when - now).inSeconds()), 5.0);
    }
    EXPECT_EQ(trash.getChildFile("files/Warm Pad.2.tnprst").loadFileAsString(), "second");
    EXPECT_EQ(DesktopTrash::encodePath(utf8("/a b/Échos & 50%/x_y-z.(1)~!*'")),
              "/a%20b/%C3%89chos%20%26%2050%25/x_y-z.(1)~!*'");
}

TEST(DesktopTrash, RefusalsLeaveTheItemAndWriteNoRecord)
{
    TestHelpers::TempFolder temp;
    const auto item = temp.getChild("Keep.tnprst");
    ASSERT_TRUE(item.replaceWithText("keep"));
    {
        // A trash that cannot be made: "files" is taken by a plain file.
        ScopedDataHome dataHome(temp.getChild("broken"));
        ASSERT_TRUE(temp.getChild("broken/Trash/files").create().wasOk());
        EXPECT_FALSE(DesktopTrash::moveToTrash(item));
        EXPECT_FALSE(DesktopTrash::moveToTrash(temp.getChild("Missing.tnprst")));
    }
    EXPECT_EQ(item.loadFileAsString(), "keep");

    // A trash on another file system: the move would be a copy, which is refused.
    struct stat shm {}, here {};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(temp.get().getFullPathName().toRawUTF8(), &here) != 0
        || shm.st_dev == here.st_dev)
        GTEST_SKIP() << "no second file system to put the trash on";
    const auto elsewhere = juce::File("/dev/shm").getNonexistentChildFile("tavinor-trash-test", "", false);
    {
        ScopedDataHome dataHome(elsewhere);
        EXPECT_FALSE(DesktopTrash::moveToTrash(item));
    }
    EXPECT_EQ(item.loadFileAsString(), "keep");
    EXPECT_EQ(elsewhere.getChildFile("Trash/info").getNumberOfChildFiles(juce::File::findFiles), 0);
    elsewhere.deleteRecursively();
}
