// Every settings page drawn as a musician sees it, in the options window at
// the base editor's size and at the product's, written to PNG when
// TAVINOR_SCREENSHOT_DIR names a folder. The tests check what can be checked
// without eyes: something is drawn, and no control overlaps another or sticks
// out of its page.

#include "PageTestSupport.h"

#include "editor/GUISettingsComponent.h"
#include "editor/HostParametersComponent.h"
#include "editor/MidiControlComponent.h"
#include "editor/OptionsWindow.h"
#include "editor/PresetsSettingsComponent.h"
#include "editor/TavinorProcessingSettingsComponent.h"

namespace
{
using namespace PageTest;

template <typename Type>
Type* get(Tavinor& t, int id)
{
    return dynamic_cast<Type*>(t.getParameterManager().getParameter(id));
}

// The pages as the editor base makes them, in its tab order, with the
// product's parameters bound.
struct Pages
{
    explicit Pages(Tavinor& t)
        : processing(t), presets(t), hostParameters(t),
          midi(t.getMidiControl(), t.getParameterManager(), ".tnccmap", "*.tnccmap")
    {
        processing.setParameters(get<EnumParameter>(t, 99), get<EnumParameter>(t, 100), get<EnumParameter>(t, 110),
                                 get<EnumParameter>(t, 111));
        int ids[] = { 105, 106, 116, 107, 108, 117, 101, 102, 114, 103, 104, 115 };
        processing.setNoteParameters(get<EnumParameter>(t, ids[0]), get<NoteParameter>(t, ids[1]),
                                     get<BoolParameter>(t, ids[2]), get<EnumParameter>(t, ids[3]),
                                     get<NoteParameter>(t, ids[4]), get<BoolParameter>(t, ids[5]),
                                     get<EnumParameter>(t, ids[6]), get<NoteParameter>(t, ids[7]),
                                     get<BoolParameter>(t, ids[8]), get<EnumParameter>(t, ids[9]),
                                     get<NoteParameter>(t, ids[10]), get<BoolParameter>(t, ids[11]));
        processing.setBufferLengthParameters(get<IntParameter>(t, 109), get<IntParameter>(t, 98));
        hostParameters.getList().setMenu(makeParameterMenu(t.getParameterManager()));

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
        // Enough learned controllers to fill more than one column.
        for (int cc = 0; cc < 24; ++cc)
            processor->getMidiControl().assign(
                cc, processor->getParameterManager().getParameter(Tavinor::getLineParameterBase(cc % 4) + 1 + cc / 4),
                true);
    }

    void TearDown() override
    {
        editor.setLookAndFeel(nullptr);
        processor.reset();
        Fixture::TearDown();
    }

    // Draws every tab of the window, checking each page.
    void drawEveryTab(OptionsWindow& window, const juce::String& prefix)
    {
        auto& tabs = window.getTabs();
        for (int i = 0; i < tabs.getNumTabs(); ++i)
        {
            tabs.setCurrentTabIndex(i);
            TestHelpers::pumpMessages();
            const auto name = prefix + "-" + tabs.getTabNames()[i].replaceCharacter(' ', '-').toLowerCase();
            EXPECT_TRUE(drawAndCheck(editor, name)) << name;
            EXPECT_EQ(findOverlaps(*tabs.getTabContentComponent(i), 2).joinIntoString("\n"), "") << name;
        }
    }

    std::unique_ptr<Tavinor> processor;
    Desktop editor;
};

TEST_F(PageScreenshots, OptionsWindowAtTheBaseAndTheProductSizes)
{
    // The base editor's window, and the product's with 16 rows of host slots.
    const struct
    {
        int width, height, rows;
    } sizes[] = { { 800, 600, 10 }, { 1200, 540, 16 } };
    for (const auto& size : sizes)
    {
        Pages pages(*processor);
        editor.addChildComponent(pages.window);
        pages.window.setSize(size.width, size.height);
        pages.hostParameters.setRowsPerColumn(size.rows);
        pages.window.show();
        drawEveryTab(pages.window, "options-" + juce::String(size.width) + "x" + juce::String(size.height));
    }
}

TEST_F(PageScreenshots, GuiPageWithTwoPackages)
{
    TestHelpers::TempFolder skins;
    writeSkinPackage(skins.get(), "Compact", 800, 450, juce::Colours::steelblue);
    writeSkinPackage(skins.get(), "Large", 1200, 700, juce::Colours::darkorange);
    PackageHost host(*processor, skins.get());
    GUISettingsComponent page(host, skins.get(), "Compact", "Large", { { 0, 0, 1920, 1080 }, { 0, 0, 1920, 1040 } });
    OptionsWindow window;
    window.addTab("GUI", &page, 10);
    editor.addChildComponent(window);
    window.setSize(800, 600);
    window.show();
    drawEveryTab(window, "options-800x600");
}

} // namespace
