#include "PageTestSupport.h"

#include "editor/HostParametersComponent.h"
#include "editor/MidiControlComponent.h"
#include "toolkit/AlertWindow.h"

namespace
{
using namespace PageTest;

class MapPages : public Fixture
{
protected:
    void SetUp() override
    {
        Fixture::SetUp();
        processor = makeProcessor();
        ASSERT_NE(processor, nullptr);
        hostPage = std::make_unique<HostParametersComponent>(*processor);
        hostPage->setFileExtension("*.tnhpmap");
        hostPage->getList().setMenu(makeParameterMenu(processor->getParameterManager()));
        hostPage->setFileChooserLauncher(&chooser);
        midiPage = std::make_unique<MidiControlComponent>(processor->getMidiControl(),
                                                          processor->getParameterManager(), ".tnccmap", "*.tnccmap");
        midiPage->setFileChooserLauncher(&chooser);
        editor.setLookAndFeel(&laf);
        for (auto* page : { (juce::Component*) hostPage.get(), (juce::Component*) midiPage.get() })
        {
            editor.addAndMakeVisible(page);
            page->setBounds(0, 0, 1180, 460);
        }
        TestHelpers::pumpMessages();
    }

    void TearDown() override
    {
        hostPage.reset();
        midiPage.reset();
        editor.setLookAndFeel(nullptr);
        processor.reset();
        Fixture::TearDown();
    }

    juce::String hostMapText() { return processor->createHostParametersMapXml()->toString(); }
    juce::String midiMapText() { return processor->getMidiControl().createXml()->toString(); }
    Parameter* param(int id) { return processor->getParameterManager().getParameter(id); }

    // A picture of the editor with only this page on it: the pages share a
    // place, as the options window's tabs do, and one is shown at a time.
    void screenshotOf(juce::Component& page, const juce::String& name)
    {
        for (auto* other : { (juce::Component*) hostPage.get(), (juce::Component*) midiPage.get() })
            other->setVisible(other == &page);
        writeScreenshot(editor, name);
        for (auto* other : { (juce::Component*) hostPage.get(), (juce::Component*) midiPage.get() })
            other->setVisible(true);
    }

    // Answers the page's chooser with a file holding text.
    juce::File answerWith(const juce::String& name, const juce::String& text)
    {
        chooser.answer = temp.getChild(name);
        chooser.answer.replaceWithText(text);
        return chooser.answer;
    }

    // Clicks the button of the alert on show whose caption is text.
    void answerAlert(const juce::String& text)
    {
        auto* alert = findShown<Orv::AlertWindow>(editor);
        ASSERT_NE(alert, nullptr);
        for (int i = 0; i < alert->getNumButtons(); ++i)
            if (alert->getButton(i)->getButtonText() == text)
                return click(*alert->getButton(i));
        FAIL() << "no button " << text;
    }

