#include "skin/ModulationMatrixComponent.h"

#include "core/XmlHelpers.h"
#include "skin/SkinXml.h"
#include "toolkit/DefaultLookAndFeel.h"

namespace
{
constexpr juce::uint32 kBackgroundArgb = 0xFFC5C5C5;
constexpr juce::uint32 kOddRowArgb = 0xFFA3A3A3;
constexpr juce::uint32 kSelectedRowArgb = 0xFFD09B59;
constexpr juce::uint32 kHeaderArgb = 0xFF5B5B5B;
constexpr float kFrameCornerSize = 8.0f;
constexpr float kFrameThickness = 3.0f;
constexpr float kTableCornerSize = 6.0f;
constexpr int kToolbarButtonSize = 24;
constexpr int kBoxWidth = 150;
constexpr int kBoxHeight = 20;
constexpr int kAmountTextWidth = 51;

// Tool-bar buttons: name and icon of the look-and-feel's library.
const struct
{
    const char* name;
    int icon;
} kToolbar[] = { { "Add Row", 13 }, { "Delete Row", 14 }, { "Move Up", 6 }, { "Move Down", 5 } };

// The tenth destination menu serves every source outside the table.
int menuIndexForSource(int source)
{
    return juce::isPositiveAndBelow(source, ModulationMatrixModel::numSources) ? source
                                                                               : ModulationMatrixModel::numSources;
}
} // namespace

//==============================================================================
class ModulationMatrixComponent::Table::ViewportComponent : public juce::Component
{
public:
    void paint(juce::Graphics& g) override { g.fillAll(juce::Colour(kBackgroundArgb)); }
    void resized() override
    {
        for (auto* child : getChildren())
            child->setSize(getWidth(), child->getHeight());
    }
};

class ModulationMatrixComponent::Table::Shape : public juce::Component
{
public:
    Shape() { setInterceptsMouseClicks(false, false); }
    void paint(juce::Graphics& g) override
    {
        drawRoundedCornerMask(g, getLocalBounds(), juce::Colour(kBackgroundArgb), juce::Colours::white,
                              kTableCornerSize, 1.0f);
    }
};

class ModulationMatrixComponent::Table::Header : public juce::Component
{
public:
    void paint(juce::Graphics& g) override
    {
        g.fillAll(juce::Colour(kHeaderArgb));
        g.setColour(juce::Colours::white);
        g.setFont(juce::Font("Tahoma", 13.0f, juce::Font::bold));
        g.drawText("Source", 5, 0, 150, 20, juce::Justification::centred, false);
        g.drawText("Destination", 160, 0, 150, 20, juce::Justification::centred, false);
        // Centred over the amount sliders, however wide the table is.
        g.drawText("Amount", 318, 0, juce::jmax(0, getWidth() - 318), 20, juce::Justification::centred, false);
    }
};

ModulationMatrixComponent::Table::Table()
    : content(std::make_unique<ViewportComponent>()), shape(std::make_unique<Shape>()),
      header(std::make_unique<Header>())
{
    viewport.setViewedComponent(content.get(), false);
    viewport.setScrollBarsShown(true, false);
    viewport.getVerticalScrollBar().setAutoHide(false);
    addAndMakeVisible(viewport);
    addAndMakeVisible(*header);
    addAndMakeVisible(*shape);
}

ModulationMatrixComponent::Table::~Table()
{
    viewport.setViewedComponent(nullptr, false);
}

juce::Component& ModulationMatrixComponent::Table::getRowHolder() noexcept
{
    return *content;
}

void ModulationMatrixComponent::Table::resized()
{
    header->setBounds(0, 0, getWidth(), headerHeight);
    auto area = getLocalBounds().reduced(1);
    area.removeFromTop(juce::jmin(headerHeight, area.getHeight()));
    viewport.setBounds(area);
    shape->setBounds(getLocalBounds());
    shape->toFront(false);
}

