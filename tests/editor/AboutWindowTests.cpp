#include "EditorTestSupport.h"

#include "editor/AboutWindow.h"

#include <regex>

// The about box shows the product's identity, links to its page, rolls the
// credits while it is shown (when the plug-in has any) and goes away on a click
// or Escape, as its last line says.

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

struct Shown
{
    Shown(BasePlugin& plugin, int width, int height) : window(plugin)
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
    Shown shown(*processor, 800, 300);
    auto& window = shown.window;
    writeScreenshot(shown.desktop, "about");
    EXPECT_FALSE(window.isTitleBarVisible());
    EXPECT_EQ(window.getIcon(), nullptr);

    juce::StringArray texts;
    for (const auto& line : window.getTextLines())
    {
        texts.add(line.text);
        SCOPED_TRACE(line.text);
        EXPECT_TRUE(window.getLocalBounds().contains(line.area));
        if (line.maximumLines == 1)
            EXPECT_LE(line.font.getStringWidthFloat(line.text), (float) line.area.getWidth()) << "fits its line";
    }
    EXPECT_EQ(texts.joinIntoString("|"), "TAVINOR|High Quality Flexible Delay Unit|VST 64bit|Version 1.1.2|"
                                         "Build info:  C841602  " + processor->getBuildDate() + "|"
                                             + processor->getBundlePath() + "|"
                                             + juce::String(juce::CharPointer_UTF8("Copyright \xc2\xa9 2013 Orv Group Audio "
                                                                      "Software. All rights reserved."))
                                             + "|Click anywhere or press Escape to close.");
    // The date of the build: this test program is linked with the library
    // that holds it, so it was made that day or, past midnight, the next.
    const auto date = processor->getBuildDate();
    ASSERT_TRUE(std::regex_match(date.toStdString(), std::regex("20[0-9]{2}-[01][0-9]-[0-3][0-9]"))) << date;
    const auto built = juce::File::getSpecialLocation(juce::File::currentExecutableFile).getLastModificationTime();
    const auto buildDay = juce::Time(date.substring(0, 4).getIntValue(), date.substring(5, 7).getIntValue() - 1,
                                     date.substring(8, 10).getIntValue(), 0, 0, 0, 0, false);
    const auto sinceBuildDay = built - buildDay;
    EXPECT_TRUE(sinceBuildDay.inHours() >= 0 && sinceBuildDay.inHours() < 48)
        << date << " for a program linked " << built.toISO8601(true);

    // The version stays left of the format text in the same row.
    const auto& format = window.getTextLines()[2];
    EXPECT_LT(window.getTextLines()[3].area.getRight(),
              format.area.getRight() - (int) format.font.getStringWidthFloat(format.text));
    EXPECT_TRUE(window.getInfoArea().contains(window.getTextLines()[6].area)) << "the notice in the info box";

    // The link to the product page, whole, below the description.
    auto& link = window.getLink();
    EXPECT_EQ(link.getURL().toString(false), "https://www.orvgroup.audio/tavinor");
    EXPECT_GE(link.getWidth(), (int) laf.getDefaultFont().getStringWidthFloat(link.getButtonText()));
    EXPECT_GE(link.getY(), window.getTextLines()[1].area.getY() + 12);

    // No credits: nothing rolls, and the info box sits in the middle of its space.
    EXPECT_FALSE(window.getCredits().isVisible() || window.getCredits().isTimerRunning());
    const auto content = window.getContentArea();
    EXPECT_EQ(window.getInfoArea().getHeight(), AboutWindow::kUpperInfoHeight);
    const auto hint = window.getTextLines().getLast().area;
    EXPECT_EQ(hint.getBottom(), content.getBottom());
    EXPECT_NEAR(window.getInfoArea().getCentreY(), (content.getY() + 62 + hint.getY() - 4) / 2, 1);

    click(window, { 400, 250 });
    EXPECT_FALSE(window.isVisible());
}

TEST_F(About, CreditsRollWhileShownAndAClickOnThemHidesTheWindow)
{
    CreditedPlugin plugin;
    BasePlugin::completeStartUp(plugin);
    Shown shown(plugin, 640, 480);
    auto& credits = shown.window.getCredits();
    ASSERT_TRUE(credits.isVisible());
    EXPECT_TRUE(credits.isTimerRunning());
    const int labelHeight = credits.getLabel().getHeight();
    EXPECT_EQ(labelHeight, 3 * juce::roundToInt(credits.getLabel().getFont().getHeight()));
    EXPECT_EQ(credits.getY(), shown.window.getInfoArea().getBottom() + 4);
    EXPECT_EQ(credits.getBottom(), shown.window.getTextLines().getLast().area.getY() - 4) << "above how to close";

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
    EXPECT_FALSE(shown.window.isVisible() || credits.isTimerRunning());
}
