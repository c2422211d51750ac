#include "editor/GUISettingsComponent.h"

#include "core/FolderWalk.h"
#include "skin/SkinPackageLoader.h"

#include <algorithm>

namespace
{
constexpr juce::uint32 kPreviewFrameColour = 0xFF808080;
constexpr int kPreviewScale = 10;
constexpr int kPreviewExtraWidth = 6;
constexpr int kPreviewExtraHeight = 26;
const char* const kPackageExtension = ".orvskin";
} // namespace

//==============================================================================
GUISettingsComponent::SkinPreview::SkinPreview(juce::Rectangle<int> area) : displayArea(area)
{
    setSize(area.getWidth() / kPreviewScale + kPreviewExtraWidth, area.getHeight() / kPreviewScale + kPreviewExtraHeight);
}

void GUISettingsComponent::SkinPreview::setImage(const juce::Image& image)
{
    if (image == thumbnail)
        return;
    thumbnail = image;
    repaint();
}

void GUISettingsComponent::SkinPreview::paint(juce::Graphics& g)
{
    auto area = getLocalBounds();
    const auto caption = area.removeFromBottom(juce::jmin(area.getHeight(), kCaptionHeight));

    g.setColour(juce::Colours::black);
    g.fillRect(area);
    g.setColour(juce::Colour(kPreviewFrameColour));
    g.drawRect(area, kFrameThickness);

    const auto inner = area.reduced(kFrameThickness);
    if (thumbnail.isValid() && !inner.isEmpty())
    {
        // Unscaled and centred; a thumbnail larger than the frame is cut by it.
        juce::Graphics::ScopedSaveState state(g);
        g.reduceClipRegion(inner);
        g.drawImageAt(thumbnail, inner.getCentreX() - thumbnail.getWidth() / 2,
                      inner.getCentreY() - thumbnail.getHeight() / 2);
    }

    g.setColour(juce::Colours::black);
    g.setFont(juce::Font("Tahoma", 13.0f, juce::Font::plain));
    g.drawText("Screen resolution: " + juce::String(displayArea.getWidth()) + " x "
                   + juce::String(displayArea.getHeight()),
               caption, juce::Justification::centred, false);
}

//==============================================================================
GUISettingsComponent::DisplayAreas GUISettingsComponent::getMainDisplayAreas()
{
    DisplayAreas areas;
    if (const auto* display = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay())
    {
        areas.totalArea = display->totalArea;
        areas.userArea = display->userArea;
    }
    return areas;
}

GUISettingsComponent::GUISettingsComponent(SkinHost& host, const juce::File& skinsFolder,
                                           const juce::String& defaultSkin, const juce::String& currentSkin)
    : GUISettingsComponent(host, skinsFolder, defaultSkin, currentSkin, getMainDisplayAreas())
{
}

GUISettingsComponent::GUISettingsComponent(SkinHost& host, const juce::File& skinsFolder,
                                           const juce::String& defaultSkin, const juce::String& currentSkin,
                                           const DisplayAreas& displays)
    : defaultPreview(displays.totalArea), currentPreview(displays.totalArea)
{
    scanSkins(host, skinsFolder, displays);
    for (size_t i = 0; i < skins.size(); ++i)
    {
        const auto& skin = skins[i];
        skinMenu.addItem((int) i,
                         skin.name + " - " + juce::String(skin.backgroundBounds.getWidth()) + " x "
                             + juce::String(skin.backgroundBounds.getHeight()),
                         false, true);
    }

    const struct
    {
        ComboBoxButton& choice;
        SkinPreview& preview;
        ComponentRow& column;
        PanelComponent& panel;
    } sides[] = { { defaultChoice, defaultPreview, defaultColumn, defaultPanel },
                  { currentChoice, currentPreview, currentColumn, currentPanel } };
    for (const auto& side : sides)
    {
        side.choice.setSize(kChoiceWidth, kChoiceHeight);
        side.choice.setSharedMenu(&skinMenu);
        side.choice.addListener(this);
        side.column.setSpacing(kGap);
        side.column.addAndMakeVisible(side.choice);
        side.column.addAndMakeVisible(side.preview);
        side.panel.setContent(&side.column, false);
        addAndMakeVisible(side.panel);
    }
    // Each choice needs its own name: a shared menu answers the button it was opened on.
    defaultChoice.setName("DefaultSkinChoice");
    currentChoice.setName("CurrentSkinChoice");

    setDefaultSkin(defaultSkin, false);
    setCurrentSkin(currentSkin, false);
}

