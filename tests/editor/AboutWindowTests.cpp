#include "EditorTestSupport.h"

#include "editor/AboutWindow.h"

// The about box shows the product's identity, links to its page, rolls the
// credits while it is shown (when the plug-in has any) and goes away on a click.

namespace
{
using namespace EditorTest;

// The product with credits, as a plug-in of the framework may have them.
class CreditedPlugin : public Tavinor
{
public:
    bool hasCredits() const override { return true; }
    juce::String getCreditsText() const override { return "Design\nCode\nSound"; }
};

juce::StringArray textsOf(const AboutWindow& window)
{
    juce::StringArray texts;
    for (const auto& line : window.getTextLines())
        texts.add(line.text);
    return texts;
}

struct Shown
{
    explicit Shown(BasePlugin& plugin, int width = 800, int height = 300) : window(plugin)
    {
        window.setSize(width, height);
        desktop.addChildComponent(window);
        window.show();
    }
    Desktop desktop;
    AboutWindow window;
};
} // namespace

class About : public Fixture
{
protected:
    ScopedUserFolder user;
};

TEST_F(About, ShowsTheProductsIdentity)
{
    auto processor = makeProcessor();
    Shown shown(*processor);
    auto& window = shown.window;
    EXPECT_TRUE(window.shouldDimBackground());
    EXPECT_FALSE(window.isTitleBarVisible());
    EXPECT_EQ(window.getIcon(), nullptr);

    juce::StringArray expected { "TAVINOR", "High Quality Flexible Delay Unit", "VST 64bit", "Version 1.1.2",
                                 "Build info:  C841602  2015-01-08" };
    expected.add(processor->getBundlePath());
    expected.add(juce::CharPointer_UTF8("Copyright \xc2\xa9 2013 Orv Group Audio Software. All rights reserved."));
    EXPECT_EQ(textsOf(window), expected);

    // Every text is inside the window and fits its width; the lines of a box
    // follow each other downwards, and the version stays left of the format.
    for (const auto& line : window.getTextLines())
    {
        SCOPED_TRACE(line.text);
        EXPECT_TRUE(window.getLocalBounds().contains(line.area));
        EXPECT_GE(line.area.getHeight(), (int) line.font.getHeight());
        if (line.maximumLines == 1)
            EXPECT_LE(line.font.getStringWidthFloat(line.text), (float) line.area.getWidth());
    }
    const auto& lines = window.getTextLines();
    EXPECT_GE(lines[1].area.getY(), lines[0].area.getY() + 12) << "description below the name";
    EXPECT_GE(lines[4].area.getY(), lines[2].area.getBottom()) << "build below the version";
    EXPECT_GE(lines[5].area.getY(), lines[4].area.getY() + 10) << "path below the build";
    EXPECT_TRUE(window.getInfoArea().contains(lines[6].area)) << "the notice inside the info box";
    const auto& format = lines[2];
    const auto& version = lines[3];
    EXPECT_EQ(version.area.getRight(),
              format.area.getRight() - (int) std::ceil(format.font.getStringWidthFloat(format.text)) - 8);
    const juce::Array<juce::Rectangle<int>> areas { lines[0].area, lines[1].area };

    // The link: the product page, yellow, underlined, below the description.
    auto& link = window.getLink();
    EXPECT_EQ(link.getButtonText(), "https://www.orvgroup.audio/tavinor");
    EXPECT_EQ(link.getURL().toString(false), "https://www.orvgroup.audio/tavinor");
    EXPECT_TRUE(link.getTooltip().isEmpty());
    EXPECT_EQ(link.findColour(juce::HyperlinkButton::textColourId), juce::Colour(0xFFFFFF00));
    EXPECT_EQ(link.getPosition(), window.getHeaderBox().getPosition() + juce::Point<int>(0, 27));
    EXPECT_GE(link.getWidth(), (int) laf.getDefaultFont().getStringWidthFloat(link.getButtonText()));
    EXPECT_TRUE(fitsWithoutOverlap(link.getBounds(), window.getHeaderBox(), areas));

    // No credits: no rolling text, and the info box sits in the middle of its space.
    EXPECT_FALSE(window.getCredits().isVisible());
    EXPECT_FALSE(window.getCredits().isTimerRunning());
    EXPECT_EQ(window.getInfoArea().getHeight(), AboutWindow::kUpperInfoHeight);
    const auto content = window.getContentArea();
    EXPECT_NEAR(window.getInfoArea().getCentreY(), (content.getY() + 62 + content.getBottom()) / 2, 1);
    writeScreenshot(shown.desktop, "about");

    // A click anywhere hides it, and showing it again brings it back as it was.
    click(window, { 400, 250 });
    EXPECT_FALSE(window.isVisible());
    window.show();
    EXPECT_TRUE(window.isVisible());
}

TEST_F(About, CreditsRollWhileShownAndAClickOnThemHidesTheWindow)
{
    CreditedPlugin plugin;
    BasePlugin::completeStartUp(plugin);
    Shown shown(plugin, 640, 480);
    auto& window = shown.window;
    auto& credits = window.getCredits();

    ASSERT_TRUE(credits.isVisible());
    EXPECT_TRUE(credits.isTimerRunning());
    EXPECT_EQ(credits.getLineCount(), 3);
    const int lineHeight = juce::roundToInt(credits.getLabel().getFont().getHeight());
    const int labelHeight = credits.getLabel().getHeight();
    EXPECT_EQ(labelHeight, 3 * lineHeight);
    EXPECT_EQ(credits.getWidth(), window.getInfoArea().getWidth());
    EXPECT_EQ(credits.getY(), window.getInfoArea().getBottom() + 4);
    EXPECT_EQ(credits.getBottom(), window.getContentArea().getBottom());

    // One pixel up per tick; once the last line has gone at the top it starts
    // again just below the bottom edge.
    const int start = credits.getHeight() + CreditsText::kStartGap;
    EXPECT_EQ(credits.getLabel().getY(), start);
    for (int i = 0; i < start + labelHeight; ++i)
    {
        credits.timerCallback();
        if (i == start / 2)
            writeScreenshot(shown.desktop, "about-credits");
    }
    EXPECT_EQ(credits.getLabel().getBottom(), 0);
    credits.timerCallback();
    EXPECT_EQ(credits.getLabel().getY(), start);

    click(credits, { 10, 10 });
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(credits.isTimerRunning());
}
