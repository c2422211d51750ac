#include "TestHelpers.h"
#include "ToolkitTestSupport.h"
#include "toolkit/EmbeddedFileChooserLauncher.h"
#include "toolkit/FileChooserWindow.h"
#include "toolkit/PathComponent.h"

#include <memory>
#include <vector>

namespace
{
// Every answer a chooser gave, in order.
struct Answers
{
    FileChooserLauncher::Callback record()
    {
        return [this](const juce::File& f) { files.push_back(f); };
    }
    std::vector<juce::File> files;
};
} // namespace

class EmbeddedFileChooserTest : public ToolkitTest
{
protected:
    void SetUp() override
    {
        ToolkitTest::SetUp();
        desktop.setSize(800, 600);
        desktop.setVisible(true);
        for (const auto* name : { "Dub.tnprst", "Slapback.tnprst", "notes.txt" })
            folder.getChild(name).replaceWithText("x");
        folder.getChild("Live").createDirectory();
    }

    FileChooserLauncher::Request request(FileChooserLauncher::Mode mode, const juce::File& initial)
    {
        FileChooserLauncher::Request r;
        r.title = "Presets";
        r.initialFile = initial;
        r.pattern = "*.tnprst";
        r.mode = mode;
        return r;
    }

    FileChooserWindow& open(FileChooserLauncher::Mode mode, const juce::File& initial, Answers& answers)
    {
        launcher->launch(request(mode, initial), answers.record());
        auto* window = launcher->getWindow();
        EXPECT_NE(window, nullptr);
        return *window;
    }

    static juce::ListBox& listOf(FileChooserWindow& window)
    {
        return *dynamic_cast<juce::ListBox*>(window.getBrowser().getDisplayComponent());
    }

    // The folder is read on the browser's own thread: waits until it shows
    // this many rows.
    static int waitForRows(FileChooserWindow& window, int expected)
    {
        auto& list = listOf(window);
        for (int i = 0; i < 400 && list.getModel()->getNumRows() != expected; ++i)
        {
            juce::Thread::sleep(5);
            TestHelpers::pumpMessages();
        }
        TestHelpers::pumpMessages();
        // The list learns of the last rows by a message the browser's thread
        // may not have posted yet when the count is reached: bring its rows up
        // to date here rather than race it.
        list.updateContent();
        return list.getModel()->getNumRows();
    }

    // The list's row showing the file, clicked or double-clicked as a user would.
    static void clickRow(FileChooserWindow& window, const juce::File& file, int clicks)
    {
        auto& list = listOf(window);
        auto* display = window.getBrowser().getDisplayComponent();
        display->setSelectedFile(file);
        const int row = list.getSelectedRow();
        list.deselectAllRows();
        auto* rowComponent = list.getComponentForRowNumber(row);
        ASSERT_NE(rowComponent, nullptr) << file.getFileName();
        click(*rowComponent, { 20, 5 });
        if (clicks == 2)
        {
            auto source = juce::Desktop::getInstance().getMainMouseSource();
            const juce::Point<float> at(20.0f, 5.0f);
            const auto now = juce::Time::getCurrentTime();
            rowComponent->mouseDoubleClick(juce::MouseEvent(source, at, {}, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
                                                            rowComponent, rowComponent, now, at, now, 2, false));
        }
    }

    static juce::TextEditor& fileNameField(FileChooserWindow& window)
    {
        for (auto* child : window.getBrowser().getChildren())
            if (auto* field = dynamic_cast<juce::TextEditor*>(child))
                return *field;
        static juce::TextEditor none;
        ADD_FAILURE() << "no file name field";
        return none;
    }

    // A name typed into the field and Return pressed there.
    static void typeName(FileChooserWindow& window, const juce::String& name)
    {
        auto& field = fileNameField(window);
        field.setText(name, true);
        field.keyPressed(juce::KeyPress(juce::KeyPress::returnKey));
        TestHelpers::pumpMessages();
    }

    TestHelpers::TempFolder folder;
    TestDesktop desktop;
    std::unique_ptr<EmbeddedFileChooserLauncher> launcher = std::make_unique<EmbeddedFileChooserLauncher>(desktop);
};

