#include "ToolkitTestSupport.h"

#include "core/BundleResources.h"
#include "toolkit/PathComponent.h"
#include "toolkit/StatusBar.h"
#include "toolkit/TabbedComponentEx.h"
#include "toolkit/TextButtonEx.h"
#include "toolkit/TwoValueHorizontalSliderWithLevel.h"


namespace
{
struct ColourEntry
{
    int id;
    juce::uint32 argb;
};

// The palette, exactly as the editor's pages and windows are drawn with it.
const ColourEntry kPalette[] = {
    { 0x0E000000, 0xFFFFA35F }, { 0x0E000001, 0xFFFF6C00 }, { 0x0E000002, 0xFFFFFFFF }, { 0x0E000003, 0xFF000000 },
    { 0x1000200, 0xFFFFFFFF },  { 0x1000205, 0xFF000000 },  { 0x1000100, 0xFFF0F0F0 },  { 0x1000101, 0xFFFF8D3A },
    { 0x1004011, 0xFFF0F0F0 },  { 0x1004012, 0xFFF0F0F0 },  { 0x1004010, 0xFF000000 },  { 0x1001312, 0xFF000000 },
    { 0x1001311, 0xFF808080 },  { 0x1001C10, 0xFF444444 },  { 0x1001C00, 0xFF000000 },  { 0x0F001000, 0xFFC5C5C5 },
    { 0x0F001001, 0xFF000000 }, { 0x0F001002, 0xFFFFFFFF }, { 0, 0xFF000000 },          { 1, 0xFF808080 },
    { 2, 0xFFFFFFFF },          { 3, 0xFFFFFF00 },          { 0x0F003100, 0xFFC5C5C5 }, { 0x0F003101, 0xFFE3E3E3 },
    { 0x0F003102, 0xFFFFFFFF }, { 0x0F003103, 0xFFE3E3E3 }, { 0x0F003104, 0xFF000000 }, { 0x0F003105, 0xFF5F5F5F },
    { 0x0F003106, 0xFFFFFFFF }, { 0x0F003107, 0xFF5B5B5B }, { 0x0F003108, 0xFFFFFFFF }, { 0x0F005000, 0xFF7C7C7C },
    { 0x1000400, 0xFF6E6E6E },  { 0x1000401, 0xFFCCCCCC },  { 0x0F002200, 0xFFE3E3E3 }, { 0x0F002201, 0xFF000000 },
    { 0x0F002202, 0xFFFFFFFF }, { 0x0F003000, 0xFFC5C5C5 }, { 0x0F003001, 0xFF000000 }, { 0x0F003002, 0xFF5B5B5B },
    { 0x0F004001, 0xFF444444 }, { 0x0F004002, 0xFFFFFFFF }, { 0x0F000000, 0xFFE3E3E3 }, { 0x1005003, 0xFFFFA35F },
    { 0x1005004, 0xFFFF6C00 }, { 0x0F003003, 0xFF2D2D2D },
};
} // namespace

TEST_F(ToolkitTest, EveryPaletteColourHasItsValue)
{
    ASSERT_EQ(std::size(kPalette), 46u);
    for (const auto& entry : kPalette)
    {
        SCOPED_TRACE(juce::String::toHexString(entry.id).toStdString());
        EXPECT_TRUE(laf.isColourSpecified(entry.id));
        EXPECT_EQ(laf.findColour(entry.id).getARGB(), entry.argb);
    }
    // An id outside the table answers JUCE's default.
    EXPECT_FALSE(laf.isColourSpecified(0x0F009999));
    EXPECT_EQ(laf.findColour(0x0F009999).getARGB(), 0xFF000000u);
}

TEST_F(ToolkitTest, TahomaIsDrawnWithDejaVuSansMetrics)
{
    const auto plain = laf.getDefaultFont();
    const auto bold = laf.getBoldFont();
    EXPECT_EQ(plain.getTypefaceName(), "Tahoma");
    EXPECT_FLOAT_EQ(plain.getHeight(), 13.0f);
    EXPECT_FALSE(plain.isBold());
    EXPECT_TRUE(bold.isBold());
    EXPECT_FLOAT_EQ(laf.getWindowTitleFont().getHeight(), 15.0f);
    EXPECT_TRUE(laf.getWindowTitleFont().isBold());

    const juce::String sample("Feedback 12.5 ms");
    for (const auto& font : { plain, bold })
    {
        juce::Font reference("DejaVu Sans", 13.0f, font.getStyleFlags());
        reference.setTypefaceStyle(font.getTypefaceStyle());
        EXPECT_EQ(font.getTypefacePtr()->getName(), "DejaVu Sans");
        EXPECT_GT(font.getStringWidthFloat(sample), 50.0f);
        EXPECT_FLOAT_EQ(font.getStringWidthFloat(sample), reference.getStringWidthFloat(sample));
        EXPECT_FLOAT_EQ(font.getAscent(), reference.getAscent());
    }
    EXPECT_GT(bold.getStringWidthFloat(sample), plain.getStringWidthFloat(sample));
}

