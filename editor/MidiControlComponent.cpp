#include "editor/MidiControlComponent.h"

#include "core/ParameterManager.h"
#include "toolkit/DefaultLookAndFeel.h"

#include <cmath>

namespace
{
constexpr juce::uint32 kHeaderColour = 0xFF6E6E6E;
constexpr juce::uint32 kBodyColour = 0xFFE3E3E3;
constexpr juce::uint32 kStripHeaderColour = 0xFF5B5B5B;
constexpr juce::uint32 kStripBodyColour = 0xFFBFBFBF;
// Opaque, so that the selected row's white texts stand out 4.5:1 and more
// over the body and over the CC strip alike.
constexpr juce::uint32 kSelectionColour = 0xFF5B5B5B;
constexpr float kFrameCorner = 5.0f;
constexpr int kListGap = 6;
constexpr int kTextInset = 5;
constexpr int kStripPadding = 8;
constexpr int kStepsPerColumn = 12;
constexpr int kLearnButtonGap = 4;
} // namespace

//==============================================================================
MidiControlComponent::ListComponent::ListComponent(MidiControlComponent& ownerPage, MidiControl& map)
    : owner(ownerPage), midiMap(map)
{
    scrollBar.setAutoHide(false);
    scrollBar.addListener(this);
    addAndMakeVisible(scrollBar);
    lookAndFeelChanged();
}

MidiControlComponent::ListComponent::~ListComponent()
{
    scrollBar.removeListener(this);
}

void MidiControlComponent::ListComponent::setVisibleColumns(int columns)
{
    columns = juce::jmax(1, columns);
    if (columns == visibleColumns)
        return;
    visibleColumns = columns;
    layout();
}

void MidiControlComponent::ListComponent::setRows(const juce::Array<CCAssignment>& newRows)
{
    rows = newRows;
    selectedRow = -1;
    layout();
}

int MidiControlComponent::ListComponent::findRowOfController(int controller) const
{
    for (int i = 0; i < rows.size(); ++i)
        if (rows.getReference(i).controller == controller)
            return i;
    return -1;
}

void MidiControlComponent::ListComponent::selectRow(int index)
{
    if (index == selectedRow)
        return;
    selectedRow = index;
    if (index >= 0)
    {
        // Bring the row's whole column into view.
        const double left = (double) (index / rowsPerColumn) * columnWidth;
        const double right = left + columnWidth;
        const auto view = scrollBar.getCurrentRange();
        if (left < view.getStart())
            scrollBar.setCurrentRangeStart(left, juce::sendNotificationSync);
        else if (right > view.getEnd())
            scrollBar.setCurrentRangeStart(right - view.getLength(), juce::sendNotificationSync);
    }
    repaint();

    const bool isRow = index >= 0 && index < rows.size();
    owner.selectionChanged(index);
    if (isRow && midiMap.isLearning())
        midiMap.selectController(rows.getReference(index).controller);
}

juce::Rectangle<int> MidiControlComponent::ListComponent::getCellBounds(int index) const
{
    const int column = index / rowsPerColumn;
    const int row = index % rowsPerColumn;
    return { getGridLeft() + column * columnWidth, frame.getY() + 1 + headerHeight + row * rowHeight, columnWidth,
             rowHeight };
}

void MidiControlComponent::ListComponent::scrollBarMoved(juce::ScrollBar*, double newRangeStart)
{
    const int offset = -juce::roundToInt(newRangeStart);
    if (offset == scrollOffset)
        return;
    scrollOffset = offset;
    repaint();
}

void MidiControlComponent::ListComponent::mouseDown(const juce::MouseEvent& e)
{
    const auto p = e.getPosition();
    if (!frame.contains(p) || p.y < frame.getY() + 1 + headerHeight || columnWidth <= 0)
        return;
    const int column = juce::jlimit(0, numColumns - 1, (p.x - getGridLeft()) / columnWidth);
    const int row = juce::jlimit(0, rowsPerColumn - 1, (p.y - frame.getY() - 1 - headerHeight) / rowHeight);
    selectRow(rowsPerColumn * column + row);
}

void MidiControlComponent::ListComponent::lookAndFeelChanged()
{
    auto& laf = getLookAndFeel();
    if (auto* own = dynamic_cast<DefaultLookAndFeel*>(&laf))
    {
        boldFont = own->getBoldFont();
        plainFont = own->getDefaultFont();
        headerHeight = 19;
        rowHeight = 20;
    }
    scrollBar.setSize(scrollBar.getWidth(), laf.getDefaultScrollbarWidth());
    resized();
}

void MidiControlComponent::ListComponent::resized()
{
    const int barHeight = scrollBar.getHeight();
    rowsPerColumn = juce::jmax(1, (getHeight() - kListGap - barHeight - headerHeight) / rowHeight);
    const int gridHeight = headerHeight + rowsPerColumn * rowHeight;
    frame = { 0, (getHeight() - kListGap - gridHeight - barHeight) / 2, getWidth(), gridHeight + 2 };
    scrollBar.setBounds(0, frame.getY() + gridHeight + kListGap, getWidth(), barHeight);
    layout();
}