TEST_F(EmbeddedFileChooserTest, TheChooserIsAWindowInsideTheParentCentredAndSizedToFit)
{
    Answers answers;
    auto& window = open(FileChooserLauncher::openFile, folder.get(), answers);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isOnDesktop());
    EXPECT_EQ(window.getTopLevelComponent(), &desktop);
    EXPECT_EQ(window.getParentComponent(), &window.getCoveringWindow());
    EXPECT_TRUE(window.getCoveringWindow().isVisible());
    EXPECT_EQ(window.getBounds(), juce::Rectangle<int>(80, 90, 640, 420));
    EXPECT_EQ(window.getTitle(), "Presets");
    EXPECT_EQ(desktop.getNumChildComponents(), 1);

    // A parent smaller than the chooser: the chooser takes the parent's size.
    TestDesktop small;
    small.setSize(500, 300);
    small.area = { 0, 0, 500, 300 };
    EmbeddedFileChooserLauncher smallLauncher(small);
    smallLauncher.launch(request(FileChooserLauncher::openFile, folder.get()), answers.record());
    ASSERT_NE(smallLauncher.getWindow(), nullptr);
    EXPECT_EQ(smallLauncher.getWindow()->getBounds(), juce::Rectangle<int>(0, 0, 500, 300));

    // A small field asking inside an editor gets a chooser the editor's size.
    juce::Component field;
    field.setBounds(10, 500, 200, 20);
    desktop.addAndMakeVisible(field);
    EmbeddedFileChooserLauncher fieldLauncher(field);
    fieldLauncher.launch(request(FileChooserLauncher::openFile, folder.get()), answers.record());
    ASSERT_NE(fieldLauncher.getWindow(), nullptr);
    EXPECT_EQ(fieldLauncher.getWindow()->getBounds(), juce::Rectangle<int>(80, 90, 640, 420));
    EXPECT_EQ(fieldLauncher.getWindow()->getCoveringWindow().getParentComponent(), &desktop);
    EXPECT_TRUE(answers.files.empty());
}

TEST_F(EmbeddedFileChooserTest, BrowseInAPathFieldChoosesInsideTheEditor)
{
    if (juce::FileChooser::isPlatformDialogAvailable())
        GTEST_SKIP() << "the desktop's own dialog opens here";
    PathComponent path;
    path.setBounds(10, 500, 400, 22);
    path.setFilePattern("*.tnprst");
    path.setInitialLocation(folder.get());
    desktop.addAndMakeVisible(path);

    click(path.getBrowseButton(), { 3, 3 });
    FileChooserWindow* window = nullptr;
    for (auto* c : desktop.getChildren())
        for (auto* inner : c->getChildren())
            if (auto* found = dynamic_cast<FileChooserWindow*>(inner))
                window = found;
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(window->isOnDesktop());
    EXPECT_EQ(window->getWidth(), EmbeddedFileChooserLauncher::kWidth);
    waitForRows(*window, 3);
    clickRow(*window, folder.getChild("Slapback.tnprst"), 2);
    EXPECT_EQ(path.getFile(), folder.getChild("Slapback.tnprst"));
    TestHelpers::pumpMessages();
}

TEST_F(EmbeddedFileChooserTest, OpenModeShowsMatchingFilesAndAnswersOnceWithTheChosenOne)
{
    const struct
    {
        const char* name;
        const char* file;
        bool doubleClick;
    } cases[] = { { "click and OK", "Slapback.tnprst", false }, { "double click", "Dub.tnprst", true } };

    for (const auto& c : cases)
    {
        Answers answers;
        auto& window = open(FileChooserLauncher::openFile, folder.get(), answers);
        // The folder and the two presets; the text file does not match.
        EXPECT_EQ(waitForRows(window, 3), 3) << c.name;
        EXPECT_FALSE(window.getOkButton().isEnabled()) << "nothing chosen yet";
        clickRow(window, folder.getChild(c.file), c.doubleClick ? 2 : 1);
        if (!c.doubleClick)
        {
            EXPECT_EQ(fileNameField(window).getText(), c.file);
            EXPECT_TRUE(window.getOkButton().isEnabled());
            EXPECT_TRUE(answers.files.empty()) << "a click only selects";
            click(window.getOkButton(), { 3, 3 });
        }
        ASSERT_EQ(answers.files.size(), 1u) << c.name;
        EXPECT_EQ(answers.files[0], folder.getChild(c.file)) << c.name;
        EXPECT_EQ(launcher->getWindow(), nullptr);
        EXPECT_FALSE(window.getCoveringWindow().isVisible()) << c.name;

        // Answered once: later presses of the closed window change nothing.
        window.keyPressed(juce::KeyPress(juce::KeyPress::escapeKey));
        window.chooseSelectedFile();
        EXPECT_EQ(answers.files.size(), 1u) << c.name;
        TestHelpers::pumpMessages();
        EXPECT_EQ(desktop.getNumChildComponents(), 0) << "the closed window is gone";
    }
}

TEST_F(EmbeddedFileChooserTest, EveryWayOfCancellingAnswersOnceWithTheEmptyFile)
{
    const char* const ways[] = { "Cancel", "Escape", "close button", "Escape in the name field" };
    for (const auto* way : ways)
    {
        Answers answers;
        auto& window = open(FileChooserLauncher::saveFile, folder.getChild("Dub.tnprst"), answers);
        const juce::String w(way);
        if (w == "Cancel")
            click(window.getCancelButton(), { 3, 3 });
        else if (w == "Escape")
            EXPECT_TRUE(window.keyPressed(juce::KeyPress(juce::KeyPress::escapeKey)));
        else if (w == "close button")
            click(window.getCloseButton(), { 3, 3 });
        else
        {
            fileNameField(window).keyPressed(juce::KeyPress(juce::KeyPress::escapeKey));
            TestHelpers::pumpMessages();
        }
        ASSERT_EQ(answers.files.size(), 1u) << way;
        EXPECT_EQ(answers.files[0], juce::File()) << way;
        EXPECT_EQ(launcher->getWindow(), nullptr) << way;
        TestHelpers::pumpMessages();
    }
}

