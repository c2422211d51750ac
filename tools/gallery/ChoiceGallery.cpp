// The choice widgets in the gallery: combo boxes, the MIDI selectors, an open
// menu with a sub-menu, and an alert over a page.

#include "Gallery.h"

#include "core/BoolParameter.h"
#include "core/EnumParameter.h"
#include "core/NoteParameter.h"
#include "toolkit/AlertWindow.h"
#include "toolkit/ComboBoxButton.h"
#include "toolkit/ComboBoxEx.h"
#include "toolkit/DefaultLookAndFeel.h"
#include "toolkit/HardLabel.h"
#include "toolkit/MidiNoteAndChannelComponent.h"
#include "toolkit/PanelComponent.h"

namespace
{
constexpr int kWidth = 384;

PopupMenuEx routingMenu()
{
    PopupMenuEx menu("routing");
    int id = 0;
    for (const auto* name : { "Parallel", "Serial", "Tapped Serial", "Mixed 1", "Mixed 2", "Mixed 3" })
        menu.addItem(id++, name, false, true);
    menu.setTickStyle(true, false);
    return menu;
}

// A slice of the editor's parameter menu: one sub-menu per delay line.
PopupMenuEx parameterMenu()
{
    PopupMenuEx menu("parameters");
    menu.addItem(-1, "None", false, true);
    for (int line = 0; line < 4; ++line)
    {
        PopupMenuEx lineMenu("line");
        const int base = 1000 + 1000 * line;
        int k = 0;
        for (const auto* name : { "Delay Time Left", "Delay Time Right", "Feedback", "Filter Cutoff", "Tremolo Depth" })
        {
            const juce::String full = "Line " + juce::String(line + 1) + " " + name;
            // One disabled entry, to show how it looks.
            lineMenu.addItem(base + k, name, full, false, k != 4);
            ++k;
        }
        menu.addSubMenu("Line " + juce::String(line + 1), lineMenu);
    }
    menu.addItem(47, "Dry/Wet", false, true);
    menu.addItem(90, "Routing", false, true);
    return menu;
}

// The choice widgets bound to parameters that live exactly as long as they do.
class ChoiceWidgets : public juce::Component
{
public:
    ChoiceWidgets()
    {
        setSize(kWidth, 150);

        routingLabel.setBounds(0, 0, 70, 20);
        addAndMakeVisible(routingLabel);
        routing.setBounds(74, 0, 130, 20);
        routing.setMenu(routingMenu(), false);
        routing.setParameter(&routingParameter);
        addAndMakeVisible(routing);

        qualityLabel.setBounds(0, 28, 70, 20);
        addAndMakeVisible(qualityLabel);
        quality.setBounds(74, 28, 130, 20);
        quality.setParameter(&qualityParameter);
        addAndMakeVisible(quality);

        chooser.setParameters(&channel, &note, &learn);
        chooser.setTopLeftPosition(kWidth - chooser.getWidth(), 0);
        addAndMakeVisible(chooser);

        plainChooser.setTopLeftPosition(0, 58);
        addAndMakeVisible(plainChooser);
    }

private:
    EnumParameter routingParameter { 90, "Routing", "Parallel;Serial;Tapped Serial;Mixed 1;Mixed 2;Mixed 3", "Serial" };
    EnumParameter qualityParameter { 99, "Realtime quality", "Draft;Normal;High quality", "High quality" };
    EnumParameter channel { 105, "Retrigger channel", "All;1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16", "10" };
    NoteParameter note { 106, "Retrigger note", "C#5" };
    BoolParameter learn { 116, "Retrigger learn", "OFF" };

    HardLabel routingLabel { {}, "Routing" };
    ComboBoxEx routing;
    HardLabel qualityLabel { {}, "Quality" };
    ComboBoxButton quality;
    MidiNoteAndChannelComponent chooser;
    MidiNoteAndChannelComponent plainChooser;
};

// A page of the editor that modal windows and menus are shown in.
class EditorPage : public juce::Component, public ModalComponent::Desktop
{
public:
    explicit EditorPage(const juce::String& title)
    {
        setSize(560, 330);
        panel.setTitle(title, false);
        panel.setBounds(16, 16, 528, 298);
        addAndMakeVisible(panel);
    }
    juce::Rectangle<int> getDesktopArea() override { return getLocalBounds(); }
    void paint(juce::Graphics& g) override { g.fillAll(findColour(DefaultLookAndFeel::generalBackgroundColourId)); }

