#include "TavinorEditorTestSupport.h"

#include "editor/InstallFactoryPresetsWindow.h"
#include "editor/ModulatorRetriggerSettings.h"
#include "editor/OptionsWindow.h"
#include "editor/TavinorPresetBrowser.h"

using namespace EditorTest;

// The editor in the states a musician meets, written as pictures for people
// to look at (TAVINOR_SCREENSHOT_DIR); each picture must show the skin.
class TavinorEditorLook : public EditorFixture
{
protected:
    void SetUp() override
    {
        EditorFixture::SetUp();
        settle();
    }

    // Some noise through the processor, so that meters and lamps move.
    void playAudio()
    {
        processor->setRateAndBufferSizeDetails(48000.0, 512);
        processor->prepareToPlay(48000.0, 512);
        juce::AudioBuffer<float> buffer(2, 512);
        juce::MidiBuffer midi;
        juce::Random random(7);
        for (int block = 0; block < 40; ++block)
        {
            for (int ch = 0; ch < 2; ++ch)
                for (int i = 0; i < 512; ++i)
                    buffer.setSample(ch, i, (random.nextFloat() * 2.0f - 1.0f) * 0.7f);
            processor->processBlock(buffer, midi);
        }
        editor().visibleTimerCallback();
    }

    // A part of the face at twice its size, for a closer look.
    void detail(const juce::String& name, juce::Rectangle<int> area)
    {
        settle();
        const auto folderName = juce::SystemStats::getEnvironmentVariable("TAVINOR_SCREENSHOT_DIR", {});
        if (!juce::File::isAbsolutePath(folderName))
            return;
        const auto file = juce::File(folderName).getChildFile("editor-detail-" + name + ".png");
        file.deleteFile();
        juce::FileOutputStream out(file);
        juce::PNGImageFormat().writeImageToStream(editor().createComponentSnapshot(area, true, 2.0f), out);
    }

    void picture(const juce::String& name)
    {
        settle();
        const auto image = editor().createComponentSnapshot(editor().getLocalBounds());
        // Not blank: the face has many colours.
        juce::SparseSet<int> colours;
        for (int y = 0; y < image.getHeight(); y += 7)
            for (int x = 0; x < image.getWidth(); x += 7)
                colours.addRange({ (int) (image.getPixelAt(x, y).getARGB() & 0xFFFFFF), (int) (image.getPixelAt(x, y).getARGB() & 0xFFFFFF) + 1 });
        EXPECT_GT(colours.getNumRanges(), 50) << name;
        screenshot("editor-" + name);
    }
};

TEST_F(TavinorEditorLook, EveryStateDrawsTheFace)
{
    picture("default");
    detail("top", { 0, 0, 600, 56 });
    detail("top-right", { 600, 0, 600, 56 });
    detail("lines", { 0, 48, 216, 440 });
    detail("time", { 216, 48, 624, 180 });
    detail("filter", { 216, 220, 624, 140 });
    detail("feedback", { 216, 350, 624, 140 });
    detail("mod1", { 832, 48, 368, 224 });
    detail("output", { 0, 480, 600, 76 });
    detail("output-right", { 600, 480, 600, 76 });
    for (int line = 2; line <= 4; ++line)
    {
        set(Tavinor::kSelectedLine, line);
        picture("line-" + juce::String(line));
    }
    set(Tavinor::kSelectedLine, 1);

    // Free times, then joined synced times.
    set(Tavinor::kDelaySync, 0);
    picture("delay-free");
    set(Tavinor::kDelaySync, 1);
    set(Tavinor::kDelayJoin, 1);
    picture("delay-joined");
    set(Tavinor::kDelayJoin, 0);

    clickElement("PredelayPanelSelectSwitch");
    picture("predelay");
    set(Tavinor::kPreDelaySync, 0);
    picture("predelay-free");
    clickElement("DelayPanelSelectSwitch");

    for (int type = 0; type < 3; ++type)
    {
        set(Tavinor::kMod1First, type);
        set(Tavinor::kMod2First, 2 - type);
        picture("modulators-" + juce::String(type));
    }
    set(Tavinor::kMod1First, 0);
    set(Tavinor::kMod2First, 0);
    set(Tavinor::kMod1First + 5, 1);
    picture("lfo-synced");

    playAudio();
    dragElement("FeedbackKnob", -20);
    picture("playing");
    detail("status", { 0, 480, 600, 76 });

    set(Tavinor::kMod1RetriggerMode, 1);
    clickElement("MOD1RetriggerSettings");
    picture("retrigger-mod1");
    detail("retrigger-mod1", { 832, 48, 368, 224 });
    clickElement("MOD1RetriggerSettings");
    set(Tavinor::kMod2RetriggerMode, 2);
    clickElement("MOD2RetriggerSettings");
    picture("retrigger-mod2");
    detail("retrigger-mod2", { 832, 260, 368, 230 });
    clickElement("MOD2RetriggerSettings");

    clickElement("RoutingSelectSwitch");
    picture("routing-menu");
    editor().getRoutingMenu().dismiss();

    clickElement("OptionsButton");
    picture("options");
    auto& tabs = editor().getOptionsWindow().getTabs();
    for (int i = 1; i < tabs.getNumTabs(); ++i)
    {
        tabs.setCurrentTabIndex(i);
        picture("options-" + tabs.getTabNames()[i].replaceCharacter(' ', '-').toLowerCase());
    }
    editor().getOptionsWindow().hide();

    clickElement("PresetBrowseButton");
    picture("preset-browser");
    editor().getPresetBrowser()->hide();

    clickElement("AboutButton");
    picture("about");
}
