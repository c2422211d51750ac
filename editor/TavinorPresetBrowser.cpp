#include "editor/TavinorPresetBrowser.h"

#include "processor/Tavinor.h"
#include "toolkit/DefaultLookAndFeel.h"

namespace
{
// The open and the closed padlock of the look-and-feel's icon library.
constexpr int kUnlockedIcon = 22;
constexpr int kLockedIcon = 23;

juce::String lineText(int line)
{
    return "Line " + juce::String(line + 1);
}
} // namespace

TavinorPresetBrowser::TavinorPresetBrowser(Tavinor& p, PresetCollection& c)
    : PresetBrowserWindow(p, c), processor(p)
{
    auto& allLines = getRestoreDefaultButton();
    allLines.setButtonText("All lines");
    allLines.changeWidthToFitText(kButtonHeight);

    restoreRow.setSpacing(kRowSpacing);
    restoreRow.addAndMakeVisible(restoreLabel);
    restoreRow.addAndMakeVisible(allLines);
    for (int line = 0; line < kNumLines; ++line)
    {
        auto& button = restoreButtons[(size_t) line];
        button.setButtonText(lineText(line));
        button.changeWidthToFitText(kButtonHeight);
        button.setWantsKeyboardFocus(false);
        button.addListener(this);
        restoreRow.addAndMakeVisible(button);
    }

    lockRow.setSpacing(kRowSpacing);
    lockRow.setMouseClickGrabsKeyboardFocus(false);
    lockRow.addAndMakeVisible(lockLabel);
    const auto unlocked = ::getIcon(kUnlockedIcon);
    const auto locked = ::getIcon(kLockedIcon);
    for (int line = 0; line < kNumLines; ++line)
    {
        auto& button = lockButtons[(size_t) line];
        if (unlocked != nullptr)
            button.setIcons(*unlocked, locked.get());
        button.setSize(button.getWidth(), kButtonHeight);
        button.changeWidthToFitText(kButtonHeight);
        button.setClickingTogglesState(true);
        button.addListener(this);
        lockRow.addAndMakeVisible(button);
        if (auto* padlock = processor.getLinePadlock(line))
        {
            padlock->addListener(this);
            button.setToggleState(padlock->isLocked(), juce::dontSendNotification);
        }
    }
    setMouseClickGrabsKeyboardFocus(false);
    addAndMakeVisible(restoreRow);
    addAndMakeVisible(lockRow);
    lookAndFeelChanged();
}

TavinorPresetBrowser::~TavinorPresetBrowser()
{
    for (int line = 0; line < kNumLines; ++line)
    {
        if (auto* padlock = processor.getLinePadlock(line))
            padlock->removeListener(this);
        restoreButtons[(size_t) line].removeListener(this);
        lockButtons[(size_t) line].removeListener(this);
    }
}

void TavinorPresetBrowser::buttonClicked(juce::Button* button)
{
    for (int line = 0; line < kNumLines; ++line)
    {
        if (button == &restoreButtons[(size_t) line])
        {
            processor.restoreLineDefaults(line);
            return;
        }
        if (button == &lockButtons[(size_t) line])
        {
            // The padlock holds the state; its notification sets the button.
            if (auto* padlock = processor.getLinePadlock(line))
                padlock->toggle();
            return;
        }
    }
    PresetBrowserWindow::buttonClicked(button);
}

void TavinorPresetBrowser::padlockChanged(ParameterPadlock* padlock)
{
    for (int line = 0; line < kNumLines; ++line)
        if (padlock == processor.getLinePadlock(line))
            lockButtons[(size_t) line].setToggleState(padlock->isLocked(), juce::dontSendNotification);
}

void TavinorPresetBrowser::lookAndFeelChanged()
{
    PresetBrowserWindow::lookAndFeelChanged();
    if (auto* lf = dynamic_cast<DefaultLookAndFeel*>(&getLookAndFeel()))
    {
        const auto font = lf->getDefaultFont();
        for (auto* label : { &restoreLabel, &lockLabel })
        {
            label->setFont(font);
            const auto border = label->getBorderSize();
            const int width = juce::roundToInt(std::ceil(font.getStringWidthFloat(label->getText())))
                              + 2 * (border.getLeft() + border.getRight()) + 1;
            label->setSize(width, juce::roundToInt(std::ceil(font.getHeight())));
        }
        for (auto& button : restoreButtons)
            button.changeWidthToFitText(button.getHeight());
        for (auto& button : lockButtons)
            button.changeWidthToFitText(-1);
    }
    resized();
}

void TavinorPresetBrowser::resized()
{
    PresetBrowserWindow::resized();
    const int y = getBottomRow().getY();
    restoreRow.setTopLeftPosition(getContentArea().getX(), y);
    lockRow.setTopLeftPosition(restoreRow.getRight() + kRowGap, y);
}