//==============================================================================
ModulationMatrixComponent::Row::Row(ModulationMatrixComponent& ownerToUse)
    : owner(ownerToUse), amountText("amountText")
{
    amountText.setEditable(false, false);
    amountText.setJustification(juce::Justification::centredRight);
    for (auto* c : std::initializer_list<juce::Component*> { &sourceBox, &destinationBox, &amountSlider, &amountText })
        addAndMakeVisible(c);
    sourceBox.addListener(this);
    destinationBox.addListener(this);
    amountSlider.addListener(this);
    for (auto* c : std::initializer_list<juce::Component*> { &sourceBox, &destinationBox, &amountSlider })
        c->addMouseListener(this, false);
    setSize(defaultWidth, rowHeight);
    refreshAmountText();
}

ModulationMatrixComponent::Row::~Row()
{
    for (auto* c : std::initializer_list<juce::Component*> { &sourceBox, &destinationBox, &amountSlider })
        c->removeMouseListener(this);
    amountSlider.removeListener(this);
    destinationBox.removeListener(this);
    sourceBox.removeListener(this);
}

void ModulationMatrixComponent::Row::setValues(const ModulationMatrixModel::Row& values)
{
    sourceBox.setSelectedId(values.source, false);
    destinationBox.setSelectedId(values.target, false);
    amountSlider.setValue(values.amount, juce::dontSendNotification);
    refreshAmountText();
}

ModulationMatrixModel::Row ModulationMatrixComponent::Row::getValues() const
{
    return { sourceBox.getSelectedId(), destinationBox.getSelectedId(),
             juce::jlimit(-1.0f, 1.0f, (float) amountSlider.getValue()) };
}

void ModulationMatrixComponent::Row::setIndex(int newIndex)
{
    if (newIndex == index)
        return;
    index = newIndex;
    repaint();
}

void ModulationMatrixComponent::Row::setSelected(bool shouldBeSelected)
{
    if (shouldBeSelected == selected)
        return;
    selected = shouldBeSelected;
    repaint();
}

void ModulationMatrixComponent::Row::refreshAmountText()
{
    amountText.setText(formatAmount((float) amountSlider.getValue()));
}

void ModulationMatrixComponent::Row::mouseDown(const juce::MouseEvent&)
{
    owner.selectRow(*this);
}

void ModulationMatrixComponent::Row::comboBoxExChanged(ComboBoxEx*)
{
    owner.rowEdited(*this);
}

void ModulationMatrixComponent::Row::sliderValueChanged(juce::Slider*)
{
    refreshAmountText();
    owner.rowEdited(*this);
}

void ModulationMatrixComponent::Row::paint(juce::Graphics& g)
{
    const auto background = selected ? kSelectedRowArgb : (index % 2 == 0 ? kBackgroundArgb : kOddRowArgb);
    g.setColour(juce::Colour(background));
    g.fillRect(getLocalBounds());
    // The line between rows, a shade darker than the row.
    g.setColour(juce::Colour(background).darker(0.35f));
    g.fillRect(0, getHeight() - 1, getWidth(), 1);
}

void ModulationMatrixComponent::Row::resized()
{
    sourceBox.setBounds(4, 8, kBoxWidth, kBoxHeight);
    destinationBox.setBounds(sourceBox.getRight() + 4, 8, kBoxWidth, kBoxHeight);
    amountText.setBounds(getWidth() - 55, 8, kAmountTextWidth, kBoxHeight);
    const int sliderX = destinationBox.getRight() + 5;
    amountSlider.setBounds(sliderX, 2,
                           juce::jmax(0, getWidth() - destinationBox.getRight() - 12 - amountText.getWidth()), 30);
}

