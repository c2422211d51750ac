#include "skin/GFXPanel.h"
#include "core/XmlHelpers.h"
#include "skin/GFXAnimation.h"
#include "skin/GFXButton.h"
#include "skin/GFXDisplay.h"
#include "skin/GFXDisplayFloat.h"
#include "skin/GFXKnob.h"
#include "skin/GFXMidiChannelDisplay.h"
#include "skin/GFXMultiStateButton.h"
#include "skin/GFXRocker.h"
#include "skin/GFXSwitch.h"
#include "skin/GFXToggleButton.h"
#include "skin/ImageMidiKeyboard.h"
#include "skin/ModulationMatrixComponent.h"
#include "skin/ModWheel.h"
#include "skin/NoteDisplay.h"
#include "skin/NumericDisplay.h"
#include "skin/PatternNumberDisplay.h"
#include "skin/PitchBender.h"
#include "skin/SkinPackageLoader.h"
#include "skin/SkinXml.h"
#include "skin/TextInput.h"

namespace
{
using ControlMaker = std::unique_ptr<juce::Component> (*)(const juce::String& name, SkinPackageLoader& loader);

template <typename Control>
std::unique_ptr<juce::Component> make(const juce::String& name, SkinPackageLoader&)
{
    return std::make_unique<Control>(name);
}

std::unique_ptr<juce::Component> makeKeyboard(const juce::String& name, SkinPackageLoader& loader)
{
    return std::make_unique<ImageMidiKeyboard>(loader.getHost().getKeyboardState(),
                                               juce::MidiKeyboardComponent::horizontalKeyboard, name);
}

struct ControlTag
{
    const char* tag;
    ControlMaker maker;
};

// The skin's control vocabulary.
const ControlTag controlTags[] = {
    { "Knob", make<GFXKnob> },
    { "Switch", make<GFXSwitch> },
    { "Animation", make<GFXAnimation> },
    { "Button", make<GFXButton> },
    { "ToggleButton", make<GFXToggleButton> },
    { "MultiStateButton", make<GFXMultiStateButton> },
    { "Display", make<GFXDisplay> },
    { "DisplayFloat", make<GFXDisplayFloat> },
    { "Rocker", make<GFXRocker> },
    { "Panel", make<GFXPanel> },
    { "NumericDisplay", make<NumericDisplay> },
    { "NoteDisplay", make<NoteDisplay> },
    { "PatternNumberDisplay", make<PatternNumberDisplay> },
    { "MidiKeyboard", makeKeyboard },
    { "PitchBender", make<PitchBender> },
    { "ModWheel", make<ModWheel> },
    { "ModulationMatrix", make<ModulationMatrixComponent> },
    { "MidiChannelDisplay", make<GFXMidiChannelDisplay> },
    { "TextInput", make<TextInput> },
};
} // namespace

GFXPanel::GFXPanel(const juce::String& name)
    : juce::Component(name)
{
    setInterceptsMouseClicks(true, true);
}

GFXPanel::~GFXPanel()
{
    deleteAllChildren();
}

void GFXPanel::setTransparent(bool shouldBeTransparent)
{
    if (transparent == shouldBeTransparent)
        return;
    transparent = shouldBeTransparent;
    repaint();
}

void GFXPanel::addListener(GUIController::Listener* listener)
{
    GUIController::addListener(listener);
    for (auto* child : getChildren())
        if (auto* control = dynamic_cast<GUIController*>(child))
            control->addListener(listener);
}

std::unique_ptr<juce::Component> GFXPanel::createControl(const juce::String& tag, const juce::String& name,
                                                         SkinPackageLoader& loader)
{
    for (const auto& entry : controlTags)
        if (tag.equalsIgnoreCase(entry.tag))
            return entry.maker(name, loader);
    return nullptr;
}

void GFXPanel::loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader)
{
    BaseGFXController::loadFromSkin(element, loader);

    if (auto* gfx = findChildTagged(element, "gfx"))
        setTransparent(gfx->getBoolAttribute("transparent", false));

    if (const auto* controls = findChildTagged(element, "controls"))
    {
        for (auto* child : controls->getChildIterator())
        {
            auto component = createControl(child->getTagName(), child->getStringAttribute("name"), loader);
            auto* control = dynamic_cast<GUIController*>(component.get());
            if (control == nullptr)
                continue;
            control->loadFromSkin(*child, loader);
            control->refreshFromParameter();
            addAndMakeVisible(component.release());
        }

        const int ofsX = SkinXml::readCoordinate(*controls, "ofsX");
        const int ofsY = SkinXml::readCoordinate(*controls, "ofsY");
        for (auto* child : getChildren())
            child->setTopLeftPosition(child->getPosition().translated(ofsX, ofsY));
    }

    placeComponent(*this);
    repaint();
}

void GFXPanel::paint(juce::Graphics& g)
{
    if (transparent)
        return;
    if (hasImageStrip())
        drawFrame(g, 0);
    else
        g.fillAll(juce::Colour::greyLevel(0.9f));
}