TEST_F(ToolkitTest, ConstantsAndFontsOfTheOperations)
{
    EXPECT_EQ(laf.getDefaultSpacing(), 5);
    EXPECT_EQ(laf.getRowHeight(), 13);
    EXPECT_EQ(laf.getSmallGap(), 4);
    EXPECT_EQ(laf.getMargin(), 6);
    EXPECT_EQ(laf.getTinyGap(), 2);
    EXPECT_EQ(laf.getHeaderHeight(), 20);
    EXPECT_FLOAT_EQ(laf.getCornerSize(), 4.0f);
    EXPECT_EQ(laf.getBorder(), 6);
    EXPECT_EQ(laf.getTabBarDepth(), 23);
    EXPECT_EQ(laf.getTabIndent(), 8);
    EXPECT_EQ(laf.getStatusBarHeight(), 16);
    EXPECT_EQ(laf.getDefaultScrollbarWidth(), 13);
    EXPECT_TRUE(laf.getHeaderFont().isBold());
    EXPECT_TRUE(laf.getTabTextFont().isBold());
    EXPECT_FALSE(laf.getTabFont().isBold());
    EXPECT_FALSE(laf.getStatusBarFont().isBold());

    // Every label is drawn in the plain font, whatever font it holds.
    juce::Label label;
    label.setFont(juce::Font(30.0f, juce::Font::italic));
    EXPECT_EQ(laf.getLabelFont(label), laf.getDefaultFont());

    juce::ComboBox box;
    box.setSize(120, 22);
    juce::Label text;
    laf.positionComboBoxText(box, text);
    EXPECT_EQ(text.getBounds(), juce::Rectangle<int>(0, 0, 100, 22));

    juce::TooltipWindow tip;
    const auto tipBounds = laf.getTooltipBounds("Tip", { 10, 10 }, { 0, 0, 800, 600 });
    EXPECT_EQ(tipBounds.getWidth(), (int) std::ceil(laf.getDefaultFont().getStringWidthFloat("Tip")) + 12);
    EXPECT_EQ(tipBounds.getHeight(), 13 + 7);
}

TEST_F(ToolkitTest, IconLibraryAndSvgParsing)
{
    for (int i = 0; i < DefaultLookAndFeel::numIcons; ++i)
    {
        SCOPED_TRACE(i);
        auto icon = getIcon(i);
        ASSERT_NE(icon, nullptr);
        EXPECT_FALSE(icon->getDrawableBounds().isEmpty());
        EXPECT_TRUE(juce::Rectangle<float>(0, 0, 32, 32).contains(icon->getDrawableBounds()));
    }
    // 17 and 18 are one icon; past the library there is none.
    auto seventeen = getIcon(17);
    auto eighteen = getIcon(18);
    EXPECT_EQ(seventeen->getDrawableBounds(), eighteen->getDrawableBounds());
    EXPECT_EQ(getIcon(29), nullptr);
    EXPECT_EQ(getIcon(-1), nullptr);

    const juce::String upper("<SVG xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 32 32\">"
                             "<rect x=\"1\" y=\"2\" width=\"10\" height=\"20\"/></SVG>");
    auto drawable = createDrawableFromSvg(upper.toRawUTF8(), upper.getNumBytesAsUTF8());
    ASSERT_NE(drawable, nullptr);
    const juce::String notSvg("<html><rect width=\"10\" height=\"20\"/></html>");
    EXPECT_EQ(createDrawableFromSvg(notSvg.toRawUTF8(), notSvg.getNumBytesAsUTF8()), nullptr);
    const juce::String broken("<svg><rect");
    EXPECT_EQ(createDrawableFromSvg(broken.toRawUTF8(), broken.getNumBytesAsUTF8()), nullptr);
}

TEST_F(ToolkitTest, ImageButtonKindsWithoutPicturesGiveNoButton)
{
    juce::ImageButton existing("existing");
    existing.setSize(5, 7);
    for (int kind : { 9, 10, 11, 12, 17, 22, 40, -1 })
    {
        SCOPED_TRACE(kind);
        EXPECT_EQ(laf.createImageButton("b", kind), nullptr);
        EXPECT_EQ(laf.createImageButton("b", kind, 2), nullptr);
        laf.setImageButtonImages(existing, kind, 1);
        EXPECT_EQ(existing.getBounds(), juce::Rectangle<int>(0, 0, 5, 7));
    }
}