//==============================================================================
ModulationMatrixComponent::ModulationMatrixComponent(const juce::String& name)
    : juce::Component(name), toolbar(ComponentRow::row), table(std::make_unique<Table>()),
      sourceMenu("controllerChoiceMenu"),
      destinationMenus { PopupMenuEx({}), PopupMenuEx({}), PopupMenuEx({}), PopupMenuEx({}), PopupMenuEx({}),
                         PopupMenuEx({}), PopupMenuEx({}), PopupMenuEx({}), PopupMenuEx({}), PopupMenuEx({}) }
{
    for (int i = 0; i < numToolbarButtons; ++i)
    {
        auto& button = toolbarButtons[(size_t) i];
        button = std::make_unique<ToolbarDrawableButton>(kToolbar[i].name, kToolbar[i].icon);
        button->setSize(kToolbarButtonSize, kToolbarButtonSize);
        button->addListener(this);
        toolbar.addAndMakeVisible(*button);
    }
    for (int source = 0; source < ModulationMatrixModel::numSources; ++source)
        sourceMenu.addItem(source, ModulationMatrixModel::getSourceName(source), false, true);

    addAndMakeVisible(toolbar);
    addAndMakeVisible(*table);
    setSize(defaultWidth, defaultHeight);
}

ModulationMatrixComponent::~ModulationMatrixComponent()
{
    watchModel(false);
    for (auto& button : toolbarButtons)
        button->removeListener(this);
    rows.clear();
    for (auto& button : toolbarButtons)
        toolbar.removeChildComponent(button.get());
}

void ModulationMatrixComponent::watchModel(bool shouldWatch)
{
    if (model == nullptr)
        return;
    if (shouldWatch)
    {
        model->valuesChanged.addChangeListener(this);
        model->rowsReset.addChangeListener(this);
    }
    else
    {
        model->valuesChanged.removeChangeListener(this);
        model->rowsReset.removeChangeListener(this);
    }
}

void ModulationMatrixComponent::setModel(ModulationMatrixModel* newModel)
{
    if (newModel == model)
        return;
    watchModel(false);
    model = newModel;
    watchModel(true);
    rebuildFromModel();
}

void ModulationMatrixComponent::setDestinationMenu(int source, const PopupMenuEx& menu)
{
    destinationMenus[(size_t) menuIndexForSource(source)] = menu;
    for (auto* row : rows)
        setRowMenus(*row);
}

const PopupMenuEx& ModulationMatrixComponent::getDestinationMenu(int source) const
{
    return destinationMenus[(size_t) menuIndexForSource(source)];
}

ToolbarDrawableButton& ModulationMatrixComponent::getToolbarButton(int index) const
{
    return *toolbarButtons[(size_t) juce::jlimit(0, (int) numToolbarButtons - 1, index)];
}

juce::String ModulationMatrixComponent::formatAmount(float amount)
{
    return (amount > 0.0f ? "+" : "") + juce::String(amount, 4);
}

void ModulationMatrixComponent::loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader)
{
    GUIController::loadFromSkin(element, loader);

    if (! tagNameIs(element, "ModulationMatrix"))
    {
        setSize(defaultWidth, defaultHeight);
        return;
    }
    if (auto* size = findChildTagged(element, "size"))
        setSize(SkinXml::readLength(*size, "width"), SkinXml::readLength(*size, "height"));
    else
        setSize(defaultWidth, defaultHeight);
    if (auto* pos = findChildTagged(element, "pos"))
        setTopLeftPosition(SkinXml::readCoordinate(*pos, "left"), SkinXml::readCoordinate(*pos, "top"));
}

void ModulationMatrixComponent::buttonClicked(juce::Button* button)
{
    const bool command = juce::ModifierKeys::getCurrentModifiers().isCommandDown();
    if (button == toolbarButtons[addButton].get())
        addRow();
    else if (button == toolbarButtons[deleteButton].get())
        deleteSelectedRow();
    else if (button == toolbarButtons[upButton].get())
        moveSelectedRow(-1, command);
    else if (button == toolbarButtons[downButton].get())
        moveSelectedRow(1, command);
}

void ModulationMatrixComponent::addRow()
{
    const ModulationMatrixModel::Row empty;
    auto* row = rows.add(new Row(*this));
    row->setValues(empty);
    table->getRowHolder().addAndMakeVisible(row);
    if (model != nullptr)
        model->addRow(empty, -1, true);
    setRowMenus(*row);
    layoutRows();
    updateHighlight();
}

void ModulationMatrixComponent::deleteSelectedRow()
{
    if (! juce::isPositiveAndBelow(selectedRow, rows.size()))
        return;
    if (model != nullptr)
        model->removeRow(selectedRow);
    rows.remove(selectedRow);
    layoutRows();
    selectedRow = juce::jmin(selectedRow, rows.size() - 1);
    updateHighlight();
}

