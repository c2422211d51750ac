#include "editor/AboutWindow.h"

#include "core/BasePlugin.h"
#include "core/BundleResources.h"
#include "toolkit/DefaultLookAndFeel.h"

namespace
{
constexpr const char* kFontName = "Tahoma";
constexpr const char* kMaker = "Orv Group Audio Software";

// The look-and-feel's plain colour ids the window takes its own colours from.
constexpr int kBlackColourId = 0;
constexpr int kGreyColourId = 1;
constexpr int kYellowColourId = 3;

constexpr int kBoxHeight = 54;
constexpr int kBoxGap = 8;
constexpr int kInfoTop = 62;
constexpr int kInfoInset = 4;
constexpr int kCreditsGap = 4;
constexpr int kLinkOffset = 27;
constexpr int kVersionGap = 8;
constexpr int kInfoPadding = 14;
constexpr int kHintGap = 4;
constexpr const char* kCloseHint = "Click anywhere or press Escape to close.";
constexpr float kInfoCorner = 4.0f;
constexpr float kInfoOutline = 1.0f;

juce::Font font(float height, bool bold)
{
    return juce::Font(kFontName, height, bold ? juce::Font::bold : juce::Font::plain);
}

int heightOf(const juce::Font& f)
{
    return juce::roundToInt(std::ceil(f.getHeight()));
}
} // namespace

AboutWindow::AboutWindow(BasePlugin& p)
    // The address is given when the link is made: JUCE's URL assignment copies
    // an empty block through memcpy with null pointers.
    : plugin(p), link(p.getProductPage(), juce::URL(p.getProductPage())), credits(p.getCreditsText())
{
    setTitleBarVisible(false);
    setIcon(nullptr);

    link.setTooltip({});
    addAndMakeVisible(link);

    if (plugin.hasCredits())
        addAndMakeVisible(credits);
    else
        addChildComponent(credits);
    credits.addListener(this);

    productLogo = loadBundleResourceAsImage("PluginLogo.png");
    makerLogo = loadBundleResourceAsImage("OrvLogo.png");
    lookAndFeelChanged();
}

AboutWindow::~AboutWindow()
{
    credits.removeListener(this);
}

void AboutWindow::Link::setLinkFont(const juce::Font& font)
{
    linkFont = font;
    setFont(font, false, juce::Justification::centredLeft);
}

void AboutWindow::Link::paintButton(juce::Graphics& g, bool, bool)
{
    g.setColour(findColour(textColourId));
    g.setFont(linkFont);
    g.drawText(getButtonText(), getLocalBounds().reduced(1, 0), juce::Justification::centredLeft, true);
}

void AboutWindow::lookAndFeelChanged()
{
    WindowComponent::lookAndFeelChanged();
    auto* lf = dynamic_cast<DefaultLookAndFeel*>(&getLookAndFeel());
    if (lf == nullptr)
        return;

    setColour(DefaultLookAndFeel::windowBackgroundColourId, lf->findColour(kBlackColourId));
    setColour(DefaultLookAndFeel::windowTitleBarColourId, lf->findColour(kGreyColourId));
    link.setColour(juce::HyperlinkButton::textColourId, lf->findColour(kYellowColourId));
    const auto linkFont = lf->getDefaultFont().withStyle(juce::Font::underlined);
    link.setLinkFont(linkFont);
    link.changeWidthToFitText();
    link.setSize(link.getWidth(), heightOf(linkFont));
    resized();
    repaint();
}

void AboutWindow::resized()
{
    WindowComponent::resized();
    auto content = getContentArea();
    // How the box closes, on a line of its own at the bottom.
    hintArea = content.removeFromBottom(juce::jmin(content.getHeight(), heightOf(font(12.0f, false)) + kHintGap))
                   .withTrimmedTop(kHintGap);
    const int x = content.getX(), y = content.getY(), w = content.getWidth(), h = content.getHeight();

    headerBox = { x, y, juce::jmax(0, w / 2 - 4), kBoxHeight };
    versionBox = { x + kBoxGap + headerBox.getWidth(), y, juce::jmax(0, w - kBoxGap - headerBox.getWidth()),
                   kBoxHeight };
    infoArea = { x + kInfoInset, y + kInfoTop, juce::jmax(0, w - 2 * kInfoInset), juce::jmax(0, h - kInfoTop) };

    const int upper = juce::jmin(kUpperInfoHeight, infoArea.getHeight());
    if (plugin.hasCredits())
    {
        credits.setBounds(infoArea.getX(), infoArea.getY() + upper + kCreditsGap, infoArea.getWidth(),
                          juce::jmax(0, infoArea.getHeight() - upper - kCreditsGap));
        infoArea.setHeight(upper);
    }
    else
    {
        infoArea = infoArea.withSizeKeepingCentre(infoArea.getWidth(), upper);
    }

    link.setTopLeftPosition(headerBox.getX(), headerBox.getY() + kLinkOffset);
    layoutTexts();
}

