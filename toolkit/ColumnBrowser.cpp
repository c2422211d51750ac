#include "toolkit/ColumnBrowser.h"

#include "toolkit/EditableLabel.h"
#include "toolkit/DefaultLookAndFeel.h"

namespace
{
constexpr float kBoxCornerSize = 6.0f;
constexpr float kDropOutlineCornerSize = 4.0f;
constexpr float kSelectedRowCornerSize = 4.0f;
constexpr int kGapBelowColumns = 3;
constexpr int kListInset = 4;
constexpr int kGripLength = 13;
constexpr int kIconAreaWidth = 19;
constexpr int kChildArrowWidth = 15;
constexpr int kScrollBarGap = 3;
// Drop places at a row's edges when the row also takes drops into it.
constexpr int kEdgeBand = 5;
constexpr int kDragAutoRepeatMs = 25;
constexpr int kBrowserAutoScrollBorder = 200;
constexpr int kBrowserAutoScrollSpeed = 10;
constexpr juce::uint32 kHighlightArgb = 0xFFD3D3D3;
constexpr juce::uint32 kChildArrowOutlineArgb = 0xFF646464;
constexpr juce::uint32 kCaretArgb = 0xFFFF4500;
constexpr float kMarkerAlpha = 0.75f;
// A subclass whose parent columns never end would otherwise hang the browser.
constexpr int kMaxRestoredAncestors = 256;
} // namespace

//==============================================================================
// The viewport's content: the columns side by side, each as high as the content.
// The browser owns the columns; this only holds them.
class ColumnBrowser::ViewportComponent : public juce::Component
{
public:
    ViewportComponent() { setBounds(0, 0, 0, 0); }
    ~ViewportComponent() override { removeAllChildren(); }

    void resized() override
    {
        for (auto* child : getChildren())
            child->setSize(child->getWidth(), getHeight());
    }
};