TEST_F(EmbeddedFileChooserTest, SaveModeAsksBeforeReplacingAndTakesATypedName)
{
    const auto existing = folder.getChild("Dub.tnprst");
    Answers answers;
    auto& window = open(FileChooserLauncher::saveFile, existing, answers);
    EXPECT_EQ(fileNameField(window).getText(), "Dub.tnprst");

    // "No" keeps the chooser open for another name; "Yes" answers.
    for (const int answer : { (int) Orv::AlertWindow::No, (int) Orv::AlertWindow::Yes })
    {
        click(window.getOkButton(), { 3, 3 });
        auto* alert = window.getOverwriteAlert();
        ASSERT_NE(alert, nullptr);
        EXPECT_TRUE(alert->isVisible());
        EXPECT_EQ(alert->getMessage(), "\"Dub.tnprst\" already exists. Do you want to replace it?");
        EXPECT_TRUE(answers.files.empty()) << "nothing before the answer";
        // The question sits above the chooser, inside the same parent.
        EXPECT_EQ(alert->getTopLevelComponent(), &desktop);
        EXPECT_FALSE(alert->isOnDesktop());
        click(*alert->getButton(answer == Orv::AlertWindow::Yes ? 0 : 1), { 3, 3 });
        if (answer == Orv::AlertWindow::No)
        {
            EXPECT_TRUE(answers.files.empty());
            EXPECT_EQ(launcher->getWindow(), &window);
        }
    }
    ASSERT_EQ(answers.files.size(), 1u);
    EXPECT_EQ(answers.files[0], existing);
    TestHelpers::pumpMessages();

    // Without the warning the existing file is taken at once.
    auto unwarned = request(FileChooserLauncher::saveFile, existing);
    unwarned.warnAboutOverwriting = false;
    launcher->launch(unwarned, answers.record());
    click(launcher->getWindow()->getOkButton(), { 3, 3 });
    ASSERT_EQ(answers.files.size(), 2u);
    EXPECT_EQ(answers.files[1], existing);
    TestHelpers::pumpMessages();

    // A folder's name typed opens the folder; a new name there is the answer.
    auto& typed = open(FileChooserLauncher::saveFile, folder.get(), answers);
    EXPECT_FALSE(typed.getOkButton().isEnabled()) << "no name yet";
    typeName(typed, "Live");
    EXPECT_EQ(typed.getBrowser().getRoot(), folder.getChild("Live"));
    EXPECT_EQ(answers.files.size(), 2u);
    typeName(typed, "Night Drive.tnprst");
    ASSERT_EQ(answers.files.size(), 3u);
    EXPECT_EQ(answers.files[2], folder.getChild("Live").getChildFile("Night Drive.tnprst"));
    EXPECT_FALSE(answers.files[2].exists()) << "choosing writes nothing";
}

TEST_F(EmbeddedFileChooserTest, ReplacedOrDestroyedChoosersNeverAnswer)
{
    Answers first, second;
    open(FileChooserLauncher::openFile, folder.get(), first);
    auto& replacement = open(FileChooserLauncher::openFile, folder.get(), second);
    TestHelpers::pumpMessages();
    EXPECT_TRUE(first.files.empty()) << "the replaced chooser is dropped";
    EXPECT_EQ(desktop.getNumChildComponents(), 1) << "one chooser at a time";
    click(replacement.getCancelButton(), { 3, 3 });
    EXPECT_EQ(second.files, std::vector<juce::File>({ juce::File() }));

    // The launcher goes while its chooser is open, asking about a file.
    Answers third;
    auto& asking = open(FileChooserLauncher::saveFile, folder.getChild("Dub.tnprst"), third);
    click(asking.getOkButton(), { 3, 3 });
    ASSERT_NE(asking.getOverwriteAlert(), nullptr);
    launcher.reset();
    TestHelpers::pumpMessages();
    EXPECT_TRUE(third.files.empty());
    EXPECT_EQ(desktop.getNumChildComponents(), 0) << "no window or cover left behind";

    // The parent goes first: the chooser closes unanswered, and the launcher
    // answers later launches as cancelled, with nothing left to point at.
    Answers fourth, fifth;
    auto parent = std::make_unique<TestDesktop>();
    parent->setSize(800, 600);
    EmbeddedFileChooserLauncher orphan(*parent);
    orphan.launch(request(FileChooserLauncher::openFile, folder.get()), fourth.record());
    ASSERT_NE(orphan.getWindow(), nullptr);
    parent.reset();
    EXPECT_EQ(orphan.getWindow(), nullptr);
    orphan.launch(request(FileChooserLauncher::openFile, folder.get()), fifth.record());
    TestHelpers::pumpMessages();
    EXPECT_TRUE(fourth.files.empty());
    EXPECT_EQ(fifth.files, std::vector<juce::File>({ juce::File() }));
}