GUISettingsComponent::~GUISettingsComponent()
{
    defaultChoice.removeListener(this);
    currentChoice.removeListener(this);
    // The panels outlive the columns they frame.
    defaultPanel.setContent(nullptr, false);
    currentPanel.setContent(nullptr, false);
}

void GUISettingsComponent::scanSkins(SkinHost& host, const juce::File& skinsFolder, const DisplayAreas& displays)
{
    if (!skinsFolder.isDirectory())
        return;
    // The packages lie in the folder itself; whatever else is in it is not read.
    for (const auto& file : FolderWalk(juce::String("*") + kPackageExtension, 0).findFiles(skinsFolder))
    {
        SkinInfo info;
        info.name = file.getFileNameWithoutExtension();
        SkinPackageLoader loader(host, info.name);
        info.thumbnail = loader.loadPackageImage("Thumbnail.png");
        info.backgroundBounds = loader.loadPackageImage("Background.png").getBounds();
        skins.push_back(std::move(info));
    }
    std::stable_sort(skins.begin(), skins.end(), [](const SkinInfo& a, const SkinInfo& b) {
        return a.backgroundBounds.getWidth() < b.backgroundBounds.getWidth();
    });

    if (skins.empty())
        return;
    preferredSkin = skins.front().name;
    // A background is an editor size, not a place on the screen: it fits when
    // the user area is at least as large.
    const auto space = displays.userArea;
    for (size_t i = skins.size() - 1; i >= 1; --i)
    {
        const auto& bounds = skins[i].backgroundBounds;
        if (bounds.getWidth() <= space.getWidth() && bounds.getHeight() <= space.getHeight())
        {
            preferredSkin = skins[i].name;
            break;
        }
    }
}

int GUISettingsComponent::findSkin(const juce::String& name) const
{
    for (size_t i = 0; i < skins.size(); ++i)
        if (skins[i].name.equalsIgnoreCase(name))
            return (int) i;
    return -1;
}

juce::String GUISettingsComponent::getSkinName(int index) const
{
    return index >= 0 && index < (int) skins.size() ? skins[(size_t) index].name : juce::String();
}

void GUISettingsComponent::setDefaultSkin(const juce::String& name, bool notify)
{
    const int index = findSkin(name);
    if (index < 0)
        return;
    defaultChoice.setSelectedId(index, false);
    defaultPreview.setImage(skins[(size_t) index].thumbnail);
    if (notify)
        listeners.call([this](Listener& l) { l.defaultSkinChanged(this); });
    defaultSkinWasChanged();
}

void GUISettingsComponent::setCurrentSkin(const juce::String& name, bool notify)
{
    const int index = findSkin(name);
    if (index < 0)
        return;
    currentChoice.setSelectedId(index, false);
    currentPreview.setImage(skins[(size_t) index].thumbnail);
    if (notify)
        listeners.call([this](Listener& l) { l.currentSkinChanged(this); });
    currentSkinWasChanged();
}

juce::String GUISettingsComponent::getDefaultSkin() const
{
    return getSkinName(defaultChoice.getSelectedId());
}

juce::String GUISettingsComponent::getCurrentSkin() const
{
    return getSkinName(currentChoice.getSelectedId());
}

void GUISettingsComponent::addListener(Listener* listener)
{
    if (listener != nullptr)
        listeners.add(listener);
}

void GUISettingsComponent::removeListener(Listener* listener)
{
    listeners.remove(listener);
}

void GUISettingsComponent::comboBoxButtonChanged(ComboBoxButton* box)
{
    if (box == &defaultChoice)
        setDefaultSkin(getSkinName(box->getSelectedId()), true);
    else if (box == &currentChoice)
        setCurrentSkin(getSkinName(box->getSelectedId()), true);
}

void GUISettingsComponent::resized()
{
    const int width = juce::jmax(0, getWidth() / 2 - kGap / 2);
    defaultPanel.setTopLeftPosition(0, 0);
    defaultPanel.setSizeToFit(width, -1);
    currentPanel.setTopLeftPosition(getWidth() / 2 + kGap / 2, 0);
    currentPanel.setSizeToFit(width, -1);
}
