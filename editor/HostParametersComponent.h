#pragma once

#include "editor/MapFilePage.h"
#include "toolkit/ComboBoxButton.h"
#include "toolkit/ComponentRow.h"
#include "toolkit/PopupMenuEx.h"
#include "toolkit/ToolbarDrawableButton.h"

class BasePlugin;

// The "Parameters" page: the host's 128 generic parameters as numbered
// choices, each naming the parameter of the plug-in it drives; clearing,
// loading and saving the whole map, and the map new instances start with.
// The map itself lives in the plug-in: the page shows it and follows every
// change of it, from wherever it comes.
class HostParametersComponent : public MapFilePage, public juce::Button::Listener
{
public:
    // The grid of slots, column after column, in a viewport that scrolls it
    // sideways.
    class ListComponent : public juce::Component, public ComboBoxButton::Listener, public juce::ChangeListener
    {
    public:
        static constexpr int kVisibleColumns = 3;
        static constexpr int kHeaderHeight = 20;
        static constexpr int kRowHeight = 22;

        explicit ListComponent(BasePlugin& plugin);
        ~ListComponent() override;

        // Every slot's choice opens this menu; item ids are parameter ids.
        void setMenu(const PopupMenuEx& menu);
        void setRowsPerColumn(int rows);
        int getRowsPerColumn() const noexcept { return rowsPerColumn; }
        void setAvailableWidth(int width);
        int getAvailableWidth() const noexcept { return availableWidth; }

        int getNumColumns() const noexcept { return numColumns; }
        float getColumnWidth() const noexcept { return columnWidth; }
        int getNumberStripWidth() const noexcept { return numberStripWidth; }
        int getNumSlots() const noexcept { return choices.size(); }
        ComboBoxButton* getChoice(int slot) const noexcept { return choices[slot]; }
        PopupMenuEx& getMenu() noexcept { return menu; }

        // The map changed: every choice shows its slot's parameter.
        void changeListenerCallback(juce::ChangeBroadcaster*) override;
        void comboBoxButtonChanged(ComboBoxButton* box) override;

        void lookAndFeelChanged() override;
        void paint(juce::Graphics& g) override;

    private:
        void layout();

        BasePlugin& plugin;
        juce::OwnedArray<ComboBoxButton> choices;
        int numColumns = 0;
        int rowsPerColumn = 10;
        float columnWidth = 0.0f;
        int numberStripWidth = 0;
        int availableWidth = 0;
        juce::Font boldFont { "Tahoma", 13.0f, juce::Font::bold };
        juce::Font plainFont { "Tahoma", 13.0f, juce::Font::plain };
        PopupMenuEx menu { "HostParametersMenu" };

        JUCE_DECLARE_NON_COPYABLE(ListComponent)
    };

    // Scrolls the grid by whole columns, so that every slot shown has its
    // number strip beside it: a column half scrolled off would put its slots
    // next to the following column's numbers. A turn of the wheel (either
    // way, over the grid or its scroll bar) and a click on an arrow step one
    // column; a held arrow repeats.
    class ColumnViewport : public juce::Viewport
    {
    public:
        explicit ColumnViewport(ListComponent& list);
        void visibleAreaChanged(const juce::Rectangle<int>& newVisibleArea) override;
        void mouseWheelMove(const juce::MouseEvent& e, const juce::MouseWheelDetails& wheel) override;

    protected:
        juce::ScrollBar* createScrollBarComponent(bool isVertical) override;

    private:
        ListComponent& list;
    };

    // The rounded frame around the viewport; clicks go through it.
    class Shape : public juce::Component
    {
    public:
        Shape();
        void paint(juce::Graphics& g) override;
    };

    static constexpr int kButtonSize = 24;
    static constexpr int kDefaultRowsPerColumn = 10;
    static constexpr int kCheckGap = 9;

    explicit HostParametersComponent(BasePlugin& plugin);
    ~HostParametersComponent() override;

    // The chooser pattern, "*" + the map extension.
    void setFileExtension(const juce::String& pattern);
    void setRowsPerColumn(int rows);

    ListComponent& getList() noexcept { return list; }
    ColumnViewport& getViewport() noexcept { return viewport; }
    ToolbarDrawableButton& getClearButton() noexcept { return clearButton; }
    ToolbarDrawableButton& getLoadButton() noexcept { return loadButton; }
    ToolbarDrawableButton& getSaveButton() noexcept { return saveButton; }

    void buttonClicked(juce::Button* button) override;
    void childBoundsChanged(juce::Component* child) override;
    void resized() override;

protected:
    MapFileReader::Rules getMapRules() override;
    void applyMap(const juce::XmlElement& map) override;
    bool writeMap(const juce::File& file) override;
    void clearMap() override;
    juce::String getAlertTitle() override;
    void storeDefaultMap(bool enabled, const juce::String& path) override;

private:
    BasePlugin& plugin;
    ListComponent list;
    ColumnViewport viewport { list };
    Shape frame;
    ComponentRow buttonColumn { ComponentRow::column, ComponentRow::alignEnd };
    ToolbarDrawableButton clearButton { "Clear all", 4 };
    ToolbarDrawableButton loadButton { "Load map", 20 };
    ToolbarDrawableButton saveButton { "Save map", 21 };
    bool layingOut = false;

    JUCE_DECLARE_NON_COPYABLE(HostParametersComponent)
};
