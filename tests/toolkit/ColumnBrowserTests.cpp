#include "TestHelpers.h"
#include "ToolkitTestSupport.h"

#include "toolkit/EditableLabel.h"
#include "toolkit/ColumnBrowser.h"

#include <memory>
#include <vector>

namespace
{
using DropMode = ColumnBrowser::ListColumn::DropMode;

// A small tree of folders and leaves; a column shows one folder.
struct Node
{
    juce::String name;
    std::vector<Node> children;
    bool isFolder() const { return ! children.empty() || name.startsWith("Empty"); }
};

Node makeTree()
{
    return { "", { { "Bass", { { "Deep", {} }, { "Round", {} }, { "Sub", { { "A", {} }, { "B", {} } } } } },
                   { "Keys", { { "E-Piano", {} }, { "Organ", {} }, { "Locked", {} } } },
                   { "Lead", {} },
                   { "Empty", {} } } };
}

class TreeBrowser;

class TreeColumn : public ColumnBrowser::ListColumn
{
public:
    TreeColumn(TreeBrowser& owner, std::vector<int> p);
    ~TreeColumn() override;

    const Node& node() const;
    const Node& child(int row) const { return node().children[(size_t) row]; }
    juce::String pathText() const;

    int getNumRows() override { return (int) node().children.size(); }
    juce::String getRowText(int row) override { return child(row).name; }
    bool rowHasChildren(int row) override { return child(row).isFolder(); }
    bool canRenameRow(int row) override { return child(row).name != "Locked"; }

    bool followsColumn(Column* c) override
    {
        auto* other = dynamic_cast<TreeColumn*>(c);
        return other != nullptr && other->path.size() < path.size()
               && std::equal(other->path.begin(), other->path.end(), path.begin());
    }
    bool isChildOf(Column* c) override
    {
        auto* other = dynamic_cast<TreeColumn*>(c);
        return followsColumn(c) && other->path.size() + 1 == path.size();
    }
    std::unique_ptr<Column> createParentColumn() override;
    std::unique_ptr<Column> createColumnForRow(int row) override;

    void rowSelected(int row) override;
    void rowNameChanged(int row, const juce::String& newName) override;
    void backgroundClicked() override;

    // Drop places each column answers, for the table of drop places.
    bool acceptsOnto = true, acceptsInto = true, acceptsBefore = true, acceptsAfter = true;
    bool canDropOntoColumn(ListColumn*) override { return acceptsOnto; }
    bool canDropInto(ListColumn*, int) override { return acceptsInto; }
    bool canDropBefore(ListColumn*, int) override { return acceptsBefore; }
    bool canDropAfter(ListColumn*, int) override { return acceptsAfter; }
    void dropOntoColumn(ListColumn* source) override { logDrop("onto", source, -1); }
    void dropInto(ListColumn* source, int row) override { logDrop("into", source, row); }
    void dropBefore(ListColumn* source, int row) override { logDrop("before", source, row); }
    void dropAfter(ListColumn* source, int row) override { logDrop("after", source, row); }

    void logDrop(const juce::String& kind, ListColumn* source, int row);

    TreeBrowser& browser;
    std::vector<int> path;
    // The browser's members are gone by the time its base deletes the
    // columns, so the count lives apart from it.
    std::shared_ptr<int> alive;
};

class TreeBrowser : public ColumnBrowser
{
public:
    std::unique_ptr<Column> createRootColumn() override { return std::make_unique<TreeColumn>(*this, std::vector<int> {}); }
    void columnsRefreshed() override { ++refreshes; }

    TreeColumn* column(int index) const { return dynamic_cast<TreeColumn*>(getColumn(index)); }
    juce::String columnPaths() const
    {
        juce::StringArray paths;
        for (int i = 0; i < getNumColumns(); ++i)
            paths.add(column(i)->pathText());
        return paths.joinIntoString(" ");
    }
    int currentColumn() const
    {
        for (int i = 0; i < getNumColumns(); ++i)
            if (getColumn(i)->isCurrent())
                return i;
        return -1;
    }
    juce::String takeLog()
    {
        const auto text = log.joinIntoString("|");
        log.clear();
        return text;
    }

