// How fast the column browser fills and scrolls a folder of many items, printed
// as times per operation next to a 60 Hz frame (16.7 ms): an operation that
// stays well below a frame shows no stall.
// Usage: tavinor_browser_bench [items in the large folder, default 5000]

#include "toolkit/ColumnBrowser.h"
#include "toolkit/DefaultLookAndFeel.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace
{
constexpr double kFrameMs = 1000.0 / 60.0;
constexpr int kBrowserWidth = 1200;
constexpr int kBrowserHeight = 500;
constexpr int kFillRepeats = 20;

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Figures
{
    std::vector<double> times;

    void add(double ms) { times.push_back(ms); }
    double mean() const
    {
        double sum = 0.0;
        for (double t : times)
            sum += t;
        return times.empty() ? 0.0 : sum / (double) times.size();
    }
    double worst() const { return times.empty() ? 0.0 : *std::max_element(times.begin(), times.end()); }

    void print(const char* what) const
    {
        std::printf("%-44s %6zu x  mean %8.3f ms  worst %8.3f ms  (worst = %5.1f%% of a frame)\n", what,
                    times.size(), mean(), worst(), 100.0 * worst() / kFrameMs);
    }
};

// Names like a preset library's, so that text drawing costs what it will.
juce::String itemName(int index)
{
    static const char* const words[] = { "Tape", "Dub", "Glass", "Wide", "Frozen", "Dotted", "Ping", "Slow" };
    return juce::String(words[index % 8]) + " " + words[(index / 8) % 8] + " " + juce::String(index + 1);
}

class BenchBrowser;

// The root holds a small folder and a large one; the folders hold leaves.
class BenchColumn : public ColumnBrowser::ListColumn
{
public:
    BenchColumn(ColumnBrowser& owner, int folder, int items) : ListColumn(owner), folderIndex(folder), count(items)
    {
        names.ensureStorageAllocated(items);
        for (int i = 0; i < items; ++i)
            names.add(folder < 0 ? (i == 0 ? "Small folder" : "Large folder") : itemName(i));
    }

    int getNumRows() override { return count; }
    juce::String getRowText(int row) override { return names[row]; }
    juce::Image getRowImage(int row, bool selected) override { return selected ? selectedIcon : icon; }
    bool rowHasChildren(int) override { return folderIndex < 0; }
    bool followsColumn(Column* c) override
    {
        auto* other = dynamic_cast<BenchColumn*>(c);
        return other != nullptr && other->folderIndex < 0 && folderIndex >= 0;
    }
    bool isChildOf(Column* c) override { return followsColumn(c); }
    std::unique_ptr<Column> createColumnForRow(int row) override;

    static inline juce::Image icon, selectedIcon;
    int folderIndex;
    int count;
    int largeFolderSize = 0;
    juce::StringArray names;
};

class BenchBrowser : public ColumnBrowser
{
public:
    explicit BenchBrowser(int largeItems) : large(largeItems) {}
    std::unique_ptr<Column> createRootColumn() override
    {
        auto root = std::make_unique<BenchColumn>(*this, -1, 2);
        root->largeFolderSize = large;
        return root;
    }
    BenchColumn& column(int index) { return *dynamic_cast<BenchColumn*>(getColumn(index)); }

    int large;
};

std::unique_ptr<ColumnBrowser::Column> BenchColumn::createColumnForRow(int row)
{
    if (folderIndex >= 0)
        return nullptr;
    return std::make_unique<BenchColumn>(getBrowser(), row, row == 0 ? 12 : largeFolderSize);
}

juce::Image makeIcon(juce::Colour colour)
{
    juce::Image image(juce::Image::ARGB, 16, 16, true);
    juce::Graphics g(image);
    g.setColour(colour);
    g.fillRoundedRectangle(2.0f, 2.0f, 12.0f, 12.0f, 2.0f);
    return image;
}

// What the screen would do after each step: draw the browser once.
void draw(juce::Component& c)
{
    juce::Image frame(juce::Image::ARGB, c.getWidth(), c.getHeight(), true);
    juce::Graphics g(frame);
    c.paintEntireComponent(g, true);
}

int run(int largeItems)
{
    DefaultLookAndFeel laf;
    juce::LookAndFeel::setDefaultLookAndFeel(&laf);
    BenchColumn::icon = makeIcon(juce::Colour(0xFFF2B844));
    BenchColumn::selectedIcon = makeIcon(juce::Colour(0xFFFFD27A));

    int result = 0;
    {
        BenchBrowser browser(largeItems);
        browser.setSize(kBrowserWidth, kBrowserHeight);
        browser.reset();
        draw(browser);

        std::printf("column browser, %d items in the large folder, %d x %d pixels\n\n", largeItems, kBrowserWidth,
                    kBrowserHeight);

        // Opening: the user selects the folder; its column is made, filled and drawn.
        Figures openLarge, openSmall;
        for (int i = 0; i < kFillRepeats; ++i)
        {
            for (int row : { 1, 0 })
            {
                const auto start = Clock::now();
                browser.column(0).getList().selectRow(row);
                draw(browser);
                (row == 1 ? openLarge : openSmall).add(millisecondsSince(start));
            }
        }
        openSmall.print("open the 12-item folder and draw");
        openLarge.print("open the large folder and draw");

        browser.column(0).getList().selectRow(1);
        if (browser.getNumColumns() != 2 || browser.column(1).getNumRows() != largeItems)
        {
            std::printf("the large folder did not open\n");
            return 1;
        }
        auto& list = browser.column(1).getList();
        auto* viewport = list.getViewport();

        // Scrolling a page at a time from the top to the bottom and back.
        Figures pages;
        const int page = juce::jmax(1, viewport->getViewHeight());
        const int bottom = juce::jmax(0, viewport->getViewedComponent()->getHeight() - page);
        for (int pass = 0; pass < 2; ++pass)
            for (int y = 0; y <= bottom + page; y += page)
            {
                const auto start = Clock::now();
                viewport->setViewPosition(0, pass == 0 ? y : bottom - y);
                draw(browser);
                pages.add(millisecondsSince(start));
            }
        pages.print("scroll one page and draw");

        // Scrolling by the wheel's small steps through the first thousand rows.
        Figures steps;
        viewport->setViewPosition(0, 0);
        for (int y = 0; y < 1000 * ColumnBrowser::ListColumn::rowHeight && y <= bottom; y += 30)
        {
            const auto start = Clock::now();
            viewport->setViewPosition(0, y);
            draw(browser);
            steps.add(millisecondsSince(start));
        }
        steps.print("scroll 30 pixels and draw");

        // The down arrow through every row: each selection opens its row.
        Figures keys;
        list.selectRow(0);
        const juce::KeyPress down(juce::KeyPress::downKey);
        for (int i = 1; i < largeItems; ++i)
        {
            const auto start = Clock::now();
            list.keyPressed(down);
            if (i % 50 == 0)
                draw(browser);
            keys.add(millisecondsSince(start));
        }
        keys.print("down arrow (drawn every 50th key)");
        if (list.getLastRowSelected() != largeItems - 1)
        {
            std::printf("the down arrow stopped at row %d\n", list.getLastRowSelected());
            result = 1;
        }

        // Refreshing every column, as a rescan of the library does.
        Figures refreshes;
        for (int i = 0; i < kFillRepeats; ++i)
        {
            const auto start = Clock::now();
            browser.refreshColumns();
            draw(browser);
            refreshes.add(millisecondsSince(start));
        }
        refreshes.print("refresh every column and draw");
    }
    juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
    return result;
}
} // namespace

int main(int argc, char** argv)
{
    const int items = argc > 1 ? std::atoi(argv[1]) : 5000;
    if (items < 1)
    {
        std::fprintf(stderr, "usage: tavinor_browser_bench [items]\n");
        return 2;
    }
    juce::ScopedJuceInitialiser_GUI juce;
    return run(items);
}
