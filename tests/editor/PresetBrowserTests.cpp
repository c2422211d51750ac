#include "EditorTestSupport.h"

#include "core/PresetCollection.h"
#include "editor/PresetBrowser.h"
#include "editor/TavinorPresetBrowser.h"
#include "toolkit/EditableLabel.h"

// The preset browser over a preset tree on the disk, driven as a user drives
// it: selecting loads, the rating is saved, renames, moves and deletes change
// the disk and the columns, ask first where they should, and say so when they
// fail.

namespace
{
using namespace EditorTest;
using DirectoryColumn = PresetBrowser::PresetDirectoryColumn;
using InfoColumn = PresetBrowser::PresetInfoColumn;

class PresetBrowserTest : public Fixture
{
protected:
    void SetUp() override
    {
        Fixture::SetUp();
        // The factory presets, as the installer leaves them.
        ASSERT_TRUE(TestHelpers::sourceFolder().getChildFile("resources/presets").copyDirectoryTo(presets()));
        processor = makeProcessor();
        collection = processor->getPresetCollection(0);
        ASSERT_EQ(collection->getRootFolder(), presets());
        window = std::make_unique<TavinorPresetBrowser>(*processor, *collection);
        window->setTitle(collection->getName());
        window->setSize(1200, 540);
        window->resetBrowser();
        desktop.addChildComponent(*window);
        window->show();
        settle();
    }

    void TearDown() override
    {
        window.reset();
        processor.reset();
        Fixture::TearDown();
    }

    juce::File presets() const { return user.getPresetFolder(); }
    juce::File preset(const juce::String& path) const { return presets().getChildFile(path + ".tnprst"); }
    // Delivers the browser's and the collection's asynchronous work.
    static void settle() { TestHelpers::pumpMessages(); }
    PresetBrowser& browser() { return window->getBrowser(); }
    DirectoryColumn& folderColumn(int index) { return *dynamic_cast<DirectoryColumn*>(browser().getColumn(index)); }
    InfoColumn* infoColumn() { return dynamic_cast<InfoColumn*>(browser().getLastColumn()); }
    juce::String currentPreset() const
    {
        return processor->getCurrentPresetPath(collection).getRelativePathFrom(presets());
    }

    // What the columns show: each folder relative to the root, and the preset.
    juce::String columns()
    {
        juce::StringArray names;
        for (int i = 0; i < browser().getNumColumns(); ++i)
        {
            if (auto* folder = dynamic_cast<DirectoryColumn*>(browser().getColumn(i)))
                names.add("/" + folder->getFolder().getRelativePathFrom(presets()).replace(".", ""));
            else if (auto* info = dynamic_cast<InfoColumn*>(browser().getColumn(i)))
                names.add("[" + info->getPresetFile().getFileNameWithoutExtension() + "]");
        }
        return names.joinIntoString(" ");
    }

    static int rowOf(DirectoryColumn& column, const juce::String& text)
    {
        for (int row = 0; row < column.getNumRows(); ++row)
            if (column.getRowText(row) == text)
                return row;
        ADD_FAILURE() << "no row " << text;
        return -1;
    }

    // The row's component as the list box made it, which takes the row's clicks.
    static juce::Component& rowComponent(DirectoryColumn& column, const juce::String& text)
    {
        const int row = rowOf(column, text);
        column.getList().scrollToEnsureRowIsOnscreen(row);
        return *column.getList().getComponentForRowNumber(row)->getParentComponent();
    }

    // A click on a row, as the user's; with Ctrl held it adds to the selection.
    void clickRow(int columnIndex, const juce::String& text, bool ctrl = false)
    {
        auto& row = rowComponent(folderColumn(columnIndex), text);
        const juce::ModifierKeys mods(juce::ModifierKeys::leftButtonModifier
                                      | (ctrl ? juce::ModifierKeys::ctrlModifier : 0));
        mouseEventAt(row, { 30, 10 }, down, mods);
        mouseEventAt(row, { 30, 10 }, up, mods);
        settle();
    }

