#pragma once

#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>

// A hierarchy shown as columns side by side in a horizontally scrolling view: a
// root column at the left and, for the opened row of a column, a column with that
// row's children to its right. List columns select rows with the mouse or the
// arrow keys, rename a row in place on a double click, and drag rows within and
// between the columns of one browser.
//
// The browser fixes the mechanics; every decision about content and about what a
// drop does is a hook of a subclass. Columns are made by the subclass and owned
// by the browser from the moment they are handed to it.
class ColumnBrowser : public juce::Viewport,
                      public juce::DragAndDropContainer
{
public:
    class Column;
    class ListColumn;

    // The description of every drag that starts in a list column.
    static constexpr const char* dragDescription = "ListColumn";

    ColumnBrowser();
    ~ColumnBrowser() override;

    // Re-lays out the columns whenever the visible area changes.
    void visibleAreaChanged(const juce::Rectangle<int>& newVisibleArea) override;

    // A new root column, which the browser will own.
    virtual std::unique_ptr<Column> createRootColumn() = 0;
    // Called after every refresh of the columns (and so after every added column).
    virtual void columnsRefreshed() {}

    // Deletes every column and starts again from a new root column.
    void reset();
    // Removes the columns that the new one does not follow, appends it, restores
    // its missing ancestors and refreshes everything. Null does nothing.
    void addColumn(std::unique_ptr<Column> column);
    // refresh() on every column from left to right, then columnsRefreshed().
    void refreshColumns();

    int getNumColumns() const noexcept { return columns.size(); }
    Column* getColumn(int index) const noexcept { return columns[index]; }
    Column* getLastColumn() const noexcept { return columns.getLast(); }
    int indexOfColumn(const Column* column) const noexcept { return columns.indexOf(column); }

    // Marks this column current and every other one not.
    void setCurrentColumn(Column* column);
    // Moves the view the least needed to show the column's left edge, or else its
    // right edge.
    void scrollColumnIntoView(const Column& column);
    // Deletes every column right of this one.
    void removeColumnsAfter(Column* column);
    // Places the columns side by side and sizes the content.
    void layoutColumns();

    // The list column a drag under way started from (null when none), and whether
    // it is being kept hidden because it was removed during the drag.
    ListColumn* getDragSourceColumn() const noexcept { return dragSource; }
    bool isKeepingRemovedColumn() const noexcept { return keptColumn != nullptr; }

    void paint(juce::Graphics& g) override;

protected:
    // However a drag ends (dropped, dropped where nothing takes it, cancelled), the
    // source column is released, and a removed source column is deleted.
    void dragOperationEnded(const juce::DragAndDropTarget::SourceDetails& details) override;

private:
    class ViewportComponent;
    friend class ListColumn;

    void startDrag(ListColumn& source, const juce::SparseSet<int>& rows, const juce::MouseEvent& e);
    void dropFinished();
    // Takes a column out of the list: deleted, or kept hidden while a drag from it
    // is under way.
    void retireColumn(int index);
    void updateNeighbours();
    void placeNewColumn(Column& column);
    int getContentHeight() const;

    // Declared first so that they are still valid while the columns are deleted.
    ListColumn* dragSource = nullptr;
    std::unique_ptr<Column> keptColumn;

    std::unique_ptr<ViewportComponent> content;
    juce::OwnedArray<Column> columns;
    int totalWidth = 0;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(ColumnBrowser)
};

//==============================================================================
class ColumnBrowser::Column : public juce::Component
{
public:
    explicit Column(ColumnBrowser& owner);
    ~Column() override;

    // When a column is added: whether the given column may stay left of it.
    virtual bool followsColumn(Column* column) = 0;
    // When a column is added: whether the given column is its direct parent.
    virtual bool isChildOf(Column* column) = 0;
    // The column that must stand left of this one; null when none.
    virtual std::unique_ptr<Column> createParentColumn() { return nullptr; }
    virtual bool isResizable() { return true; }
    virtual int getPreferredWidth() { return 200; }
    virtual int getMinimumWidth() { return 100; }
    // Reloads the content.
    virtual void refresh() {}
    virtual void setCurrent(bool shouldBeCurrent);

    bool isCurrent() const noexcept { return current; }
    ColumnBrowser& getBrowser() const noexcept { return browser; }
    Column* getLeftNeighbour() const noexcept { return leftNeighbour; }
    Column* getRightNeighbour() const noexcept { return rightNeighbour; }

    // The width less the resize strip, which a resizable column, or one with a
    // right neighbour, keeps at its right edge.
    int getContentWidth();

    void paint(juce::Graphics& g) override;
    void mouseMove(const juce::MouseEvent& e) override;
    void mouseDown(const juce::MouseEvent& e) override;
    void mouseDrag(const juce::MouseEvent& e) override;
    void mouseUp(const juce::MouseEvent& e) override;

