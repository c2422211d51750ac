#include "Gallery.h"

#include <algorithm>

namespace
{
std::vector<const GallerySection*>& registry()
{
    static std::vector<const GallerySection*> sections;
    return sections;
}
} // namespace

void Gallery::add(const juce::String& title, std::unique_ptr<juce::Component> widget)
{
    items.push_back({ title, std::move(widget) });
}

void Gallery::addSheet(const juce::String& name, std::unique_ptr<juce::Component> root)
{
    sheets.push_back({ name, std::move(root) });
}

void Gallery::runLaidOutActions()
{
    for (auto& action : laidOutActions)
        action();
}

GallerySection::GallerySection(const char* sectionName, Filler sectionFiller) : name(sectionName), filler(sectionFiller)
{
    registry().push_back(this);
}

std::vector<const GallerySection*> GallerySection::getAll()
{
    auto all = registry();
    std::sort(all.begin(), all.end(),
              [](const GallerySection* a, const GallerySection* b) { return juce::String(a->name) < b->name; });
    return all;
}