    // A double click on the row, the new name typed and Return pressed.
    void renameRow(int columnIndex, const juce::String& from, const juce::String& to)
    {
        auto& column = folderColumn(columnIndex);
        auto& row = rowComponent(column, from);
        row.mouseDoubleClick(juce::MouseEvent(juce::Desktop::getInstance().getMainMouseSource(), { 30.0f, 10.0f }, {},
                                              0.0f, 0.0f, 0.0f, 0.0f, 0.0f, &row, &row, juce::Time::getCurrentTime(),
                                              { 30.0f, 10.0f }, juce::Time::getCurrentTime(), 2, false));
        type(column, from, to, juce::KeyPress::returnKey);
    }

    // In the row's open name editor: the text typed (unless empty), then the key.
    void type(DirectoryColumn& column, const juce::String& row, const juce::String& text, int key)
    {
        auto* input = dynamic_cast<EditableLabel*>(rowComponent(column, row).getChildComponent(0)->getChildComponent(0));
        ASSERT_TRUE(input != nullptr && input->isEditorVisible()) << row;
        if (text.isNotEmpty())
            input->getEditor()->setText(text, false);
        input->getEditor()->keyPressed(juce::KeyPress(key));
        settle();
    }

    // The alert shown last, answered by a click on the button with that text.
    void answer(const juce::String& buttonText)
    {
        auto* alert = browser().getLastAlert();
        ASSERT_TRUE(alert != nullptr && alert->isVisible());
        for (int i = 0; i < alert->getNumButtons(); ++i)
            if (alert->getButton(i)->getButtonText() == buttonText)
                return click(*alert->getButton(i)), settle();
        FAIL() << "no button " << buttonText << " in \"" << alert->getMessage() << "\"";
    }

    juce::String alertText()
    {
        auto* alert = browser().getLastAlert();
        return alert != nullptr && alert->isVisible() ? alert->getMessage() : juce::String();
    }

    // Drops the source column's selection onto a folder row of the target
    // column, as the browser delivers a drop.
    void dropSelection(int sourceIndex, int targetIndex, const juce::String& folderRow)
    {
        auto& target = folderColumn(targetIndex);
        const auto at = target.getLocalPoint(&rowComponent(target, folderRow), juce::Point<int>(30, 10));
        const juce::DragAndDropTarget::SourceDetails details(ColumnBrowser::dragDescription,
                                                             &folderColumn(sourceIndex).getList(), at);
        ASSERT_TRUE(target.isInterestedInDragSource(details));
        target.itemDragEnter(details);
        target.itemDropped(details);
        settle();
    }

    static bool trashHolds(const juce::String& name)
    {
        const auto trash = juce::File(juce::SystemStats::getEnvironmentVariable("XDG_DATA_HOME", {})).getChildFile("Trash");
        return trash.getChildFile("files/" + name).exists() && trash.getChildFile("info/" + name + ".trashinfo").exists();
    }

    ScopedUserFolder user;
    Desktop desktop;
    std::unique_ptr<Tavinor> processor;
    PresetCollection* collection = nullptr;
    std::unique_ptr<TavinorPresetBrowser> window;
};
} // namespace

TEST_F(PresetBrowserTest, SelectingLoadsAndTheBrowserFollowsTheCurrentPreset)
{
    EXPECT_EQ(columns(), "/");
    EXPECT_EQ(window->getTitle(), "Presets");
    clickRow(0, "Echoes");
    clickRow(1, "Slapback");
    EXPECT_EQ(columns(), "/ /Echoes [Slapback]");
    EXPECT_EQ(currentPreset(), "Echoes/Slapback.tnprst");
    EXPECT_EQ(processor->getParameterManager().getText(Tavinor::kPresetName), "Slapback");
    EXPECT_EQ(window->getTitle(), "Presets - Slapback");
    ASSERT_NE(infoColumn(), nullptr);
    EXPECT_EQ(infoColumn()->getNameLabel().getText(), "Slapback");
    EXPECT_EQ(infoColumn()->getAuthorLabel().getText(), "Orv Group");
    writeScreenshot(desktop, "preset-browser");

    // Restoring the default shows the folder; a preset loaded elsewhere is followed.
    click(window->getRestoreDefaultButton());
    settle();
    EXPECT_TRUE(processor->isDefaultPresetApplied(collection));
    EXPECT_EQ(columns(), "/ /Echoes");
    window->presetChanged(collection);
    settle();
    EXPECT_EQ(columns(), "/ /Echoes") << "the default is no file to show";
    processor->selectNextPreset(collection);
    settle();
    EXPECT_EQ(columns(), "/ /Echoes [Triplet Bounce]");

    // A rescan keeps what is shown.
    click(window->getRescanButton());
    settle();
    EXPECT_EQ(columns(), "/ /Echoes [Triplet Bounce]");
}

