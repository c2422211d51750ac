#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>
#include <memory>
#include <vector>

// The widget gallery: every toolkit widget shown as a musician would see it,
// written to PNG files for people to look at.
//
// A group of widgets is one source file of this folder that registers a
// GallerySection; the folder is globbed, so adding the file is the whole
// change:
//
//     static void fillMenus(Gallery& gallery)
//     {
//         auto menu = std::make_unique<MyWidget>();
//         menu->setSize(200, 80);
//         gallery.add("My widget", std::move(menu));        // on the main sheet
//         gallery.addSheet("menu-open", std::move(root));   // a PNG of its own
//     }
//     static const GallerySection menus("menus", fillMenus);
class Gallery
{
public:
    // A widget on the main sheet, framed and titled; it keeps the size it has.
    void add(const juce::String& title, std::unique_ptr<juce::Component> widget);
    // A component drawn into a PNG of its own (NAME.png), at its own size:
    // for open menus, windows over a page, alerts.
    void addSheet(const juce::String& name, std::unique_ptr<juce::Component> root);

    // Keeps an object (a parameter the widgets are bound to, say) alive as
    // long as the gallery.
    template <typename T>
    T* keep(std::unique_ptr<T> object)
    {
        auto* raw = object.get();
        kept.push_back(std::shared_ptr<void>(std::move(object)));
        return raw;
    }

    // Called after every section has added its widgets and the components
    // are laid out, before they are drawn (to open menus, start blinking...).
    void whenLaidOut(std::function<void()> action) { laidOutActions.push_back(std::move(action)); }

    struct Item
    {
        juce::String title;
        std::unique_ptr<juce::Component> widget;
    };
    struct Sheet
    {
        juce::String name;
        std::unique_ptr<juce::Component> root;
    };

    std::vector<Item>& getItems() { return items; }
    std::vector<Sheet>& getSheets() { return sheets; }
    void runLaidOutActions();

private:
    // Kept objects are declared first so that they outlive the widgets bound
    // to them.
    std::vector<std::shared_ptr<void>> kept;
    std::vector<Item> items;
    std::vector<Sheet> sheets;
    std::vector<std::function<void()>> laidOutActions;
};

class GallerySection
{
public:
    using Filler = void (*)(Gallery&);
    GallerySection(const char* name, Filler filler);

    // Every registered section, in name order.
    static std::vector<const GallerySection*> getAll();
    const char* getName() const { return name; }
    void fill(Gallery& gallery) const { filler(gallery); }

private:
    const char* name;
    Filler filler;
};
