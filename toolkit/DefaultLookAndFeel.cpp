#include "toolkit/DefaultLookAndFeel.h"

#include "core/BundleResources.h"
#include "toolkit/TextButtonEx.h"

#include <cmath>

namespace
{
const juce::String kTahoma("Tahoma");
// Drawn in place of "Tahoma", which Linux does not have (fonts-dejavu-core).
const juce::String kTahomaReplacement("DejaVu Sans");
constexpr float kFontHeight = 13.0f;
constexpr float kWindowTitleFontHeight = 15.0f;

constexpr int kSmallButtonPixels = 27;
constexpr int kLargeButtonPixels = 43;
constexpr int kLargeSize = 2;
constexpr float kCorner = 4.0f;
constexpr float kWindowCorner = 8.0f;
// JUCE's button corner, and the default button's ring.
constexpr float kDefaultButtonCorner = 4.0f;
constexpr float kDefaultButtonRing = 2.0f;

const juce::Colour kArrowColour(0xFF808080);

// Image-button kinds without pictures.
bool isImageButtonKindDefined(int kind)
{
    return kind >= 0 && kind < DefaultLookAndFeel::numImageButtonKinds && !(kind >= 9 && kind <= 12)
           && kind != 17;
}

// Embedded images are decoded once and shared through the image cache.
juce::Image loadEmbeddedImage(const juce::String& name)
{
    const auto hash = (juce::int64) ("DefaultLookAndFeel/" + name).hashCode64();
    auto image = juce::ImageCache::getFromHashCode(hash);
    if (image.isNull())
    {
        image = loadBundleResourceAsImage(name);
        if (image.isValid())
            juce::ImageCache::addImageToCache(image, hash);
    }
    return image;
}

juce::Colour withDisabledAlpha(juce::Colour c, bool enabled)
{
    return enabled ? c : c.withMultipliedAlpha(0.5f);
}

// Disabled texts keep this much of their colour: half, as the lines and
// fills have it, would leave them at 2.2:1 to 3.7:1.
constexpr float kDisabledTextAlpha = 0.9f;
} // namespace

juce::Colour textWhenEnabled(juce::Colour text, bool enabled)
{
    return enabled ? text : text.withMultipliedAlpha(kDisabledTextAlpha);
}

