#include "editor/HostParametersComponent.h"

#include "core/BasePlugin.h"
#include "toolkit/DefaultLookAndFeel.h"

#include <cmath>

namespace
{
constexpr juce::uint32 kHeaderColour = 0xFF6E6E6E;
constexpr juce::uint32 kBodyColour = 0xFFE3E3E3;
constexpr juce::uint32 kStripHeaderColour = 0xFF5B5B5B;
constexpr juce::uint32 kStripBodyColour = 0xFFBFBFBF;
constexpr juce::uint32 kFrameMaskColour = 0xFFC5C5C5;
constexpr float kFrameCorner = 6.0f;
constexpr int kChoiceMargin = 6;
constexpr int kTextInset = 4;
constexpr int kButtonColumnGap = 5;
// A held arrow of the scroll bar steps a column at this pace.
constexpr int kArrowRepeatDelayMs = 300;
constexpr int kArrowRepeatMs = 150;

// The grid's scroll bar, whose steps are columns: a turn of the wheel over it
// steps one, whichever way the wheel turns (JUCE's takes only a sideways
// turn, and by pixels).
class ColumnScrollBar : public juce::ScrollBar
{
public:
    ColumnScrollBar() : juce::ScrollBar(false)
    {
        setButtonRepeatSpeed(kArrowRepeatDelayMs, kArrowRepeatMs, kArrowRepeatMs);
    }

    void mouseWheelMove(const juce::MouseEvent&, const juce::MouseWheelDetails& wheel) override
    {
        const float delta = wheel.deltaX != 0.0f ? wheel.deltaX : wheel.deltaY;
        if (delta != 0.0f)
            moveScrollbarInSteps(delta > 0.0f ? -1 : 1);
    }
};
} // namespace

//==============================================================================
HostParametersComponent::ListComponent::ListComponent(BasePlugin& pluginToUse) : plugin(pluginToUse)
{
    for (int i = 0; i < plugin.getNumHostParameters(); ++i)
    {
        auto* choice = choices.add(new ComboBoxButton());
        choice->setName("HPComboBox" + juce::String(i + 1));
        choice->addListener(this);
        addAndMakeVisible(choice);
    }
    plugin.getHostParametersMapBroadcaster().addChangeListener(this);
    lookAndFeelChanged();
    changeListenerCallback(nullptr);
}

HostParametersComponent::ListComponent::~ListComponent()
{
    plugin.getHostParametersMapBroadcaster().removeChangeListener(this);
    for (auto* choice : choices)
        choice->removeListener(this);
}

void HostParametersComponent::ListComponent::setMenu(const PopupMenuEx& newMenu)
{
    menu = newMenu;
    // Set anew, so that every button shows its label from the new items.
    for (auto* choice : choices)
    {
        choice->setSharedMenu(nullptr);
        choice->setSharedMenu(&menu);
    }
}

void HostParametersComponent::ListComponent::setRowsPerColumn(int rows)
{
    rows = juce::jmax(1, rows);
    if (rows == rowsPerColumn)
        return;
    rowsPerColumn = rows;
    layout();
}

void HostParametersComponent::ListComponent::setAvailableWidth(int width)
{
    if (width == availableWidth)
        return;
    availableWidth = width;
    layout();
}

void HostParametersComponent::ListComponent::changeListenerCallback(juce::ChangeBroadcaster*)
{
    for (int i = 0; i < choices.size(); ++i)
        choices[i]->setSelectedId(plugin.getParameterIdForHostIndex(i), false);
}

void HostParametersComponent::ListComponent::comboBoxButtonChanged(ComboBoxButton* box)
{
    const int slot = choices.indexOf(box);
    if (slot < 0)
        return;
    plugin.assignHostParameterByIndex(slot, box->getSelectedId(), true);
    // A refused choice (a parameter that cannot be automated) must not stay shown.
    box->setSelectedId(plugin.getParameterIdForHostIndex(slot), false);
}

void HostParametersComponent::ListComponent::lookAndFeelChanged()
{
    if (auto* laf = dynamic_cast<DefaultLookAndFeel*>(&getLookAndFeel()))
    {
        boldFont = laf->getBoldFont();
        plainFont = laf->getDefaultFont();
    }
    numberStripWidth = (int) std::ceil(juce::jmax(boldFont.getStringWidthFloat("No."),
                                                  boldFont.getStringWidthFloat("999")))
                       + 2 * kTextInset;
    layout();
}

