#include "PageTestSupport.h"

#include "editor/AboutWindow.h"
#include "editor/BasePluginEditor.h"
#include "editor/OptionsWindow.h"
#include "processor/Tavinor.h"

namespace
{
// A package NAME.orvskin whose main panel is width x height.
void writePackage(const juce::File& folder, const juce::String& name, int width, int height)
{
    PageTest::writeSkinPackage(folder, name, width, height, juce::Colours::transparentBlack);
}

// The editor base with skins switched on, its packages in a folder of the test.
class SkinsEditor : public BasePluginEditor
{
public:
    SkinsEditor(BasePlugin& plugin, const juce::File& folder) : BasePluginEditor(plugin, true), folder(folder) {}

    juce::File getSkinsFolder() const override { return folder; }
    std::unique_ptr<GUISettingsComponent> createGUISettingsComponent() override
    {
        // A 1280 x 800 screen, whatever the test machine has.
        const GUISettingsComponent::DisplayAreas screen { { 0, 0, 1280, 800 }, { 0, 0, 1280, 760 } };
        return std::make_unique<GUISettingsComponent>(*this, folder, juce::String(), getCurrentSkinName(), screen);
    }

    juce::File folder;
};

class BasePluginEditorTest : public EditorTest::Fixture
{
protected:
    void SetUp() override
    {
        EditorTest::Fixture::SetUp();
        plugin = std::make_unique<Tavinor>();
    }

    void TearDown() override
    {
        editor.reset();
        plugin.reset();
        EditorTest::Fixture::TearDown();
    }

    // An editor over the packages, started as the plug-in base starts it,
    // with this default skin in the user's settings.
    SkinsEditor& start(const juce::String& defaultSkin)
    {
        editor = std::make_unique<SkinsEditor>(*plugin, packages.get());
        juce::XmlElement settings("Editor");
        settings.createNewChildElement("Skin")->setAttribute("name", defaultSkin);
        editor->readSettings(settings);
        editor->initialise();
        editor->setVisible(true);
        return *editor;
    }

    std::unique_ptr<Tavinor> plugin;
    TestHelpers::TempFolder packages;
    std::unique_ptr<SkinsEditor> editor;
};
} // namespace

TEST_F(BasePluginEditorTest, WithoutSkinsTheBuiltInSkinStaysAndTheSettingsElementIsEmpty)
{
    BasePluginEditor e(*plugin, false);
    e.initialise();
    EXPECT_EQ(e.getDesktopArea(), juce::Rectangle<int>(0, 0, 1200, 540));
    for (const auto& element : { e.writeSettings(), e.createStateXml() })
    {
        EXPECT_EQ(element->getTagName(), "Editor");
        EXPECT_EQ(element->getNumChildElements(), 0);
    }
    juce::XmlElement state("Editor");
    state.createNewChildElement("Skin")->setAttribute("name", "Anything");
    e.restoreStateXml(state);
    EXPECT_EQ(e.getCurrentSkinName(), "");
}

TEST_F(BasePluginEditorTest, AMissingDefaultSkinGivesTheWidestSkinThatFitsTheScreen)
{
    writePackage(packages.get(), "Compact", 900, 500);
    writePackage(packages.get(), "Large", 1200, 700);
    writePackage(packages.get(), "Huge", 1600, 1000);
    auto& e = start("Deleted Since");
    EXPECT_EQ(e.getCurrentSkinName(), "Large");
    EXPECT_EQ(e.getOptionsWindow().getTabs().getTabNames().joinIntoString(","),
              "Processing,Presets,Parameters,Midi Control,GUI");
    EXPECT_EQ(e.writeSettings()->getChildByName("Skin")->getStringAttribute("name"), "Large");
}

TEST_F(BasePluginEditorTest, SkinsSwitchFromTheTimerSizeTheEditorAndABrokenPackageKeepsTheMessage)
{
    writePackage(packages.get(), "Compact", 900, 500);
    writePackage(packages.get(), "Large", 1200, 700);
    packages.getChild("Broken.orvskin").replaceWithText("not a zip");
    auto& e = start("Compact");
    ASSERT_EQ(e.getCurrentSkinName(), "Compact");
    // The skin's size above the status bar; modal windows centre above it.
    const int bar = e.getStatusBar().getHeight();
    EXPECT_EQ(e.getBounds(), juce::Rectangle<int>(0, 0, 900, 500 + bar));
    EXPECT_EQ(e.getStatusBar().getBounds(), juce::Rectangle<int>(0, 500, 900, bar));
    e.controllerEventTriggered(nullptr, 1001);
    EXPECT_EQ(e.getAboutWindow()->getBounds().getCentre(), juce::Point<int>(450, 250));

    e.requestSkinLoad("Large");
    EXPECT_FALSE(e.getSkinPanel()->isVisible());
    EXPECT_EQ(e.getStatusBar().getText(), "Loading skin...");
    e.visibleTimerCallback();
    EXPECT_EQ(e.getCurrentSkinName(), "Large");
    EXPECT_EQ(e.getWidth(), 1200);
    EXPECT_TRUE(e.getSkinPanel()->isVisible());
    EXPECT_EQ(e.getStatusBar().getText(), "");
    EXPECT_EQ(e.getGUIPage()->getCurrentSkin(), "Large");
    EXPECT_EQ(e.createStateXml()->getChildByName("Skin")->getStringAttribute("name"), "Large");

    e.requestSkinLoad("Broken");
    e.visibleTimerCallback();
    EXPECT_EQ(e.getCurrentSkinName(), "Large");
    EXPECT_FALSE(e.getSkinPanel()->isVisible());
    EXPECT_EQ(e.getStatusBar().getText(), "Loading skin...");

    // A host state naming no skin changes nothing; one naming a skin shows it.
    for (const auto* name : { "", "Compact" })
    {
        juce::XmlElement state("editor");
        state.createNewChildElement("Skin")->setAttribute("name", name);
        e.restoreStateXml(state);
        EXPECT_EQ(e.getCurrentSkinName(), *name == 0 ? "Large" : name);
    }
}

TEST_F(BasePluginEditorTest, WithoutAnyPackageTheUserIsToldWhereTheyShouldBe)
{
    auto& e = start({});
    EXPECT_EQ(e.getSkinPanel(), nullptr);
    EXPECT_EQ(e.getStatusBar().getText(),
              "Plugin skins not found in directory: '" + packages.get().getFullPathName() + "'. Please reinstall to repair.");
    EXPECT_EQ(e.getStatusBar().getTimeout(), 0);
}
