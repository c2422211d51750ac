// Every settings page drawn as a musician sees it, in the options window at
// the base editor's size and at the product's, written to PNG when
// TAVINOR_SCREENSHOT_DIR names a folder. The tests check what can be checked
// without eyes: something is drawn, and no control overlaps another or sticks
// out of its page.

#include "PageTestSupport.h"

#include "core/FloatParameter.h"
#include "editor/GUISettingsComponent.h"
#include "editor/HostParametersComponent.h"
#include "editor/MidiControlComponent.h"
#include "editor/ModulatorRetriggerSettings.h"
#include "editor/OptionsWindow.h"
#include "editor/PresetsSettingsComponent.h"
#include "editor/TavinorProcessingSettingsComponent.h"
#include "toolkit/PopupMenuEx.h"

namespace
{
using namespace PageTest;

// The pages as the editor base makes them, in its tab order, with the
// product's parameters bound.
struct Pages
{
    explicit Pages(Tavinor& t)
        : processing(t), presets(t), hostParameters(t),
          midi(t.getMidiControl(), t.getParameterManager(), ".tnccmap", "*.tnccmap")
    {
        auto& pm = t.getParameterManager();
        const auto param = [&pm](int id) { return pm.getParameter(id); };
        processing.setParameters(dynamic_cast<EnumParameter*>(param(99)), dynamic_cast<EnumParameter*>(param(100)),
                                 dynamic_cast<EnumParameter*>(param(110)), dynamic_cast<EnumParameter*>(param(111)));
        const auto channel = [&](int id) { return dynamic_cast<EnumParameter*>(param(id)); };
        const auto note = [&](int id) { return dynamic_cast<NoteParameter*>(param(id)); };
        const auto learn = [&](int id) { return dynamic_cast<BoolParameter*>(param(id)); };
        processing.setNoteParameters(channel(105), note(106), learn(116), channel(107), note(108), learn(117),
                                     channel(101), note(102), learn(114), channel(103), note(104), learn(115));
        processing.setBufferLengthParameters(dynamic_cast<IntParameter*>(param(109)),
                                             dynamic_cast<IntParameter*>(param(98)));
        hostParameters.setFileExtension("*.tnhpmap");
        hostParameters.getList().setMenu(makeParameterMenu(pm));

        window.setTitle("Options");
        window.addTab("Presets", &presets, -1);
        window.addTab("Parameters", &hostParameters, -1);
        window.addTab("Midi Control", &midi, -1);
        window.addTab("Processing", &processing, 0);
    }

    TavinorProcessingSettingsComponent processing;
    PresetsSettingsComponent presets;
    HostParametersComponent hostParameters;
    MidiControlComponent midi;
    OptionsWindow window;
};

class PageScreenshots : public Fixture
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

    // Draws every tab of the window and checks its page.
    void drawEveryTab(Pages& pages, const juce::String& prefix)
    {
        auto& tabs = pages.window.getTabs();
        for (int i = 0; i < tabs.getNumTabs(); ++i)
        {
            tabs.setCurrentTabIndex(i);
            TestHelpers::pumpMessages();
            auto* page = tabs.getTabContentComponent(i);
            const auto name = prefix + "-" + tabs.getTabNames()[i].replaceCharacter(' ', '-').toLowerCase();
            EXPECT_TRUE(writeScreenshot(editor, name)) << name;
            EXPECT_EQ(findOverlaps(*page, 1).joinIntoString("\n"), "") << name;
        }
    }

    std::unique_ptr<Tavinor> processor;
    EditorStandIn editor { 1280, 720 };
};

TEST_F(PageScreenshots, OptionsWindowAtTheBaseEditorsSize)
{
    Pages pages(*processor);
    // A few assignments, so that the MIDI page shows rows.
    auto& midi = processor->getMidiControl();
    auto& pm = processor->getParameterManager();
    midi.assign(1, pm.getParameter(89), true);
    midi.assign(7, pm.getParameter(91), true);
    midi.assign(74, pm.getParameter(1008), true);
    TestHelpers::pumpMessages();

    editor.addChildComponent(pages.window);
    pages.window.setSize(800, 600);
    pages.window.show();
    drawEveryTab(pages, "options-800x600");
}

