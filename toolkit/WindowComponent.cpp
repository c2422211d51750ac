#include "toolkit/WindowComponent.h"

#include "core/BundleResources.h"
#include "toolkit/DefaultLookAndFeel.h"

namespace
{
constexpr int kMinimumWidth = 250;
constexpr int kMinimumHeight = 120;
constexpr int kMaximumCloseButtonSide = 20;
constexpr int kIconSide = 27;
const juce::Colour kCloseButtonHoverColour(0xFFFF6C00);
const juce::Identifier kDefaultButtonMark("windowDefaultButton");

std::unique_ptr<juce::Drawable> createWindowIcon()
{
    const auto block = loadBundleResource("WindowIcon.svg");
    if (block == nullptr)
        return nullptr;
    return createDrawableFromSvg(block->getData(), block->getSize());
}
} // namespace

WindowComponent::WindowComponent()
{
    auto normal = ::getIcon(0);
    auto over = ::getIcon(0);
    if (normal != nullptr)
        normal->replaceColour(juce::Colours::black, juce::Colours::white);
    if (over != nullptr)
        over->replaceColour(juce::Colours::black, kCloseButtonHoverColour);
    closeButton.setEdgeIndent(0);
    closeButton.setWantsKeyboardFocus(false);
    closeButton.addListener(this);
    closeButton.setColour(juce::DrawableButton::backgroundColourId, juce::Colours::transparentBlack);
    closeButton.setImages(normal.get(), over.get());
    addChildComponent(closeButton);

    setIcon(createWindowIcon().release());

    setOpaque(!transparent);
    updateCloseButtonVisibility();
    lookAndFeelChanged();
    setWantsKeyboardFocus(true);
}

WindowComponent::~WindowComponent()
{
    closeButton.removeListener(this);
}

void WindowComponent::buttonClicked(juce::Button* button)
{
    if (button == &closeButton)
        hide();
}

void WindowComponent::setDefaultButton(juce::Button* button)
{
    if (defaultButton != nullptr)
    {
        defaultButton->getProperties().remove(kDefaultButtonMark);
        defaultButton->repaint();
    }
    defaultButton = button;
    if (button != nullptr)
    {
        button->getProperties().set(kDefaultButtonMark, true);
        button->repaint();
    }
}

void WindowComponent::setCancelButton(juce::Button* button)
{
    cancelButton = button;
}

bool WindowComponent::isDefaultButton(const juce::Button& button)
{
    return button.getProperties().contains(kDefaultButtonMark);
}

void WindowComponent::pressIfUsable(juce::Button* button)
{
    if (button->isEnabled() && button->isVisible())
        buttonClicked(button);
}

bool WindowComponent::keyPressed(const juce::KeyPress& key)
{
    if (key == juce::KeyPress::escapeKey)
    {
        if (cancelButton != nullptr)
            pressIfUsable(cancelButton);
        else
            buttonClicked(&closeButton);
        return true;
    }
    if (key == juce::KeyPress::returnKey && defaultButton != nullptr)
    {
        pressIfUsable(defaultButton);
        return true;
    }
    return false;
}

void WindowComponent::setContentSize(int width, int height)
{
    const int frame = frameVisible ? borderWidth : 0;
    const int w = width + 2 * frame + contentMargins.getLeft() + contentMargins.getRight();
    const int h = height + (titleBarVisible ? titleBarHeight : 0) + (titleBarVisible ? frame : 2 * frame)
                  + contentMargins.getTop() + contentMargins.getBottom();
    setSize(juce::jmax(kMinimumWidth, w), juce::jmax(kMinimumHeight, h));
}

void WindowComponent::setTitle(const juce::String& newTitle)
{
    if (newTitle == title)
        return;
    title = newTitle;
    if (titleBarVisible)
        repaint();
}

void WindowComponent::setIcon(juce::Drawable* newIcon)
{
    std::unique_ptr<juce::Drawable> owned(newIcon);
    if (newIcon != nullptr && newIcon == icon.get())
    {
        owned.release();
        return;
    }
    if (icon != nullptr)
        removeChildComponent(icon.get());
    icon.reset(dynamic_cast<juce::DrawableComposite*>(owned.get()));
    if (icon != nullptr)
    {
        owned.release();
        icon->setInterceptsMouseClicks(false, false);
        addAndMakeVisible(*icon);
    }
    resized();
}