//==============================================================================
DefaultLookAndFeel::DefaultLookAndFeel()
    : plainFont(kTahoma, kFontHeight, juce::Font::plain), boldFont(kTahoma, kFontHeight, juce::Font::bold)
{
    juce::Path up;
    up.startNewSubPath(4.0f, 11.0f);
    up.lineTo(4.0f, 8.0f);
    up.lineTo(1.75f, 8.0f);
    up.lineTo(6.5f, 1.6f);
    up.lineTo(11.25f, 8.0f);
    up.lineTo(9.0f, 8.0f);
    up.lineTo(9.0f, 11.0f);
    up.closeSubPath();
    for (int i = 0; i < 4; ++i)
    {
        arrows[i] = up;
        arrows[i].applyTransform(
            juce::AffineTransform::rotation((float) i * juce::MathConstants<float>::halfPi, 6.5f, 6.5f));
    }

    const juce::Colour base(accentArgb);
    const struct
    {
        int id;
        juce::Colour colour;
    } table[] = {
        { accentLightColourId, base.brighter(0.6f) },
        { accentColourId, base },
        { accentWhiteColourId, juce::Colour(0xFFFFFFFF) },
        { accentBlackColourId, juce::Colour(0xFF000000) },
        { juce::TextEditor::backgroundColourId, juce::Colour(0xFFFFFFFF) },
        { juce::TextEditor::outlineColourId, juce::Colour(0xFF000000) },
        { juce::TextButton::buttonColourId, juce::Colour(0xFFF0F0F0) },
        { juce::TextButton::buttonOnColourId, base.brighter(0.3f) },
        { juce::DrawableButton::backgroundColourId, juce::Colour(0xFFF0F0F0) },
        { juce::DrawableButton::backgroundOnColourId, juce::Colour(0xFFF0F0F0) },
        { juce::DrawableButton::textColourId, juce::Colour(0xFF000000) },
        { juce::Slider::rotarySliderOutlineColourId, juce::Colour(0xFF000000) },
        { juce::Slider::rotarySliderFillColourId, juce::Colour(0xFF808080) },
        { juce::TooltipWindow::outlineColourId, juce::Colour(0xFF444444) },
        { juce::TooltipWindow::textColourId, juce::Colour(0xFF000000) },
        { windowBackgroundColourId, juce::Colour(0xFFC5C5C5) },
        { windowTitleBarColourId, juce::Colour(0xFF000000) },
        { windowTitleTextColourId, juce::Colour(0xFFFFFFFF) },
        { 0, juce::Colour(0xFF000000) },
        { 1, juce::Colour(0xFF808080) },
        { 2, juce::Colour(0xFFFFFFFF) },
        { 3, juce::Colour(0xFFFFFF00) },
        { columnBrowserBackgroundColourId, juce::Colour(0xFFC5C5C5) },
        { columnFillColourId, juce::Colour(0xFFE3E3E3) },
        { columnOutlineColourId, juce::Colour(0xFFFFFFFF) },
        { columnBrowserColour3Id, juce::Colour(0xFFE3E3E3) },
        { columnBrowserColour4Id, juce::Colour(0xFF000000) },
        // The selected row's white name stands out from it by 4.5:1 and more.
        { columnSelectedRowColourId, juce::Colour(0xFF5F5F5F) },
        { columnBrowserColour6Id, juce::Colour(0xFFFFFFFF) },
        { columnBrowserColour7Id, juce::Colour(0xFF5B5B5B) },
        { columnBrowserColour8Id, juce::Colour(0xFFFFFFFF) },
        { panelFrameColourId, juce::Colour(0xFF7C7C7C) },
        { juce::ScrollBar::thumbColourId, juce::Colour(0xFF6E6E6E) },
        { juce::ScrollBar::trackColourId, juce::Colour(0xFFCCCCCC) },
        { pathFieldFillColourId, juce::Colour(0xFFE3E3E3) },
        { pathFieldTextColourId, juce::Colour(0xFF000000) },
        { pathFieldOutlineColourId, juce::Colour(0xFFFFFFFF) },
        { tabFrameFillColourId, juce::Colour(0xFFC5C5C5) },
        { tabFrontTextColourId, juce::Colour(0xFF000000) },
        { tabOutlineColourId, juce::Colour(0xFF5B5B5B) },
        // Dark enough to read on a back tab's darkened fill (4.5:1 and more).
        { tabBackTextColourId, juce::Colour(0xFF2D2D2D) },
        { statusBarBackgroundColourId, juce::Colour(0xFF444444) },
        { statusBarTextColourId, juce::Colour(0xFFFFFFFF) },
        { generalBackgroundColourId, juce::Colour(0xFFE3E3E3) },
        { juce::MidiKeyboardComponent::mouseOverKeyOverlayColourId, juce::Colour(0xFFFFA35F) },
        { juce::MidiKeyboardComponent::keyDownOverlayColourId, base },
    };
    for (const auto& entry : table)
        setColour(entry.id, entry.colour);
}

DefaultLookAndFeel::~DefaultLookAndFeel() = default;

juce::Typeface::Ptr DefaultLookAndFeel::getTypefaceForFont(const juce::Font& font)
{
    if (font.getTypefaceName() == kTahoma)
    {
        juce::Font replacement(font);
        replacement.setTypefaceName(kTahomaReplacement);
        return juce::Typeface::createSystemTypefaceFor(replacement);
    }
    return juce::LookAndFeel_V3::getTypefaceForFont(font);
}

//==============================================================================
void DefaultLookAndFeel::drawArrow(juce::Graphics& g, int x, int y, int w, int h, bool pointsRight)
{
    juce::Path p;
    if (pointsRight)
        p.addTriangle((float) x + 4.0f, (float) y + 3.0f, (float) x + 4.0f, (float) (y + h - 3),
                      (float) (x + w - 2), (float) (y + h / 2));
    else
        p.addTriangle((float) x + 3.0f, (float) y + 4.0f, (float) (x + w - 1), (float) y + 4.0f,
                      (float) (x + w / 2 + 1), (float) (y + h - 4));
    g.setColour(kArrowColour);
    g.fillPath(p);
}

void DefaultLookAndFeel::drawHardLabel(juce::Graphics& g, HardLabel& label)
{
    g.setFont(getLabelFont(label));
    g.setColour(textWhenEnabled(label.findColour(juce::Label::textColourId), label.isEnabled()));
    const auto area = label.getBorderSize().subtractedFrom(label.getLocalBounds());
    g.drawText(label.getText(), area, label.getJustificationType(), false);
}