//==============================================================================
// One row: icon, name and child arrow, with the drop markers. It takes no clicks,
// so the list gets them and the name editor opens only through startRename.
class ColumnBrowser::ListColumn::ItemComponent : public juce::Component,
                                                 private ModalTextEditor::ModalListener
{
public:
    ItemComponent(ListColumn& owner, juce::ListBox& ownerList) : column(owner), list(ownerList), name({})
    {
        setInterceptsMouseClicks(false, false);
        name.setEditable(false, true);
        name.setHorizontalMargin(0);
        name.setEditorIndentOffset(3);
        name.setColour(EditableLabel::backgroundColourId, juce::Colours::transparentBlack);
        name.setColour(EditableLabel::outlineColourId, juce::Colours::transparentBlack);
        name.setColour(EditableLabel::highlightColourId, juce::Colours::white);
        name.setColour(EditableLabel::highlightedTextColourId, juce::Colours::black);
        name.setColour(EditableLabel::caretColourId, juce::Colour(kCaretArgb).withAlpha(kMarkerAlpha));
        name.addModalListener(this);
        addAndMakeVisible(name);
    }

    void update(int newRow, bool isSelected)
    {
        const bool rowChanged = newRow != row;
        row = newRow;
        valid = juce::isPositiveAndBelow(row, column.getNumRows());
        selected = valid && isSelected;
        hasChildren = valid && column.rowHasChildren(row);
        normalIcon = valid ? column.getRowImage(row, false) : juce::Image();
        selectedIcon = valid ? column.getRowImage(row, true) : juce::Image();

        // A refresh while the user types keeps what has been typed.
        if (rowChanged || ! name.isEditorVisible())
            name.setText(valid ? column.getRowText(row) : juce::String());
        name.setFont(juce::Font("Tahoma", 13.0f, hasChildren ? juce::Font::bold : juce::Font::plain));
        updateTextColour();
        resized();
        repaint();
    }

    void startRename()
    {
        name.setColour(EditableLabel::textColourId, juce::Colours::black);
        name.setColour(EditableLabel::highlightedTextColourId, juce::Colours::black);
        name.showEditor();
    }

    EditableLabel& getNameInput() noexcept { return name; }
    bool isNameCut() const { return valid && name.isTextCut(); }

    void resized() override
    {
        const int w = getWidth();
        const int left = juce::jmin(kIconAreaWidth, w);
        const int right = (hasChildren ? kChildArrowWidth : 0)
                          + (list.getVerticalScrollBar().isVisible() ? kScrollBarGap : 0);
        name.setBounds(left, 1, juce::jmax(0, w - left - right), juce::jmax(0, getHeight() - 2));
    }

    void paint(juce::Graphics& g) override
    {
        if (! valid)
            return;
        const int w = getWidth();
        const int h = getHeight();
        const bool scrollBarShows = list.getVerticalScrollBar().isVisible();

        if (selected)
            fillRoundedRect(g, { 0, 1, scrollBarShows ? w - kScrollBarGap : w, h - 2 },
                            findPaletteColour(column, DefaultLookAndFeel::columnSelectedRowColourId),
                            kSelectedRowCornerSize);

        if (hasChildren)
        {
            juce::Path arrow;
            arrow.addTriangle(0.0f, 0.5f, 7.0f, 3.5f, 0.0f, 6.5f);
            arrow.applyTransform(juce::AffineTransform::translation((float) (w - 12), 7.0f));
            g.setColour(juce::Colours::white);
            g.fillPath(arrow);
            g.setColour(juce::Colour(kChildArrowOutlineArgb));
            g.strokePath(arrow, juce::PathStrokeType(1.0f));
        }

        paintDropMarker(g, w, h);

        const auto& icon = selected ? selectedIcon : normalIcon;
        if (icon.isValid())
        {
            g.setOpacity(1.0f);
            g.drawImageAt(icon, 1, 1);
        }
    }

private:
    void paintDropMarker(juce::Graphics& g, int w, int h)
    {
        const auto mode = column.getDropMode();
        const int target = column.getDropRow();
        g.setColour(juce::Colours::red.withAlpha(kMarkerAlpha));

        if (mode == DropMode::intoRow && row == target)
        {
            g.drawRoundedRectangle(juce::Rectangle<float>(0.0f, 0.0f, (float) w, (float) (h - 1)).reduced(1.0f),
                                   kDropOutlineCornerSize, 2.0f);
            return;
        }
        // A line between two rows, drawn half by each of them.
        const bool lineAbove = (mode == DropMode::beforeRow && row == target)
                               || (mode == DropMode::afterRow && row == target + 1);
        const bool lineBelow = (mode == DropMode::beforeRow && row == target - 1)
                               || (mode == DropMode::afterRow && row == target);
        if (lineAbove)
            g.fillRect(0, 0, w, 1);
        if (lineBelow)
            g.fillRect(0, h - 1, w, 1);
    }

    void updateTextColour()
    {
        name.setColour(EditableLabel::textColourId, selected ? juce::Colours::white : juce::Colours::black);
    }

    void textCommitted(ModalTextEditor* editor) override
    {
        if (valid)
            column.rowNameChanged(row, editor->getText());
    }

    void editFinished(ModalTextEditor* editor) override
    {
        updateTextColour();
        // Return and Escape leave the focus in the editor, which is about to hide:
        // it goes back to the list, so the arrow keys go on working.
        if (editor->hasKeyboardFocus(false))
            list.grabKeyboardFocus();
    }

    ListColumn& column;
    juce::ListBox& list;
    EditableLabel name;
    int row = -1;
    bool valid = false;
    bool selected = false;
    bool hasChildren = false;
    juce::Image normalIcon;
    juce::Image selectedIcon;
};

