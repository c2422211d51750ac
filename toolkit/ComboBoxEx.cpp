#include "toolkit/ComboBoxEx.h"

#include "toolkit/DefaultLookAndFeel.h"

namespace
{
const juce::Colour kBoxFill { 0xFFE3E3E3 };
const juce::Colour kOpenOutline { 0xFFFF4500 };
constexpr float kOpenOutlineAlpha = 0.75f;
constexpr float kCornerSize = 4.0f;
constexpr int kTextInset = 4;
// The separator before the arrow sits this far in from the right edge.
constexpr int kSeparatorInset = 13;
constexpr float kArrowInset = 4.0f + 3.5f;
constexpr float kArrowHalfSize = 3.0f;
constexpr float kSeparatorGrey = 0.75f;
} // namespace

ComboBoxEx::ComboBoxEx()
{
    menu.addListener(this);
}

ComboBoxEx::~ComboBoxEx()
{
    menu.removeListener(this);
    menu.dismiss();
}

void ComboBoxEx::addListener(Listener* listener)
{
    if (listener != nullptr)
        listeners.add(listener);
}

void ComboBoxEx::removeListener(Listener* listener)
{
    listeners.remove(listener);
}

void ComboBoxEx::refresh()
{
    const auto* item = menu.findItem(selectedId);
    const auto text = menu.getLabel(selectedId);
    if (text != shownText)
    {
        shownText = text;
        repaint();
    }

    const bool italic = item == nullptr || ! item->enabled;
    if (font.isItalic() != italic)
    {
        font.setItalic(italic);
        repaint();
    }

    menu.setItemTicked(selectedId, true, true);
}

void ComboBoxEx::setSelectedId(int id, bool notify)
{
    if (id == selectedId)
        return;

    selectedId = id;
    refresh();

    // Written before anybody is told: a listener may delete this box, and the
    // choice must reach the parameter all the same.
    setParameterIntValue(id);
    if (notify)
    {
        const juce::Component::BailOutChecker checker(this);
        listeners.callChecked(checker, [this](Listener& l) { l.comboBoxExChanged(this); });
    }
}

void ComboBoxEx::updateFromParameter(Parameter* p)
{
    // Shown without writing back: the parameter already holds the value, and a
    // write here would reach the host as an automation write of its own.
    if (p == nullptr || p->getIntValue() == selectedId)
        return;
    selectedId = p->getIntValue();
    refresh();
}

void ComboBoxEx::setMenu(const PopupMenuEx& newMenu, bool onlyIfNameDiffers)
{
    if (onlyIfNameDiffers && newMenu.getName() == menu.getName())
        return;
    menu = newMenu;
    refresh();
}

void ComboBoxEx::setMenuOpen(bool open)
{
    if (menuOpen != open)
    {
        menuOpen = open;
        repaint();
    }
}

void ComboBoxEx::mouseDown(const juce::MouseEvent&)
{
    refresh();
    menu.show(this, {}, PopupMenuEx::placementBelow);
    setMenuOpen(true);
}

void ComboBoxEx::itemChosen(PopupMenuEx* chosenMenu, int itemId, bool)
{
    if (chosenMenu->getParentComponent() != this)
        return;
    // Closed first: a listener told of the change may delete this box.
    setMenuOpen(false);
    if (chosenMenu == &menu)
        setSelectedId(itemId, true);
}

void ComboBoxEx::menuDismissed(PopupMenuEx* dismissedMenu)
{
    if (dismissedMenu->getParentComponent() == this)
        setMenuOpen(false);
}

void ComboBoxEx::resized()
{
    const float x = (float) getWidth() - kArrowInset;
    const float y = (float) getHeight() * 0.5f;
    arrow.clear();
    arrow.addTriangle(x - kArrowHalfSize, y - kArrowHalfSize, x + kArrowHalfSize, y - kArrowHalfSize, x,
                      y + kArrowHalfSize);
}

void ComboBoxEx::paint(juce::Graphics& g)
{
    const int w = getWidth();
    const int h = getHeight();
    const auto outline = menuOpen ? kOpenOutline.withAlpha(kOpenOutlineAlpha) : juce::Colours::white;
    drawRoundedBox(g, getLocalBounds(), kBoxFill, outline, kCornerSize, 1.0f);

    // The text stops at the separator, so a long label never runs under the arrow.
    g.setColour(juce::Colours::black);
    g.setFont(font);
    g.drawText(shownText, kTextInset, 0, juce::jmax(0, w - kSeparatorInset - kTextInset), h,
               juce::Justification::centredLeft, false);

    g.setColour(juce::Colour::greyLevel(kSeparatorGrey));
    g.drawVerticalLine(w - kSeparatorInset, 2.0f, (float) (h - 2));

    g.setColour(juce::Colours::black);
    g.fillPath(arrow);
}