void AboutWindow::layoutTexts()
{
    textLines.clearQuick();
    const auto add = [this](const juce::String& text, const juce::Font& f, juce::Rectangle<int> area,
                            juce::Justification j, int maximumLines = 1) {
        textLines.add({ text, f, area, j, maximumLines });
    };

    // The header: name and description.
    const auto nameFont = font(17.0f, true);
    const auto descriptionFont = font(15.0f, true);
    add(plugin.getName().toUpperCase(), nameFont,
        { headerBox.getX(), headerBox.getY() - 3, headerBox.getWidth(), heightOf(nameFont) },
        juce::Justification::topLeft);
    add(plugin.getDescription(), descriptionFont,
        { headerBox.getX(), headerBox.getY() + 12, headerBox.getWidth(), heightOf(descriptionFont) },
        juce::Justification::topLeft);

    // The version box, right-aligned: format and architecture with the version
    // before them, then the build and where the plug-in file lies.
    const auto formatFont = font(14.0f, false);
    const auto versionFont = font(15.0f, true);
    const auto smallFont = font(12.0f, false);
    const juce::String format = plugin.getPluginFormat() + " " + plugin.getArchitecture();
    const int formatWidth = juce::roundToInt(std::ceil(formatFont.getStringWidthFloat(format)));
    const auto& b = versionBox;
    add(format, formatFont, { b.getX(), b.getY() - 3, b.getWidth(), heightOf(formatFont) },
        juce::Justification::topRight);
    add("Version " + plugin.getVersion(), versionFont,
        { b.getX(), b.getY() - 3, juce::jmax(0, b.getWidth() - formatWidth - kVersionGap), heightOf(versionFont) },
        juce::Justification::topRight);
    add("Build info:  " + plugin.getBuildId() + "  " + plugin.getBuildDate(), smallFont,
        { b.getX(), b.getY() + 19, b.getWidth(), heightOf(smallFont) }, juce::Justification::topRight);
    add(plugin.getBundlePath(), smallFont, { b.getX(), b.getY() + 30, b.getWidth(), 30 },
        juce::Justification::topRight, 2);

    // The upper part of the info box: the two logos and the makers' notice.
    const auto inner = infoArea.reduced(kInfoPadding);
    productLogoArea = productLogo.isValid()
                          ? juce::Rectangle<int>(inner.getX(), inner.getY(), productLogo.getWidth(),
                                                 productLogo.getHeight())
                          : juce::Rectangle<int>();
    makerLogoArea = makerLogo.isValid() ? juce::Rectangle<int>(inner.getRight() - makerLogo.getWidth(),
                                                               inner.getY() + (productLogo.getHeight()
                                                                               - makerLogo.getHeight()) / 2,
                                                               makerLogo.getWidth(), makerLogo.getHeight())
                                        : juce::Rectangle<int>();
    const juce::String notice = juce::String(juce::CharPointer_UTF8("Copyright \xc2\xa9 ")) + plugin.getYear() + " "
                                + kMaker + ". All rights reserved.";
    add(notice, smallFont, { inner.getX(), inner.getBottom() - heightOf(smallFont), inner.getWidth(),
                             heightOf(smallFont) },
        juce::Justification::bottomLeft);
    add(kCloseHint, smallFont, hintArea, juce::Justification::centredBottom);
}

void AboutWindow::paint(juce::Graphics& g)
{
    WindowComponent::paint(g);
    if (!infoArea.isEmpty())
        drawRoundedBox(g, infoArea, getInfoFill(), juce::Colours::white, kInfoCorner, kInfoOutline);

    if (!productLogoArea.isEmpty())
        g.drawImageAt(productLogo, productLogoArea.getX(), productLogoArea.getY());
    if (!makerLogoArea.isEmpty())
        g.drawImageAt(makerLogo, makerLogoArea.getX(), makerLogoArea.getY());

    g.setColour(findColour(DefaultLookAndFeel::windowTitleTextColourId));
    for (const auto& line : textLines)
    {
        g.setFont(line.font);
        // Never squeezed sideways: a line that does not fit wraps (when it may) or is cut.
        g.drawFittedText(line.text, line.area, line.justification, line.maximumLines, 1.0f);
    }
}

void AboutWindow::mouseDown(const juce::MouseEvent&)
{
    hide();
}

void AboutWindow::visibilityChanged()
{
    if (!plugin.hasCredits())
        return;
    if (isVisible())
        credits.start();
    else
        credits.stop();
}

void AboutWindow::creditsClicked(CreditsText*)
{
    hide();
}