juce::Image DefaultLookAndFeel::getSmallIcon1() { return getSmallIcon(1); }
juce::Image DefaultLookAndFeel::getSmallIcon2() { return getSmallIcon(2); }
juce::Font DefaultLookAndFeel::getDefaultFont() { return plainFont; }
int DefaultLookAndFeel::getDefaultSpacing() { return 5; }
juce::Font DefaultLookAndFeel::getBoldFont() { return boldFont; }
juce::Font DefaultLookAndFeel::getPanelTitleFont() { return boldFont; }
juce::Image DefaultLookAndFeel::getSmallIcon3() { return getSmallIcon(3); }
juce::Image DefaultLookAndFeel::getSmallIcon4() { return getSmallIcon(4); }
juce::Font DefaultLookAndFeel::getHeaderFont() { return boldFont; }
juce::Font DefaultLookAndFeel::getTabFont() { return plainFont; }
int DefaultLookAndFeel::getRowHeight() { return 13; }
int DefaultLookAndFeel::getSmallGap() { return 4; }
int DefaultLookAndFeel::getMargin() { return 6; }
int DefaultLookAndFeel::getTinyGap() { return 2; }
int DefaultLookAndFeel::getHeaderHeight() { return 20; }
float DefaultLookAndFeel::getCornerSize() { return kCorner; }
int DefaultLookAndFeel::getBorder() { return 6; }
juce::Font DefaultLookAndFeel::getWindowTitleFont() { return boldFont.withHeight(kWindowTitleFontHeight); }

void DefaultLookAndFeel::setWindowCloseButtonImages(juce::ImageButton& button)
{
    setImageButtonImages(button, 0, 1);
}

void DefaultLookAndFeel::drawWindow(juce::Graphics& g, WindowComponent& window)
{
    const auto bounds = window.getLocalBounds();
    const auto background = window.findColour(windowBackgroundColourId);
    const auto titleBar = window.findColour(windowTitleBarColourId);
    const int frame = window.isFrameVisible() ? window.getBorderWidth() : 0;

    if (window.getCornerStyle() == WindowComponent::roundedCorners)
    {
        fillRoundedRect(g, bounds, background, kWindowCorner);
        if (window.isTitleBarVisible())
            fillRoundedRectangleOnSide(g, window.getTitleBarArea(), juce::Justification::top, titleBar,
                                       kWindowCorner);
        if (frame > 0)
            drawRoundedOutline(g, bounds, titleBar, kWindowCorner, (float) frame);
    }
    else
    {
        fillRectangle(g, bounds, background);
        if (window.isTitleBarVisible())
            fillRectangle(g, window.getTitleBarArea(), titleBar);
        if (frame > 0)
            drawRectangle(g, bounds, titleBar, frame);
    }

    g.setColour(window.findColour(windowTitleTextColourId));
    g.setFont(window.getTitleFont());
    g.drawText(window.getTitle(), window.getTitleTextArea(), juce::Justification::centredLeft, true);
}

juce::Font DefaultLookAndFeel::getTabTextFont() { return boldFont; }
int DefaultLookAndFeel::getTabBarDepth() { return 23; }
int DefaultLookAndFeel::getTabIndent() { return 8; }
juce::Font DefaultLookAndFeel::getStatusBarFont() { return plainFont; }
int DefaultLookAndFeel::getStatusBarHeight() { return 16; }
int DefaultLookAndFeel::getDefaultImageButtonSize(const juce::String&, int) { return 1; }
int DefaultLookAndFeel::getDefaultTextButtonSize(const juce::String&) { return 1; }

std::unique_ptr<juce::ImageButton> DefaultLookAndFeel::createImageButton(const juce::String& name, int kind)
{
    return createImageButton(name, kind, getDefaultImageButtonSize(name, kind));
}

std::unique_ptr<juce::ImageButton> DefaultLookAndFeel::createImageButton(const juce::String& name, int kind,
                                                                         int size)
{
    const auto normal = getImageButtonImage(kind, size, false);
    const auto pressed = getImageButtonImage(kind, size, true);
    if (normal.isNull() || pressed.isNull())
        return nullptr;
    return createImageButtonFromImages(name, normal, pressed);
}

void DefaultLookAndFeel::setImageButtonImages(juce::ImageButton& button, int kind, int size)
{
    const auto normal = getImageButtonImage(kind, size, false);
    const auto pressed = getImageButtonImage(kind, size, true);
    if (normal.isValid() && pressed.isValid())
        setImagesOnButton(button, normal, pressed);
}

std::unique_ptr<TextButtonEx> DefaultLookAndFeel::createTextButton(const juce::String& name)
{
    return createTextButton(name, getDefaultTextButtonSize(name));
}

std::unique_ptr<TextButtonEx> DefaultLookAndFeel::createTextButton(const juce::String& name, int size)
{
    auto button = std::make_unique<TextButtonEx>(name, size);
    setTextButtonImages(*button, size);
    return button;
}