    Node tree = makeTree();
    juce::StringArray log;
    std::shared_ptr<int> alive = std::make_shared<int>(0);
    int refreshes = 0;
};

TreeColumn::TreeColumn(TreeBrowser& owner, std::vector<int> p)
    : ListColumn(owner), browser(owner), path(std::move(p)), alive(owner.alive)
{
    ++*alive;
}

TreeColumn::~TreeColumn()
{
    --*alive;
}

const Node& TreeColumn::node() const
{
    const Node* n = &browser.tree;
    for (int index : path)
        n = &n->children[(size_t) index];
    return *n;
}

juce::String TreeColumn::pathText() const
{
    juce::String text;
    const Node* n = &browser.tree;
    for (int index : path)
    {
        n = &n->children[(size_t) index];
        text << "/" << n->name;
    }
    return text.isEmpty() ? "/" : text;
}

std::unique_ptr<ColumnBrowser::Column> TreeColumn::createParentColumn()
{
    if (path.empty())
        return nullptr;
    return std::make_unique<TreeColumn>(browser, std::vector<int>(path.begin(), path.end() - 1));
}

std::unique_ptr<ColumnBrowser::Column> TreeColumn::createColumnForRow(int row)
{
    if (! child(row).isFolder())
        return nullptr;
    auto childPath = path;
    childPath.push_back(row);
    return std::make_unique<TreeColumn>(browser, childPath);
}

void TreeColumn::rowSelected(int row)
{
    browser.log.add("selected " + child(row).name);
}

void TreeColumn::rowNameChanged(int row, const juce::String& newName)
{
    browser.log.add("renamed " + child(row).name + " to " + newName);
}

void TreeColumn::backgroundClicked()
{
    browser.log.add("background " + pathText());
}

void TreeColumn::logDrop(const juce::String& kind, ListColumn* source, int row)
{
    auto* from = dynamic_cast<TreeColumn*>(source);
    juce::String rows;
    for (int i = 0; i < source->getDraggedRows().size(); ++i)
        rows << (i > 0 ? "," : "") << from->child(source->getDraggedRows()[i]).name;
    browser.log.add(kind + " " + rows + " from " + from->pathText() + " to " + pathText()
                    + (row >= 0 ? ":" + child(row).name : juce::String()));
}

class ColumnBrowserTest : public ToolkitTest
{
protected:
    void SetUp() override
    {
        ToolkitTest::SetUp();
        browser = std::make_unique<TreeBrowser>();
        browser->setSize(700, 300);
        browser->reset();
    }

    void TearDown() override
    {
        browser.reset();
        ToolkitTest::TearDown();
    }

    // The row's component as the list box made it, which takes the row's clicks.
    static juce::Component& rowComponent(ColumnBrowser::ListColumn& column, int row)
    {
        auto* item = column.getList().getComponentForRowNumber(row);
        EXPECT_NE(item, nullptr) << "row " << row << " is not on screen";
        return *item->getParentComponent();
    }

    static void clickRow(ColumnBrowser::ListColumn& column, int row) { click(rowComponent(column, row), { 20, 10 }); }

    // A drag event that remembers where the button went down.
    static void dragTo(juce::Component& c, juce::Point<int> from, juce::Point<int> to)
    {
        const auto time = juce::Time::getCurrentTime();
        const juce::MouseEvent e(juce::Desktop::getInstance().getMainMouseSource(), to.toFloat(),
                                 juce::ModifierKeys(juce::ModifierKeys::leftButtonModifier), 0.0f, 0.0f, 0.0f, 0.0f,
                                 0.0f, &c, &c, time, from.toFloat(), time, 1, true);
        c.mouseDrag(e);
    }

    static bool press(ColumnBrowser::ListColumn& column, int keyCode)
    {
        return column.getList().keyPressed(juce::KeyPress(keyCode));
    }

    std::unique_ptr<TreeBrowser> browser;
};
} // namespace