TEST_F(PresetBrowserTest, OnlyTheUsersRatingIsWritten)
{
    clickRow(0, "Limiter");
    const auto untouched = preset("Limiter/Endless Dub").loadFileAsString();
    clickRow(1, "Endless Dub");
    clickRow(1, "Limited Slap");
    EXPECT_EQ(preset("Limiter/Endless Dub").loadFileAsString(), untouched) << "looking writes nothing";

    auto& stars = infoColumn()->getRating();
    click(stars, { stars.getWidth() - 3, 5 });
    EXPECT_EQ(stars.getRating(), 5);
    const auto xml = juce::parseXML(preset("Limiter/Limited Slap"));
    ASSERT_NE(xml, nullptr);
    EXPECT_EQ(xml->getIntAttribute("rating"), 5);
    clickRow(1, "Endless Dub");
    clickRow(1, "Limited Slap");
    EXPECT_EQ(infoColumn()->getRating().getRating(), 5);

    // The rating is all that changes: what this build does not know of the
    // file (a newer version's parameter, data of another program) stays.
    const auto future = preset("Limiter/From The Future");
    const juce::String unknown = "<param name=\"Line 5 Level\" value=\"0.7\"/><Notes>Keep me</Notes>";
    ASSERT_TRUE(future.replaceWithText(untouched.replace("</Preset>", unknown + "</Preset>")));
    click(window->getRescanButton());
    settle();
    clickRow(1, "From The Future");
    auto& futureStars = infoColumn()->getRating();
    click(futureStars, { 3, 5 });
    const auto rated = juce::parseXML(future);
    ASSERT_NE(rated, nullptr);
    EXPECT_EQ(rated->getIntAttribute("rating"), futureStars.getRating());
    EXPECT_TRUE(rated->toString().contains("Line 5 Level")) << rated->toString();
    EXPECT_TRUE(rated->toString().contains("Keep me")) << rated->toString();

    // A file that cannot be written keeps its rating, and the stars say so too.
    const int kept = futureStars.getRating();
    const auto keptText = future.loadFileAsString();
    ASSERT_TRUE(future.setReadOnly(true));
    click(futureStars, { futureStars.getWidth() - 3, 5 });
    EXPECT_EQ(alertText(), "The rating of \"From The Future\" could not be saved.");
    answer("OK");
    EXPECT_EQ(futureStars.getRating(), kept);
    EXPECT_EQ(future.loadFileAsString(), keptText);
    future.setReadOnly(false);
}

TEST_F(PresetBrowserTest, RenamingInPlaceRenamesOnTheDiskAndRefusesClashes)
{
    clickRow(0, "Echoes");
    clickRow(1, "Slapback");
    processor->setPresetModified(true);
    // The current preset keeps being current, unsaved changes and all.
    renameRow(1, "Slapback", "Short Slap");
    EXPECT_FALSE(preset("Echoes/Slapback").exists());
    EXPECT_TRUE(preset("Echoes/Short Slap").existsAsFile());
    EXPECT_EQ(columns(), "/ /Echoes [Short Slap]");
    EXPECT_EQ(currentPreset(), "Echoes/Short Slap.tnprst");
    EXPECT_TRUE(processor->isPresetModified(collection));
    EXPECT_EQ(processor->getParameterManager().getText(Tavinor::kPresetName), "Short Slap");

    // A name that is taken is refused, said and left as it was.
    renameRow(1, "Short Slap", "Triplet Bounce");
    EXPECT_EQ(alertText(), "The preset \"Short Slap\" could not be renamed to \"Triplet Bounce\".");
    answer("OK");
    EXPECT_TRUE(preset("Echoes/Short Slap").existsAsFile());
    EXPECT_EQ(columns(), "/ /Echoes [Short Slap]");

    // A name too long for the disk: the one-line alert that says so quotes it
    // shortened and stays inside the window.
    renameRow(1, "Short Slap", juce::String::repeatedString("Very Long Slap ", 30));
    EXPECT_TRUE(alertText().startsWith("The preset \"Short Slap\" could not be renamed to \"Very Long Slap"));
    EXPECT_LE(browser().getLastAlert()->getWidth(), window->getWidth()) << alertText();
    answer("OK");
    EXPECT_TRUE(preset("Echoes/Short Slap").existsAsFile());
}

