#include "TestHelpers.h"
#include "ToolkitTestSupport.h"

#include "skin/TextInput.h"
#include "toolkit/ColumnBrowser.h"

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
    int alive = 0;
    int refreshes = 0;
};

TreeColumn::TreeColumn(TreeBrowser& owner, std::vector<int> p) : ListColumn(owner), browser(owner), path(std::move(p))
{
    ++browser.alive;
}

TreeColumn::~TreeColumn()
{
    --browser.alive;
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
    EXPECT_EQ(browser->alive, 2) << "replaced columns are deleted";

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
    EXPECT_EQ(browser->alive, 2);

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
    mouseEvent(keys, { 236, 100 }, down);
    dragTo(keys, { 236, 100 }, { 236 + 50, 100 });
    EXPECT_EQ(keys.getWidth(), 290);
    dragTo(keys, { 236, 100 }, { 236 - 400, 100 });
    mouseEvent(keys, { 236 - 400, 100 }, up);
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