//==============================================================================
class ColumnBrowser::ListColumn::List : public juce::ListBox,
                                       public juce::ListBoxModel
{
public:
    explicit List(ListColumn& owner) : juce::ListBox({}, nullptr), column(owner), dragStarter(*this)
    {
        setModel(this);
        setMultipleSelectionEnabled(true);
        setRowHeight(ListColumn::rowHeight);
        addMouseListener(&dragStarter, true);
    }

    ~List() override
    {
        removeMouseListener(&dragStarter);
        setModel(nullptr);
    }

    // Selection that does not open the selected row.
    template <typename Action>
    void changeSelectionQuietly(Action&& action)
    {
        const juce::ScopedValueSetter<bool> quiet(selectingQuietly, true);
        action();
    }

    int getNumRows() override { return column.getNumRows(); }
    void paintListBoxItem(int, juce::Graphics&, int, int, bool) override {}

    juce::Component* refreshComponentForRow(int row, bool isSelected, juce::Component* existing) override
    {
        auto* item = dynamic_cast<ItemComponent*>(existing);
        if (item == nullptr)
        {
            delete existing;
            item = new ItemComponent(column, *this);
        }
        item->update(row, isSelected);
        return item;
    }

    void selectedRowsChanged(int lastRowSelected) override
    {
        if (selectingQuietly)
            return;
        if (dragging)
        {
            // The release that ends a drag reaches the pressed row too, which would
            // select it alone: the dragged rows stay selected instead.
            changeSelectionQuietly([this] { setSelectedRows(selectionAtDragStart, juce::dontSendNotification); });
            return;
        }
        column.openRow(lastRowSelected);
    }

    void listBoxItemClicked(int row, const juce::MouseEvent&) override
    {
        if (! dragging && ! column.isCurrent())
            column.openRow(row);
    }

    void listBoxItemDoubleClicked(int row, const juce::MouseEvent&) override
    {
        if (getNumSelectedRows() == 1 && isRowSelected(row))
            column.startRename(row);
    }

    void backgroundClicked(const juce::MouseEvent&) override { column.backgroundClickedInList(); }

    // A name cut to fit its row is whole in the row's tooltip.
    juce::String getTooltipForRow(int row) override
    {
        auto* item = dynamic_cast<ItemComponent*>(getComponentForRowNumber(row));
        return item != nullptr && item->isNameCut() ? column.getRowText(row) : juce::String();
    }

    bool keyPressed(const juce::KeyPress& key) override
    {
        // Either move may delete this list's column: nothing is touched afterwards.
        if (key.getKeyCode() == juce::KeyPress::leftKey)
            return column.moveToLeftNeighbour();
        if (key.getKeyCode() == juce::KeyPress::rightKey)
            return column.moveToRightNeighbour();
        if (key.getKeyCode() == juce::KeyPress::returnKey)
            return true;
        return juce::ListBox::keyPressed(key);
    }

    bool keyStateChanged(bool isKeyDown) override
    {
        if (juce::KeyPress::isKeyCurrentlyDown(juce::KeyPress::leftKey)
            || juce::KeyPress::isKeyCurrentlyDown(juce::KeyPress::rightKey))
            return true;
        return juce::ListBox::keyStateChanged(isKeyDown);
    }

    void lookAndFeelChanged() override
    {
        juce::ListBox::lookAndFeelChanged();
        if (dynamic_cast<DefaultLookAndFeel*>(&getLookAndFeel()) != nullptr)
            setColour(juce::ListBox::backgroundColourId,
                      findPaletteColour(column, DefaultLookAndFeel::columnFillColourId));
    }

    void endSelectionGuard()
    {
        dragging = false;
        selectionAtDragStart.clear();
    }

    ListColumn& column;
    bool selectingQuietly = false;
    bool dragging = false;
    juce::SparseSet<int> selectionAtDragStart;

private:
    // Starts a drag of rows. It listens apart from the list box, whose own mouse
    // handlers serve clicks on the list's background, and it keeps the drag inside
    // the browser, where a plug-in's drag image belongs.
    struct DragStarter : juce::MouseListener
    {
        explicit DragStarter(List& l) : list(l) {}

        void mouseDown(const juce::MouseEvent&) override { attempted = false; }

        // Runs after the row's own release and after a drop, so the guard on the
        // selection lasts exactly as long as the button is held.
        void mouseUp(const juce::MouseEvent&) override { list.endSelectionGuard(); }

        void mouseDrag(const juce::MouseEvent& e) override
        {
            if (attempted || ! e.mouseWasDraggedSinceMouseDown() || ! e.mods.isLeftButtonDown())
                return;
            // Only presses on rows drag: the scroll bar is inside the list too.
            auto* rows = list.getViewport()->getViewedComponent();
            if (rows == nullptr || ! rows->isParentOf(e.originalComponent))
                return;
            const auto down = e.getEventRelativeTo(&list).getMouseDownPosition();
            const int row = list.getRowContainingPosition(down.x, down.y);
            if (row < 0)
                return;
            attempted = true;

            juce::SparseSet<int> dragged;
            if (list.isRowSelected(row))
                dragged = list.getSelectedRows();
            else
                dragged.addRange({ row, row + 1 });
            list.column.getBrowser().startDrag(list.column, dragged, e);
        }

        List& list;
        bool attempted = false;
    };

    DragStarter dragStarter;
};

