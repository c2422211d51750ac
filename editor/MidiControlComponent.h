#pragma once

#include "core/MidiControl.h"
#include "editor/MapFilePage.h"
#include "toolkit/ComponentRow.h"
#include "toolkit/ToolbarDrawableButton.h"

#include <memory>

class ParameterManager;

// One learned controller as the list shows it.
struct CCAssignment
{
    int controller = 0;
    juce::String parameterName;
};

// The "Midi Control" page: the learned MIDI controllers as a grid of
// "CC / Parameter" rows that scrolls sideways; deleting one assignment or all
// of them, loading and saving map files, and the map new instances start with.
// Selecting a row while MIDI learn is on makes its controller the one learned.
class MidiControlComponent : public MapFilePage, public juce::Button::Listener, public MidiControl::Listener
{
public:
    class ListComponent : public juce::Component, public juce::ScrollBar::Listener
    {
    public:
        ListComponent(MidiControlComponent& owner, MidiControl& midiMap);
        ~ListComponent() override;

        void setVisibleColumns(int columns);
        void setRows(const juce::Array<CCAssignment>& rows);
        int getNumRows() const noexcept { return rows.size(); }
        const CCAssignment& getRow(int index) const { return rows.getReference(index); }

        // An index past the last row selects an empty cell.
        void selectRow(int index);
        int getSelectedRow() const noexcept { return selectedRow; }
        // The row showing the controller, or -1.
        int findRowOfController(int controller) const;

        int getRowsPerColumn() const noexcept { return rowsPerColumn; }
        int getNumColumns() const noexcept { return numColumns; }
        int getColumnWidth() const noexcept { return columnWidth; }
        int getHeaderHeight() const noexcept { return headerHeight; }
        int getRowHeight() const noexcept { return rowHeight; }
        juce::Rectangle<int> getFrame() const noexcept { return frame; }
        juce::ScrollBar& getScrollBar() noexcept { return scrollBar; }
        // Where a row's cell is drawn now (it may lie outside the view).
        juce::Rectangle<int> getCellBounds(int index) const;

        void scrollBarMoved(juce::ScrollBar* bar, double newRangeStart) override;
        void mouseDown(const juce::MouseEvent& e) override;
        void lookAndFeelChanged() override;
        void paint(juce::Graphics& g) override;
        void resized() override;

    private:
        void layout();
        int getGridLeft() const noexcept { return frame.getX() + 1 + scrollOffset; }

        MidiControlComponent& owner;
        MidiControl& midiMap;
        juce::ScrollBar scrollBar { false };
        int visibleColumns = 1;
        juce::Array<CCAssignment> rows;
        int selectedRow = -1;
        juce::Rectangle<int> frame;
        int gridWidth = 0;
        int scrollOffset = 0;
        int headerHeight = 19;
        int rowHeight = 20;
        int rowsPerColumn = 1;
        int numColumns = 1;
        int columnWidth = 0;
        int ccStripWidth = 0;
        int parameterWidth = 0;
        juce::Font boldFont { "Tahoma", 13.0f, juce::Font::bold };
        juce::Font plainFont { "Tahoma", 13.0f, juce::Font::plain };

        JUCE_DECLARE_NON_COPYABLE(ListComponent)
    };

    static constexpr int kButtonSize = 24;
    static constexpr int kVisibleColumns = 3;
    static constexpr int kGap = 6;

    // parameters is where map files name their parameters (the map's own registry).
    MidiControlComponent(MidiControl& midiMap, const ParameterManager& parameters, const juce::String& extension,
                         const juce::String& pattern);
    ~MidiControlComponent() override;

    ListComponent& getList() noexcept { return *list; }
    juce::TextButton& getLearnButton() noexcept { return learnButton; }
    ToolbarDrawableButton& getDeleteButton() noexcept { return deleteButton; }
    ToolbarDrawableButton& getClearButton() noexcept { return clearButton; }
    ToolbarDrawableButton& getLoadButton() noexcept { return loadButton; }
    ToolbarDrawableButton& getSaveButton() noexcept { return saveButton; }

    void buttonClicked(juce::Button* button) override;
    void midiControlMapChanged(MidiControl*) override;
    void midiLearnStateChanged(MidiControl*) override;
    void midiValueChanged(MidiControl*) override {}

    void childBoundsChanged(juce::Component* child) override;
    void lookAndFeelChanged() override;
    void resized() override;

protected:
    MapFileReader::Rules getMapRules() override;
    void applyMap(const juce::XmlElement& map) override;
    bool writeMap(const juce::File& file) override;
    void clearMap() override;
    juce::String getAlertTitle() override;
    void storeDefaultMap(bool enabled, const juce::String& path) override;

private:
    void selectionChanged(int selectedRow);

    MidiControl& midiMap;
    const ParameterManager& parameters;
    juce::TextButton learnButton { "Midi Learn" };
    std::unique_ptr<ListComponent> list;
    ComponentRow buttonColumn { ComponentRow::column, ComponentRow::alignEnd };
    ToolbarDrawableButton deleteButton { "Delete Assign", 4 };
    ToolbarDrawableButton clearButton { "Clear All", 16 };
    ToolbarDrawableButton loadButton { "Load Map", 20 };
    ToolbarDrawableButton saveButton { "Save Map", 21 };
    bool layingOut = false;

    JUCE_DECLARE_NON_COPYABLE(MidiControlComponent)
};
