#include <gtest/gtest.h>

#include "TestHelpers.h"
#include "core/DesktopTrash.h"
#include "core/PresetCollection.h"

#include <cstdlib>
#include <sys/stat.h>

// A deleted preset must be restorable from the desktop's trash: it lands in
// Trash/files with a Trash/info record naming where it came from and when.

namespace
{
// Points the trash at a folder of the test's own while it lives.
class ScopedDataHome
{
public:
    explicit ScopedDataHome(const juce::File& folder)
        : previous(juce::SystemStats::getEnvironmentVariable("XDG_DATA_HOME", {}))
    {
        setenv("XDG_DATA_HOME", folder.getFullPathName().toRawUTF8(), 1);
    }
    ~ScopedDataHome() { setenv("XDG_DATA_HOME", previous.toRawUTF8(), 1); }

private:
    juce::String previous;
};

struct Record
{
    juce::String path;
    juce::Time deletedAt;
    bool wellFormed = false;
};

Record readRecord(const juce::File& info)
{
    Record r;
    juce::StringArray lines;
    lines.addLines(info.loadFileAsString());
    if (lines.size() < 3 || lines[0] != "[Trash Info]" || !lines[1].startsWith("Path=")
        || !lines[2].startsWith("DeletionDate="))
        return r;
    r.path = juce::URL::removeEscapeChars(lines[1].fromFirstOccurrenceOf("=", false, false));
    const auto date = lines[2].fromFirstOccurrenceOf("=", false, false);
    // Local time without a zone, "YYYY-MM-DDThh:mm:ss".
    r.deletedAt = juce::Time(date.substring(0, 4).getIntValue(), date.substring(5, 7).getIntValue() - 1,
                             date.substring(8, 10).getIntValue(), date.substring(11, 13).getIntValue(),
                             date.substring(14, 16).getIntValue(), date.substring(17, 19).getIntValue(), 0, true);
    r.wellFormed = date.length() == 19 && date[10] == 'T';
    return r;
}

juce::String utf8(const char* text)
{
    return juce::String(juce::CharPointer_UTF8(text));
}

bool onSameFileSystem(const juce::File& a, const juce::File& b)
{
    struct stat sa {}, sb {};
    return ::stat(a.getFullPathName().toRawUTF8(), &sa) == 0 && ::stat(b.getFullPathName().toRawUTF8(), &sb) == 0
           && sa.st_dev == sb.st_dev;
}
} // namespace

TEST(DesktopTrash, ItemsGoToTheTrashWithARecordOfWhereAndWhen)
{
    TestHelpers::TempFolder temp;
    ScopedDataHome dataHome(temp.getChild("data"));
    const auto trash = DesktopTrash::getTrashFolder();
    EXPECT_EQ(trash, temp.getChild("data/Trash"));

    // A name that needs escaping, a folder with content, and the same name twice.
    const auto source = temp.getChild(utf8("Presets/Échos & 50%"));
    const auto preset = source.getChildFile("Warm Pad.tnprst");
    const auto folder = source.getChildFile("Pads v1.5");
    ASSERT_TRUE(preset.create().wasOk());
    ASSERT_TRUE(preset.replaceWithText("first"));
    ASSERT_TRUE(folder.getChildFile("Inner.tnprst").create().wasOk());

    const auto before = juce::Time::getCurrentTime() - juce::RelativeTime::seconds(2);
    ASSERT_TRUE(DesktopTrash::moveToTrash(preset));
    ASSERT_TRUE(preset.replaceWithText("second"));
    ASSERT_TRUE(DesktopTrash::moveToTrash(preset));
    ASSERT_TRUE(DesktopTrash::moveToTrash(folder));
    const auto after = juce::Time::getCurrentTime() + juce::RelativeTime::seconds(2);
    EXPECT_FALSE(preset.exists());
    EXPECT_FALSE(folder.exists());

    struct Expected
    {
        const char* name;
        juce::File original;
        const char* check;
    };
    const Expected expected[] = {
        { "Warm Pad.tnprst", preset, "first" },
        { "Warm Pad.2.tnprst", preset, "second" },
        { "Pads v1.5", folder, nullptr },
    };
    for (const auto& e : expected)
    {
        SCOPED_TRACE(e.name);
        const auto moved = trash.getChildFile("files").getChildFile(e.name);
        if (e.check != nullptr)
            EXPECT_EQ(moved.loadFileAsString(), e.check);
        else
            EXPECT_TRUE(moved.getChildFile("Inner.tnprst").existsAsFile());

        const auto info = trash.getChildFile("info").getChildFile(juce::String(e.name) + ".trashinfo");
        const auto record = readRecord(info);
        ASSERT_TRUE(record.wellFormed) << info.loadFileAsString();
        EXPECT_EQ(record.path, e.original.getFullPathName());
        EXPECT_GE(record.deletedAt.toMilliseconds(), before.toMilliseconds());
        EXPECT_LE(record.deletedAt.toMilliseconds(), after.toMilliseconds());
    }
    // The escaping is that of a URI path: slashes stay, the rest is encoded as UTF-8.
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
        EXPECT_EQ(item.loadFileAsString(), "keep");
    }

    // A trash on another file system: a move there would be a copy, which is refused.
    const juce::File shm("/dev/shm");
    if (!shm.isDirectory() || onSameFileSystem(shm, temp.get()))
        GTEST_SKIP() << "no second file system to put the trash on";
    const auto elsewhere = shm.getNonexistentChildFile("tavinor-trash-test", "", false);
    {
        ScopedDataHome dataHome(elsewhere);
        EXPECT_FALSE(DesktopTrash::moveToTrash(item));
    }
    EXPECT_EQ(item.loadFileAsString(), "keep");
    EXPECT_EQ(elsewhere.getChildFile("Trash/info").getNumberOfChildFiles(juce::File::findFiles), 0);
    elsewhere.deleteRecursively();
}

TEST(DesktopTrash, DeletedPresetsCanBeRestoredFromTheirRecord)
{
    TestHelpers::TempFolder temp;
    ScopedDataHome dataHome(temp.getChild("data"));
    const auto root = temp.getChild("Presets");
    const auto preset = root.getChildFile("Pads/Glass.tnprst");
    ASSERT_TRUE(preset.create().wasOk());
    ASSERT_TRUE(preset.replaceWithText("<Preset/>"));

    PresetCollection collection("Presets", ".tnprst");
    collection.setRootFolder(root);
    ASSERT_TRUE(collection.deleteItems({ preset }));
    EXPECT_FALSE(preset.exists());

    // What a file manager does to restore it.
    const auto trash = DesktopTrash::getTrashFolder();
    const auto record = readRecord(trash.getChildFile("info/Glass.tnprst.trashinfo"));
    ASSERT_TRUE(record.wellFormed);
    ASSERT_TRUE(trash.getChildFile("files/Glass.tnprst").moveFileTo(juce::File(record.path)));
    EXPECT_EQ(preset.loadFileAsString(), "<Preset/>");
    TestHelpers::pumpMessages();
}