TEST_F(ColumnBrowserTest, OpeningRowsAddsReplacesAndKeepsColumns)
{
    EXPECT_EQ(browser->columnPaths(), "/");
    EXPECT_EQ(browser->currentColumn(), 0);

    clickRow(*browser->column(0), 0);
    EXPECT_EQ(browser->columnPaths(), "/ /Bass");
    clickRow(*browser->column(1), 2);
    EXPECT_EQ(browser->columnPaths(), "/ /Bass /Bass/Sub");
    EXPECT_EQ(browser->currentColumn(), 1);
    EXPECT_EQ(browser->takeLog(), "selected Bass|selected Sub");

    // A click in a column that is not current opens its row even when it is
    // already selected; opening another row replaces the columns right of it.
    clickRow(*browser->column(0), 0);
    EXPECT_EQ(browser->currentColumn(), 0);
    clickRow(*browser->column(0), 1);
    EXPECT_EQ(browser->columnPaths(), "/ /Keys");
    EXPECT_EQ(browser->takeLog(), "selected Bass|selected Keys");

    // A row without a column of its own leaves the columns right of it.
    clickRow(*browser->column(0), 2);
    EXPECT_EQ(browser->columnPaths(), "/ /Keys");
    EXPECT_EQ(browser->currentColumn(), 0);
    EXPECT_EQ(browser->takeLog(), "selected Lead");

    for (int row : { -1, 4, 99 })
        browser->column(0)->openRow(row);
    EXPECT_EQ(browser->takeLog(), "");
    EXPECT_EQ(*browser->alive, 2) << "replaced columns are deleted";

    // Columns stand side by side; the content never ends before the view does.
    EXPECT_EQ(browser->getColumn(1)->getX(), browser->getColumn(0)->getWidth());
    EXPECT_GE(browser->getViewedComponent()->getWidth(), browser->getViewWidth());
    EXPECT_EQ(browser->getColumn(0)->getHeight(), 300 - 3 - 13);
}

TEST_F(ColumnBrowserTest, ArrowKeysMoveThroughRowsAndColumns)
{
    auto* root = browser->column(0);
    EXPECT_TRUE(press(*root, juce::KeyPress::downKey));
    EXPECT_TRUE(press(*root, juce::KeyPress::downKey));
    EXPECT_EQ(browser->columnPaths(), "/ /Keys");
    EXPECT_EQ(browser->takeLog(), "selected Bass|selected Keys");

    EXPECT_TRUE(press(*root, juce::KeyPress::rightKey));
    EXPECT_EQ(browser->currentColumn(), 1);
    EXPECT_TRUE(browser->column(1)->getList().isRowSelected(0));
    EXPECT_EQ(browser->takeLog(), "selected E-Piano");

    // Right from the last column and left from the root do nothing.
    EXPECT_TRUE(press(*browser->column(1), juce::KeyPress::rightKey));
    EXPECT_TRUE(press(*root, juce::KeyPress::leftKey));
    EXPECT_TRUE(press(*root, juce::KeyPress::returnKey));
    EXPECT_EQ(browser->takeLog(), "");
    EXPECT_EQ(browser->columnPaths(), "/ /Keys");

    // Left re-opens the neighbour's row, which puts a fresh column in place of this one.
    auto* keys = browser->column(1);
    EXPECT_TRUE(press(*keys, juce::KeyPress::leftKey));
    EXPECT_EQ(browser->columnPaths(), "/ /Keys");
    EXPECT_NE(browser->column(1), keys);
    EXPECT_EQ(browser->currentColumn(), 0);
    EXPECT_EQ(browser->takeLog(), "selected Keys");
    EXPECT_EQ(*browser->alive, 2);

    EXPECT_TRUE(press(*root, juce::KeyPress::upKey));
    EXPECT_EQ(browser->columnPaths(), "/ /Bass");
}