//==============================================================================
ColumnBrowser::ColumnBrowser() : content(std::make_unique<ViewportComponent>())
{
    setViewedComponent(content.get(), false);
    setWantsKeyboardFocus(false);
    // The bar stays, so that the columns' height does not jump as columns come and go.
    setScrollBarsShown(false, true);
    getHorizontalScrollBar().setAutoHide(false);
    setColour(juce::TextEditor::highlightColourId, juce::Colour(kHighlightArgb));
    sendLookAndFeelChange();
}

ColumnBrowser::~ColumnBrowser()
{
    dragSource = nullptr;
    keptColumn.reset();
    columns.clear();
    setViewedComponent(nullptr, false);
}

void ColumnBrowser::visibleAreaChanged(const juce::Rectangle<int>&)
{
    layoutColumns();
}

void ColumnBrowser::reset()
{
    while (columns.size() > 0)
        retireColumn(columns.size() - 1);
    totalWidth = 0;
    if (auto root = createRootColumn())
    {
        placeNewColumn(*root);
        columns.add(root.release());
    }
    updateNeighbours();
    layoutColumns();
    setViewPosition(0, 0);
    refreshColumns();
    setCurrentColumn(getLastColumn());
}

void ColumnBrowser::addColumn(std::unique_ptr<Column> column)
{
    if (column == nullptr)
        return;
    auto* added = column.get();

    // 1. Columns that the new one does not follow go.
    int rememberedWidth = -1;
    while (auto* last = columns.getLast())
    {
        if (added->followsColumn(last))
            break;
        rememberedWidth = last->getWidth();
        retireColumn(columns.size() - 1);
    }

    // 2. Append it.
    placeNewColumn(*added);
    columns.add(column.release());

    // 3. Restore the ancestors between it and the column left of it.
    auto* currentColumn = added;
    for (int restored = 0; restored < kMaxRestoredAncestors; ++restored)
    {
        const int index = columns.indexOf(currentColumn);
        if (auto* before = columns[index - 1])
            if (currentColumn->isChildOf(before))
                break;
        auto parent = currentColumn->createParentColumn();
        if (parent == nullptr)
            break;
        auto* parentColumn = parent.get();
        placeNewColumn(*parentColumn);
        columns.insert(index, parent.release());
        currentColumn = parentColumn;
    }

    // 4. The last column takes the width of the removed column nearest to it.
    if (rememberedWidth >= 0)
        if (auto* last = columns.getLast())
            last->setSize(juce::jmax(last->getMinimumWidth(), rememberedWidth), last->getHeight());

    updateNeighbours();
    layoutColumns();
    refreshColumns();
}

