#pragma once

#include "skin/BaseGFXController.h"
#include <juce_gui_basics/juce_gui_basics.h>
#include <memory>

// The container control of a skin and the factory of every control: it makes one
// control for each child of its "controls" element, by the child's tag (ignoring
// case), lets it read its element and lays it out. It owns the controls it made.
class GFXPanel : public BaseGFXController,
                 public juce::Component
{
public:
    explicit GFXPanel(const juce::String& name);
    ~GFXPanel() override;

    void setTransparent(bool shouldBeTransparent);
    bool isTransparent() const noexcept { return transparent; }

    // Adds the listener to the panel and to every control inside it.
    void addListener(GUIController::Listener* listener) override;
    void loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader) override;
    void paint(juce::Graphics& g) override;

    // A new control for a skin tag (any case), named name; null for a tag the
    // factory does not know.
    static std::unique_ptr<juce::Component> createControl(const juce::String& tag, const juce::String& name,
                                                          SkinPackageLoader& loader);

private:
    bool transparent = false;

    JUCE_DECLARE_NON_COPYABLE(GFXPanel)
};