TEST_F(ToolkitTest, WidgetsUnderAnotherLookAndFeelKeepTheirDefaults)
{
    juce::LookAndFeel_V4 other;
    juce::LookAndFeel::setDefaultLookAndFeel(&other);
    {
        PanelComponent panel("Title");
        HardLabel label("l", "text");
        label.setSize(60, 16);
        panel.setSize(100, 60);
        juce::Image image(juce::Image::ARGB, 100, 60, true);
        juce::Graphics g(image);
        panel.paintEntireComponent(g, false);
        label.paintEntireComponent(g, false);
        EXPECT_EQ(panel.getTitleFont(), juce::Font());

        // Widgets drawn in palette colours ask a foreign look-and-feel for
        // none of them (a debug build would stop at each) and draw in JUCE's
        // answer for an unknown colour, opaque black.
        PathComponent path;
        path.setBounds(0, 0, 100, 20);
        StatusBar status;
        status.setBounds(0, 0, 100, 16);
        TabbedComponentEx tabs(juce::TabbedButtonBar::TabsAtTop);
        tabs.setBounds(0, 0, 100, 60);
        TwoValueHorizontalSliderWithLevel levels;
        levels.setBounds(0, 0, 100, 20);
        levels.setHighlighted(true);
        for (auto* widget : std::initializer_list<juce::Component*> { &path, &status, &tabs, &levels })
            widget->paintEntireComponent(g, false);
        juce::Image bar(juce::Image::ARGB, 100, 16, true);
        juce::Graphics barGraphics(bar);
        status.paintEntireComponent(barGraphics, false);
        EXPECT_EQ(bar.getPixelAt(50, 8).getARGB(), 0xFF000000u);
    }
    juce::LookAndFeel::setDefaultLookAndFeel(&laf);
}

TEST_F(ToolkitTest, EveryImageButtonKindHasBothSizesAndBothStates)
{
    const int defined[] = { 0, 1, 2, 3, 4, 5, 6, 7, 8, 13, 14, 15, 16, 18, 19, 20, 21 };
    ASSERT_EQ(std::size(defined), 17u);
    for (int kind : defined)
    {
        SCOPED_TRACE(kind);
        for (const auto& [size, pixels] : { std::pair<int, int> { 1, 27 }, { 2, 43 }, { 0, 27 }, { 3, 27 } })
        {
            const auto normal = DefaultLookAndFeel::getImageButtonImage(kind, size, false);
            const auto pressed = DefaultLookAndFeel::getImageButtonImage(kind, size, true);
            ASSERT_TRUE(normal.isValid());
            ASSERT_TRUE(pressed.isValid());
            EXPECT_EQ(normal.getBounds(), juce::Rectangle<int>(0, 0, pixels, pixels));
            EXPECT_EQ(pressed.getBounds(), normal.getBounds());
            EXPECT_NE(normal.getPixelAt(pixels / 2, 3), pressed.getPixelAt(pixels / 2, 3));
        }
        auto button = laf.createImageButton("button", kind);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->getWidth(), 27);
        auto large = laf.createImageButton("button", kind, 2);
        EXPECT_EQ(large->getWidth(), 43);
        EXPECT_EQ(large->getName(), "button");
    }

    juce::ImageButton close("close");
    laf.setWindowCloseButtonImages(close);
    EXPECT_EQ(close.getBounds(), juce::Rectangle<int>(0, 0, 27, 27));
}

TEST_F(ToolkitTest, TextButtonSkinsSmallIconsAndRatingMarksHaveTheirSizes)
{
    struct SkinSize
    {
        int size, height, left, middle, right;
    };
    for (const auto& s : { SkinSize { 1, 28, 15, 31, 15 }, SkinSize { 2, 32, 15, 44, 14 } })
    {
        SCOPED_TRACE(s.size);
        const auto skin = DefaultLookAndFeel::getTextButtonSkin(s.size);
        ASSERT_EQ(skin.size(), 7);
        const int widths[] = { s.left, s.middle, s.right, s.left, s.middle, s.right, s.middle };
        for (int i = 0; i < 7; ++i)
        {
            EXPECT_EQ(skin[i].getWidth(), widths[i]);
            EXPECT_EQ(skin[i].getHeight(), s.height);
        }
        auto button = laf.createTextButton("Load", s.size);
        EXPECT_EQ(button->getLeftWidth(), s.left);
        EXPECT_EQ(button->getRightWidth(), s.right);
        EXPECT_EQ(button->getHeight(), s.height);
        EXPECT_EQ(button->getWidth(), s.left + s.right + button->getTextWidth());
    }

    // A size above 2 leaves a button as it was.
    auto button = laf.createTextButton("Keep");
    const auto before = button->getBounds();
    laf.setTextButtonImages(*button, 3);
    EXPECT_EQ(button->getBounds(), before);

    for (const auto& icon : { laf.getSmallIcon1(), laf.getSmallIcon2(), laf.getSmallIcon3(), laf.getSmallIcon4() })
        EXPECT_EQ(icon.getBounds(), juce::Rectangle<int>(0, 0, 15, 14));
    EXPECT_NE(laf.getSmallIcon1().getPixelAt(7, 8), laf.getSmallIcon3().getPixelAt(7, 8));
    for (const auto* name : { "RatingEmpty.png", "RatingFilled.png" })
        EXPECT_EQ(loadBundleResourceAsImage(name).getBounds(), juce::Rectangle<int>(0, 0, 16, 16));
}