void ColumnBrowser::refreshColumns()
{
    // A column's refresh may select rows, but never adds or removes columns.
    for (int i = 0; i < columns.size(); ++i)
        columns.getUnchecked(i)->refresh();
    columnsRefreshed();
}

void ColumnBrowser::setCurrentColumn(Column* column)
{
    for (auto* c : columns)
        if (c != column && c->isCurrent())
            c->setCurrent(false);
    if (column != nullptr && columns.contains(column))
        column->setCurrent(true);
}

void ColumnBrowser::scrollColumnIntoView(const Column& column)
{
    const auto view = getViewArea();
    if (column.getX() < view.getX())
        setViewPosition(column.getX(), 0);
    else if (column.getRight() > view.getRight())
        setViewPosition(column.getRight() - view.getWidth(), 0);
}

void ColumnBrowser::removeColumnsAfter(Column* column)
{
    const int index = columns.indexOf(column);
    if (index < 0)
        return;
    while (columns.size() > index + 1)
        retireColumn(columns.size() - 1);
    updateNeighbours();
    layoutColumns();
}

void ColumnBrowser::layoutColumns()
{
    int x = 0;
    for (auto* column : columns)
    {
        column->setTopLeftPosition(x, 0);
        x += column->getWidth();
    }
    totalWidth = x;

    const auto view = getViewArea();
    const int viewWidth = getMaximumVisibleWidth();
    const int width = juce::jmax(viewWidth, totalWidth + juce::jmax(0, view.getX() + viewWidth - totalWidth));
    const int height = getContentHeight();
    if (content->getWidth() != width || content->getHeight() != height)
        content->setSize(width, height);
    else
        content->resized();
    repaint();
}

int ColumnBrowser::getContentHeight() const
{
    const bool barShows = isHorizontalScrollBarShown() && getWidth() > getScrollBarThickness()
                          && getHeight() > getScrollBarThickness();
    return juce::jmax(0, getHeight() - (barShows ? kGapBelowColumns + getScrollBarThickness() : 0));
}

void ColumnBrowser::placeNewColumn(Column& column)
{
    column.setSize(column.getPreferredWidth(), getContentHeight());
    content->addAndMakeVisible(column);
    // The column now draws with the browser's look-and-feel.
    column.sendLookAndFeelChange();
}

void ColumnBrowser::retireColumn(int index)
{
    std::unique_ptr<Column> column(columns.removeAndReturn(index));
    if (column == nullptr)
        return;
    content->removeChildComponent(column.get());
    column->setNeighbours(nullptr, nullptr);
    // No column may point at one that is about to go.
    updateNeighbours();
    if (column.get() == dragSource)
    {
        // The drag still needs its source: it stays, hidden, until the drag ends.
        column->setVisible(false);
        keptColumn = std::move(column);
    }
}

void ColumnBrowser::updateNeighbours()
{
    for (int i = 0; i < columns.size(); ++i)
        columns.getUnchecked(i)->setNeighbours(columns[i - 1], columns[i + 1]);
}

void ColumnBrowser::paint(juce::Graphics& g)
{
    g.fillAll(findPaletteColour(*this, DefaultLookAndFeel::columnBrowserBackgroundColourId));
    const auto view = getViewArea();
    const int end = totalWidth - view.getX();
    if (end < view.getWidth())
        drawRoundedBox(g, { end, 0, view.getWidth() - end, getContentHeight() },
                       findPaletteColour(*this, DefaultLookAndFeel::columnFillColourId),
                       findPaletteColour(*this, DefaultLookAndFeel::columnOutlineColourId), kBoxCornerSize, 1.0f);
}