TEST_F(PageScreenshots, OptionsWindowAtTheProductsSize)
{
    Pages pages(*processor);
    auto& midi = processor->getMidiControl();
    auto& pm = processor->getParameterManager();
    for (int cc = 0; cc < 40; ++cc)
        midi.assign(cc, pm.getParameter(Tavinor::getLineParameterBase(cc % 4) + 1 + cc / 4), true);
    TestHelpers::pumpMessages();

    editor.addChildComponent(pages.window);
    pages.window.setSize(1200, 540);
    pages.hostParameters.setRowsPerColumn(16);
    pages.window.show();
    drawEveryTab(pages, "options-1200x540");
}

TEST_F(PageScreenshots, RetriggerWindowInEachMode)
{
    auto& pm = processor->getParameterManager();
    ModulatorRetriggerSettings window("MOD 1 Retrigger Settings", dynamic_cast<EnumParameter*>(pm.getParameter(48)),
                                      dynamic_cast<EnumParameter*>(pm.getParameter(101)),
                                      dynamic_cast<NoteParameter*>(pm.getParameter(102)),
                                      dynamic_cast<BoolParameter*>(pm.getParameter(114)),
                                      dynamic_cast<FloatParameter*>(pm.getParameter(49)),
                                      dynamic_cast<FloatParameter*>(pm.getParameter(50)),
                                      dynamic_cast<FloatParameter*>(pm.getParameter(51)));
    // Over a grey editor, as it sits above the skin.
    juce::Component backdrop;
    backdrop.setSize(360, 180);
    backdrop.setOpaque(true);
    backdrop.addAndMakeVisible(window);
    window.setBounds(10, 10, 338, 161);
    window.getThresholdSlider().setLevel(0.4f);

    for (int mode = 0; mode < 3; ++mode)
    {
        pm.setIntValue(48, mode);
        TestHelpers::pumpMessages();
        const auto name = "retrigger-mode-" + juce::String(mode);
        EXPECT_TRUE(writeScreenshot(window, name)) << name;
        EXPECT_EQ(findOverlaps(window, 1).joinIntoString("\n"), "") << name;
    }
}

TEST_F(PageScreenshots, UpdateWindowAndAlerts)
{
    Pages pages(*processor);
    editor.addChildComponent(pages.window);
    pages.window.setSize(800, 600);
    pages.window.show();
    pages.window.getTabs().setCurrentTabIndex(1);
    TestHelpers::pumpMessages();

    auto& update = pages.presets.getUpdateWindow();
    update.start();
    update.waitForThreadToExit(10000);
    update.timerCallback();
    EXPECT_TRUE(writeScreenshot(editor, "update-presets-done"));

    update.hide();
    pages.window.getTabs().setCurrentTabIndex(2);
    AnsweringChooser chooser;
    TestHelpers::TempFolder temp;
    chooser.answer = temp.getChild("Someone else's.tnhpmap");
    chooser.answer.replaceWithText("<HostParametersMap name=\"Other Product\"/>");
    pages.hostParameters.setFileChooserLauncher(&chooser);
    click(pages.hostParameters.getLoadButton());
    EXPECT_TRUE(writeScreenshot(editor, "parameters-map-refused"));
}

TEST_F(PageScreenshots, GuiPageWithTwoPackages)
{
    TestHelpers::TempFolder skins;
    writeSkinPackage(skins.get(), "Compact", 800, 450, juce::Colours::steelblue);
    writeSkinPackage(skins.get(), "Large", 1200, 700, juce::Colours::darkorange);
    PackageHost host(*processor, skins.get());
    GUISettingsComponent page(host, skins.get(), "Compact", "Large",
                              { { 0, 0, 1920, 1080 }, { 0, 0, 1920, 1040 } });
    Pages pages(*processor);
    pages.window.addTab("GUI", &page, 10);
    editor.addChildComponent(pages.window);
    pages.window.setSize(800, 600);
    pages.window.show();
    pages.window.getTabs().setCurrentTabIndex(4);
    TestHelpers::pumpMessages();
    EXPECT_TRUE(writeScreenshot(editor, "options-800x600-gui"));
    EXPECT_EQ(findOverlaps(page, 2).joinIntoString("\n"), "");
}
} // namespace
