// The toolkit's own widgets in the gallery.

#include "Gallery.h"

#include "core/BoolParameter.h"
#include "core/EnumParameter.h"
#include "core/FloatParameter.h"
#include "core/IntParameter.h"
#include "toolkit/BlinkingComponent.h"
#include "toolkit/CheckBox_V2.h"
#include "toolkit/ComponentRow.h"
#include "toolkit/DefaultLookAndFeel.h"
#include "toolkit/DefaultResourceCheckBox.h"
#include "toolkit/HardLabel.h"
#include "toolkit/HorizontalSlider.h"
#include "toolkit/ModalTextEditor.h"
#include "toolkit/ModulationSlider.h"
#include "toolkit/PathComponent.h"
#include "toolkit/RadioButtons_V2.h"
#include "toolkit/RatingComponent.h"
#include "toolkit/StatusBar.h"
#include "toolkit/TabbedComponentEx.h"
#include "toolkit/TextButtonEx.h"
#include "toolkit/TextButtonWithIcon.h"
#include "toolkit/ToolbarDrawableButton.h"
#include "toolkit/TwoValueHorizontalSliderWithLevel.h"
#include "toolkit/WindowComponent.h"

namespace
{
constexpr int kWidth = 384;

// A plain holder that owns the components placed in it.
class Holder : public juce::Component
{
public:
    Holder(int width, int height) { setSize(width, height); }

    template <typename T>
    T* place(std::unique_ptr<T> child, int x, int y)
    {
        auto* raw = child.get();
        raw->setTopLeftPosition(x, y);
        addAndMakeVisible(*raw);
        owned.add(child.release());
        return raw;
    }