void ColumnBrowser::startDrag(ListColumn& source, const juce::SparseSet<int>& rows, const juce::MouseEvent& e)
{
    if (isDragAndDropActive() || rows.isEmpty() || ! source.canDragRows(rows))
        return;

    auto& list = *source.list;
    source.draggedRows = rows;
    dragSource = &source;
    list.dragging = true;
    list.selectionAtDragStart = list.getSelectedRows();

    int x = 0, y = 0;
    const auto image = list.createSnapshotOfRows(rows, x, y);
    const auto offset = juce::Point<int>(x, y) - e.getEventRelativeTo(&list).position.toInt();
    startDragging(dragDescription, &list, image, false, &offset, &e.source);

    if (! isDragAndDropActive())
    {
        // The container refused to start: nothing is being dragged.
        source.dragEnded();
        dragSource = nullptr;
    }
}

void ColumnBrowser::dropFinished()
{
    keptColumn.reset();
}

void ColumnBrowser::dragOperationEnded(const juce::DragAndDropTarget::SourceDetails&)
{
    if (dragSource != nullptr)
        dragSource->dragEnded();
    dragSource = nullptr;
    keptColumn.reset();
}

//==============================================================================
ColumnBrowser::Column::Column(ColumnBrowser& owner) : browser(owner)
{
}

ColumnBrowser::Column::~Column() = default;

void ColumnBrowser::Column::setCurrent(bool shouldBeCurrent)
{
    current = shouldBeCurrent;
}

int ColumnBrowser::Column::getContentWidth()
{
    const bool keepsStrip = isResizable() || rightNeighbour != nullptr;
    return keepsStrip ? juce::jmax(0, getWidth() - resizeStripWidth) : getWidth();
}

void ColumnBrowser::Column::setNeighbours(Column* left, Column* right)
{
    if (left == leftNeighbour && right == rightNeighbour)
        return;
    leftNeighbour = left;
    rightNeighbour = right;
    resized();
    repaint();
}

void ColumnBrowser::Column::paint(juce::Graphics& g)
{
    const int w = getWidth();
    drawRoundedBox(g, { 0, 0, getContentWidth(), getHeight() },
                   findPaletteColour(*this, DefaultLookAndFeel::columnFillColourId),
                   findPaletteColour(*this, DefaultLookAndFeel::columnOutlineColourId), kBoxCornerSize, 1.0f);
    if (isResizable())
    {
        g.setColour(findPaletteColour(*this, DefaultLookAndFeel::columnBrowserColour7Id));
        const int top = (getHeight() - kGripLength) / 2;
        for (const int x : { w - 6, w - 4, w - 2 })
            g.fillRect(x, top, 1, kGripLength);
    }
}

bool ColumnBrowser::Column::isInResizeStrip(int x)
{
    return isResizable() && x >= getContentWidth();
}

void ColumnBrowser::Column::mouseMove(const juce::MouseEvent& e)
{
    setMouseCursor(isInResizeStrip(e.x) ? juce::MouseCursor::LeftRightResizeCursor
                                        : juce::MouseCursor::NormalCursor);
}

void ColumnBrowser::Column::mouseDown(const juce::MouseEvent& e)
{
    if (! isInResizeStrip(e.x))
        return;
    resizing = true;
    widthAtResizeStart = getWidth();
    repaint();
}

void ColumnBrowser::Column::mouseDrag(const juce::MouseEvent& e)
{
    if (! resizing)
        return;
    setSize(juce::jmax(getMinimumWidth(), widthAtResizeStart + e.getDistanceFromDragStartX()), getHeight());
    browser.layoutColumns();
}

void ColumnBrowser::Column::mouseUp(const juce::MouseEvent&)
{
    if (! resizing)
        return;
    resizing = false;
    repaint();
}

//==============================================================================
ColumnBrowser::ListColumn::ListColumn(ColumnBrowser& owner) : Column(owner), list(std::make_unique<List>(*this))
{
    addAndMakeVisible(*list);
}

ColumnBrowser::ListColumn::~ListColumn()
{
    stopTimer();
    if (getBrowser().dragSource == this)
        getBrowser().dragSource = nullptr;
    list.reset();
}