    static constexpr int resizeStripWidth = 7;

private:
    friend class ColumnBrowser;
    void setNeighbours(Column* left, Column* right);
    bool isInResizeStrip(int x);

    ColumnBrowser& browser;
    Column* leftNeighbour = nullptr;
    Column* rightNeighbour = nullptr;
    bool current = false;
    bool resizing = false;
    int widthAtResizeStart = 0;

    JUCE_DECLARE_NON_COPYABLE(Column)
};

//==============================================================================
class ColumnBrowser::ListColumn : public Column,
                                  public juce::DragAndDropTarget,
                                  public juce::Timer
{
public:
    // Where a drag would land; the numbers are those the hooks' callers rely on.
    enum class DropMode
    {
        none = 0,
        ontoColumn = 1,
        intoRow = 2,
        beforeRow = 3,
        afterRow = 4
    };

    static constexpr int rowHeight = 20;

    explicit ListColumn(ColumnBrowser& owner);
    ~ListColumn() override;

    //==========================================================================
    // Content hooks.
    virtual int getNumRows() { return 0; }
    virtual juce::String getRowText(int row) { return {}; }
    // Drawn at (1, 1) of the row.
    virtual juce::Image getRowImage(int row, bool selected) { return {}; }
    // True draws the name in bold with a child arrow.
    virtual bool rowHasChildren(int row) { return false; }
    virtual bool canDragRows(const juce::SparseSet<int>& rows) { return true; }
    virtual bool canRenameRow(int row) { return true; }
    // The column of the row's children, or null.
    virtual std::unique_ptr<Column> createColumnForRow(int row) { return nullptr; }
    // After a row was opened.
    virtual void rowSelected(int row) {}
    // The in-place editor committed a new name. Runs inside the editor's focus
    // change: it may refresh the columns but must not delete them at once.
    virtual void rowNameChanged(int row, const juce::String& newName) {}
    // A click below the rows.
    virtual void backgroundClicked() {}

    // Drop hooks; source is the list column the rows were dragged from, and its
    // getDraggedRows() tells which rows.
    virtual bool canDropOntoColumn(ListColumn* source) { return true; }
    virtual bool canDropInto(ListColumn* source, int row) { return true; }
    virtual bool canDropBefore(ListColumn* source, int row) { return true; }
    virtual bool canDropAfter(ListColumn* source, int row) { return true; }
    virtual void dropOntoColumn(ListColumn* source) {}
    virtual void dropInto(ListColumn* source, int row) {}
    virtual void dropBefore(ListColumn* source, int row) {}
    virtual void dropAfter(ListColumn* source, int row) {}

    //==========================================================================
    // Also gives the list the keyboard focus when set.
    void setCurrent(bool shouldBeCurrent) override;
    // Reloads the rows from the hooks.
    void refresh() override;

    // Selects the row and scrolls it into view. This does not open the row: only
    // the user's selections do, so a subclass may mark rows while refreshing.
    void selectRow(int row, bool deselectOthers);
    // Adds the row's column, scrolls this column and the last one into view,
    // makes this column current, then rowSelected(row). Rows outside the list do
    // nothing.
    void openRow(int row);
    // Opens the in-place editor on the row when it is on screen and may be renamed.
    void startRename(int row);

    juce::ListBox& getList() noexcept;
    const juce::SparseSet<int>& getDraggedRows() const noexcept { return draggedRows; }
    int getDropRow() const noexcept { return dropRow; }
    DropMode getDropMode() const noexcept { return dropMode; }

    //==========================================================================
    bool isInterestedInDragSource(const SourceDetails& details) override;
    void itemDragEnter(const SourceDetails& details) override;
    void itemDragMove(const SourceDetails& details) override;
    void itemDragExit(const SourceDetails& details) override;
    void itemDropped(const SourceDetails& details) override;
    // Holding a dragged item over a row opens it.
    void timerCallback() override;

    void resized() override;
    void paintOverChildren(juce::Graphics& g) override;

    static constexpr int hoverOpenDelayMs = 500;

private:
    class List;
    class ItemComponent;
    friend class ColumnBrowser;

    void updateDropPlace(const SourceDetails& details);
    void setDropPlace(int row, DropMode mode);
    void clearDropPlace();
    void dragEnded();
    // Left and right arrows move between the columns.
    bool moveToLeftNeighbour();
    bool moveToRightNeighbour();
    void backgroundClickedInList();
    static ListColumn* sourceOf(const SourceDetails& details);

    std::unique_ptr<List> list;
    juce::SparseSet<int> draggedRows;
    int dropRow = -1;
    DropMode dropMode = DropMode::none;
    int waitingRow = -1;

    JUCE_DECLARE_NON_COPYABLE(ListColumn)
};
