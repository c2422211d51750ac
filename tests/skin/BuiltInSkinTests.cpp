// The built-in skin as the panel factory reads it, against what its document
// says: every control made, linked and pictured as written, so that a picture
// the reader refuses or a name it cannot find shows here, not as a plain face.

#include "SkinTestSupport.h"
#include "core/XmlHelpers.h"
#include "core/XmlInput.h"
#include "processor/Tavinor.h"
#include "skin/GFXDisplay.h"

namespace
{
// The plug-in's own parameters, events and built-in files.
class PluginSkinHost : public SkinHost
{
public:
    explicit PluginSkinHost(BasePlugin& p) : plugin(p) {}

    ParameterManager& getParameterManager() override { return plugin.getParameterManager(); }
    EventsMap& getEventsMap() override { return plugin.getEventsMap(); }
    juce::MidiKeyboardState& getKeyboardState() override { return keyboard; }
    juce::String getProductName() const override { return "Tavinor"; }
    juce::File getSkinPackageFile(const juce::String&) const override { return {}; }

private:
    BasePlugin& plugin;
    juce::MidiKeyboardState keyboard;
};

juce::Component* findChild(juce::Component& parent, const juce::String& name)
{
    for (auto* child : parent.getChildren())
        if (child->getName() == name)
            return child;
    return nullptr;
}

// Compares the controls of one panel with the elements of its "controls".
void check(const juce::XmlElement& panelElement, juce::Component& panel, int& controls)
{
    const auto* list = findChildTagged(panelElement, "controls");
    ASSERT_NE(list, nullptr) << panel.getName();
    for (auto* element : list->getChildIterator())
    {
        const auto name = element->getStringAttribute("name");
        auto* component = findChild(panel, name);
        ASSERT_NE(component, nullptr) << name;
        auto* control = dynamic_cast<GUIController*>(component);
        ASSERT_NE(control, nullptr) << name;
        ++controls;

        if (const auto* links = findChildTagged(*element, "links"))
            for (auto* link : links->getChildIterator())
            {
                ASSERT_NE(control->getParameter(), nullptr) << name;
                EXPECT_EQ(control->getParameter()->getName(), link->getStringAttribute("param")) << name;
            }

        const auto* gfx = findChildTagged(*element, "gfx");
        if (auto* strip = dynamic_cast<BaseGFXController*>(component))
        {
            ASSERT_NE(gfx, nullptr) << name;
            ASSERT_TRUE(strip->hasImageStrip()) << name << ": " << gfx->getStringAttribute("resource");
            EXPECT_EQ(strip->getFramesNum(), gfx->getIntAttribute("framesNum")) << name;
            EXPECT_EQ(strip->getImage().getHeight() % strip->getFramesNum(), 0) << name;
        }
        if (auto* display = dynamic_cast<GFXDisplay*>(component))
            EXPECT_GE(display->getLastCharacter(), (juce::juce_wchar) '~') << name << " lacks glyphs";

        if (tagNameIs(*element, "Panel"))
            check(*element, *component, controls);
    }
}
} // namespace

TEST(BuiltInSkin, EveryControlIsMadeLinkedAndPicturedAsWritten)
{
    std::unique_ptr<juce::AudioProcessor> processor(createPluginFilter());
    auto* plugin = dynamic_cast<BasePlugin*>(processor.get());
    ASSERT_NE(plugin, nullptr);
    PluginSkinHost host(*plugin);
    auto panel = SkinPackageLoader(host, {}).loadSkin();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(dynamic_cast<GFXPanel&>(*panel).hasImageStrip());

    const auto document = XmlInput::readBundleResource("skin.xml", XmlInput::Kind::skin);
    ASSERT_NE(document, nullptr);
    const auto* mainPanel = findChildTagged(*document, "Panel");
    ASSERT_NE(mainPanel, nullptr);
    int controls = 0;
    check(*mainPanel, *panel, controls);
    EXPECT_GT(controls, 200);
}