void DefaultLookAndFeel::setTextButtonImages(TextButtonEx& button, int size)
{
    if (size > kLargeSize)
        return;
    const auto skin = getTextButtonSkin(size);
    // Until the skin exists the button keeps its default geometry.
    for (const auto& image : skin)
        if (image.isNull())
            return;
    button.setImages(skin[0], skin[1], skin[2], skin[3], skin[4], skin[5], skin[6]);
}

juce::Image DefaultLookAndFeel::getImageButtonImage(int kind, int size, bool pressed)
{
    if (!isImageButtonKindDefined(kind))
        return {};
    const int pixels = size == kLargeSize ? kLargeButtonPixels : kSmallButtonPixels;
    return loadEmbeddedImage(juce::String::formatted("ImageButton%02d_%d_", kind, pixels)
                             + (pressed ? "pressed" : "normal") + ".png");
}

juce::Array<juce::Image> DefaultLookAndFeel::getTextButtonSkin(int size)
{
    juce::Array<juce::Image> skin;
    const juce::String set = size == kLargeSize ? "Large" : "Small";
    for (int i = 0; i < TextButtonEx::numSkinImages; ++i)
        skin.add(loadEmbeddedImage("TextButton" + set + "_" + juce::String(i) + ".png"));
    return skin;
}

juce::Image DefaultLookAndFeel::getSmallIcon(int number)
{
    return loadEmbeddedImage("SmallIcon" + juce::String(number) + ".png");
}

//==============================================================================
bool DefaultLookAndFeel::areScrollbarButtonsVisible() { return true; }
int DefaultLookAndFeel::getDefaultScrollbarWidth() { return 13; }
int DefaultLookAndFeel::getScrollbarButtonSize(juce::ScrollBar&) { return 13; }

void DefaultLookAndFeel::drawScrollbarButton(juce::Graphics& g, juce::ScrollBar& bar, int width, int height,
                                             int buttonDirection, bool, bool, bool isButtonDown)
{
    const auto thumb = bar.findColour(juce::ScrollBar::thumbColourId);
    g.setColour(isButtonDown ? juce::Colours::black : withDisabledAlpha(thumb, bar.isEnabled()));
    const auto& arrow = arrows[juce::jlimit(0, 3, buttonDirection)];
    g.fillPath(arrow, juce::AffineTransform::scale((float) width / 13.0f, (float) height / 13.0f));
}

void DefaultLookAndFeel::drawScrollbar(juce::Graphics& g, juce::ScrollBar& bar, int x, int y, int width,
                                       int height, bool isScrollbarVertical, int thumbStartPosition, int thumbSize,
                                       bool isMouseOver, bool)
{
    const bool enabled = bar.isEnabled();
    const auto background = bar.findColour(juce::ScrollBar::backgroundColourId);
    const auto whole = juce::Rectangle<float>((float) x, (float) y, (float) width, (float) height);
    if (!background.isTransparent())
    {
        g.setColour(background);
        g.fillRect(whole);
    }
    g.setColour(withDisabledAlpha(bar.findColour(juce::ScrollBar::trackColourId), enabled));
    g.fillRoundedRectangle(whole, kCorner);

    juce::Rectangle<float> thumb;
    if (isScrollbarVertical)
        thumb = { (float) x + 2.0f, (float) thumbStartPosition, (float) width - 4.0f, (float) thumbSize };
    else
        thumb = { (float) thumbStartPosition, (float) y + 2.0f, (float) thumbSize, (float) height - 4.0f };
    g.setColour(isMouseOver ? juce::Colours::black
                            : withDisabledAlpha(bar.findColour(juce::ScrollBar::thumbColourId), enabled));
    g.fillRoundedRectangle(thumb, kCorner);
}

juce::Font DefaultLookAndFeel::getTextButtonFont(juce::TextButton&, int) { return plainFont; }

void DefaultLookAndFeel::drawLabel(juce::Graphics& g, juce::Label& label)
{
    // As JUCE draws it, but legible while disabled.
    g.fillAll(label.findColour(juce::Label::backgroundColourId));
    const bool enabled = label.isEnabled();
    if (!label.isBeingEdited())
    {
        const auto font = getLabelFont(label);
        g.setColour(textWhenEnabled(label.findColour(juce::Label::textColourId), enabled));
        g.setFont(font);
        const auto area = getLabelBorderSize(label).subtractedFrom(label.getLocalBounds());
        g.drawFittedText(label.getText(), area, label.getJustificationType(),
                         juce::jmax(1, (int) ((float) area.getHeight() / font.getHeight())),
                         label.getMinimumHorizontalScale());
    }
    g.setColour(withDisabledAlpha(label.findColour(juce::Label::outlineColourId), enabled || label.isBeingEdited()));
    g.drawRect(label.getLocalBounds());
}