void HostParametersComponent::ListComponent::layout()
{
    const int numSlots = choices.size();
    columnWidth = (float) availableWidth / (float) kVisibleColumns;
    numColumns = (numSlots + rowsPerColumn - 1) / rowsPerColumn;
    const int choiceWidth = juce::jmax(0, (int) columnWidth - 2 * kChoiceMargin - numberStripWidth);
    for (int slot = 0; slot < numSlots; ++slot)
    {
        const int column = slot / rowsPerColumn;
        const int row = slot % rowsPerColumn;
        choices[slot]->setBounds((int) ((float) column * columnWidth) + kChoiceMargin + numberStripWidth,
                                 kHeaderHeight + row * kRowHeight + 1, choiceWidth, kRowHeight - 2);
    }
    setSize((int) std::floor((float) numColumns * columnWidth), rowsPerColumn * kRowHeight + kHeaderHeight);
    repaint();
}

void HostParametersComponent::ListComponent::paint(juce::Graphics& g)
{
    const int width = getWidth();
    const int height = getHeight();
    g.setColour(juce::Colour(kHeaderColour));
    g.fillRect(0, 0, width, kHeaderHeight);
    g.setColour(juce::Colour(kBodyColour));
    g.fillRect(0, kHeaderHeight, width, height - kHeaderHeight);

    const int numSlots = choices.size();
    const int columnPixels = (int) columnWidth;
    for (int column = 0; column < numColumns; ++column)
    {
        const int x = (int) ((float) column * columnWidth);
        g.setColour(juce::Colour(kStripHeaderColour));
        g.fillRect(x, 0, numberStripWidth, kHeaderHeight);
        g.setColour(juce::Colour(kStripBodyColour));
        g.fillRect(x, kHeaderHeight, numberStripWidth, height - kHeaderHeight);

        g.setColour(juce::Colours::white);
        g.setFont(boldFont);
        g.drawText("No.", x, 0, numberStripWidth, kHeaderHeight, juce::Justification::centred, false);
        g.drawText("Parameter", x + numberStripWidth + 5, 0, columnPixels - 10 - numberStripWidth, kHeaderHeight,
                   juce::Justification::centredLeft, false);
    }

    // The last column's cells below its last slot are no slots: body colour
    // over the number strip too.
    if (numColumns * rowsPerColumn > numSlots && numColumns > 0)
    {
        const int x = (int) ((float) (numColumns - 1) * columnWidth);
        const int top = (numSlots % rowsPerColumn) * kRowHeight + kHeaderHeight + 1;
        g.setColour(juce::Colour(kBodyColour));
        g.fillRect(x, top, columnPixels, height - top);
    }

    g.setColour(juce::Colours::black);
    g.setFont(plainFont);
    for (int slot = 0; slot < numSlots; ++slot)
    {
        const int x = (int) ((float) (slot / rowsPerColumn) * columnWidth);
        g.drawText(juce::String(slot + 1), x + kTextInset, kHeaderHeight + (slot % rowsPerColumn) * kRowHeight,
                   numberStripWidth - 2 * kTextInset, kRowHeight, juce::Justification::centred, false);
    }
}

//==============================================================================
HostParametersComponent::ColumnViewport::ColumnViewport(ListComponent& listToShow) : list(listToShow)
{
    // The base made its own while it was being constructed.
    recreateScrollbars();
}

juce::ScrollBar* HostParametersComponent::ColumnViewport::createScrollBarComponent(bool isVertical)
{
    return isVertical ? juce::Viewport::createScrollBarComponent(true) : new ColumnScrollBar();
}

void HostParametersComponent::ColumnViewport::mouseWheelMove(const juce::MouseEvent& e,
                                                             const juce::MouseWheelDetails& wheel)
{
    // The viewport also hears its scroll bars' own events, which they answer.
    if (e.eventComponent == this)
        getHorizontalScrollBar().mouseWheelMove(e, wheel);
}

void HostParametersComponent::ColumnViewport::visibleAreaChanged(const juce::Rectangle<int>& area)
{
    const float width = list.getColumnWidth();
    if (width <= 0.0f)
        return;
    const int lastFirstColumn = juce::jmax(0, list.getNumColumns() - ListComponent::kVisibleColumns);
    const int column = juce::jlimit(0, lastFirstColumn, juce::roundToInt((float) area.getX() / width));
    const int x = (int) ((float) column * width);
    // Setting the snapped place calls back here with it, which changes nothing.
    if (x != area.getX())
        setViewPosition(x, area.getY());
}

//==============================================================================
HostParametersComponent::Shape::Shape()
{
    setInterceptsMouseClicks(false, false);
}

void HostParametersComponent::Shape::paint(juce::Graphics& g)
{
    drawRoundedCornerMask(g, getLocalBounds(), juce::Colour(kFrameMaskColour), juce::Colours::white, kFrameCorner,
                          1.0f);
}