    std::unique_ptr<Tavinor> processor;
    Desktop editor;
    AnsweringChooser chooser;
    TestHelpers::TempFolder temp;
    std::unique_ptr<HostParametersComponent> hostPage;
    std::unique_ptr<MidiControlComponent> midiPage;
};

TEST_F(MapPages, AHostMapLoadedFromAFileShowsOnThePageAndDrivesTheHostParameters)
{
    answerWith("Studio.tnhpmap", "<HostParametersMap name=\"tavinor\">"
                                 "<assign hostParam=\"1\" pluginParam=\"Line 1 Feedback\"/>"
                                 "<assign hostParam=\"128\" pluginParam=\"Dry/Wet\"/></HostParametersMap>");
    click(hostPage->getLoadButton());
    EXPECT_EQ(chooser.lastRequest.title, "Load Host Parameters Map file");
    EXPECT_EQ(chooser.lastRequest.pattern, "*.tnhpmap");
    TestHelpers::pumpMessages();

    EXPECT_EQ(hostPage->getList().getChoice(0)->getText(), "Line 1 Feedback");
    EXPECT_EQ(hostPage->getList().getChoice(127)->getText(), "Dry/Wet");
    EXPECT_EQ(hostPage->getList().getChoice(1)->getText(), "- none -");
    EXPECT_EQ(findShown<Orv::AlertWindow>(editor), nullptr);

    processor->setParameter(0, 0.25f);
    EXPECT_FLOAT_EQ(param(Tavinor::getLineParameterBase(0) + Tavinor::kFeedback)->getNormalisedValue(), 0.25f);
}

TEST_F(MapPages, ABrokenOrForeignMapIsRefusedAndTheMapKeptWhole)
{
    const auto before = hostMapText();
    const struct
    {
        const char* text;
        const char* says;
    } cases[] = {
        { "<HostParametersMap name=\"Tavinor\"><assign", "is damaged" },
        { "<MidiControlMap name=\"Tavinor\"/>", "is not a host parameters map" },
        { "<HostParametersMap name=\"Other\"><assign hostParam=\"1\" pluginParam=\"Dry/Wet\"/></HostParametersMap>",
          "of another product" },
        { "<HostParametersMap name=\"Tavinor\"><assign hostParam=\"1\" pluginParam=\"Dry/Wet\"/>"
          "<assign hostParam=\"2\" pluginParam=\"Line 9 Level\"/></HostParametersMap>",
          "unknown parameter: \"Line 9 Level\"" },
        { "<HostParametersMap name=\"Tavinor\"><assign hostParam=\"129\" pluginParam=\"Dry/Wet\"/></HostParametersMap>",
          "host parameter \"129\", which does not exist" },
        { "<HostParametersMap name=\"Tavinor\"><assign pluginParam=\"Dry/Wet\"/></HostParametersMap>",
          "without a host parameter number" },
        { "<HostParametersMap name=\"Tavinor\"><assign hostParam=\"3\" pluginParam=\"Maximum Delay Time\"/>"
          "</HostParametersMap>",
          "cannot be assigned" },
    };
    for (const auto& c : cases)
    {
        answerWith("Broken.tnhpmap", c.text);
        click(hostPage->getLoadButton());
        TestHelpers::pumpMessages();
        auto* alert = findShown<Orv::AlertWindow>(editor);
        ASSERT_NE(alert, nullptr) << c.text;
        EXPECT_TRUE(alert->getMessage().contains(c.says)) << alert->getMessage();
        EXPECT_TRUE(alert->getMessage().startsWith("\"Broken.tnhpmap\"")) << alert->getMessage();
        EXPECT_EQ(alert->getTitle(), "Tavinor");
        EXPECT_EQ(hostMapText(), before) << c.text;
        screenshotOf(*hostPage, "parameters-map-refused");
        answerAlert("OK");
    }

    // A missing file says so.
    chooser.answer = temp.getChild("Gone.tnhpmap");
    click(hostPage->getLoadButton());
    ASSERT_NE(hostPage->getAlert(), nullptr);
    EXPECT_EQ(hostPage->getAlert()->getMessage(), "\"Gone.tnhpmap\" could not be read.");
    answerAlert("OK");

    // What the file names is quoted on one line and shortened, so that the
    // one-line alert stays inside the editor however long the name is.
    const auto longName = juce::String::repeatedString("Line 1 Feedback ", 40);
    const juce::String longNumber = juce::String::repeatedString("9", 300);
    for (const auto& assign : { "hostParam=\"1\" pluginParam=\"" + longName + "&#10;Level\"",
                                "hostParam=\"" + longNumber + "\" pluginParam=\"Dry/Wet\"" })
    {
        answerWith("Long.tnhpmap", "<HostParametersMap name=\"Tavinor\"><assign " + assign + "/></HostParametersMap>");
        click(hostPage->getLoadButton());
        auto* alert = findShown<Orv::AlertWindow>(editor);
        ASSERT_NE(alert, nullptr);
        EXPECT_FALSE(alert->getMessage().containsChar('\n')) << alert->getMessage();
        EXPECT_TRUE(alert->getMessage().contains("...")) << alert->getMessage();
        EXPECT_LE(alert->getWidth(), editor.getWidth()) << alert->getMessage();
        EXPECT_EQ(hostMapText(), before);
        answerAlert("OK");
    }
}

TEST_F(MapPages, SavingPutsTheMapExtensionOnAndReportsAFailure)
{
    const struct
    {
        const char* chosen;
        const char* written;
    } cases[] = { { "Live", "Live.tnhpmap" }, { "Live.xml", "Live.tnhpmap" }, { "Set.tnhpmap", "Set.tnhpmap" } };
    for (const auto& c : cases)
    {
        chooser.answer = temp.getChild(c.chosen);
        click(hostPage->getSaveButton());
        EXPECT_EQ(chooser.lastRequest.mode, FileChooserLauncher::saveFile);
        EXPECT_TRUE(temp.getChild(c.written).existsAsFile()) << c.chosen;
        if (juce::String(c.chosen) != c.written)
            EXPECT_FALSE(temp.getChild(c.chosen).exists()) << c.chosen;
        if (auto* question = findShown<Orv::AlertWindow>(editor))
            click(*question->getButton(0));
    }

    // The chooser asked about the name the user typed; a map of the name with
    // the extension put on is another file, and replacing it is asked here.
    const auto live = temp.getChild("Live.tnhpmap");
    const auto saved = live.loadFileAsString();
    processor->assignHostParameterByIndex(9, Tavinor::kOutputGain, true);
    chooser.answer = temp.getChild("Live");
    click(hostPage->getSaveButton());
    ASSERT_NE(hostPage->getAlert(), nullptr);
    EXPECT_EQ(hostPage->getAlert()->getMessage(), "\"Live.tnhpmap\" already exists. Do you want to replace it?");
    answerAlert("No");
    EXPECT_EQ(live.loadFileAsString(), saved);
    click(hostPage->getSaveButton());
    answerAlert("Yes");
    EXPECT_TRUE(live.loadFileAsString().contains("Output Gain"));

    // A file in a "folder" that is a file cannot be made; a read-only map is
    // not replaced. Both are told, and the old file stays as it was.
    const auto notAFolder = answerWith("plain.txt", "x").getChildFile("Map.tnhpmap");
    chooser.answer = notAFolder;
    click(hostPage->getSaveButton());
    ASSERT_NE(hostPage->getAlert(), nullptr);
    EXPECT_EQ(hostPage->getAlert()->getMessage(), "\"Map.tnhpmap\" could not be saved. Nothing was changed on the disk.");
    answerAlert("OK");

    const auto kept = answerWith("Kept.tnccmap", "<MidiControlMap name=\"Tavinor\"/>");
    kept.setReadOnly(true);
    processor->getMidiControl().assign(7, param(Tavinor::kDryWet), true);
    click(midiPage->getSaveButton());
    EXPECT_EQ(chooser.lastRequest.title, "Save Midi Control file as");
    EXPECT_EQ(kept.loadFileAsString(), "<MidiControlMap name=\"Tavinor\"/>");
    ASSERT_NE(midiPage->getAlert(), nullptr);
    EXPECT_TRUE(midiPage->getAlert()->isVisible());
    answerAlert("OK");

    // Asked to replace it, the answer Yes meets the same refusal, and says so.
    chooser.answer = temp.getChild("Kept");
    click(midiPage->getSaveButton());
    answerAlert("Yes");
    EXPECT_EQ(kept.loadFileAsString(), "<MidiControlMap name=\"Tavinor\"/>");
    ASSERT_NE(findShown<Orv::AlertWindow>(editor), nullptr);
    EXPECT_EQ(findShown<Orv::AlertWindow>(editor)->getMessage(),
              "\"Kept.tnccmap\" could not be saved. Nothing was changed on the disk.");
    kept.setReadOnly(false);
}

TEST_F(MapPages, ChoosingASlotsParameterMovesItAndClearingAsksFirst)
{
    // Slot 2 (index 1) holds Dry/Wet; the user picks it for slot 5.
    PopupMenuEx menu("short");
    menu.addItem(-1, "- none -", false, true);
    menu.addItem(Tavinor::kOutputGain, "Output Gain", false, true);
    menu.addItem(Tavinor::kDryWet, "Dry/Wet", false, true);
    hostPage->getList().setMenu(menu);
    processor->assignHostParameterByIndex(1, Tavinor::kDryWet, true);
    TestHelpers::pumpMessages();
    auto* slot5 = hostPage->getList().getChoice(4);
    click(slot5->getButton());
    clickMenuRow(editor, 2);
    EXPECT_EQ(processor->getParameterIdForHostIndex(4), Tavinor::kDryWet);
    EXPECT_EQ(processor->getParameterIdForHostIndex(1), -1);
    EXPECT_EQ(hostPage->getList().getChoice(1)->getText(), "- none -");
    EXPECT_EQ(slot5->getText(), "Dry/Wet");

    const auto before = hostMapText();
    click(hostPage->getClearButton());
    answerAlert("No");
    EXPECT_EQ(hostMapText(), before);
    click(hostPage->getClearButton());
    answerAlert("Yes");
    EXPECT_EQ(processor->getParameterIdForHostIndex(4), -1);
    TestHelpers::pumpMessages();
    EXPECT_EQ(slot5->getText(), "- none -");
}

TEST_F(MapPages, TheSlotGridFollowsTheRowsPerColumn)
{
    // Ten rows: 13 columns, the last holding slots 121 to 128 over two empty cells.
    auto& list = hostPage->getList();
    EXPECT_EQ(list.getNumColumns(), 13);
    EXPECT_EQ(list.getChoice(127)->getY(), 20 + 7 * 22 + 1);
    hostPage->setRowsPerColumn(16);
    EXPECT_EQ(list.getNumColumns(), 8);
    EXPECT_EQ(hostPage->getViewport().getHeight(), 16 * 22 + 20 + hostPage->getViewport().getScrollBarThickness());
}

// Wherever the user scrolls the grid to, every slot shown has its own number
// strip on its left, none the following column's.
TEST_F(MapPages, EverySlotShownHasItsOwnNumberWhereverTheGridIsScrolled)
{
    hostPage->setRowsPerColumn(16);
    auto& list = hostPage->getList();
    auto& viewport = hostPage->getViewport();
    auto& bar = viewport.getHorizontalScrollBar();
    const float columnWidth = list.getColumnWidth();
    ASSERT_GT(columnWidth, 100.0f);
    for (double start = 0.0; start <= bar.getMaximumRangeLimit(); start += columnWidth / 7.0)
    {
        bar.setCurrentRangeStart(start); // as a drag of the scroll bar's thumb does
        TestHelpers::pumpMessages();
        const auto shown = viewport.getViewArea();
        int slotsShown = 0;
        for (int slot = 0; slot < list.getNumSlots(); ++slot)
        {
            const auto choice = list.getChoice(slot)->getBounds();
            if (!choice.intersects(shown))
                continue;
            ++slotsShown;
            const int column = slot / list.getRowsPerColumn();
            const juce::Rectangle<int> strip((int) ((float) column * columnWidth), choice.getY(),
                                             list.getNumberStripWidth(), choice.getHeight());
            EXPECT_TRUE(shown.contains(strip)) << "slot " << slot + 1 << " scrolled to " << start;
            EXPECT_TRUE(shown.contains(choice)) << "slot " << slot + 1 << " scrolled to " << start;
        }
        EXPECT_EQ(slotsShown, 3 * 16) << "scrolled to " << start;
    }
}

// A turn of the wheel, whichever way and wherever over the grid, and a click
// on an arrow of its scroll bar step one column.
TEST_F(MapPages, TheWheelAndTheScrollBarsArrowsStepByColumns)
{
    if (!TestHelpers::prepareScreenForWindows())
        GTEST_SKIP() << "needs a display (run under xvfb-run)";
    midiPage->setVisible(false);
    OnScreen screen(editor);
    auto& viewport = hostPage->getViewport();
    auto& bar = viewport.getHorizontalScrollBar();
    const float width = hostPage->getList().getColumnWidth();
    const auto column = [&] { return juce::roundToInt((float) viewport.getViewPositionX() / width); };
    const auto middleOf = [&](juce::Component& c) { return editor.getLocalArea(&c, c.getLocalBounds()).getCentre(); };
    // A notch as X reports it: dx, dy, shift, over the scroll bar, columns.
    constexpr float n = 50.0f / 256.0f;
    for (const auto& [dx, dy, shift, overBar, columns] :
         { std::tuple { 0.0f, -n, false, false, 1 }, { 0.0f, n, false, false, -1 }, { -n, 0.0f, false, false, 1 },
           { 0.0f, -n, true, false, 1 }, { 0.0f, -n, false, true, 1 }, { n, 0.0f, false, true, -1 } })
    {
        viewport.setViewPosition((int) (2.0f * width), 0);
        const auto at = overBar ? middleOf(bar) : middleOf(*hostPage->getList().getChoice(25));
        const juce::MouseWheelDetails wheel { dx, dy, false, false, false };
        const juce::ModifierKeys mods(shift ? juce::ModifierKeys::shiftModifier : 0);
        screen.mouse(at, false, &wheel, mods);
        screen.mouse(at, false, &wheel, mods);
        EXPECT_EQ(column(), 2 + 2 * columns) << dx << " " << dy << " " << shift << " " << overBar;
    }

    // The arrows: 1 and 5 clicks right, then 3 left. (A held arrow repeats
    // its step through JUCE's own button repeat; on a display shared with
    // other tests' windows the pointer is not reliably held over it.)
    juce::Point<int> arrows[2];
    for (auto* child : bar.getChildren())
        if (dynamic_cast<juce::Button*>(child) != nullptr)
            arrows[child->getX() > bar.getWidth() / 2 ? 1 : 0] = middleOf(*child);
    viewport.setViewPosition(0, 0);
    for (const auto& [side, times, expected] : { std::tuple { 1, 1, 1 }, { 1, 5, 6 }, { 0, 3, 3 } })
    {
        for (int i = 0; i < times; ++i)
        {
            screen.mouse(arrows[side], true);
            screen.mouse(arrows[side], false);
        }
        EXPECT_EQ(column(), expected);
    }
}

TEST_F(MapPages, TheDefaultMapChecksKeepTheUsersChoice)
{
    const auto map = temp.getChild("Default.tnhpmap");
    for (auto* page : { (MapFilePage*) hostPage.get(), (MapFilePage*) midiPage.get() })
    {
        auto& check = page->getDefaultMapCheck();
        click(check.getCheckBox());
        check.getPathComponent().fileChosen(map);
    }
    EXPECT_TRUE(processor->isDefaultHostParametersMapEnabled());
    EXPECT_EQ(processor->getDefaultHostParametersMapFile(), map.getFullPathName());
    EXPECT_TRUE(processor->getMidiControl().isDefaultMapEnabled());
    EXPECT_EQ(processor->getMidiControl().getDefaultMapFile(), map.getFullPathName());

    // Unchecked, new instances start with the built-in map again.
    click(hostPage->getDefaultMapCheck().getCheckBox());
    EXPECT_FALSE(processor->isDefaultHostParametersMapEnabled());
}

TEST_F(MapPages, TheMidiPageListsLoadsAndSelectsAssignments)
{
    answerWith("Keys.tnccmap", "<midiccmap application=\"TAVINOR\"><assign CC=\"74\" param=\"Line 1 Filter Cutoff\"/>"
                               "<assign param=\"Dry/Wet\"/></midiccmap>");
    click(midiPage->getLoadButton());
    EXPECT_EQ(chooser.lastRequest.title, "Open Midi Control file");
    TestHelpers::pumpMessages();
    auto& list = midiPage->getList();
    ASSERT_EQ(list.getNumRows(), 2);
    EXPECT_EQ(list.getRow(0).controller, 0);
    EXPECT_EQ(list.getRow(0).parameterName, "Dry/Wet");
    EXPECT_EQ(list.getRow(1).controller, 74);
    EXPECT_TRUE(midiPage->getClearButton().isEnabled());
    EXPECT_FALSE(midiPage->getDeleteButton().isEnabled());

    // A controller out of range refuses the whole map.
    const auto before = midiMapText();
    answerWith("Bad.tnccmap", "<MidiControlMap name=\"Tavinor\"><assign CC=\"1\" param=\"Dry/Wet\"/>"
                              "<assign CC=\"128\" param=\"Output Gain\"/></MidiControlMap>");
    click(midiPage->getLoadButton());
    EXPECT_EQ(midiMapText(), before);
    answerAlert("OK");

    // Clicking the second row in learn mode makes its controller the one learned.
    processor->getMidiControl().setLearning(true);
    const auto cell = list.getCellBounds(1);
    click(list, cell.getCentre());
    EXPECT_EQ(list.getSelectedRow(), 1);
    EXPECT_EQ(processor->getMidiControl().getSelectedController(), 74);
    EXPECT_TRUE(midiPage->getDeleteButton().isEnabled());
    click(midiPage->getDeleteButton());
    TestHelpers::pumpMessages();
    EXPECT_EQ(processor->getMidiControl().getParameterForController(74), nullptr);
    EXPECT_EQ(list.getNumRows(), 1);

    // An empty cell after the last row selects no assignment.
    click(list, list.getCellBounds(5).getCentre());
    EXPECT_EQ(list.getSelectedRow(), 5);
    EXPECT_FALSE(midiPage->getDeleteButton().isEnabled());
}

TEST_F(MapPages, ARowInAHiddenColumnIsScrolledIntoView)
{
    auto& midi = processor->getMidiControl();
    auto& list = midiPage->getList();
    const int capacity = list.getRowsPerColumn() * 3;
    for (int cc = 0; cc <= capacity + 2 && cc < 128; ++cc)
    {
        const int line = cc % Tavinor::kNumLines;
        midi.assign(cc, param(Tavinor::getLineParameterBase(line) + cc / 4 % Tavinor::kNumTemplateParameters), true);
    }
    TestHelpers::pumpMessages();
    ASSERT_GT(list.getNumRows(), capacity);
    EXPECT_EQ(list.getNumColumns(), 4);
    EXPECT_TRUE(list.getScrollBar().isEnabled());

    list.selectRow(list.getNumRows() - 1);
    const auto cell = list.getCellBounds(list.getNumRows() - 1);
    EXPECT_GE(cell.getX(), list.getFrame().getX());
    EXPECT_LE(cell.getRight(), list.getFrame().getRight() + 1);
    list.selectRow(0);
    EXPECT_EQ(list.getCellBounds(0).getX(), list.getFrame().getX() + 1);
}
} // namespace