TEST_F(PresetBrowserTest, MovesAskFirstAndKeepTheCurrentPresetCurrent)
{
    clickRow(0, "Echoes");
    clickRow(1, "Slapback");
    clickRow(1, "Haas Wide Echo", true);

    // Cancelled: nothing moves.
    dropSelection(1, 0, "Limiter");
    EXPECT_EQ(alertText(), "Do you really want to move selected items?");
    answer("Cancel");
    EXPECT_TRUE(preset("Echoes/Slapback").existsAsFile());

    dropSelection(1, 0, "Limiter");
    answer("Yes");
    for (const char* name : { "Slapback", "Haas Wide Echo" })
    {
        EXPECT_FALSE(preset(juce::String("Echoes/") + name).exists()) << name;
        EXPECT_TRUE(preset(juce::String("Limiter/") + name).existsAsFile()) << name;
    }
    // The last one selected was loaded; it stays current where it went.
    EXPECT_EQ(currentPreset(), "Limiter/Haas Wide Echo.tnprst");
    EXPECT_EQ(columns(), "/ /Limiter [Haas Wide Echo]");

    // A preset onto one of the same name asks to replace it; the old one goes to the trash.
    ASSERT_TRUE(preset("Echoes/Slapback").replaceWithText(preset("Limiter/Slapback").loadFileAsString()));
    collection->rescan();
    settle();
    clickRow(0, "Echoes");
    clickRow(1, "Slapback");
    dropSelection(1, 0, "Limiter");
    answer("Yes");
    EXPECT_EQ(alertText(), "Destination directory already contains some of moved presets.\nDo you want to replace them?");
    answer("Replace");
    EXPECT_FALSE(preset("Echoes/Slapback").exists());
    EXPECT_TRUE(trashHolds("Slapback.tnprst"));

    // A folder into its own sub-folder is refused.
    ASSERT_TRUE(presets().getChildFile("Limiter/Inner").createDirectory());
    collection->rescan();
    settle();
    clickRow(0, "Limiter");
    dropSelection(0, 1, "Inner");
    answer("Yes");
    EXPECT_EQ(alertText(), "You can not move directory to itself or to its subdirectory.");
    answer("OK");
    EXPECT_TRUE(presets().getChildFile("Limiter/Inner").isDirectory());
}

TEST_F(PresetBrowserTest, DeletingAsksAndSaysWhenTheTrashRefuses)
{
    clickRow(0, "Modulation");
    clickRow(1, "Tape Wow");
    click(window->getDeleteButton());
    writeScreenshot(desktop, "preset-browser-delete");
    EXPECT_EQ(alertText(), "Do you really want to delete selected items?");
    answer("Cancel");
    EXPECT_TRUE(preset("Modulation/Tape Wow").existsAsFile());

    click(window->getDeleteButton());
    answer("Yes");
    EXPECT_FALSE(preset("Modulation/Tape Wow").exists());
    EXPECT_TRUE(trashHolds("Tape Wow.tnprst"));
    EXPECT_EQ(columns(), "/ /Modulation");

    // A trash that cannot take it: reported, the preset and its row stay.
    clickRow(1, "Random Drift");
    const auto trash = juce::File(juce::SystemStats::getEnvironmentVariable("XDG_DATA_HOME", {})).getChildFile("Trash");
    ASSERT_TRUE(trash.getChildFile("info").deleteRecursively());
    ASSERT_TRUE(trash.getChildFile("info").replaceWithText("in the way"));
    click(window->getDeleteButton());
    answer("Yes");
    EXPECT_EQ(alertText(), "\"Random Drift\" could not be moved to the trash.");
    answer("OK");
    trash.getChildFile("info").deleteFile();
    EXPECT_TRUE(preset("Modulation/Random Drift").existsAsFile());
    EXPECT_GE(rowOf(folderColumn(1), "Random Drift"), 0);
}

