#include "TestHelpers.h"
#include "ToolkitTestSupport.h"

#include "toolkit/ComponentRow.h"
#include "toolkit/DefaultResourceCheckBox.h"
#include "toolkit/ModulationSlider.h"
#include "toolkit/RatingComponent.h"
#include "toolkit/TabbedComponentEx.h"
#include "toolkit/TextButtonEx.h"

namespace
{
struct PathCounter : PathComponent::Listener, DefaultResourceCheckBox::Listener, RatingComponent::Listener,
                     TabbedComponentEx::Listener
{
    void pathChanged(PathComponent*) override { ++paths; }
    void defaultResourceChanged(DefaultResourceCheckBox*) override { ++resources; }
    void ratingChanged(RatingComponent*) override { ++ratings; }
    void tabChanged(TabbedComponentEx*) override { ++tabs; }
    int paths = 0, resources = 0, ratings = 0, tabs = 0;
};
} // namespace

using SmallWidgetTest = ToolkitTest;

TEST_F(SmallWidgetTest, PathFieldTellsRealChangesAndCutsLongPaths)
{
    PathCounter counter;
    PathComponent path;
    path.addListener(&counter);
    path.setBounds(0, 0, 300, 22);

    path.setFile(juce::File("/tmp/Maps/Default.tnhpmap"), true);
    EXPECT_EQ(counter.paths, 1);
    path.setFile(juce::File("/tmp/Maps/Default.tnhpmap"), true);
    EXPECT_EQ(counter.paths, 1);
    // On Linux another letter case is another file.
    path.setFile(juce::File("/tmp/maps/default.tnhpmap"), true);
    EXPECT_EQ(counter.paths, 2);
    EXPECT_EQ(path.getFile().getFullPathName(), "/tmp/maps/default.tnhpmap");
    path.setFile(juce::File("/tmp/other.tnhpmap"), false);
    EXPECT_EQ(counter.paths, 2);

    // The button sits at the top right, the field takes the rest less the gap.
    auto& browse = path.getBrowseButton();
    EXPECT_EQ(browse.getRight(), 300);
    EXPECT_EQ(path.getFieldArea().getWidth(), 300 - browse.getWidth() - PathComponent::gap);
    EXPECT_FALSE(path.isPathCut());
    path.setFile(juce::File("/tmp/" + juce::String::repeatedString("very-long-folder/", 8) + "x.tnhpmap"), false);
    EXPECT_TRUE(path.isPathCut());

    // A chooser that was cancelled changes nothing.
    path.fileChosen(juce::File());
    EXPECT_EQ(counter.paths, 2);
    path.fileChosen(juce::File("/tmp/chosen.tnhpmap"));
    EXPECT_EQ(counter.paths, 3);

    path.setEnabled(false);
    EXPECT_FALSE(browse.isEnabled());
}

TEST_F(SmallWidgetTest, DefaultResourceBoxSwitchesBetweenDefaultAndFile)
{
    PathCounter counter;
    DefaultResourceCheckBox box;
    box.addListener(&counter);
    box.setBounds(0, 0, 300, 22);
    box.setVisible(true);
    auto& check = box.getCheckBox();
    EXPECT_EQ(check.getBounds(), juce::Rectangle<int>(0, 0, 22, 22));
    EXPECT_EQ(box.getPathComponent().getWidth(), 300 - 6 - 22);

    box.setFile(juce::File("/tmp/user.tnccmap"), true);
    EXPECT_TRUE(box.isChecked());
    EXPECT_TRUE(box.getPathComponent().isEnabled());
    EXPECT_EQ(box.getFile(), juce::File("/tmp/user.tnccmap"));
    EXPECT_EQ(counter.resources, 1);

    box.setFile(juce::File(), false);
    EXPECT_FALSE(box.isChecked());
    EXPECT_FALSE(box.getPathComponent().isEnabled());
    EXPECT_EQ(box.getFile(), juce::File());
    EXPECT_EQ(counter.resources, 1);

    // The user ticks the box: the field comes alive and the listeners hear.
    click(check, { 5, 5 });
    EXPECT_TRUE(box.isChecked());
    EXPECT_TRUE(box.getPathComponent().isEnabled());
    EXPECT_EQ(counter.resources, 2);
    box.getPathComponent().fileChosen(juce::File("/tmp/new.tnccmap"));
    EXPECT_EQ(counter.resources, 3);
    EXPECT_EQ(box.getFile(), juce::File("/tmp/new.tnccmap"));
}