//==============================================================================
HostParametersComponent::HostParametersComponent(BasePlugin& pluginToUse)
    : MapFilePage(pluginToUse.getHostParametersMapFileExtension(),
                  "*" + pluginToUse.getHostParametersMapFileExtension()),
      plugin(pluginToUse), list(pluginToUse)
{
    viewport.setViewedComponent(&list, false);
    viewport.setWantsKeyboardFocus(false);
    viewport.setScrollBarsShown(false, true);
    viewport.getHorizontalScrollBar().setAutoHide(false);
    addAndMakeVisible(viewport);
    addAndMakeVisible(frame);

    for (auto* button : { &clearButton, &loadButton, &saveButton })
    {
        button->setSize(kButtonSize, kButtonSize);
        button->addListener(this);
        buttonColumn.addAndMakeVisible(button);
    }
    addAndMakeVisible(buttonColumn);

    getDefaultMapCheck().getPathComponent().setChooserTitle("Choose the default host parameters map");
    showDefaultMap(plugin.isDefaultHostParametersMapEnabled(), plugin.getDefaultHostParametersMapFile());
    list.setRowsPerColumn(kDefaultRowsPerColumn);
}

HostParametersComponent::~HostParametersComponent()
{
    for (auto* button : { &clearButton, &loadButton, &saveButton })
        button->removeListener(this);
}

void HostParametersComponent::setFileExtension(const juce::String& pattern)
{
    setFilePattern(pattern);
    getDefaultMapCheck().getPathComponent().setFilePattern(pattern);
}

void HostParametersComponent::setRowsPerColumn(int rows)
{
    if (rows == list.getRowsPerColumn())
        return;
    list.setRowsPerColumn(rows);
    resized();
}

void HostParametersComponent::buttonClicked(juce::Button* button)
{
    if (button == &loadButton)
        chooseMapToLoad("Load Host Parameters Map file");
    else if (button == &saveButton)
        chooseMapToSave("Save Host Parameters Map file as");
    else if (button == &clearButton)
        askToClear();
}

MapFileReader::Rules HostParametersComponent::getMapRules()
{
    MapFileReader::Rules rules;
    rules.kind = XmlInput::Kind::hostParametersMap;
    rules.description = "host parameters map";
    rules.isOwnMap = [this](const juce::XmlElement& e) { return plugin.isValidHostParametersMap(&e); };
    rules.indexAttribute = "hostParam";
    rules.firstIndex = 1;
    rules.lastIndex = plugin.getNumHostParameters();
    rules.indexRequired = true;
    rules.indexNoun = "host parameter";
    rules.nameAttribute = "pluginParam";
    rules.parameters = &plugin.getParameterManager();
    return rules;
}

void HostParametersComponent::applyMap(const juce::XmlElement& map)
{
    plugin.loadHostParametersMap(&map);
}

bool HostParametersComponent::writeMap(const juce::File& file)
{
    return plugin.saveHostParametersMapFile(file);
}

void HostParametersComponent::clearMap()
{
    plugin.clearHostParametersMap();
}

juce::String HostParametersComponent::getAlertTitle()
{
    return plugin.getProductName();
}

void HostParametersComponent::storeDefaultMap(bool enabled, const juce::String& path)
{
    plugin.setDefaultHostParametersMapEnabled(enabled);
    plugin.setDefaultHostParametersMapFile(path);
}

void HostParametersComponent::childBoundsChanged(juce::Component* child)
{
    if (child == &buttonColumn || child == &getDefaultMapCheck())
        resized();
}

void HostParametersComponent::resized()
{
    if (layingOut)
        return;
    const juce::ScopedValueSetter<bool> guard(layingOut, true);

    const auto area = getLocalBounds();
    const int reserved = juce::jmin(area.getWidth(), buttonColumn.getWidth() + kButtonColumnGap);
    buttonColumn.setTopLeftPosition(area.getRight() - reserved + juce::jmin(reserved, kButtonColumnGap), area.getY());

    const juce::Rectangle<int> frameArea(area.getX(), area.getY(), area.getWidth() - reserved,
                                         list.getHeight() + 2 + viewport.getScrollBarThickness());
    frame.setBounds(frameArea);
    viewport.setBounds(frameArea.reduced(1));
    list.setAvailableWidth(viewport.getWidth());
    viewport.setSingleStepSizes(juce::jmax(1, juce::roundToInt(list.getColumnWidth())), ListComponent::kRowHeight);

    layOutDefaultMap({ area.getX(), viewport.getBottom() + kCheckGap, area.getWidth(), kCheckHeight });
}
