#include "PageTestSupport.h"

#include "editor/GUISettingsComponent.h"

namespace
{
using namespace PageTest;

// An editor with skins on, as far as the "GUI" page is concerned: it keeps
// the names the page chooses.
class SkinnedEditor : public Desktop, public GUISettingsComponent::Listener
{
public:
    void defaultSkinChanged(GUISettingsComponent* page) override { defaultSkin = page->getDefaultSkin(); }
    void currentSkinChanged(GUISettingsComponent* page) override { currentSkin = page->getCurrentSkin(); }

    juce::String defaultSkin, currentSkin;
};

class GuiPage : public Fixture
{
protected:
    void SetUp() override
    {
        Fixture::SetUp();
        processor = makeProcessor();
        ASSERT_NE(processor, nullptr);
        editor.setLookAndFeel(&laf);
    }

    void TearDown() override
    {
        editor.setLookAndFeel(nullptr);
        processor.reset();
        Fixture::TearDown();
    }

    std::unique_ptr<GUISettingsComponent> makePage(const juce::String& defaultSkin, const juce::String& currentSkin,
                                                   int userAreaWidth = 1920, int userAreaTop = 0)
    {
        host = std::make_unique<PackageHost>(*processor, skins.get());
        return std::make_unique<GUISettingsComponent>(
            *host, skins.get(), defaultSkin, currentSkin,
            GUISettingsComponent::DisplayAreas { { 0, 0, 1920, 1080 },
                                                 { 0, userAreaTop, userAreaWidth, 1040 - userAreaTop } });
    }

    std::unique_ptr<Tavinor> processor;
    SkinnedEditor editor;
    TestHelpers::TempFolder skins;
    std::unique_ptr<PackageHost> host;
};

TEST_F(GuiPage, TheWidestSkinThatFitsTheScreenIsPreferred)
{
    writeSkinPackage(skins.get(), "Wide", 1400, 600, juce::Colours::red);
    writeSkinPackage(skins.get(), "Small", 800, 500, juce::Colours::green);
    writeSkinPackage(skins.get(), "Medium", 1000, 550, juce::Colours::blue);

    // A panel at the top of the screen moves the user area down; a skin's
    // size, not its place, decides whether it fits.
    const struct
    {
        int userAreaWidth;
        int userAreaTop;
        const char* preferred;
    } cases[] = { { 1280, 0, "Medium" }, { 700, 0, "Small" }, { 1920, 0, "Wide" }, { 1280, 27, "Medium" } };
    for (const auto& c : cases)
    {
        const auto page = makePage({}, {}, c.userAreaWidth, c.userAreaTop);
        EXPECT_EQ(page->getPreferredSkin(), c.preferred) << c.userAreaWidth << " from " << c.userAreaTop;
    }

    const auto page = makePage({}, {});
    auto& menu = page->getSkinMenu();
    ASSERT_EQ(menu.getNumItems(), 3);
    EXPECT_EQ(menu.getItem(0)->text, "Small - 800 x 500");
    EXPECT_EQ(menu.getItem(1)->text, "Medium - 1000 x 550");
    EXPECT_EQ(menu.getItem(2)->text, "Wide - 1400 x 600");
    // A preview stands for the display at a tenth of its size, above its caption.
    EXPECT_EQ(page->getDefaultPreview().getWidth(), 1920 / 10 + 6);
    EXPECT_EQ(page->getDefaultPreview().getHeight(), 1080 / 10 + 26);
}

TEST_F(GuiPage, WithoutPackagesNothingIsListedOrChosen)
{
    for (bool folderExists : { false, true })
    {
        if (!folderExists)
            skins.get().deleteRecursively();
        else
            skins.get().createDirectory();
        const auto page = makePage("Anything", "Anything");
        EXPECT_EQ(page->getSkinMenu().getNumItems(), 0);
        EXPECT_EQ(page->getPreferredSkin(), "");
        page->setDefaultSkin("Anything", true);
        EXPECT_EQ(page->getDefaultSkin(), "");
        EXPECT_TRUE(page->getDefaultPreview().getImage().isNull());
        EXPECT_EQ(page->getDefaultChoice().getText(), "---");
    }
}

TEST_F(GuiPage, TheEditorsChoicesShowAndTheUsersChoicesReachTheEditor)
{
    writeSkinPackage(skins.get(), "Compact", 800, 450, juce::Colours::steelblue);
    writeSkinPackage(skins.get(), "Large", 1200, 700, juce::Colours::darkorange);
    // The default was stored in another letter case.
    auto page = makePage("COMPACT", "Large");
    page->addListener(&editor);
    EXPECT_EQ(page->getDefaultSkin(), "Compact");
    EXPECT_EQ(page->getCurrentChoice().getText(), "Large - 1200 x 700");
    EXPECT_EQ(page->getDefaultPreview().getImage().getWidth(), 80);
    EXPECT_EQ(page->getCurrentPreview().getImage().getWidth(), 120);
    EXPECT_EQ(editor.defaultSkin, "") << "the editor's own names are not echoed back";

    editor.addAndMakeVisible(*page);
    page->setBounds(0, 0, 780, 400);

    // The user picks "Compact" as the current skin.
    click(page->getCurrentChoice().getButton());
    clickMenuRow(editor, 0);
    EXPECT_EQ(editor.currentSkin, "Compact");
    EXPECT_EQ(page->getCurrentPreview().getImage().getWidth(), 80);
    EXPECT_EQ(editor.defaultSkin, "") << "the other list is left alone";

    // Both panels share the page's width.
    EXPECT_EQ(page->getCurrentPanel().getX(), page->getWidth() / 2 + 3);
    EXPECT_EQ(page->getDefaultPanel().getWidth(), page->getWidth() / 2 - 3);
    page->removeListener(&editor);
}
} // namespace