void DefaultLookAndFeel::drawButtonText(juce::Graphics& g, juce::TextButton& button, bool, bool)
{
    // As JUCE draws it, but legible while disabled.
    const auto font = getTextButtonFont(button, button.getHeight());
    g.setFont(font);
    g.setColour(textWhenEnabled(button.findColour(button.getToggleState() ? juce::TextButton::textColourOnId
                                                                          : juce::TextButton::textColourOffId),
                                button.isEnabled()));
    const int yIndent = juce::jmin(4, button.proportionOfHeight(0.3f));
    const int cornerSize = juce::jmin(button.getHeight(), button.getWidth()) / 2;
    const int fontHeight = juce::roundToInt(font.getHeight() * 0.6f);
    const int leftIndent = juce::jmin(fontHeight, 2 + cornerSize / (button.isConnectedOnLeft() ? 4 : 2));
    const int rightIndent = juce::jmin(fontHeight, 2 + cornerSize / (button.isConnectedOnRight() ? 4 : 2));
    const int textWidth = button.getWidth() - leftIndent - rightIndent;
    if (textWidth > 0)
        g.drawFittedText(button.getButtonText(), leftIndent, yIndent, textWidth, button.getHeight() - yIndent * 2,
                         juce::Justification::centred, 2);
}

void DefaultLookAndFeel::drawDrawableButton(juce::Graphics& g, juce::DrawableButton& button, bool isMouseOverButton,
                                            bool isButtonDown)
{
    const auto colour = button.findColour(button.getToggleState() ? juce::DrawableButton::backgroundOnColourId
                                                                  : juce::DrawableButton::backgroundColourId);
    drawButtonBackground(g, button, colour, isMouseOverButton, isButtonDown);
}

void DefaultLookAndFeel::drawButtonBackground(juce::Graphics& g, juce::Button& button, const juce::Colour& colour,
                                              bool isMouseOverButton, bool isButtonDown)
{
    juce::LookAndFeel_V3::drawButtonBackground(g, button, colour, isMouseOverButton, isButtonDown);
    if (WindowComponent::isDefaultButton(button))
        drawRoundedOutline(g, button.getLocalBounds(), findColour(accentColourId), kDefaultButtonCorner,
                           kDefaultButtonRing);
}

void DefaultLookAndFeel::drawImageButton(juce::Graphics& g, juce::Image* image, int imageX, int imageY, int imageW,
                                         int imageH, const juce::Colour& overlayColour, float imageOpacity,
                                         juce::ImageButton& button)
{
    // JUCE dims a disabled image button a lot; lift it so it stays readable.
    const float opacity = button.isEnabled() ? imageOpacity : imageOpacity * 1.4f;
    juce::LookAndFeel_V3::drawImageButton(g, image, imageX, imageY, imageW, imageH, overlayColour, opacity, button);
}

void DefaultLookAndFeel::fillTextEditorBackground(juce::Graphics& g, int, int, juce::TextEditor& editor)
{
    const auto colour = editor.findColour(juce::TextEditor::backgroundColourId);
    g.fillAll(editor.isEnabled() ? colour : colour.darker(0.5f));
}

void DefaultLookAndFeel::drawTextEditorOutline(juce::Graphics& g, int width, int height, juce::TextEditor& editor)
{
    g.setColour(withDisabledAlpha(editor.findColour(juce::TextEditor::outlineColourId), editor.isEnabled()));
    g.drawRect(0, 0, width, height, 1);
}

juce::Font DefaultLookAndFeel::getComboBoxFont(juce::ComboBox&) { return plainFont; }
juce::Font DefaultLookAndFeel::getLabelFont(juce::Label&) { return plainFont; }

void DefaultLookAndFeel::positionComboBoxText(juce::ComboBox& box, juce::Label& label)
{
    label.setBounds(0, 0, box.getWidth() - 20, box.getHeight());
}

int DefaultLookAndFeel::getSliderThumbRadius(juce::Slider&) { return 10; }

void DefaultLookAndFeel::drawLinearSliderBackground(juce::Graphics& g, int x, int y, int width, int height, float,
                                                    float, float, const juce::Slider::SliderStyle, juce::Slider&)
{
    g.setColour(kArrowColour);
    g.fillRect(x, y + height / 2 - 3, width, 6);
}