    // Owned here but shown inside another component.
    template <typename T>
    T* own(std::unique_ptr<T> child)
    {
        auto* raw = child.get();
        owned.add(child.release());
        return raw;
    }

private:
    juce::OwnedArray<juce::Component> owned;
};

DefaultLookAndFeel& lookAndFeel()
{
    return dynamic_cast<DefaultLookAndFeel&>(juce::LookAndFeel::getDefaultLookAndFeel());
}

void addButtons(Gallery& gallery)
{
    auto& laf = lookAndFeel();
    auto holder = std::make_unique<Holder>(kWidth, 112);
    int x = 0;
    for (const auto* text : { "Save", "Save as...", "Load" })
    {
        auto* b = holder->place(laf.createTextButton(text), x, 0);
        x += b->getWidth() + 4;
    }
    auto* pressed = holder->place(laf.createTextButton("Pressed"), x, 0);
    pressed->setToggleState(true, juce::dontSendNotification);
    x = 0;
    for (const auto* text : { "Install", "Cancel" })
    {
        auto* b = holder->place(laf.createTextButton(text, 2), x, 32);
        x += b->getWidth() + 4;
    }

    auto sync = std::make_unique<TextButtonWithIcon>("Sync");
    sync->setClickingTogglesState(true);
    sync->setSize(90, 26);
    sync->setIconMargins({ 5, 5, 5, 5 });
    if (auto icon = getIcon(6))
        sync->setIcons(*icon);
    sync->changeWidthToFitText(-1);
    auto* syncRaw = holder->place(std::move(sync), 0, 74);
    auto learn = std::make_unique<TextButtonWithIcon>("Learn");
    learn->setClickingTogglesState(true);
    learn->setSize(90, 26);
    learn->setIconMargins({ 6, 6, 6, 6 });
    learn->setIconOnRight(true);
    if (auto icon = getIcon(24))
        learn->setIcons(*icon);
    learn->changeWidthToFitText(-1);
    learn->setToggleState(true, juce::dontSendNotification);
    holder->place(std::move(learn), syncRaw->getRight() + 8, 74);

    x = 200;
    for (int index : { 1, 2, 16, 7, 26 })
    {
        auto tool = std::make_unique<ToolbarDrawableButton>("Tool " + juce::String(index), index);
        tool->setClickingTogglesState(index == 16);
        tool->setToggleState(index == 16, juce::dontSendNotification);
        tool->setSize(26, 26);
        holder->place(std::move(tool), x, 74);
        x += 30;
    }
    gallery.add("Buttons", std::move(holder));
}

void addImageButtons(Gallery& gallery)
{
    auto& laf = lookAndFeel();
    auto holder = std::make_unique<Holder>(kWidth, 134);
    int x = 0, y = 0;
    for (int kind = 0; kind < DefaultLookAndFeel::numImageButtonKinds; ++kind)
    {
        auto button = laf.createImageButton("Kind " + juce::String(kind), kind);
        if (button == nullptr)
            continue;
        if (x + 27 > kWidth)
        {
            x = 0;
            y += 31;
        }
        holder->place(std::move(button), x, y);
        x += 31;
    }
    x = 0;
    y += 37;
    for (int kind : { 0, 7, 8, 13, 18, 21 })
    {
        auto button = laf.createImageButton("Large " + juce::String(kind), kind, 2);
        holder->place(std::move(button), x, y);
        x += 47;
    }
    // One pressed pair, side by side with its normal picture.
    auto pressed = std::make_unique<juce::ImageComponent>();
    pressed->setImage(DefaultLookAndFeel::getImageButtonImage(13, 2, true));
    pressed->setSize(43, 43);
    holder->place(std::move(pressed), x, y);
    gallery.add("Image buttons (27 and 43 px, one pressed)", std::move(holder));
}

void addIcons(Gallery& gallery)
{
    auto holder = std::make_unique<Holder>(kWidth, 76);
    for (int i = 0; i < DefaultLookAndFeel::numIcons; ++i)
    {
        auto icon = getIcon(i);
        if (icon == nullptr)
            continue;
        auto cell = std::make_unique<Holder>(22, 22);
        // Never moved: a drawable sits where its ink is, and fitting places it
        // by a transform, so moving it would shift the picture out of its cell.
        auto* shown = cell->own(std::move(icon));
        cell->addAndMakeVisible(*shown);
        shown->setTransformToFit(juce::Rectangle<float>(1, 1, 20, 20), juce::RectanglePlacement::centred);
        holder->place(std::move(cell), (i % 15) * 25, (i / 15) * 26);
    }
    auto& laf = lookAndFeel();
    int x = 0;
    for (const auto& image : { laf.getSmallIcon1(), laf.getSmallIcon2(), laf.getSmallIcon3(), laf.getSmallIcon4() })
    {
        auto small = std::make_unique<juce::ImageComponent>();
        small->setImage(image);
        small->setSize(15, 14);
        holder->place(std::move(small), x, 58);
        x += 22;
    }
    gallery.add("Icons and small icons", std::move(holder));
}

void addLabelsAndText(Gallery& gallery)
{
    auto holder = std::make_unique<Holder>(kWidth, 118);
    auto label = std::make_unique<HardLabel>("label", "Hard label: a text too long for its box is cut");
    label->setSize(220, 16);
    holder->place(std::move(label), 0, 0);

    auto editor = std::make_unique<ModalTextEditor>("name");
    editor->setText("Preset author", false);
    editor->setSize(200, 20);
    holder->place(std::move(editor), 0, 24);

    auto status = std::make_unique<StatusBar>();
    status->setSize(kWidth, 16);
    status->showPermanentMessage("Feedback Line 1 changed to 42 %", 6, false);
    holder->place(std::move(status), 0, 54);

    auto rating = std::make_unique<RatingComponent>();
    rating->setRating(3, false);
    holder->place(std::move(rating), 0, 80);

    auto resource = std::make_unique<DefaultResourceCheckBox>();
    resource->setSize(280, 20);
    resource->setFile(juce::File("/home/musician/Tavinor/Maps/Live set.tnccmap"), false);
    holder->place(std::move(resource), 100, 78);
    gallery.add("Labels, text, status bar, rating", std::move(holder));
}

void addPaths(Gallery& gallery)
{
    auto holder = std::make_unique<Holder>(kWidth, 52);
    auto shortPath = std::make_unique<PathComponent>();
    shortPath->setSize(kWidth, 22);
    shortPath->setFile(juce::File("/home/musician/default.tnhpmap"), false);
    holder->place(std::move(shortPath), 0, 0);
    auto longPath = std::make_unique<PathComponent>();
    longPath->setSize(kWidth, 22);
    longPath->setFile(juce::File("/home/musician/Music/Sessions/2026/Album/Parameter maps/Long name.tnhpmap"),
                      false);
    holder->place(std::move(longPath), 0, 28);
    gallery.add("Path fields (fitting, cut)", std::move(holder));
}

void addSettingsControls(Gallery& gallery)
{
    // The steps of the scale: 1x, 2x, 4x, 8x; 4x chosen.
    auto* quality = gallery.keep(std::make_unique<IntParameter>(1, "Oversampling", 0, 3, 2));
    auto* threshold = gallery.keep(std::make_unique<FloatParameter>(2, "Threshold", -24.0f, 0.0f, -6.0f));
    auto* low = gallery.keep(std::make_unique<FloatParameter>(3, "Low", 0.0f, 1.0f, 0.25f));
    auto* high = gallery.keep(std::make_unique<FloatParameter>(4, "High", 0.0f, 1.0f, 0.7f));
    auto* limiter = gallery.keep(std::make_unique<BoolParameter>(5, "Limiter", "true"));
    auto* mode = gallery.keep(std::make_unique<EnumParameter>(6, "Processing mode", "Economy;Normal;High;Ultra", "High"));

    auto holder = std::make_unique<Holder>(kWidth, 256);
    auto steps = std::make_unique<HorizontalSlider>();
    steps->setSize(220, 57);
    steps->setTitle("Oversampling", juce::Justification::centredTop);
    steps->setScale(HorizontalSlider::scaleBelow, { "1x", "2x", "4x", "8x" }, 3);
    steps->setIntParameter(quality);
    holder->place(std::move(steps), 0, 0);

    auto plain = std::make_unique<HorizontalSlider>();
    plain->setSize(220, 36);
    plain->setTitle("Threshold", juce::Justification::centredBottom);
    plain->setParameter(threshold);
    holder->place(std::move(plain), 0, 64);

    auto range = std::make_unique<TwoValueHorizontalSliderWithLevel>();
    range->setSize(220, 57);
    range->setTitle("Detector range", juce::Justification::centredTop);
    range->setScale(HorizontalSlider::scaleBelow, { "0", "0.5", "1" }, 4);
    range->setParameters(low, high);
    range->setLevel(0.55f);
    holder->place(std::move(range), 0, 108);

    auto box = std::make_unique<CheckBox_V2>("Limiter on the output");
    box->setSize(10, 20);
    box->changeWidthToFitText(-1);
    box->setParameter(limiter);
    holder->place(std::move(box), 0, 176);
    auto off = std::make_unique<CheckBox_V2>("Unchecked");
    off->setSize(10, 20);
    off->changeWidthToFitText(-1);
    holder->place(std::move(off), 200, 176);

    auto radio = std::make_unique<RadioButtons_V2>(mode);
    radio->setSize(140, 110);
    holder->place(std::move(radio), 236, 0);

    auto modulation = std::make_unique<ModulationSlider>();
    modulation->setSize(220, 44);
    modulation->setValue(0.6, juce::dontSendNotification);
    modulation->setModulationValue(-0.8f);
    holder->place(std::move(modulation), 0, 210);
    gallery.add("Settings controls", std::move(holder));
}

void addContainers(Gallery& gallery)
{
    auto holder = std::make_unique<Holder>(kWidth, 150);
    auto tabs = std::make_unique<TabbedComponentEx>(juce::TabbedButtonBar::TabsAtTop);
    tabs->setSize(kWidth, 100);
    for (const auto* name : { "Processing", "Presets", "Parameters", "Midi Control" })
    {
        auto page = std::make_unique<HardLabel>("page", juce::String("The ") + name + " page");
        page->setJustificationType(juce::Justification::centred);
        tabs->addTab(name, juce::Colour(0xFFC5C5C5), page.release(), true);
    }
    tabs->setCurrentTabIndex(1);
    holder->place(std::move(tabs), 0, 0);

    auto* row = holder->place(std::make_unique<ComponentRow>(ComponentRow::row, ComponentRow::alignCentre), 0, 108);
    row->setSpacing(6);
    auto rowLabel = std::make_unique<HardLabel>("row", "Row:");
    rowLabel->setBorderSize({});
    rowLabel->setSize(10, 16);
    rowLabel->changeWidthToFitText(-1);
    row->addAndMakeVisible(holder->own(std::move(rowLabel)));
    auto& laf = lookAndFeel();
    for (const auto* text : { "OK", "Cancel" })
        row->addAndMakeVisible(holder->own(laf.createTextButton(text)));
    gallery.add("Tabs and a component row", std::move(holder));
}

// A framed window over a page of the editor, its cover dimming the page.
class DemoDesktop : public juce::Component, public ModalComponent::Desktop
{
public:
    DemoDesktop()
    {
        setSize(560, 330);
        page.setTitle("Page beneath", false);
        page.setBounds(16, 16, 528, 298);
        addAndMakeVisible(page);
    }
    juce::Rectangle<int> getDesktopArea() override { return getLocalBounds(); }
    void paint(juce::Graphics& g) override { g.fillAll(findColour(DefaultLookAndFeel::generalBackgroundColourId)); }