juce::ListBox& ColumnBrowser::ListColumn::getList() noexcept
{
    return *list;
}

void ColumnBrowser::ListColumn::setCurrent(bool shouldBeCurrent)
{
    Column::setCurrent(shouldBeCurrent);
    // Only a list on the screen can take the focus.
    if (shouldBeCurrent && list->isShowing())
        list->grabKeyboardFocus();
}

void ColumnBrowser::ListColumn::refresh()
{
    list->updateContent();
    repaint();
}

void ColumnBrowser::ListColumn::selectRow(int row, bool deselectOthers)
{
    list->changeSelectionQuietly([&] { list->selectRow(row, false, deselectOthers); });
}

void ColumnBrowser::ListColumn::openRow(int row)
{
    if (! juce::isPositiveAndBelow(row, getNumRows()))
        return;

    // A subclass whose new column does not follow this one removes this column.
    juce::Component::SafePointer<ListColumn> self(this);
    auto& owner = getBrowser();
    owner.addColumn(createColumnForRow(row));
    if (self == nullptr)
        return;

    owner.scrollColumnIntoView(*this);
    if (auto* last = owner.getLastColumn())
        owner.scrollColumnIntoView(*last);
    owner.setCurrentColumn(this);
    rowSelected(row);
}

void ColumnBrowser::ListColumn::startRename(int row)
{
    auto* item = dynamic_cast<ItemComponent*>(list->getComponentForRowNumber(row));
    if (item == nullptr || ! juce::isPositiveAndBelow(row, getNumRows()) || ! canRenameRow(row))
        return;
    item->startRename();
}

bool ColumnBrowser::ListColumn::moveToLeftNeighbour()
{
    auto* left = dynamic_cast<ListColumn*>(getLeftNeighbour());
    if (left == nullptr)
        return true;
    // Re-opening the left neighbour's row replaces this column.
    left->openRow(left->list->getLastRowSelected());
    return true;
}

bool ColumnBrowser::ListColumn::moveToRightNeighbour()
{
    auto* right = dynamic_cast<ListColumn*>(getRightNeighbour());
    if (right == nullptr || right->getNumRows() == 0)
        return true;
    right->selectRow(0, true);
    right->list->scrollToEnsureRowIsOnscreen(0);
    right->openRow(0);
    return true;
}

void ColumnBrowser::ListColumn::backgroundClickedInList()
{
    getBrowser().removeColumnsAfter(this);
    list->changeSelectionQuietly([this] { list->deselectAllRows(); });
    backgroundClicked();
    refresh();
}

void ColumnBrowser::ListColumn::dragEnded()
{
    list->endSelectionGuard();
}

ColumnBrowser::ListColumn* ColumnBrowser::ListColumn::sourceOf(const SourceDetails& details)
{
    if (auto* sourceList = dynamic_cast<List*>(details.sourceComponent.get()))
        return &sourceList->column;
    return nullptr;
}

bool ColumnBrowser::ListColumn::isInterestedInDragSource(const SourceDetails& details)
{
    auto* source = sourceOf(details);
    return details.description.toString() == dragDescription && source != nullptr
           && &source->getBrowser() == &getBrowser();
}

void ColumnBrowser::ListColumn::itemDragEnter(const SourceDetails& details)
{
    juce::Component::beginDragAutoRepeat(kDragAutoRepeatMs);
    updateDropPlace(details);
}

void ColumnBrowser::ListColumn::itemDragMove(const SourceDetails& details)
{
    updateDropPlace(details);
}