void DefaultLookAndFeel::drawSliderThumb(juce::Graphics& g, juce::Slider& slider, juce::Rectangle<float> area)
{
    const auto colour = slider.findColour(juce::TextButton::buttonColourId);
    const float x = area.getX() + 0.5f;
    const float y = area.getY() + 0.5f;
    const float w = area.getWidth() - 1.0f;
    const float h = area.getHeight() - 1.0f;
    if (w <= 0.0f || h <= 0.0f)
        return;

    juce::Path thumb;
    thumb.addRoundedRectangle(x, y, w, h, 2.0f);
    g.setGradientFill(juce::ColourGradient::vertical(colour.brighter(0.2f), y, colour.darker(0.25f), y + h));
    g.fillPath(thumb);

    const float brightness = colour.getBrightness();
    g.setColour(juce::Colours::white.withAlpha(brightness * brightness * 0.4f * colour.getFloatAlpha()));
    const float height = area.getHeight();
    g.strokePath(thumb, juce::PathStrokeType(1.0f),
                 juce::AffineTransform::translation(0.0f, 1.0f).scaled(1.0f, (height - 1.6f) / height));

    g.setColour(juce::Colours::black.withAlpha(0.4f * colour.getFloatAlpha()));
    g.strokePath(thumb, juce::PathStrokeType(1.0f));
}

void DefaultLookAndFeel::drawLinearSliderThumb(juce::Graphics& g, int x, int y, int width, int height,
                                               float sliderPos, float minSliderPos, float maxSliderPos,
                                               const juce::Slider::SliderStyle style, juce::Slider& slider)
{
    const float thumbWidth = (float) juce::jmin(getSliderThumbRadius(slider), 8);
    if (style == juce::Slider::LinearHorizontal)
    {
        drawSliderThumb(g, slider, { sliderPos - 4.0f, (float) y, thumbWidth, (float) height });
    }
    else if (style == juce::Slider::TwoValueHorizontal)
    {
        drawSliderThumb(g, slider, { minSliderPos + 1.0f - 8.0f, (float) y, thumbWidth, (float) height });
        drawSliderThumb(g, slider, { maxSliderPos, (float) y, thumbWidth, (float) height });
    }
    else
    {
        juce::LookAndFeel_V3::drawLinearSliderThumb(g, x, y, width, height, sliderPos, minSliderPos, maxSliderPos,
                                                    style, slider);
    }
}

void DefaultLookAndFeel::drawCornerResizer(juce::Graphics& g, int w, int h, bool isMouseOver, bool isMouseDragging)
{
    const bool active = isMouseOver || isMouseDragging;
    juce::Path triangle;
    triangle.addTriangle(4.0f, (float) (h - 3), (float) (w - 3), 4.0f, (float) (w - 3), (float) (h - 3));
    g.setColour(active ? juce::Colours::black : kArrowColour);
    g.strokePath(triangle, juce::PathStrokeType(1.0f));
    g.setColour(active ? juce::Colour(0xFFCCFF52) : kArrowColour);
    g.fillPath(triangle);
}

void DefaultLookAndFeel::drawDocumentWindowTitleBar(juce::DocumentWindow& window, juce::Graphics& g, int w, int h,
                                                    int titleSpaceX, int, const juce::Image*, bool)
{
    g.fillAll(juce::Colour(0xFFCBCBCB));
    g.setColour(juce::Colours::black);
    g.setFont(plainFont.withHeight(0.65f * (float) h));
    g.drawText(window.getName(), titleSpaceX, 0, w - titleSpaceX, h, juce::Justification::centredLeft, true);
}

void DefaultLookAndFeel::positionDocumentWindowButtons(juce::DocumentWindow&, int, int, int titleBarW,
                                                       int titleBarH, juce::Button*, juce::Button*,
                                                       juce::Button* closeButton, bool)
{
    if (closeButton != nullptr)
        closeButton->setTopLeftPosition(titleBarW - 1 - closeButton->getWidth(),
                                        (titleBarH - closeButton->getHeight()) / 2 + 3);
}

juce::Rectangle<int> DefaultLookAndFeel::getTooltipBounds(const juce::String& tipText, juce::Point<int> screenPos,
                                                          juce::Rectangle<int> parentArea)
{
    const int w = (int) std::ceil(plainFont.getStringWidthFloat(tipText)) + 12;
    const int h = (int) std::ceil(plainFont.getHeight()) + 7;
    return juce::Rectangle<int>(screenPos.x > parentArea.getCentreX() ? screenPos.x - (w + 12) : screenPos.x + 24,
                                screenPos.y > parentArea.getCentreY() ? screenPos.y - (h + 6) : screenPos.y + 6, w, h)
        .constrainedWithin(parentArea);
}

