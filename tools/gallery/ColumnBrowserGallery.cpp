// The column browser in the gallery: a small folder tree walked three levels
// deep, and the same browser while rows are dragged and one is renamed.

#include "Gallery.h"

#include "toolkit/ColumnBrowser.h"
#include "toolkit/DefaultLookAndFeel.h"

#include <vector>

namespace
{
struct Entry
{
    juce::String name;
    std::vector<Entry> children;
    bool isFolder() const { return ! children.empty(); }
};

Entry makeLibrary()
{
    auto presets = [](std::initializer_list<const char*> names) {
        std::vector<Entry> list;
        for (auto* n : names)
            list.push_back({ n, {} });
        return list;
    };
    return { "", { { "Ambient", presets({ "Cloud Chamber", "Glass Hall", "Slow Bloom", "Wide Tail" }) },
                   { "Dub", { { "Classic", presets({ "Tape Echo", "Spring Loop", "Roots Echo" }) },
                              { "Modern", presets({ "Ping Pong 3/16", "Dotted Eighths", "Filtered Feedback",
                                                    "Frozen Loop", "Half Time Echo" }) } } },
                   { "Rhythmic", presets({ "Four Taps", "Triplet Grid", "Serial Groove" }) },
                   { "Init", {} } } };
}

class LibraryBrowser;

class FolderColumn : public ColumnBrowser::ListColumn
{
public:
    FolderColumn(LibraryBrowser& owner, std::vector<int> p);

    const Entry& entry() const;
    const Entry& child(int row) const { return entry().children[(size_t) row]; }

    int getNumRows() override { return (int) entry().children.size(); }
    juce::String getRowText(int row) override { return child(row).name; }
    // The look-and-feel's small folder and preset icons.
    juce::Image getRowImage(int row, bool) override
    {
        return DefaultLookAndFeel::getSmallIcon(child(row).isFolder() ? 1 : 2);
    }
    bool rowHasChildren(int row) override { return child(row).isFolder(); }
    bool followsColumn(Column* c) override
    {
        auto* other = dynamic_cast<FolderColumn*>(c);
        return other != nullptr && other->path.size() < path.size()
               && std::equal(other->path.begin(), other->path.end(), path.begin());
    }
    bool isChildOf(Column* c) override
    {
        return followsColumn(c) && dynamic_cast<FolderColumn*>(c)->path.size() + 1 == path.size();
    }
    std::unique_ptr<Column> createColumnForRow(int row) override
    {
        if (! child(row).isFolder())
            return nullptr;
        auto childPath = path;
        childPath.push_back(row);
        return std::make_unique<FolderColumn>(library, childPath);
    }

    LibraryBrowser& library;
    std::vector<int> path;
};

class LibraryBrowser : public ColumnBrowser
{
public:
    std::unique_ptr<Column> createRootColumn() override
    {
        return std::make_unique<FolderColumn>(*this, std::vector<int> {});
    }

    FolderColumn& column(int index) { return *dynamic_cast<FolderColumn*>(getColumn(index)); }

    Entry root = makeLibrary();
};

FolderColumn::FolderColumn(LibraryBrowser& owner, std::vector<int> p)
    : ListColumn(owner), library(owner), path(std::move(p))
{
}

const Entry& FolderColumn::entry() const
{
    const Entry* e = &library.root;
    for (int index : path)
        e = &e->children[(size_t) index];
    return *e;
}

// Two browsers on one sheet: walked to a preset, and in the middle of a drag.
class BrowserSheet : public juce::Component
{
public:
    BrowserSheet()
    {
        for (auto* b : { &walked, &dragging })
        {
            b->setSize(860, 240);
            addAndMakeVisible(*b);
            b->reset();
        }
        walked.setTopLeftPosition(12, 12);
        dragging.setTopLeftPosition(12, 264);
        setSize(884, 516);
    }

    // The selections are made as a user makes them, once everything has its size.
    void arrange()
    {
        openByUser(walked.column(0), 1);
        openByUser(walked.column(1), 1);
        openByUser(walked.column(2), 2);

        openByUser(dragging.column(0), 1);
        openByUser(dragging.column(1), 0);
        auto& classic = dragging.column(2);
        classic.selectRow(0, true);
        // Dragged over "Modern" of the second column, which would take the rows into it.
        auto& dub = dragging.column(1);
        const juce::DragAndDropTarget::SourceDetails over(ColumnBrowser::dragDescription, &classic.getList(),
                                                          { 40, 4 + 20 + 10 });
        dub.itemDragEnter(over);
        dub.stopTimer();
        // A row being renamed in place.
        classic.startRename(2);
    }

    void paint(juce::Graphics& g) override { g.fillAll(findColour(DefaultLookAndFeel::generalBackgroundColourId)); }

private:
    static void openByUser(FolderColumn& column, int row)
    {
        column.getList().selectRow(row);
    }

    LibraryBrowser walked, dragging;
};

void fillColumnBrowser(Gallery& gallery)
{
    auto sheet = std::make_unique<BrowserSheet>();
    auto* raw = sheet.get();
    gallery.whenLaidOut([raw] { raw->arrange(); });
    gallery.addSheet("column-browser", std::move(sheet));
}

const GallerySection columnBrowser("column browser", fillColumnBrowser);
} // namespace