TEST_F(ColumnBrowserTest, AddedColumnsBringTheirAncestorsAndTakeTheRemovedWidth)
{
    browser->addColumn(std::make_unique<TreeColumn>(*browser, std::vector<int> { 0, 2 }));
    EXPECT_EQ(browser->columnPaths(), "/ /Bass /Bass/Sub");
    const int refreshes = browser->refreshes;

    browser->getColumn(1)->setSize(240, browser->getColumn(1)->getHeight());
    browser->getColumn(2)->setSize(260, browser->getColumn(2)->getHeight());
    browser->addColumn(std::make_unique<TreeColumn>(*browser, std::vector<int> { 1 }));
    EXPECT_EQ(browser->columnPaths(), "/ /Keys");
    EXPECT_EQ(browser->getColumn(1)->getWidth(), 240) << "the width of the removed column next to it";
    EXPECT_EQ(browser->refreshes, refreshes + 1);
    browser->addColumn(nullptr);
    EXPECT_EQ(browser->columnPaths(), "/ /Keys");

    // The strip at a column's right edge resizes it, never below its minimum.
    auto& keys = *browser->getColumn(1);
    mouseEventAt(keys, { 236, 100 }, down);
    dragTo(keys, { 236, 100 }, { 236 + 50, 100 });
    EXPECT_EQ(keys.getWidth(), 290);
    dragTo(keys, { 236, 100 }, { 236 - 400, 100 });
    mouseEventAt(keys, { 236 - 400, 100 }, up);
    EXPECT_EQ(keys.getWidth(), 100);

    // A click below the rows closes the columns right of it and clears the selection.
    clickRow(*browser->column(1), 0);
    browser->takeLog();
    auto& list = browser->column(0)->getList();
    // Below the rows the list's content ends, so the click reaches the list itself.
    click(list, { 20, 150 });
    EXPECT_EQ(browser->columnPaths(), "/");
    EXPECT_EQ(list.getNumSelectedRows(), 0);
    EXPECT_EQ(browser->takeLog(), "background /");
}

TEST_F(ColumnBrowserTest, DropPlacesFollowTheRowBandsAndTheHooksAnswers)
{
    clickRow(*browser->column(0), 0);
    auto& target = *browser->column(0);
    auto& source = *browser->column(1);
    const auto at = [](int row, int y) { return juce::Point<int>(20, 4 + row * 20 + y); };
    const auto details = [&](juce::Point<int> p, juce::Component* from = nullptr) {
        return juce::DragAndDropTarget::SourceDetails(ColumnBrowser::dragDescription,
                                                      from != nullptr ? from : &source.getList(), p);
    };

    struct Case
    {
        bool onto, into, before, after;
        int row, y;
        DropMode mode;
        int dropRow;
    };
    const Case cases[] = {
        // Rows that take drops into them keep 5-pixel bands at top and bottom.
        { true, true, true, true, 1, 4, DropMode::beforeRow, 1 },
        { true, true, true, true, 1, 5, DropMode::intoRow, 1 },
        { true, true, true, true, 1, 14, DropMode::intoRow, 1 },
        { true, true, true, true, 1, 15, DropMode::afterRow, 1 },
        { true, true, false, true, 1, 2, DropMode::intoRow, 1 },
        { true, true, true, false, 1, 17, DropMode::intoRow, 1 },
        // Rows that refuse it split at their middle.
        { true, false, true, true, 2, 9, DropMode::beforeRow, 2 },
        { true, false, true, true, 2, 10, DropMode::afterRow, 2 },
        { true, false, false, true, 2, 2, DropMode::afterRow, 2 },
        { true, false, true, false, 2, 12, DropMode::ontoColumn, -1 },
        { false, false, true, false, 2, 12, DropMode::none, -1 },
        // Below the rows only the column itself is left.
        { true, true, true, true, 6, 10, DropMode::ontoColumn, -1 },
        { false, true, true, true, 6, 10, DropMode::none, -1 },
    };
    for (const auto& c : cases)
    {
        target.acceptsOnto = c.onto;
        target.acceptsInto = c.into;
        target.acceptsBefore = c.before;
        target.acceptsAfter = c.after;
        target.itemDragMove(details(at(c.row, c.y)));
        EXPECT_EQ(target.getDropMode(), c.mode) << "row " << c.row << " y " << c.y;
        EXPECT_EQ(target.getDropRow(), c.dropRow) << "row " << c.row << " y " << c.y;
    }

    // Only an into place starts the hover timer; leaving stops it.
    target.acceptsInto = target.acceptsBefore = target.acceptsAfter = target.acceptsOnto = true;
    target.itemDragExit(details({}));
    EXPECT_FALSE(target.isTimerRunning());
    target.itemDragEnter(details(at(1, 2)));
    EXPECT_FALSE(target.isTimerRunning());
    target.itemDragMove(details(at(1, 10)));
    EXPECT_TRUE(target.isTimerRunning());
    target.itemDragExit(details({}));
    EXPECT_FALSE(target.isTimerRunning());
    EXPECT_EQ(target.getDropMode(), DropMode::none);

    // Only drags of list rows from the same browser are of interest.
    TreeBrowser other;
    other.setSize(400, 200);
    other.reset();
    EXPECT_TRUE(target.isInterestedInDragSource(details({})));
    EXPECT_FALSE(target.isInterestedInDragSource(details({}, &other.column(0)->getList())));
    EXPECT_FALSE(target.isInterestedInDragSource(details({}, &source)));
    EXPECT_FALSE(target.isInterestedInDragSource(
        juce::DragAndDropTarget::SourceDetails("Files", &source.getList(), {})));
}