TEST_F(SmallWidgetTest, RatingIgnoresValuesOutsideItsMarks)
{
    PathCounter counter;
    RatingComponent rating;
    rating.addListener(&counter);
    rating.setVisible(true);
    EXPECT_EQ(rating.getWidth(), 5 * 16);
    EXPECT_EQ(rating.getHeight(), 16);

    for (int bad : { 0, -1, 6 })
        rating.setRating(bad, true);
    EXPECT_EQ(rating.getRating(), 0);
    EXPECT_EQ(counter.ratings, 0);

    click(rating, { 40, 8 });
    EXPECT_EQ(rating.getRating(), 3);
    EXPECT_EQ(counter.ratings, 1);
    click(rating, { 40, 8 });
    EXPECT_EQ(counter.ratings, 1);
    // Right of the last mark asks for maximum + 1.
    click(rating, { 5 * 16 + 3, 8 });
    EXPECT_EQ(rating.getRating(), 3);
    mouseEventAt(rating, { 2, 8 }, down);
    mouseEventAt(rating, { 70, 8 }, drag);
    EXPECT_EQ(rating.getRating(), 5);

    rating.setMaximum(0);
    EXPECT_EQ(rating.getMaximum(), 5);
    rating.setMaximum(10);
    EXPECT_EQ(rating.getWidth(), 160);
}

TEST_F(SmallWidgetTest, RowsAndColumnsHoldTheirChildren)
{
    ComponentRow empty;
    EXPECT_EQ(empty.getBounds(), juce::Rectangle<int>());

    ComponentRow row(ComponentRow::row, ComponentRow::alignCentre);
    juce::Component a, b, c;
    a.setSize(30, 10);
    b.setSize(20, 30);
    c.setSize(10, 20);
    row.setSpacing(4);
    row.addAndMakeVisible(a);
    row.addAndMakeVisible(b);
    row.addAndMakeVisible(c);
    EXPECT_EQ(row.getWidth(), 30 + 20 + 10 + 2 * 4);
    EXPECT_EQ(row.getHeight(), 30);
    EXPECT_EQ(a.getPosition(), juce::Point<int>(0, 10));
    EXPECT_EQ(b.getPosition(), juce::Point<int>(34, 0));
    EXPECT_EQ(c.getPosition(), juce::Point<int>(58, 5));

    // A child that grows moves the ones after it.
    a.setSize(40, 10);
    EXPECT_EQ(b.getX(), 44);
    EXPECT_EQ(row.getWidth(), 78);

    row.setOrientation(ComponentRow::column);
    row.setAlignment(ComponentRow::alignEnd);
    EXPECT_EQ(row.getWidth(), 40);
    EXPECT_EQ(row.getHeight(), 10 + 30 + 20 + 8);
    EXPECT_EQ(b.getPosition(), juce::Point<int>(20, 14));
    EXPECT_EQ(c.getPosition(), juce::Point<int>(30, 48));

    row.removeChildComponent(&b);
    EXPECT_EQ(row.getHeight(), 10 + 20 + 4);
}

