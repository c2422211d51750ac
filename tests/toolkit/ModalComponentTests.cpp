#include "ToolkitTestSupport.h"

namespace
{
class Dialog : public ModalComponent
{
public:
    Dialog() { setSize(200, 100); }
};

class DimmingWindow : public WindowComponent
{
public:
    bool shouldDimBackground() const override { return true; }
};
} // namespace

using ModalComponentTest = ToolkitTest;

TEST_F(ModalComponentTest, WithoutDesktopTheComponentIsShownInPlace)
{
    juce::Component page;
    page.setSize(400, 300);
    Dialog dialog;
    page.addChildComponent(dialog);
    dialog.setTopLeftPosition(7, 9);

    dialog.show();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.getParentComponent(), &page);
    EXPECT_EQ(dialog.getPosition(), juce::Point<int>(7, 9));
    EXPECT_EQ(dialog.getCoveringWindow().getParentComponent(), nullptr);
}

TEST_F(ModalComponentTest, ShowCentresInTheDesktopAreaAndHideKeepsItAttached)
{
    TestDesktop desktop;
    desktop.setSize(800, 600);
    desktop.area = { 100, 50, 600, 400 };
    juce::Component page;
    desktop.addAndMakeVisible(page);
    Dialog dialog;
    page.addChildComponent(dialog);

    dialog.show();
    auto& cover = dialog.getCoveringWindow();
    ASSERT_EQ(dialog.getParentComponent(), &cover);
    ASSERT_EQ(cover.getParentComponent(), &desktop);
    EXPECT_TRUE(cover.isVisible());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(cover.getBounds(), desktop.getLocalBounds());
    EXPECT_EQ(dialog.getCoveringArea(), juce::Rectangle<int>(0, 0, 800, 600));
    // The area's own origin is not added.
    EXPECT_EQ(dialog.getBounds().getCentre(), juce::Point<int>(300, 200));

    desktop.setSize(900, 700);
    EXPECT_EQ(cover.getBounds(), desktop.getLocalBounds());

    dialog.hide();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_FALSE(cover.isVisible());
    EXPECT_EQ(cover.getParentComponent(), &desktop);
    EXPECT_EQ(desktop.getIndexOfChildComponent(&cover), 0);

    // Shown again: the same cover, nothing duplicated.
    dialog.show();
    EXPECT_TRUE(cover.isVisible());
    EXPECT_EQ(desktop.getNumChildComponents(), 2);
}

TEST_F(ModalComponentTest, ShowAtConvertsThePointAndAShownComponentKeepsItsPlace)
{
    TestDesktop desktop;
    desktop.setSize(800, 600);
    juce::Component anchor;
    desktop.addAndMakeVisible(anchor);
    anchor.setBounds(100, 200, 50, 20);
    Dialog dialog;
    desktop.addChildComponent(dialog);

    dialog.showAt({ 5, 20 }, &anchor);
    EXPECT_EQ(dialog.getPosition(), juce::Point<int>(105, 220));

    // Already shown: the mode and point stay as they were.
    dialog.show();
    EXPECT_EQ(dialog.getPosition(), juce::Point<int>(105, 220));
    dialog.showAt({ 1, 1 }, nullptr);
    EXPECT_EQ(dialog.getPosition(), juce::Point<int>(105, 220));

    dialog.hide();
    dialog.showAt({ 1, 1 }, nullptr);
    EXPECT_EQ(dialog.getPosition(), juce::Point<int>(1, 1));
    dialog.hide();
    dialog.show();
    EXPECT_EQ(dialog.getBounds().getCentre(), juce::Point<int>(400, 300));
}

TEST_F(ModalComponentTest, LeavingTheCoverNeverLeavesAStaleCover)
{
    TestDesktop desktop;
    desktop.setSize(800, 600);
    juce::Component other;
    desktop.addAndMakeVisible(other);

    {
        // Taken out of its cover to no parent at all.
        Dialog dialog;
        desktop.addChildComponent(dialog);
        dialog.show();
        ASSERT_EQ(dialog.getCoveringWindow().getParentComponent(), &desktop);
        dialog.getCoveringWindow().removeChildComponent(&dialog);
        EXPECT_EQ(dialog.getCoveringWindow().getParentComponent(), nullptr);
        EXPECT_EQ(desktop.getNumChildComponents(), 1);

        // Shown again from nowhere: no desktop above it, so shown in place.
        dialog.show();
        EXPECT_TRUE(dialog.isVisible());
    }
    {
        // Moved to another parent.
        Dialog dialog;
        other.addChildComponent(dialog);
        dialog.show();
        ASSERT_EQ(dialog.getCoveringWindow().getParentComponent(), &desktop);
        other.addChildComponent(dialog);
        EXPECT_EQ(dialog.getParentComponent(), &other);
        EXPECT_EQ(dialog.getCoveringWindow().getParentComponent(), nullptr);

        // Showing re-attaches through the new parent.
        dialog.show();
        EXPECT_EQ(dialog.getCoveringWindow().getParentComponent(), &desktop);
        EXPECT_TRUE(dialog.getCoveringWindow().isVisible());
    }
    // Destroyed while shown: the desktop holds nothing of it.
    EXPECT_EQ(desktop.getNumChildComponents(), 1);
}