namespace
{
// A browser on the screen, for what needs keyboard focus or the real mouse.
class ShownColumnBrowserTest : public ColumnBrowserTest
{
protected:
    void SetUp() override
    {
        ColumnBrowserTest::SetUp();
        if (! TestHelpers::prepareScreenForWindows())
            GTEST_SKIP() << "needs a display (run under xvfb-run)";
        browser->addToDesktop(0);
        browser->setVisible(true);
        TestHelpers::pumpMessages();
    }

    // Input as the window system would deliver it, so that JUCE's mouse source
    // knows a button is held and a drag can start.
    void mouse(juce::Component& c, juce::Point<int> at, bool buttonDown)
    {
        auto* peer = browser->getPeer();
        ASSERT_NE(peer, nullptr);
        const auto inPeer = browser->getLocalPoint(&c, at).toFloat();
        peer->handleMouseEvent(juce::MouseInputSource::InputSourceType::mouse, inPeer,
                               buttonDown ? juce::ModifierKeys(juce::ModifierKeys::leftButtonModifier)
                                          : juce::ModifierKeys(),
                               juce::MouseInputSource::defaultPressure, juce::MouseInputSource::defaultOrientation,
                               juce::Time::currentTimeMillis());
    }

    // Moves with the button held, in small steps as a hand would.
    void dragAlong(juce::Component& from, juce::Point<int> start, juce::Component& to, juce::Point<int> end)
    {
        const auto a = browser->getLocalPoint(&from, start);
        const auto b = browser->getLocalPoint(&to, end);
        for (int step = 1; step <= 10; ++step)
            mouse(*browser, a + (b - a) * step / 10, true);
    }

    // The drag image lives until the browser's container lets it go.
    bool waitForDragToEnd()
    {
        for (int i = 0; i < 400 && browser->isDragAndDropActive(); ++i)
        {
            TestHelpers::pumpMessages();
            juce::Thread::sleep(5);
        }
        TestHelpers::pumpMessages();
        return ! browser->isDragAndDropActive();
    }

    static EditableLabel& nameInput(ColumnBrowser::ListColumn& column, int row)
    {
        auto* item = column.getList().getComponentForRowNumber(row);
        return *dynamic_cast<EditableLabel*>(item->getChildComponent(0));
    }

    static void type(juce::TextEditor& editor, const juce::String& text)
    {
        for (auto c : text)
            editor.keyPressed(juce::KeyPress((int) c, {}, c));
    }
};
} // namespace

TEST_F(ShownColumnBrowserTest, RenamingCommitsOnReturnAndCancelsOnEscape)
{
    auto& keysColumn = *browser->column(0);
    clickRow(keysColumn, 1);
    browser->takeLog();
    auto& keys = *browser->column(1);

    // A double click on the only selected row opens the editor on it.
    clickRow(keys, 1);
    rowComponent(keys, 1).mouseDoubleClick(juce::MouseEvent(
        juce::Desktop::getInstance().getMainMouseSource(), { 20.0f, 10.0f }, {}, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f,
        &rowComponent(keys, 1), &rowComponent(keys, 1), juce::Time::getCurrentTime(), { 20.0f, 10.0f },
        juce::Time::getCurrentTime(), 2, false));
    auto& organ = nameInput(keys, 1);
    ASSERT_TRUE(organ.isEditorVisible());
    EXPECT_TRUE(organ.getEditor()->hasKeyboardFocus(false));
    type(*organ.getEditor(), "Church organ");
    organ.getEditor()->keyPressed(juce::KeyPress(juce::KeyPress::returnKey));
    TestHelpers::pumpMessages(); // the editor tells of Return and Escape through its message queue
    EXPECT_FALSE(organ.isEditorVisible());
    EXPECT_EQ(browser->takeLog(), "selected Organ|renamed Organ to Church organ");
    EXPECT_TRUE(keys.getList().hasKeyboardFocus(false)) << "the arrow keys go on working";

    // Escape puts the old name back and commits nothing.
    keys.startRename(0);
    auto& piano = nameInput(keys, 0);
    ASSERT_TRUE(piano.isEditorVisible());
    type(*piano.getEditor(), "Nope");
    piano.getEditor()->keyPressed(juce::KeyPress(juce::KeyPress::escapeKey));
    TestHelpers::pumpMessages();
    EXPECT_FALSE(piano.isEditorVisible());
    EXPECT_EQ(piano.getText(), "E-Piano");
    EXPECT_EQ(browser->takeLog(), "");

    // Rows that may not be renamed, and rows off the list, open no editor.
    keys.startRename(2);
    EXPECT_FALSE(nameInput(keys, 2).isEditorVisible());
    keys.startRename(7);
    keys.startRename(-1);
}

