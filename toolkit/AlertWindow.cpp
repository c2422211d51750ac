#include "toolkit/AlertWindow.h"

#include "toolkit/DefaultLookAndFeel.h"

namespace Orv
{
namespace
{
constexpr int kButtonHeight = 22;
constexpr int kButtonSpacing = 6;
constexpr int kGapAboveButtons = 10;
// Room for the message line and the gap above the buttons.
constexpr int kExtraContentHeight = 20;
constexpr int kNone = -1;

juce::String buttonText(int result)
{
    switch (result)
    {
        case AlertWindow::Cancel: return "Cancel";
        case AlertWindow::No: return "No";
        case AlertWindow::Yes: return "Yes";
        case AlertWindow::OK: return "OK";
        case AlertWindow::Overwrite: return "Overwrite";
        case AlertWindow::SaveAs: return "Save as";
        case AlertWindow::Discard: return "Discard";
        case AlertWindow::Replace: return "Replace";
        default: return {};
    }
}
} // namespace

AlertWindow* AlertWindow::create(const juce::String& title, const juce::String& text, Caller* alertCaller,
                                 std::initializer_list<Result> results, int defaultIndex, int cancelIndex)
{
    auto* alert = new AlertWindow();
    alert->setTitle(title);
    alert->setMessage(text);
    for (auto result : results)
        alert->addButton(buttonText(result), result);
    // An index of kNone finds no button: null.
    alert->setDefaultButton(alert->buttons[defaultIndex]);
    alert->setCancelButton(alert->buttons[cancelIndex]);
    alert->caller = alertCaller;
    return alert;
}

AlertWindow* AlertWindow::createOk(const juce::String& title, const juce::String& text, Caller* c)
{
    return create(title, text, c, { OK }, 0, 0);
}

// Every Yes of these replaces or deletes: Return answers No or Cancel, as
// Escape does. Over unsaved changes Return keeps them: "Save as".
AlertWindow* AlertWindow::createYesNo(const juce::String& title, const juce::String& text, Caller* c)
{
    return create(title, text, c, { Yes, No }, 1, 1);
}

AlertWindow* AlertWindow::createYesCancel(const juce::String& title, const juce::String& text, Caller* c)
{
    return create(title, text, c, { Yes, Cancel }, 1, 1);
}

AlertWindow* AlertWindow::createSaveOverwriteDiscard(const juce::String& title, const juce::String& text, Caller* c)
{
    return create(title, text, c, { SaveAs, Overwrite, Discard }, 0, kNone);
}

AlertWindow* AlertWindow::createReplaceCancel(const juce::String& title, const juce::String& text, Caller* c)
{
    return create(title, text, c, { Replace, Cancel }, 1, 1);
}

AlertWindow::AlertWindow()
{
    buttonRow.setSpacing(kButtonSpacing);
    message.setJustificationType(juce::Justification::centredLeft);
    addAndMakeVisible(message);
    addAndMakeVisible(buttonRow);
    sendLookAndFeelChange();
    setWantsKeyboardFocus(true);
}

AlertWindow::~AlertWindow()
{
    // The row only lays the buttons out; they are ours and go first.
    buttonRow.removeAllChildren();
}

juce::TextButton* AlertWindow::addButton(const juce::String& text, int resultCode)
{
    auto* button = buttons.add(new juce::TextButton(text));
    button->addListener(this);
    button->changeWidthToFitText(kButtonHeight);
    resultCodes.add(resultCode);
    buttonRow.addAndMakeVisible(button);
    updateSize();
    resized();
    return button;
}

void AlertWindow::setMessage(const juce::String& text)
{
    message.setText(text, juce::dontSendNotification);
    updateSize();
}

void AlertWindow::addValue(const juce::var& value)
{
    values.add(value);
}

juce::var AlertWindow::getValue(int index) const
{
    return juce::isPositiveAndBelow(index, values.size()) ? values.getReference(index) : juce::var();
}

void AlertWindow::updateSize()
{
    const auto font = message.getFont();
    const int contentWidth = juce::jmax((int) font.getStringWidthFloat(message.getText()), buttonRow.getWidth());
    const int contentHeight = (int) font.getHeight() + buttonRow.getHeight() + kExtraContentHeight;
    setContentSize(contentWidth, contentHeight);
}

void AlertWindow::parentHierarchyChanged()
{
    WindowComponent::parentHierarchyChanged();
    // Takes the look of the editor it now lives in.
    sendLookAndFeelChange();
    // Shown while its editor was off the screen, it takes the keys once the
    // editor is back on one.
    if (isVisible() && isShowing() && !hasKeyboardFocus(true))
        grabKeyboardFocus();
}

void AlertWindow::lookAndFeelChanged()
{
    WindowComponent::lookAndFeelChanged();
    if (auto* laf = dynamic_cast<DefaultLookAndFeel*>(&getLookAndFeel()))
        message.setFont(laf->getDefaultFont());
    updateSize();
}

void AlertWindow::resized()
{
    WindowComponent::resized();

    const auto content = getContentArea();
    const int rowHeight = juce::jmin(content.getHeight(), buttonRow.getHeight());
    buttonRow.setTopRightPosition(content.getRight(), content.getY() + content.getHeight() - rowHeight);

    int remaining = content.getHeight() - rowHeight;
    remaining -= juce::jmin(remaining, kGapAboveButtons);
    message.setBounds(content.getX(), content.getY(), content.getWidth(), remaining);
    repaint();
}

void AlertWindow::childBoundsChanged(juce::Component* child)
{
    // The row sizes itself to its buttons.
    if (child == &buttonRow)
        resized();
}

void AlertWindow::buttonClicked(juce::Button* button)
{
    WindowComponent::buttonClicked(button);

    int index = -1;
    for (int i = 0; i < buttons.size(); ++i)
        if (buttons.getUnchecked(i) == button)
            index = i;
    if (index < 0)
        return; // the close button: hidden above, and nobody is told

    hide();
    if (caller != nullptr)
        caller->alertWindowClosed(this, resultCodes[index]);
}
} // namespace Orv
