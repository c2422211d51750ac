#pragma once

#include "toolkit/HardLabel.h"
#include "toolkit/PanelComponent.h"
#include "toolkit/WindowComponent.h"

#include <juce_audio_utils/juce_audio_utils.h>
#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>

class TextButtonEx;

// The one look-and-feel of every in-house window, page and widget: the light
// grey palette with the orange accent, the "Tahoma" fonts (drawn with DejaVu
// Sans on Linux), the embedded button bitmaps, the SVG icon library and the
// in-house drawing operations. Widgets reach it by dynamic_cast of their
// look-and-feel and keep their JUCE defaults when the cast fails.
class DefaultLookAndFeel : public juce::LookAndFeel_V3,
                           public WindowComponent::LookAndFeelMethods,
                           public HardLabel::LookAndFeelMethods,
                           public PanelComponent::LookAndFeelMethods
{
public:
    // The in-house colour ids (JUCE's own ids are set beside them).
    enum ColourIds
    {
        accentLightColourId = 0x0E000000,
        accentColourId = 0x0E000001,
        accentWhiteColourId = 0x0E000002,
        accentBlackColourId = 0x0E000003,

        generalBackgroundColourId = 0x0F000000,

        windowBackgroundColourId = 0x0F001000,
        windowTitleBarColourId = 0x0F001001,
        windowTitleTextColourId = 0x0F001002,

        pathFieldFillColourId = 0x0F002200,
        pathFieldTextColourId = 0x0F002201,
        pathFieldOutlineColourId = 0x0F002202,

        tabFrameFillColourId = 0x0F003000,
        tabFrontTextColourId = 0x0F003001,
        tabOutlineColourId = 0x0F003002,
        tabBackTextColourId = 0x0F003003,

        columnBrowserBackgroundColourId = 0x0F003100,
        columnFillColourId = 0x0F003101,
        columnOutlineColourId = 0x0F003102,
        columnBrowserColour3Id = 0x0F003103,
        columnBrowserColour4Id = 0x0F003104,
        columnSelectedRowColourId = 0x0F003105,
        columnBrowserColour6Id = 0x0F003106,
        columnBrowserColour7Id = 0x0F003107,
        columnBrowserColour8Id = 0x0F003108,

        statusBarBackgroundColourId = 0x0F004001,
        statusBarTextColourId = 0x0F004002,

        panelFrameColourId = 0x0F005000
    };

    // The palette's base colour, the orange accent.
    static constexpr juce::uint32 accentArgb = 0xFFFF6C00;

    // Image-button kinds run 0..21; some of them have no pictures.
    static constexpr int numImageButtonKinds = 22;
    // Icon indices 0..28 of the SVG library.
    static constexpr int numIcons = 29;

    DefaultLookAndFeel();
    ~DefaultLookAndFeel() override;

    // "Tahoma" is not on Linux: it is drawn with DejaVu Sans, whose metrics are
    // close. JUCE resolves typefaces through the process's default
    // look-and-feel, so the editor makes this one the default.
    juce::Typeface::Ptr getTypefaceForFont(const juce::Font& font) override;

    //===================================================================    // The in-house operations.
    virtual void drawArrow(juce::Graphics& g, int x, int y, int w, int h, bool pointsRight);
    void drawHardLabel(juce::Graphics& g, HardLabel& label) override;
    virtual juce::Image getSmallIcon1();
    virtual juce::Image getSmallIcon2();
    virtual juce::Font getDefaultFont();
    virtual int getDefaultSpacing();
    virtual juce::Font getBoldFont();
    juce::Font getPanelTitleFont() override;
    virtual juce::Image getSmallIcon3();
    virtual juce::Image getSmallIcon4();
    virtual juce::Font getHeaderFont();
    virtual juce::Font getTabFont();
    virtual int getRowHeight();
    virtual int getSmallGap();
    virtual int getMargin();
    virtual int getTinyGap();
    virtual int getHeaderHeight();
    virtual float getCornerSize();
    virtual int getBorder();
    juce::Font getWindowTitleFont() override;
    void setWindowCloseButtonImages(juce::ImageButton& button) override;
    void drawWindow(juce::Graphics& g, WindowComponent& window) override;
    virtual juce::Font getTabTextFont();
    virtual int getTabBarDepth();
    virtual int getTabIndent();
    virtual juce::Font getStatusBarFont();
    virtual int getStatusBarHeight();
    virtual int getDefaultImageButtonSize(const juce::String& name, int kind);
    virtual int getDefaultTextButtonSize(const juce::String& name);
    virtual std::unique_ptr<juce::ImageButton> createImageButton(const juce::String& name, int kind);
    virtual std::unique_ptr<juce::ImageButton> createImageButton(const juce::String& name, int kind, int size);
    virtual void setImageButtonImages(juce::ImageButton& button, int kind, int size);
    virtual std::unique_ptr<TextButtonEx> createTextButton(const juce::String& name);
    virtual std::unique_ptr<TextButtonEx> createTextButton(const juce::String& name, int size);
    virtual void setTextButtonImages(TextButtonEx& button, int size);

    // The pictures behind the operations above: the kind's normal or pressed
    // image in the small (27 px) or large (size 2, 43 px) variant; null for a
    // kind without pictures.
    static juce::Image getImageButtonImage(int kind, int size, bool pressed);
    // The seven pieces of a text-button skin set (small, or large for size 2).
    static juce::Array<juce::Image> getTextButtonSkin(int size);
    static juce::Image getSmallIcon(int number);

    //===================================================================    // Overrides of JUCE's look-and-feel.
    bool areScrollbarButtonsVisible() override;
    int getDefaultScrollbarWidth() override;
    int getScrollbarButtonSize(juce::ScrollBar&) override;
    void drawScrollbarButton(juce::Graphics&, juce::ScrollBar&, int width, int height, int buttonDirection,
                             bool isScrollbarVertical, bool isMouseOverButton, bool isButtonDown) override;
    void drawScrollbar(juce::Graphics&, juce::ScrollBar&, int x, int y, int width, int height,
                       bool isScrollbarVertical, int thumbStartPosition, int thumbSize,
                       bool isMouseOver, bool isMouseDown) override;

    juce::Font getTextButtonFont(juce::TextButton&, int buttonHeight) override;
    void drawButtonText(juce::Graphics&, juce::TextButton&, bool isMouseOverButton, bool isButtonDown) override;
    // A window's default button (the one Return presses) has an accent ring.
    void drawButtonBackground(juce::Graphics&, juce::Button&, const juce::Colour& backgroundColour,
                              bool isMouseOverButton, bool isButtonDown) override;
    void drawDrawableButton(juce::Graphics&, juce::DrawableButton&, bool isMouseOverButton,
                            bool isButtonDown) override;
    void drawImageButton(juce::Graphics&, juce::Image*, int imageX, int imageY, int imageW, int imageH,
                         const juce::Colour& overlayColour, float imageOpacity, juce::ImageButton&) override;

    void fillTextEditorBackground(juce::Graphics&, int width, int height, juce::TextEditor&) override;
    void drawTextEditorOutline(juce::Graphics&, int width, int height, juce::TextEditor&) override;

    juce::Font getComboBoxFont(juce::ComboBox&) override;
    juce::Font getLabelFont(juce::Label&) override;
    void drawLabel(juce::Graphics&, juce::Label&) override;
    void positionComboBoxText(juce::ComboBox&, juce::Label&) override;

    int getSliderThumbRadius(juce::Slider&) override;
    void drawLinearSliderBackground(juce::Graphics&, int x, int y, int width, int height, float sliderPos,
                                    float minSliderPos, float maxSliderPos, const juce::Slider::SliderStyle,
                                    juce::Slider&) override;
    void drawLinearSliderThumb(juce::Graphics&, int x, int y, int width, int height, float sliderPos,
                               float minSliderPos, float maxSliderPos, const juce::Slider::SliderStyle,
                               juce::Slider&) override;

    void drawCornerResizer(juce::Graphics&, int w, int h, bool isMouseOver, bool isMouseDragging) override;
    void drawDocumentWindowTitleBar(juce::DocumentWindow&, juce::Graphics&, int w, int h, int titleSpaceX,
                                    int titleSpaceW, const juce::Image* icon, bool drawTitleTextOnLeft) override;
    void positionDocumentWindowButtons(juce::DocumentWindow&, int titleBarX, int titleBarY, int titleBarW,
                                       int titleBarH, juce::Button* minimiseButton, juce::Button* maximiseButton,
                                       juce::Button* closeButton, bool positionTitleBarButtonsOnLeft) override;

    juce::Rectangle<int> getTooltipBounds(const juce::String& tipText, juce::Point<int> screenPos,
                                          juce::Rectangle<int> parentArea) override;
    void drawTooltip(juce::Graphics&, const juce::String& text, int width, int height) override;

    int getTabButtonSpaceAroundImage() override;
    int getTabButtonOverlap(int tabDepth) override;
    int getTabButtonBestWidth(juce::TabBarButton&, int tabDepth) override;
    void createTabButtonShape(juce::TabBarButton&, juce::Path&, bool isMouseOver, bool isMouseDown) override;
    void fillTabButtonShape(juce::TabBarButton&, juce::Graphics&, const juce::Path&, bool isMouseOver,
                            bool isMouseDown) override;
    void drawTabButtonText(juce::TabBarButton&, juce::Graphics&, bool isMouseOver, bool isMouseDown) override;
    void drawTabButton(juce::TabBarButton&, juce::Graphics&, bool isMouseOver, bool isMouseDown) override;
    void drawTabAreaBehindFrontButton(juce::TabbedButtonBar&, juce::Graphics&, int w, int h) override;

    void drawProgressBar(juce::Graphics&, juce::ProgressBar&, int width, int height, double progress,
                         const juce::String& textToShow) override;
    void drawFileBrowserRow(juce::Graphics&, int width, int height, const juce::File& file,
                            const juce::String& filename, juce::Image* icon, const juce::String& fileSizeDescription,
                            const juce::String& fileTimeDescription, bool isDirectory, bool isItemSelected,
                            int itemIndex, juce::DirectoryContentsDisplayComponent&) override;
    void drawLevelMeter(juce::Graphics&, int width, int height, float level) override;

private:
    void drawSliderThumb(juce::Graphics& g, juce::Slider& slider, juce::Rectangle<float> area);

    // Up, right, down, left: the scroll-bar button directions.
    juce::Path arrows[4];
    juce::Font plainFont;
    juce::Font boldFont;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(DefaultLookAndFeel)
};