TEST_F(ShownColumnBrowserTest, ADraggedSelectionStaysSelectedAndLandsWhereItIsDropped)
{
    clickRow(*browser->column(0), 0);
    auto& bass = *browser->column(1);
    bass.selectRow(0, true);
    bass.selectRow(1, false);
    browser->takeLog();

    mouse(rowComponent(bass, 0), { 30, 10 }, true);
    dragAlong(rowComponent(bass, 0), { 30, 10 }, rowComponent(*browser->column(0), 3), { 30, 10 });
    EXPECT_EQ(browser->getDragSourceColumn(), &bass);
    EXPECT_EQ(browser->column(0)->getDropMode(), DropMode::intoRow);
    EXPECT_EQ(browser->column(0)->getDropRow(), 3);
    mouse(rowComponent(*browser->column(0), 3), { 30, 10 }, false);

    EXPECT_EQ(browser->takeLog(), "into Deep,Round from /Bass to /:Empty");
    EXPECT_EQ(bass.getList().getNumSelectedRows(), 2) << "the release does not select the pressed row alone";
    EXPECT_EQ(browser->column(0)->getDropMode(), DropMode::none);
    EXPECT_TRUE(waitForDragToEnd());
    EXPECT_EQ(browser->getDragSourceColumn(), nullptr);
    EXPECT_EQ(browser->columnPaths(), "/ /Bass");
}

TEST_F(ShownColumnBrowserTest, AColumnRemovedDuringADragLivesUntilTheDragEndsWhateverItsOutcome)
{
    for (const bool dropped : { true, false })
    {
        SCOPED_TRACE(dropped ? "dropped" : "cancelled");
        browser->reset();
        clickRow(*browser->column(0), 0);
        auto* bass = browser->column(1);
        auto& root = *browser->column(0);
        browser->takeLog();

        // Holding the dragged row over "Keys" opens it, which removes the source.
        mouse(rowComponent(*bass, 0), { 30, 10 }, true);
        dragAlong(rowComponent(*bass, 0), { 30, 10 }, rowComponent(root, 1), { 30, 10 });
        ASSERT_EQ(root.getDropMode(), DropMode::intoRow);
        EXPECT_TRUE(root.isTimerRunning());
        root.timerCallback();
        EXPECT_EQ(browser->columnPaths(), "/ /Keys");
        EXPECT_TRUE(browser->isKeepingRemovedColumn());
        EXPECT_EQ(*browser->alive, 3);
        EXPECT_EQ(browser->takeLog(), "selected Deep|selected Keys") << "pressing a row selects it";

        if (dropped)
        {
            dragAlong(rowComponent(root, 1), { 30, 10 }, rowComponent(root, 3), { 30, 10 });
            mouse(rowComponent(root, 3), { 30, 10 }, false);
            EXPECT_EQ(browser->takeLog(), "into Deep from /Bass to /:Empty");
            EXPECT_EQ(*browser->alive, 2) << "deleted once the drop is done";
        }
        else
        {
            // Released over the scroll bar, where nothing takes the drop.
            dragAlong(rowComponent(root, 1), { 30, 10 }, *browser, { 100, 292 });
            mouse(*browser, { 100, 292 }, false);
            EXPECT_EQ(browser->takeLog(), "");
        }
        EXPECT_TRUE(waitForDragToEnd());
        EXPECT_FALSE(browser->isKeepingRemovedColumn());
        EXPECT_EQ(browser->getDragSourceColumn(), nullptr);
        EXPECT_EQ(*browser->alive, 2) << "the removed source column is freed";
    }
}
