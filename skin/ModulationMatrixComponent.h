#pragma once

#include "core/ModulationMatrixModel.h"
#include "skin/GUIController.h"
#include "skin/TextInput.h"
#include "toolkit/ComboBoxEx.h"
#include "toolkit/ComponentRow.h"
#include "toolkit/ModulationSlider.h"
#include "toolkit/PopupMenuEx.h"
#include "toolkit/ToolbarDrawableButton.h"

#include <array>
#include <memory>

// An editable table of modulation routings (source, destination, amount) with a
// small tool bar to add, delete and reorder rows. It mirrors a
// ModulationMatrixModel when one is attached, and then shows each row's live
// source value on its amount slider; without a model it edits its own rows.
class ModulationMatrixComponent : public GUIController,
                                  public juce::Component,
                                  public juce::Button::Listener,
                                  public juce::ChangeListener
{
public:
    static constexpr int rowHeight = 37;
    static constexpr int defaultWidth = 400;
    static constexpr int defaultHeight = 200;

    class Row;
    class Table;

    explicit ModulationMatrixComponent(const juce::String& name);
    ~ModulationMatrixComponent() override;

    // Attaches a model (null detaches) and rebuilds the rows from it. The model
    // must outlive the attachment.
    void setModel(ModulationMatrixModel* newModel);
    ModulationMatrixModel* getModel() const noexcept { return model; }

    // The destinations a source may reach: menus 0..8 belong to the sources, the
    // tenth to any other source. Every row takes the new menu.
    void setDestinationMenu(int source, const PopupMenuEx& menu);
    const PopupMenuEx& getDestinationMenu(int source) const;
    const PopupMenuEx& getSourceMenu() const noexcept { return sourceMenu; }

    int getNumRows() const noexcept { return rows.size(); }
    Row* getRow(int index) const noexcept { return rows[index]; }
    int getSelectedRow() const noexcept { return selectedRow; }

    // "Add Row", "Delete Row", "Move Up", "Move Down", in tool-bar order.
    ToolbarDrawableButton& getToolbarButton(int index) const;
    ComponentRow& getToolbar() noexcept { return toolbar; }
    Table& getTable() noexcept { return *table; }

    // "+0.2500", "-0.5000", "0.0000".
    static juce::String formatAmount(float amount);

    void loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader) override;
    void buttonClicked(juce::Button* button) override;
    void changeListenerCallback(juce::ChangeBroadcaster* source) override;
    void mouseDown(const juce::MouseEvent& e) override;
    void resized() override;
    void paint(juce::Graphics& g) override;

private:
    friend class Row;

    enum ToolbarButton
    {
        addButton,
        deleteButton,
        upButton,
        downButton,
        numToolbarButtons
    };

    void addRow();
    void deleteSelectedRow();
    void moveSelectedRow(int step, bool withCommandKey);
    void rebuildFromModel();
    void refreshSourceValues();
    void layoutRows();
    void updateHighlight();
    void setRowMenus(Row& row);
    void selectRow(Row& row);
    void rowEdited(Row& row);
    void watchModel(bool shouldWatch);

    ModulationMatrixModel* model = nullptr;
    int selectedRow = -1;
    ComponentRow toolbar;
    std::array<std::unique_ptr<ToolbarDrawableButton>, numToolbarButtons> toolbarButtons;
    juce::OwnedArray<Row> rows;
    std::unique_ptr<Table> table;
    PopupMenuEx sourceMenu;
    std::array<PopupMenuEx, ModulationMatrixModel::numSources + 1> destinationMenus;

    JUCE_DECLARE_NON_COPYABLE(ModulationMatrixComponent)
};

//==============================================================================
// One routing: source and destination boxes, the amount slider and its text. A
// press on any of them selects the row.
class ModulationMatrixComponent::Row : public juce::Component,
                                       private ComboBoxEx::Listener,
                                       private juce::Slider::Listener
{
public:
    explicit Row(ModulationMatrixComponent& owner);
    ~Row() override;

    // Shows the values without telling anyone.
    void setValues(const ModulationMatrixModel::Row& values);
    // The values as shown, the amount limited to -1..1.
    ModulationMatrixModel::Row getValues() const;

    void setIndex(int newIndex);
    int getIndex() const noexcept { return index; }
    void setSelected(bool shouldBeSelected);
    bool isSelected() const noexcept { return selected; }

    ComboBoxEx& getSourceBox() noexcept { return sourceBox; }
    ComboBoxEx& getDestinationBox() noexcept { return destinationBox; }
    ModulationSlider& getAmountSlider() noexcept { return amountSlider; }
    TextInput& getAmountText() noexcept { return amountText; }

    void mouseDown(const juce::MouseEvent& e) override;
    void paint(juce::Graphics& g) override;
    void resized() override;

private:
    void comboBoxExChanged(ComboBoxEx* box) override;
    void sliderValueChanged(juce::Slider* slider) override;
    void refreshAmountText();

    ModulationMatrixComponent& owner;
    bool selected = false;
    int index = -1;
    ComboBoxEx sourceBox;
    ComboBoxEx destinationBox;
    ModulationSlider amountSlider;
    TextInput amountText;

    JUCE_DECLARE_NON_COPYABLE(Row)
};

//==============================================================================
// The rows' frame: a header, a scrolling list of rows and a mask that rounds
// the frame's corners.
class ModulationMatrixComponent::Table : public juce::Component
{
public:
    static constexpr int headerHeight = 19;

    Table();
    ~Table() override;

    juce::Viewport& getViewport() noexcept { return viewport; }
    juce::Component& getRowHolder() noexcept;

    void resized() override;

private:
    class ViewportComponent;
    class Shape;
    class Header;

    juce::Viewport viewport;
    std::unique_ptr<ViewportComponent> content;
    std::unique_ptr<Shape> shape;
    std::unique_ptr<Header> header;

    JUCE_DECLARE_NON_COPYABLE(Table)
};