void ModulationMatrixComponent::moveSelectedRow(int step, bool withCommandKey)
{
    const int target = selectedRow + step;
    if (! juce::isPositiveAndBelow(selectedRow, rows.size()) || ! juce::isPositiveAndBelow(target, rows.size()))
        return;
    if (withCommandKey)
    {
        if (model != nullptr)
            model->moveRow(selectedRow, target);
        rows.move(selectedRow, target);
        layoutRows();
        table->repaint();
    }
    selectedRow = target;
    updateHighlight();
}

void ModulationMatrixComponent::changeListenerCallback(juce::ChangeBroadcaster* source)
{
    if (model == nullptr)
        return;
    if (source == &model->valuesChanged)
        refreshSourceValues();
    else if (source == &model->rowsReset)
        rebuildFromModel();
}

void ModulationMatrixComponent::rebuildFromModel()
{
    rows.clear();
    if (model != nullptr)
    {
        for (const auto& values : model->getRows())
        {
            auto* row = rows.add(new Row(*this));
            row->setValues(values);
            table->getRowHolder().addAndMakeVisible(row);
        }
    }
    layoutRows();
    selectedRow = -1;
    for (auto* row : rows)
        setRowMenus(*row);
    updateHighlight();
    refreshSourceValues();
}

void ModulationMatrixComponent::refreshSourceValues()
{
    if (model == nullptr)
        return;
    for (auto* row : rows)
    {
        const int source = row->getValues().source;
        if (juce::isPositiveAndBelow(source, ModulationMatrixModel::numSources))
            row->getAmountSlider().setModulationValue(model->getSourceValue(source));
    }
}

void ModulationMatrixComponent::setRowMenus(Row& row)
{
    row.getSourceBox().setMenu(sourceMenu, false);
    row.getDestinationBox().setMenu(getDestinationMenu(row.getValues().source), false);
}

void ModulationMatrixComponent::selectRow(Row& row)
{
    selectedRow = rows.indexOf(&row);
    updateHighlight();
}

void ModulationMatrixComponent::rowEdited(Row& row)
{
    const int position = rows.indexOf(&row);
    if (model != nullptr && position >= 0)
        model->setRow(position, row.getValues());
    // A new source brings its own destinations.
    setRowMenus(row);
}

void ModulationMatrixComponent::layoutRows()
{
    auto& viewport = table->getViewport();
    const bool barShows = viewport.getVerticalScrollBar().isVisible() || ! viewport.getVerticalScrollBar().autoHides();
    const int width = juce::jmax(0, viewport.getWidth() - (barShows ? 2 + viewport.getScrollBarThickness() : 0));
    const int height = juce::jmax(rows.size() * rowHeight, table->getHeight() - 21);
    table->getRowHolder().setSize(width, height);
    for (int i = 0; i < rows.size(); ++i)
    {
        rows.getUnchecked(i)->setBounds(0, i * rowHeight, width, rowHeight);
        rows.getUnchecked(i)->setIndex(i);
    }
}

void ModulationMatrixComponent::updateHighlight()
{
    for (int i = 0; i < rows.size(); ++i)
        rows.getUnchecked(i)->setSelected(i == selectedRow);
}

void ModulationMatrixComponent::mouseDown(const juce::MouseEvent& e)
{
    if (e.eventComponent != this)
        return;
    selectedRow = -1;
    updateHighlight();
}

void ModulationMatrixComponent::resized()
{
    toolbar.setTopLeftPosition(5, 4);
    const int tableY = toolbar.getBottom() + 3;
    table->setBounds(8, tableY, juce::jmax(0, getWidth() - 16), juce::jmax(0, getHeight() - 8 - tableY));
    layoutRows();
}

void ModulationMatrixComponent::paint(juce::Graphics& g)
{
    drawRoundedBox(g, getLocalBounds(), juce::Colour(kBackgroundArgb), juce::Colours::black, kFrameCornerSize,
                   kFrameThickness);
}