TEST_F(PresetBrowserTest, ToolbarMakesFoldersAndCopiesOnePresetAtATime)
{
    clickRow(0, "Rhythmic");
    EXPECT_TRUE(window->getNewFolderButton().isEnabled());
    EXPECT_FALSE(window->getCopyButton().isEnabled()) << "a folder is selected";
    click(window->getNewFolderButton());
    click(window->getNewFolderButton());
    settle();
    EXPECT_TRUE(presets().getChildFile("Rhythmic/New folder").isDirectory());
    EXPECT_TRUE(presets().getChildFile("Rhythmic/New folder (2)").isDirectory());
    EXPECT_EQ(folderColumn(1).getRowText(1), "New folder (2)");

    clickRow(1, "Serial Cascade");
    EXPECT_TRUE(window->getCopyButton().isEnabled());
    click(window->getCopyButton());
    settle();
    EXPECT_TRUE(preset("Rhythmic/Serial Cascade (2)").existsAsFile());
    EXPECT_GE(rowOf(folderColumn(1), "Serial Cascade (2)"), 0);
    clickRow(1, "Offbeat Pre-delay", true);
    EXPECT_FALSE(window->getCopyButton().isEnabled()) << "two presets are selected";
    EXPECT_TRUE(window->getDeleteButton().isEnabled());
    clickRow(1, "Mixed 6 Three Taps and a Tail");
    writeScreenshot(desktop, "preset-browser-long-name");
}

// A new folder is offered for its name at once, beside the current preset,
// which stays highlighted: Escape keeps "New folder", Return the name typed.
TEST_F(PresetBrowserTest, ANewFolderIsOfferedForItsName)
{
    clickRow(0, "Echoes");
    clickRow(1, "Slapback");
    const struct
    {
        const char* made;
        const char* typed;
        int key;
        const char* folder;
    } cases[] = { { "New folder", "", juce::KeyPress::escapeKey, "New folder" },
                  { "New folder (2)", "Dub", juce::KeyPress::returnKey, "Dub" } };
    for (const auto& c : cases)
    {
        click(window->getNewFolderButton());
        settle();
        writeScreenshot(desktop, "preset-browser-new-folder");
        type(folderColumn(1), c.made, c.typed, c.key);
        EXPECT_TRUE(presets().getChildFile("Echoes").getChildFile(c.folder).isDirectory()) << c.folder;
        EXPECT_EQ(columns(), "/ /Echoes [Slapback]") << c.folder;
        EXPECT_TRUE(folderColumn(1).getList().isRowSelected(rowOf(folderColumn(1), "Slapback"))) << c.folder;
    }
}

TEST_F(PresetBrowserTest, LinesAreRestoredAndLockedFromTheBottomRow)
{
    auto& pm = processor->getParameterManager();
    const int feedback = Tavinor::getLineParameterBase(1) + Tavinor::kFeedback;
    const float initial = pm.getNormalisedValue(feedback);
    pm.setNormalisedValue(feedback, 0.9f);
    click(window->getRestoreLineButton(1));
    EXPECT_FLOAT_EQ(pm.getNormalisedValue(feedback), initial);

    // Locked, line 2 keeps its values when a preset is loaded.
    auto& lock = window->getLockButton(1);
    click(lock);
    settle();
    EXPECT_TRUE(processor->getLinePadlock(1)->isLocked());
    EXPECT_TRUE(lock.getToggleState());
    pm.setNormalisedValue(feedback, 0.9f);
    clickRow(0, "Echoes");
    clickRow(1, "Ping Pong Eighths");
    EXPECT_FLOAT_EQ(pm.getNormalisedValue(feedback), 0.9f);
    writeScreenshot(desktop, "preset-browser-locked");

    // Twice unlocks; the editor's own padlock moves the button too.
    click(lock);
    settle();
    EXPECT_FALSE(processor->getLinePadlock(1)->isLocked());
    EXPECT_FALSE(lock.getToggleState());
    processor->getLinePadlock(3)->toggle();
    settle();
    EXPECT_TRUE(window->getLockButton(3).getToggleState());

    // The rows sit side by side on the bottom line, clear of "OK".
    EXPECT_EQ(window->getRestoreRow().getY(), window->getOkButton().getParentComponent()->getY());
    EXPECT_LT(window->getLockRow().getRight(), window->getOkButton().getParentComponent()->getX());
    EXPECT_EQ(window->getRestoreDefaultButton().getButtonText(), "All lines");
}