//=======================================================================// A colour of the in-house palette as the component should draw it: its own,
// else its look-and-feel's. Under a look-and-feel without the palette this is
// what JUCE answers for an id it does not know (opaque black), without asking
// it for one.
juce::Colour findPaletteColour(const juce::Component& component, int colourId);

// A text as its control draws it: fainter while the control is disabled,
// still standing out 4.5:1 from the palette's backgrounds.
juce::Colour textWhenEnabled(juce::Colour text, bool enabled);

// Drawing utilities shared by windows, browsers, buttons and pages.
void drawRectangle(juce::Graphics& g, juce::Rectangle<int> rect, juce::Colour colour, int thickness);
void fillRectangle(juce::Graphics& g, juce::Rectangle<int> rect, juce::Colour colour);
void fillAndOutlineRectangle(juce::Graphics& g, juce::Rectangle<int> rect, juce::Colour fill,
                             juce::Colour outline, int thickness);
void fillRoundedRect(juce::Graphics& g, juce::Rectangle<int> rect, juce::Colour colour, float cornerSize);
void drawRoundedOutline(juce::Graphics& g, juce::Rectangle<int> rect, juce::Colour colour, float cornerSize,
                        float thickness);
void drawRoundedBox(juce::Graphics& g, juce::Rectangle<int> rect, juce::Colour fill, juce::Colour outline,
                    float cornerSize, float thickness);
// side: juce::Justification::left, right or bottom; anything else rounds the top.
void fillRoundedRectangleOnSide(juce::Graphics& g, juce::Rectangle<int> rect, int side, juce::Colour colour,
                                float cornerSize);
void drawRoundedCornerMask(juce::Graphics& g, juce::Rectangle<int> rect, juce::Colour maskColour,
                           juce::Colour outline, float cornerSize, float thickness);

std::unique_ptr<juce::ImageButton> createImageButtonFromImages(const juce::String& name, const juce::Image& normal,
                                                               const juce::Image& pressed);
void setImagesOnButton(juce::ImageButton& button, const juce::Image& normal, const juce::Image& pressed);

// An SVG document as a drawable; null unless the root element is "svg" (any case).
std::unique_ptr<juce::Drawable> createDrawableFromSvg(const void* data, size_t size);
// Icon index 0..28 of the library; null for any other index.
std::unique_ptr<juce::Drawable> getIcon(int index);
void setButtonIcon(juce::DrawableButton& button, int index);