void MidiControlComponent::ListComponent::layout()
{
    const int innerWidth = juce::jmax(0, frame.getWidth() - 2);
    numColumns = juce::jmax(visibleColumns, (rows.size() + rowsPerColumn - 1) / rowsPerColumn);
    columnWidth = innerWidth / visibleColumns + 1;
    ccStripWidth = (int) std::ceil(juce::jmax(boldFont.getStringWidthFloat("CC"), plainFont.getStringWidthFloat("127")))
                   + kStripPadding;
    parameterWidth = columnWidth - ccStripWidth;
    gridWidth = juce::jmax(innerWidth, columnWidth * numColumns);

    const double total = (double) columnWidth * numColumns;
    const double start = scrollBar.getCurrentRangeStart();
    scrollBar.setRangeLimits(0.0, total, juce::dontSendNotification);
    scrollBar.setCurrentRange(start, (double) columnWidth * visibleColumns, juce::dontSendNotification);
    scrollBar.setSingleStepSize((double) (columnWidth / kStepsPerColumn));
    scrollBar.setEnabled(numColumns > visibleColumns);
    scrollOffset = -juce::roundToInt(scrollBar.getCurrentRangeStart());
    repaint();
}

void MidiControlComponent::ListComponent::paint(juce::Graphics& g)
{
    g.setColour(juce::Colours::white);
    g.drawRoundedRectangle(frame.toFloat().reduced(0.5f), kFrameCorner, 1.0f);
    juce::Path inside;
    inside.addRoundedRectangle(frame.reduced(1).toFloat(), kFrameCorner);
    g.reduceClipRegion(inside);

    const int gridTop = frame.getY() + 1;
    const int gridHeight = frame.getHeight() - 2;
    const int left = getGridLeft();
    g.setColour(juce::Colour(kHeaderColour));
    g.fillRect(left, gridTop, gridWidth, headerHeight);
    g.setColour(juce::Colour(kBodyColour));
    g.fillRect(left, gridTop + headerHeight, gridWidth, gridHeight - headerHeight);

    g.setFont(boldFont);
    for (int column = 0; column < numColumns; ++column)
    {
        const int x = left + column * columnWidth;
        g.setColour(juce::Colour(kStripHeaderColour));
        g.fillRect(x, gridTop, ccStripWidth, headerHeight);
        g.setColour(juce::Colour(kStripBodyColour));
        g.fillRect(x, gridTop + headerHeight, ccStripWidth, gridHeight - headerHeight);
        g.setColour(juce::Colours::white);
        g.drawText("CC", x, gridTop, ccStripWidth, headerHeight, juce::Justification::centred, false);
        g.drawText("Parameter", x + ccStripWidth + kTextInset, gridTop, parameterWidth - 2 * kTextInset,
                   headerHeight, juce::Justification::centredLeft, false);
    }

    g.setColour(juce::Colour(kHeaderColour));
    for (int r = 0; r < rowsPerColumn; ++r)
        g.drawHorizontalLine(gridTop + headerHeight + (r + 1) * rowHeight, (float) frame.getX(),
                             (float) frame.getRight());

    g.setFont(plainFont);
    for (int i = 0; i < rows.size(); ++i)
    {
        const auto cell = getCellBounds(i);
        const bool selected = i == selectedRow;
        if (selected)
        {
            g.setColour(juce::Colour(kSelectionColour));
            g.fillRect(cell);
        }
        g.setColour(selected ? juce::Colours::white : juce::Colours::black);
        const auto& row = rows.getReference(i);
        g.drawText(juce::String(row.controller), cell.getX() + kTextInset, cell.getY(),
                   ccStripWidth - 2 * kTextInset, rowHeight, juce::Justification::centred, false);
        g.drawText(row.parameterName, cell.getX() + kTextInset + ccStripWidth, cell.getY(),
                   parameterWidth - 2 * kTextInset, rowHeight, juce::Justification::centredLeft, true);
    }
}

//==============================================================================
MidiControlComponent::MidiControlComponent(MidiControl& map, const ParameterManager& parameterManager,
                                           const juce::String& extension, const juce::String& pattern)
    : MapFilePage(extension, pattern), midiMap(map), parameters(parameterManager)
{
    learnButton.setClickingTogglesState(true);
    learnButton.setWantsKeyboardFocus(false);
    learnButton.addListener(this);
    learnButton.changeWidthToFitText(kCheckHeight);
    addChildComponent(learnButton);

    getDefaultMapCheck().getPathComponent().setChooserTitle("Choose the default Midi Control file");
    showDefaultMap(midiMap.isDefaultMapEnabled(), midiMap.getDefaultMapFile());

    list = std::make_unique<ListComponent>(*this, midiMap);
    list->setVisibleColumns(kVisibleColumns);
    addAndMakeVisible(*list);

    const struct
    {
        ToolbarDrawableButton* button;
        const char* tooltip;
    } tools[] = { { &deleteButton, "Delete selected assignation" },
                  { &clearButton, "Clear all map" },
                  { &loadButton, "Open map" },
                  { &saveButton, "Save current map" } };
    for (const auto& tool : tools)
    {
        tool.button->setSize(kButtonSize, kButtonSize);
        tool.button->setTooltip(tool.tooltip);
        tool.button->addListener(this);
        buttonColumn.addAndMakeVisible(tool.button);
    }
    addAndMakeVisible(buttonColumn);

    midiMap.addListener(this);
    midiControlMapChanged(&midiMap);
    midiLearnStateChanged(&midiMap);
}