    PanelComponent page;
};

class DemoWindow : public WindowComponent
{
public:
    DemoWindow()
    {
        setTitle("Options");
        setContentSize(300, 150);
        box.setSize(10, 20);
        box.changeWidthToFitText(-1);
        box.setToggleState(true, juce::dontSendNotification);
        addAndMakeVisible(box);
        addAndMakeVisible(path);
        path.setFile(juce::File("/home/musician/Maps/Studio.tnccmap"), false);
        resized();
    }
    bool shouldDimBackground() const override { return true; }
    void resized() override
    {
        WindowComponent::resized();
        const auto area = getContentArea();
        box.setTopLeftPosition(area.getX(), area.getY());
        path.setBounds(area.getX(), area.getY() + 30, area.getWidth(), 22);
    }

private:
    CheckBox_V2 box { "Load this map at start-up" };
    PathComponent path;
};

void addWindow(Gallery& gallery)
{
    auto desktop = std::make_unique<DemoDesktop>();
    auto* window = new DemoWindow();
    desktop->addChildComponent(window);
    gallery.keep(std::unique_ptr<DemoWindow>(window));
    gallery.whenLaidOut([window] { window->show(); });
    gallery.addSheet("toolkit-window", std::move(desktop));
}

void fillToolkit(Gallery& gallery)
{
    addButtons(gallery);
    addImageButtons(gallery);
    addIcons(gallery);
    addLabelsAndText(gallery);
    addPaths(gallery);
    addSettingsControls(gallery);
    addContainers(gallery);
    addWindow(gallery);
}

const GallerySection toolkit("toolkit", fillToolkit);
} // namespace