TEST_F(SmallWidgetTest, PanelsFitTitleAndContent)
{
    PanelComponent panel("Processing");
    juce::Component content;
    content.setSize(200, 50);
    panel.setContent(&content, true);
    const int fontHeight = (int) laf.getBoldFont().getHeight();
    EXPECT_EQ(panel.getWidth(), 216);
    EXPECT_EQ(panel.getHeight(), fontHeight + 16 + 50);
    EXPECT_EQ(content.getPosition(), juce::Point<int>(8, fontHeight + 8));

    content.setSize(260, 60);
    EXPECT_EQ(panel.getWidth(), 276);
    EXPECT_EQ(panel.getHeight(), fontHeight + 16 + 60);

    // The same content again changes nothing; another one replaces it.
    panel.setContent(&content, false);
    EXPECT_EQ(panel.getNumChildComponents(), 1);
    juce::Component other;
    other.setSize(10, 10);
    panel.setContent(&other, false);
    EXPECT_EQ(content.getParentComponent(), nullptr);
    EXPECT_EQ(panel.getContentArea(), juce::Rectangle<int>(8, fontHeight + 8, 276 - 16, panel.getHeight() - fontHeight - 16));

    // A long title widens a fitted panel.
    PanelComponent titled;
    titled.setSize(10, 40);
    titled.setTitle("A rather long panel title", true);
    EXPECT_EQ(titled.getWidth(), (int) std::ceil(laf.getBoldFont().getStringWidthFloat("A rather long panel title")) + 20);
    EXPECT_EQ(titled.getHeight(), 40);
}

TEST_F(SmallWidgetTest, TextButtonsAndHardLabelsFitTheirText)
{
    TextButtonEx empty("", 1);
    EXPECT_EQ(empty.getWidth(), empty.getLeftWidth() + empty.getRightWidth());
    TextButtonEx save("Save", 1);
    const int textWidth = (int) std::ceil(laf.getDefaultFont().getStringWidthFloat("Save"));
    EXPECT_EQ(save.getTextWidth(), textWidth);
    EXPECT_EQ(save.getWidth(), textWidth + save.getLeftWidth() + save.getRightWidth());
    save.setText("Save as...");
    EXPECT_GT(save.getWidth(), textWidth + save.getLeftWidth() + save.getRightWidth());

    HardLabel label("name", "A text far too long for its little box");
    label.setBorderSize({ 1, 2, 1, 3 });
    label.setSize(40, 16);
    label.changeWidthToFitText(-1);
    EXPECT_EQ(label.getHeight(), 16);
    EXPECT_EQ(label.getWidth(), 5 + (int) std::ceil(laf.getDefaultFont().getStringWidthFloat(label.getText())));
    EXPECT_EQ(label.getWidthForText("ab"), 5 + (int) std::ceil(laf.getDefaultFont().getStringWidthFloat("ab")));

    // Drawn cut, never shrunk: the box's right edge has ink up to the border.
    label.setSize(60, 16);
    label.setColour(juce::Label::textColourId, juce::Colours::black);
    juce::Image image(juce::Image::ARGB, 60, 16, true);
    {
        juce::Graphics g(image);
        label.paintEntireComponent(g, false);
    }
    int inkAtRight = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 50; x < 57; ++x)
            inkAtRight += image.getPixelAt(x, y).getAlpha() > 100 ? 1 : 0;
    EXPECT_GT(inkAtRight, 0);
}

TEST_F(SmallWidgetTest, TabsTellTheirListenersAndTakeTheTabDepth)
{
    PathCounter counter;
    TabbedComponentEx tabs(juce::TabbedButtonBar::TabsAtTop);
    tabs.addListener(&counter);
    tabs.addListener(&counter);
    tabs.addListener(nullptr);
    tabs.setSize(300, 200);
    EXPECT_EQ(tabs.getTabBarDepth(), 23);
    tabs.addTab("One", juce::Colours::lightgrey, new juce::Component(), true);
    tabs.addTab("Two", juce::Colours::lightgrey, new juce::Component(), true);
    const int before = counter.tabs;
    tabs.setCurrentTabIndex(1);
    EXPECT_EQ(counter.tabs, before + 1);

    ModulationSlider modulation;
    modulation.setModulationValue(3.0f);
    EXPECT_FLOAT_EQ(modulation.getModulationValue(), 1.0f);
    EXPECT_DOUBLE_EQ(modulation.getMinimum(), -1.0);
    EXPECT_DOUBLE_EQ(modulation.getMaximum(), 1.0);
}