void WindowComponent::setTitleBarVisible(bool visible)
{
    if (visible == titleBarVisible)
        return;
    titleBarVisible = visible;
    updateCloseButtonVisibility();
    resized();
}

void WindowComponent::setTitleBarHeight(int height)
{
    if (height == titleBarHeight)
        return;
    titleBarHeight = height;
    resized();
}

void WindowComponent::setCloseButtonVisible(bool visible)
{
    if (visible == closeButtonVisible)
        return;
    closeButtonVisible = visible;
    updateCloseButtonVisibility();
    repaint();
}

void WindowComponent::setFrameVisible(bool visible)
{
    if (visible == frameVisible)
        return;
    frameVisible = visible;
    resized();
}

void WindowComponent::setTransparent(bool shouldBeTransparent)
{
    if (shouldBeTransparent == transparent)
        return;
    transparent = shouldBeTransparent;
    setOpaque(!transparent);
    repaint();
}

void WindowComponent::setCornerStyle(CornerStyle style)
{
    if (style == cornerStyle)
        return;
    cornerStyle = style;
    repaint();
}

void WindowComponent::updateCloseButtonVisibility()
{
    closeButton.setVisible(titleBarVisible && closeButtonVisible);
    if (icon != nullptr)
        icon->setVisible(titleBarVisible);
}

void WindowComponent::lookAndFeelChanged()
{
    if (auto* methods = dynamic_cast<LookAndFeelMethods*>(&getLookAndFeel()))
        titleFont = methods->getWindowTitleFont();
    resized();
    repaint();
}

void WindowComponent::paint(juce::Graphics& g)
{
    if (auto* methods = dynamic_cast<LookAndFeelMethods*>(&getLookAndFeel()))
        methods->drawWindow(g, *this);
}

void WindowComponent::resized()
{
    const int width = getWidth();
    const int frame = frameVisible ? borderWidth : 0;

    contentArea = getLocalBounds().reduced(frame);
    if (titleBarVisible)
        contentArea.removeFromTop(juce::jlimit(0, contentArea.getHeight(), titleBarHeight - frame));
    contentArea.removeFromTop(contentMargins.getTop());
    contentArea.removeFromBottom(contentMargins.getBottom());
    contentArea.removeFromLeft(contentMargins.getLeft());
    contentArea.removeFromRight(contentMargins.getRight());

    if (titleBarVisible)
    {
        titleBarArea = { 0, 0, width, titleBarHeight };
        titleTextArea = titleBarArea;
        const int textIndent = icon != nullptr ? titleBarHeight : 2 * borderWidth;
        titleTextArea.setLeft(textIndent);
        if (closeButtonVisible)
            titleTextArea.setWidth(juce::jmax(0, titleTextArea.getWidth() - titleBarHeight));

        // Keep an odd-height title bar's text on whole pixels with a tall font.
        const float fontHeight = titleFont.getHeight();
        if (2.0f * fontHeight > (float) titleBarHeight && titleBarHeight % 2 == 1)
        {
            titleTextArea.setHeight(juce::jmax(0, titleTextArea.getHeight() - 1));
            if (((int) fontHeight) % 2 == 1)
                titleTextArea.setHeight(juce::jmax(0, titleTextArea.getHeight() - 1));
        }

        const int side = juce::jmin(titleBarHeight, kMaximumCloseButtonSide);
        const int offset = titleBarHeight / 2 - side / 2;
        closeButton.setBounds(width - side - 1 - offset, offset, side, side);

        if (icon != nullptr)
        {
            const int pad = (titleBarHeight - kIconSide) / 2;
            const int iconSide = juce::jmax(0, titleBarHeight - 2 * pad);
            icon->setTransformToFit(juce::Rectangle<float>((float) pad, (float) pad, (float) iconSide,
                                                           (float) iconSide),
                                    juce::RectanglePlacement::stretchToFit);
        }
    }
    else
    {
        titleBarArea = {};
        titleTextArea = {};
    }

    ModalComponent::resized();
}