void DefaultLookAndFeel::drawTooltip(juce::Graphics& g, const juce::String& text, int width, int height)
{
    drawRoundedBox(g, { 0, 0, width, height }, findColour(juce::TooltipWindow::backgroundColourId),
                   findColour(juce::TooltipWindow::outlineColourId), kCorner, 1.2f);
    g.setFont(plainFont);
    g.setColour(findColour(juce::TooltipWindow::textColourId));
    g.drawText(text, 0, 0, width, height, juce::Justification::centred, false);
}

int DefaultLookAndFeel::getTabButtonSpaceAroundImage() { return 1; }
int DefaultLookAndFeel::getTabButtonOverlap(int) { return 4; }

int DefaultLookAndFeel::getTabButtonBestWidth(juce::TabBarButton& button, int)
{
    return (int) std::ceil(getTabTextFont().getStringWidthFloat(button.getButtonText().trim())) + 30;
}

void DefaultLookAndFeel::createTabButtonShape(juce::TabBarButton& button, juce::Path& p, bool, bool)
{
    const auto area = button.getActiveArea().toFloat();
    const float overlap = (float) getTabButtonOverlap(button.getHeight());
    const float w = area.getWidth();
    const float h = area.getHeight();
    juce::Path shape;
    shape.startNewSubPath(overlap + 0.5f, 0.5f);
    shape.lineTo(w + 0.5f, 0.5f);
    shape.lineTo(w + 0.5f, h + 4.5f);
    shape.lineTo(overlap + 0.5f, h + 4.5f);
    shape.closeSubPath();
    p = shape.createPathWithRoundedCorners(kCorner);
    p.applyTransform(juce::AffineTransform::translation(area.getX(), area.getY()));
}

void DefaultLookAndFeel::fillTabButtonShape(juce::TabBarButton& button, juce::Graphics& g, const juce::Path& path,
                                            bool, bool)
{
    const auto background = button.getTabBackgroundColour();
    g.setColour(button.isFrontTab() ? background : background.darker(0.2f));
    g.fillPath(path);
    g.setColour(withDisabledAlpha(button.findColour(tabOutlineColourId), button.isEnabled()));
    g.strokePath(path, juce::PathStrokeType(1.0f));
}

void DefaultLookAndFeel::drawTabButtonText(juce::TabBarButton& button, juce::Graphics& g, bool, bool)
{
    g.setFont(getTabTextFont());
    // The texts are as dark as their fills allow (4.5:1 and more): a disabled
    // tab shows by its outline.
    g.setColour(button.findColour(button.isFrontTab() ? tabFrontTextColourId : tabBackTextColourId));
    g.drawText(button.getButtonText().trim(), button.getTextArea(), juce::Justification::centred, false);
}

void DefaultLookAndFeel::drawTabButton(juce::TabBarButton& button, juce::Graphics& g, bool isMouseOver,
                                       bool isMouseDown)
{
    juce::Path shape;
    createTabButtonShape(button, shape, isMouseOver, isMouseDown);
    fillTabButtonShape(button, g, shape, isMouseOver, isMouseDown);
    drawTabButtonText(button, g, isMouseOver, isMouseDown);
}

void DefaultLookAndFeel::drawTabAreaBehindFrontButton(juce::TabbedButtonBar& bar, juce::Graphics& g, int w, int h)
{
    g.setColour(bar.findColour(tabOutlineColourId));
    g.fillRoundedRectangle(0.0f, (float) (h - 1), (float) w, (float) (h + 2), kCorner);
}

void DefaultLookAndFeel::drawProgressBar(juce::Graphics&, juce::ProgressBar&, int, int, double, const juce::String&)
{
}

void DefaultLookAndFeel::drawFileBrowserRow(juce::Graphics&, int, int, const juce::File&, const juce::String&,
                                            juce::Image*, const juce::String&, const juce::String&, bool, bool, int,
                                            juce::DirectoryContentsDisplayComponent&)
{
}

void DefaultLookAndFeel::drawLevelMeter(juce::Graphics&, int, int, float)
{
}

//==============================================================================
juce::Colour findPaletteColour(const juce::Component& component, int colourId)
{
    if (component.isColourSpecified(colourId) || component.getLookAndFeel().isColourSpecified(colourId))
        return component.findColour(colourId);
    return juce::Colours::black;
}

void drawRectangle(juce::Graphics& g, juce::Rectangle<int> rect, juce::Colour colour, int thickness)
{
    g.setColour(colour);
    g.drawRect(rect, thickness);
}

void fillRectangle(juce::Graphics& g, juce::Rectangle<int> rect, juce::Colour colour)
{
    g.setColour(colour);
    g.fillRect(rect);
}