MidiControlComponent::~MidiControlComponent()
{
    midiMap.removeListener(this);
    for (auto* button : { (juce::Button*) &learnButton, (juce::Button*) &deleteButton, (juce::Button*) &clearButton,
                          (juce::Button*) &loadButton, (juce::Button*) &saveButton })
        button->removeListener(this);
}

void MidiControlComponent::buttonClicked(juce::Button* button)
{
    if (button == &learnButton)
    {
        midiMap.setLearning(learnButton.getToggleState());
    }
    else if (button == &deleteButton)
    {
        const int selected = list->getSelectedRow();
        if (selected >= 0)
            midiMap.unassign(selected < list->getNumRows() ? list->getRow(selected).controller : -1);
    }
    else if (button == &clearButton)
    {
        askToClear();
    }
    else if (button == &loadButton)
    {
        chooseMapToLoad("Open Midi Control file");
    }
    else if (button == &saveButton)
    {
        chooseMapToSave("Save Midi Control file as");
    }
}

void MidiControlComponent::selectionChanged(int selectedRow)
{
    deleteButton.setEnabled(selectedRow >= 0 && selectedRow < list->getNumRows());
}

void MidiControlComponent::midiControlMapChanged(MidiControl*)
{
    juce::Array<CCAssignment> rows;
    MidiControl::Iterator it(midiMap);
    MidiControl::Assignment assignment;
    while (it.next(assignment))
        if (assignment.parameter != nullptr)
            rows.add({ assignment.controller, assignment.parameter->getName() });
    list->setRows(rows);
    clearButton.setEnabled(!rows.isEmpty());
    selectionChanged(list->getSelectedRow());
}

void MidiControlComponent::midiLearnStateChanged(MidiControl*)
{
    learnButton.setToggleState(midiMap.isLearning(), juce::dontSendNotification);
    const int controller = midiMap.getSelectedController();
    if (midiMap.getSelectedParameter() != nullptr && controller >= 0)
        list->selectRow(list->findRowOfController(controller));
    else
        list->selectRow(-1);
}

MapFileReader::Rules MidiControlComponent::getMapRules()
{
    MapFileReader::Rules rules;
    rules.kind = XmlInput::Kind::midiControlMap;
    rules.description = "MIDI control map";
    rules.isOwnMap = [this](const juce::XmlElement& e) { return midiMap.isValidXml(&e); };
    rules.indexAttribute = "CC";
    rules.firstIndex = 0;
    rules.lastIndex = MidiControl::numControllers - 1;
    rules.indexRequired = false;
    rules.indexNoun = "controller";
    rules.nameAttribute = "param";
    rules.parameters = &parameters;
    return rules;
}

void MidiControlComponent::applyMap(const juce::XmlElement& map)
{
    midiMap.loadFromXml(map);
}

bool MidiControlComponent::writeMap(const juce::File& file)
{
    return midiMap.saveToFile(file);
}

void MidiControlComponent::clearMap()
{
    midiMap.clear(true);
}

juce::String MidiControlComponent::getAlertTitle()
{
    return midiMap.getMapName();
}

void MidiControlComponent::storeDefaultMap(bool enabled, const juce::String& path)
{
    midiMap.setDefaultMapEnabled(enabled);
    midiMap.setDefaultMapFile(path);
}

void MidiControlComponent::childBoundsChanged(juce::Component* child)
{
    if (child == &getDefaultMapCheck() || child == &buttonColumn)
        resized();
}

void MidiControlComponent::lookAndFeelChanged()
{
    learnButton.changeWidthToFitText(kCheckHeight);
    MapFilePage::lookAndFeelChanged();
}

void MidiControlComponent::resized()
{
    if (layingOut || list == nullptr)
        return;
    const juce::ScopedValueSetter<bool> guard(layingOut, true);

    auto area = getLocalBounds();
    if (learnButton.isVisible())
    {
        learnButton.setTopLeftPosition(0, 0);
        area.removeFromTop(juce::jmin(area.getHeight(), learnButton.getHeight() + kLearnButtonGap));
    }
    layOutDefaultMap(area.removeFromBottom(juce::jmin(area.getHeight(), kCheckHeight)));
    area.removeFromBottom(juce::jmin(area.getHeight(), kGap));

    const int column = juce::jmin(area.getWidth(), buttonColumn.getWidth() + kGap);
    list->setBounds(area.getX(), area.getY(), area.getWidth() - column, area.getHeight());
    buttonColumn.setTopLeftPosition(area.getX() + (area.getWidth() - column) + kGap, list->getY());
}