    PanelComponent panel;
};

class MenuPage : public EditorPage
{
public:
    MenuPage() : EditorPage("Parameters")
    {
        for (int slot = 0; slot < 3; ++slot)
        {
            auto* label = labels.add(new HardLabel({}, "Parameter " + juce::String(slot + 1)));
            label->setBounds(40, 50 + 28 * slot, 90, 20);
            addAndMakeVisible(label);
            auto* box = boxes.add(new ComboBoxButton());
            box->setSharedMenu(&menu);
            box->setBounds(134, 50 + 28 * slot, 200, 20);
            addAndMakeVisible(box);
        }
        boxes[0]->setSelectedId(2002, false);
        boxes[2]->setSelectedId(47, false);
    }

    // Opens the menu on the first slot and hovers into the second line's
    // sub-menu, as a user on the way to a choice would.
    void openMenu()
    {
        auto& button = boxes[0]->getButton();
        static_cast<juce::Component&>(button).mouseDown(
            mouseEvent(button, { 5.0f, 5.0f }, juce::ModifierKeys::leftButtonModifier));
        auto* shown = findMenuComponent();
        if (shown == nullptr || shown->getNumWindows() == 0)
            return;
        auto* top = shown->getWindow(0);
        hover(*top, 2);
        shown->openPendingMenu();
        if (auto* sub = shown->getWindow(1))
            hover(*sub, 2);
    }

private:
    static juce::MouseEvent mouseEvent(juce::Component& c, juce::Point<float> at, juce::ModifierKeys mods)
    {
        const auto now = juce::Time::getCurrentTime();
        return { juce::Desktop::getInstance().getMainMouseSource(), at, mods, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, &c, &c,
                 now, at, now, 1, false };
    }

    static void hover(PopupMenuEx::Window& window, int row)
    {
        window.mouseEnter(mouseEvent(window, window.getRowBounds(row).getCentre().toFloat(), {}));
    }

    PopupMenuEx::PopupMenuComponent* findMenuComponent()
    {
        for (auto* cover : getChildren())
            for (auto* child : cover->getChildren())
                if (auto* c = dynamic_cast<PopupMenuEx::PopupMenuComponent*>(child))
                    return c;
        return nullptr;
    }

    PopupMenuEx menu = parameterMenu();
    juce::OwnedArray<HardLabel> labels;
    juce::OwnedArray<ComboBoxButton> boxes;
};

class AlertPage : public EditorPage
{
public:
    AlertPage() : EditorPage("Presets")
    {
        alert.reset(Orv::AlertWindow::createSaveOverwriteDiscard(
            "Tavinor", "Changes have been made to current preset. Do you want to save them or discard?", nullptr));
        addChildComponent(*alert);
    }
    ~AlertPage() override { alert.reset(); }

    void openAlert() { alert->show(); }

private:
    std::unique_ptr<Orv::AlertWindow> alert;
};

void fillChoices(Gallery& gallery)
{
    gallery.add("Combo boxes and MIDI note choosers", std::make_unique<ChoiceWidgets>());

    auto menuPage = std::make_unique<MenuPage>();
    auto* menuPageRaw = menuPage.get();
    gallery.whenLaidOut([menuPageRaw] { menuPageRaw->openMenu(); });
    gallery.addSheet("toolkit-menu", std::move(menuPage));

    auto alertPage = std::make_unique<AlertPage>();
    auto* alertPageRaw = alertPage.get();
    gallery.whenLaidOut([alertPageRaw] { alertPageRaw->openAlert(); });
    gallery.addSheet("toolkit-alert", std::move(alertPage));
}

const GallerySection choices("choices", fillChoices);
} // namespace