TEST_F(ModalComponentTest, WindowGeometryFollowsFrameTitleBarAndMargins)
{
    WindowComponent window;
    window.setContentSize(0, 0);
    EXPECT_EQ(window.getWidth(), 250);
    EXPECT_EQ(window.getHeight(), 120);

    window.setContentSize(300, 200);
    EXPECT_EQ(window.getWidth(), 318);
    EXPECT_EQ(window.getHeight(), 249);
    EXPECT_EQ(window.getContentArea(), juce::Rectangle<int>(9, 37, 300, 200));
    EXPECT_EQ(window.getCloseButton().getBounds(), juce::Rectangle<int>(318 - 26, 5, 20, 20));
    ASSERT_NE(window.getIcon(), nullptr);
    EXPECT_EQ(window.getIcon()->getBoundsInParent().toNearestInt(), juce::Rectangle<int>(2, 2, 27, 27));
    // The text starts after the icon and stops before the close button.
    EXPECT_EQ(window.getTitleTextArea(), juce::Rectangle<int>(31, 0, 318 - 62, 31));

    window.setTitleBarHeight(16);
    EXPECT_EQ(window.getCloseButton().getBounds(), juce::Rectangle<int>(318 - 17, 0, 16, 16));

    window.setTitleBarVisible(false);
    EXPECT_FALSE(window.getCloseButton().isVisible());
    EXPECT_TRUE(window.getTitleBarArea().isEmpty());
    window.setContentSize(300, 200);
    EXPECT_EQ(window.getHeight(), 200 + 6 + 6 + 9);
    EXPECT_EQ(window.getContentArea(), juce::Rectangle<int>(9, 9, 300, 200));

    window.setFrameVisible(false);
    window.setContentSize(300, 200);
    EXPECT_EQ(window.getBounds().getWidth(), 312);
    EXPECT_EQ(window.getContentArea(), juce::Rectangle<int>(6, 6, 300, 200));

    // A window too small for its parts: nothing goes negative.
    window.setTitleBarVisible(true);
    window.setTitleBarHeight(31);
    window.setBounds(0, 0, 4, 4);
    EXPECT_GE(window.getContentArea().getWidth(), 0);
    EXPECT_GE(window.getContentArea().getHeight(), 0);
}

TEST_F(ModalComponentTest, CloseButtonHidesWithoutDeletingAndTheCoverDims)
{
    TestDesktop desktop;
    desktop.setSize(640, 480);
    DimmingWindow window;
    window.setTitle("Options");
    window.setContentSize(200, 100);
    desktop.addChildComponent(window);
    window.show();
    ASSERT_TRUE(window.getCloseButton().isVisible());

    // The cover darkens what lies beneath it.
    juce::Image snapshot(juce::Image::ARGB, 640, 480, true);
    {
        juce::Graphics g(snapshot);
        g.fillAll(juce::Colours::white);
        desktop.paintEntireComponent(g, false);
    }
    const auto corner = snapshot.getPixelAt(2, 2);
    EXPECT_LT(corner.getBrightness(), 0.8f);
    EXPECT_GT(corner.getBrightness(), 0.6f);
    // The window paints its palette: title bar black, body light grey.
    const auto origin = window.getPosition();
    EXPECT_EQ(snapshot.getPixelAt(origin.x + 100, origin.y + 15).getARGB(), 0xFF000000u);
    EXPECT_EQ(snapshot.getPixelAt(origin.x + 100, origin.y + 80).getARGB(), 0xFFC5C5C5u);

    click(window.getCloseButton(), { 5, 5 });
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.getCoveringWindow().isVisible());
    EXPECT_EQ(window.getCoveringWindow().getParentComponent(), &desktop);
}