void fillAndOutlineRectangle(juce::Graphics& g, juce::Rectangle<int> rect, juce::Colour fill, juce::Colour outline,
                             int thickness)
{
    fillRectangle(g, rect, fill);
    drawRectangle(g, rect, outline, thickness);
}

void fillRoundedRect(juce::Graphics& g, juce::Rectangle<int> rect, juce::Colour colour, float cornerSize)
{
    g.setColour(colour);
    g.fillRoundedRectangle(rect.toFloat(), cornerSize);
}

void drawRoundedOutline(juce::Graphics& g, juce::Rectangle<int> rect, juce::Colour colour, float cornerSize,
                        float thickness)
{
    g.setColour(colour);
    const float half = thickness * 0.5f;
    g.drawRoundedRectangle((float) rect.getX() + half, (float) rect.getY() + half,
                           (float) rect.getWidth() - thickness, (float) rect.getHeight() - thickness,
                           cornerSize - half, thickness);
}

void drawRoundedBox(juce::Graphics& g, juce::Rectangle<int> rect, juce::Colour fill, juce::Colour outline,
                    float cornerSize, float thickness)
{
    g.setColour(fill);
    g.fillRoundedRectangle((float) rect.getX() + 1.0f, (float) rect.getY() + 1.0f,
                           (float) juce::jmax(0, rect.getWidth() - 2), (float) juce::jmax(0, rect.getHeight() - 2),
                           cornerSize);
    drawRoundedOutline(g, rect, outline, cornerSize, thickness);
}

void fillRoundedRectangleOnSide(juce::Graphics& g, juce::Rectangle<int> rect, int side, juce::Colour colour,
                                float cornerSize)
{
    const bool left = side == juce::Justification::left;
    const bool right = side == juce::Justification::right;
    const bool bottom = side == juce::Justification::bottom;
    const bool top = !left && !right && !bottom;
    juce::Path p;
    p.addRoundedRectangle((float) rect.getX(), (float) rect.getY(), (float) rect.getWidth(), (float) rect.getHeight(),
                          cornerSize, cornerSize, top || left, top || right, bottom || left, bottom || right);
    g.setColour(colour);
    g.fillPath(p);
}

void drawRoundedCornerMask(juce::Graphics& g, juce::Rectangle<int> rect, juce::Colour maskColour,
                           juce::Colour outline, float cornerSize, float thickness)
{
    juce::Path mask;
    mask.addRectangle(rect);
    mask.addRoundedRectangle((float) rect.getX() + 1.0f, (float) rect.getY() + 1.0f,
                             (float) juce::jmax(0, rect.getWidth() - 2), (float) juce::jmax(0, rect.getHeight() - 2),
                             cornerSize);
    mask.setUsingNonZeroWinding(false);
    g.setColour(maskColour);
    g.fillPath(mask);
    drawRoundedOutline(g, rect, outline, cornerSize, thickness);
}

std::unique_ptr<juce::ImageButton> createImageButtonFromImages(const juce::String& name, const juce::Image& normal,
                                                               const juce::Image& pressed)
{
    auto button = std::make_unique<juce::ImageButton>(name);
    setImagesOnButton(*button, normal, pressed);
    return button;
}

void setImagesOnButton(juce::ImageButton& button, const juce::Image& normal, const juce::Image& pressed)
{
    const auto clear = juce::Colours::transparentBlack;
    button.setImages(true, false, false, normal, 1.0f, clear, juce::Image(), 1.0f, clear, pressed, 1.0f, clear, 0.0f);
}

std::unique_ptr<juce::Drawable> createDrawableFromSvg(const void* data, size_t size)
{
    if (data == nullptr || size == 0)
        return nullptr;
    auto xml = juce::parseXML(juce::String::fromUTF8(static_cast<const char*>(data), (int) size));
    if (xml == nullptr || !xml->getTagName().equalsIgnoreCase("svg"))
        return nullptr;
    // JUCE's SVG reader insists on the lower-case tag.
    xml->setTagName("svg");
    return juce::Drawable::createFromSVG(*xml);
}

std::unique_ptr<juce::Drawable> getIcon(int index)
{
    if (index < 0 || index >= DefaultLookAndFeel::numIcons)
        return nullptr;
    // Icons 17 and 18 are one picture.
    const int file = index == 18 ? 17 : index;
    const auto block = loadBundleResource(juce::String::formatted("Icon%02d.svg", file));
    if (block == nullptr)
        return nullptr;
    return createDrawableFromSvg(block->getData(), block->getSize());
}

void setButtonIcon(juce::DrawableButton& button, int index)
{
    if (auto icon = getIcon(index))
        button.setImages(icon.get());
}