void ColumnBrowser::ListColumn::updateDropPlace(const SourceDetails& details)
{
    auto* source = sourceOf(details);
    if (source == nullptr)
        return;

    const auto inList = details.localPosition - list->getPosition();
    int row = -1;
    auto mode = DropMode::none;
    if (list->getLocalBounds().contains(inList))
    {
        auto* viewport = list->getViewport();
        const int hit = list->getRowContainingPosition(inList.x, inList.y);
        if (hit >= 0)
        {
            const int h = rowHeight;
            const int y = viewport->getViewPositionY() + inList.y - viewport->getY() - hit * h;
            if (canDropInto(source, hit))
            {
                if (y < kEdgeBand && canDropBefore(source, hit))
                    mode = DropMode::beforeRow;
                else if (y < h - kEdgeBand || ! canDropAfter(source, hit))
                    mode = DropMode::intoRow;
                else
                    mode = DropMode::afterRow;
            }
            else if (y < h / 2 && canDropBefore(source, hit))
                mode = DropMode::beforeRow;
            else if (canDropAfter(source, hit))
                mode = DropMode::afterRow;
            if (mode != DropMode::none)
                row = hit;
        }
        const auto inViewport = inList - viewport->getPosition();
        viewport->autoScroll(inViewport.x, inViewport.y, rowHeight / 2, rowHeight);
    }
    if (mode == DropMode::none && canDropOntoColumn(source))
        mode = DropMode::ontoColumn;

    setDropPlace(row, mode);

    auto& owner = getBrowser();
    const auto inBrowser = owner.getLocalPoint(this, details.localPosition);
    owner.autoScroll(inBrowser.x, inBrowser.y, kBrowserAutoScrollBorder, kBrowserAutoScrollSpeed);
}

void ColumnBrowser::ListColumn::setDropPlace(int row, DropMode mode)
{
    if (row == dropRow && mode == dropMode)
        return;
    dropRow = row;
    dropMode = mode;
    repaint();
    if (mode == DropMode::intoRow)
    {
        waitingRow = row;
        startTimer(hoverOpenDelayMs);
    }
}

void ColumnBrowser::ListColumn::clearDropPlace()
{
    stopTimer();
    dropRow = -1;
    dropMode = DropMode::none;
    repaint();
}

void ColumnBrowser::ListColumn::itemDragExit(const SourceDetails&)
{
    clearDropPlace();
}

void ColumnBrowser::ListColumn::itemDropped(const SourceDetails& details)
{
    auto* source = sourceOf(details);
    const int row = dropRow;
    const auto mode = dropMode;
    juce::Component::SafePointer<ListColumn> self(this);
    if (source != nullptr)
    {
        switch (mode)
        {
            case DropMode::ontoColumn: dropOntoColumn(source); break;
            case DropMode::intoRow: dropInto(source, row); break;
            case DropMode::beforeRow: dropBefore(source, row); break;
            case DropMode::afterRow: dropAfter(source, row); break;
            case DropMode::none: break;
        }
    }
    if (self == nullptr)
        return;
    clearDropPlace();
    auto& owner = getBrowser();
    owner.dropFinished();
    owner.refreshColumns();
}

void ColumnBrowser::ListColumn::timerCallback()
{
    stopTimer();
    const int row = waitingRow;
    if (! juce::isPositiveAndBelow(row, getNumRows()))
        return;
    selectRow(row, true);
    list->scrollToEnsureRowIsOnscreen(row);
    juce::Component::SafePointer<ListColumn> self(this);
    openRow(row);
    if (self == nullptr)
        return;
    getBrowser().scrollColumnIntoView(*this);
    getBrowser().setCurrentColumn(this);
}

void ColumnBrowser::ListColumn::resized()
{
    const int width = getContentWidth() < getWidth() ? getWidth() - 15 : getWidth() - 2 * kListInset;
    list->setBounds(kListInset, kListInset, juce::jmax(0, width), juce::jmax(0, getHeight() - 2 * kListInset));
}

void ColumnBrowser::ListColumn::paintOverChildren(juce::Graphics& g)
{
    if (dropMode == DropMode::ontoColumn)
        drawRoundedOutline(g, { 0, 0, getContentWidth(), getHeight() }, juce::Colours::red, kDropOutlineCornerSize,
                           1.0f);
}
