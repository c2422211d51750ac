#include "SkinTestSupport.h"
#include "core/BoolParameter.h"
#include "core/FloatParameter.h"
#include "core/IntParameter.h"
#include "core/StringParameter.h"

TestSkinHost::TestSkinHost()
{
    parameters.addParameter(std::make_unique<FloatParameter>(1, "Gain", 0.0f, 1.0f, 0.0f));
    parameters.addParameter(std::make_unique<FloatParameter>(2, "Mix", 0.0f, 1.0f, 0.0f));
    parameters.addParameter(std::make_unique<FloatParameter>(3, "Level", -50.0f, 50.0f, 0.0f));
    parameters.addParameter(std::make_unique<IntParameter>(4, "Mode", 0, 2, 0));
    parameters.addParameter(std::make_unique<BoolParameter>(5, "Bypass", "false"));
    parameters.addParameter(std::make_unique<IntParameter>(6, "Note", 0, 127, 60));
    parameters.addParameter(std::make_unique<StringParameter>(7, "Title", ""));

    const std::pair<const char*, int> eventList[] = {
        { "Toggle Midi Learn", 1010 }, { "Less", 20 },  { "More", 21 },      { "Less Ctrl", 22 },
        { "More Ctrl", 23 },           { "Click", 30 }, { "Ctrl Click", 31 }, { "Right Click", 32 },
        { "Shift Click", 33 },
    };
    for (const auto& [name, uid] : eventList)
        events.addEvent(name, uid);
}

juce::File TestSkinHost::getSkinPackageFile(const juce::String& skinName) const
{
    return skinsFolder.getChild(skinName).withFileExtension(".orvskin");
}

std::unique_ptr<juce::MemoryBlock> TestSkinHost::loadBuiltInSkinResource(const juce::String& name) const
{
    ++reads[name];
    const auto found = builtIn.find(name);
    return found == builtIn.end() ? nullptr : std::make_unique<juce::MemoryBlock>(found->second);
}

namespace SkinTest
{
juce::MemoryBlock makeStripPng(int width, int height, int frames)
{
    juce::Image image(juce::Image::ARGB, width, height, true);
    juce::Graphics g(image);
    const int frameHeight = height / juce::jmax(1, frames);
    for (int k = 0; k < frames; ++k)
    {
        g.setColour(juce::Colour::greyLevel((float) (k + 1) / (float) (frames + 1)));
        g.fillRect(0, k * frameHeight, width, frameHeight);
    }
    juce::MemoryOutputStream out;
    juce::PNGImageFormat().writeImageToStream(image, out);
    return out.getMemoryBlock();
}

juce::MemoryBlock makeZip(const std::map<juce::String, juce::MemoryBlock>& entries)
{
    juce::ZipFile::Builder builder;
    static const char nothing = 0;
    for (const auto& [name, data] : entries)
    {
        // An empty entry reads from a real address: copying a null block is undefined.
        auto* stream = data.isEmpty() ? new juce::MemoryInputStream(&nothing, 0, false)
                                      : new juce::MemoryInputStream(data, true);
        builder.addEntry(stream, 9, name, juce::Time::getCurrentTime());
    }
    juce::MemoryOutputStream out;
    builder.writeToStream(out, nullptr);
    return out.getMemoryBlock();
}

juce::MemoryBlock toBlock(const juce::String& text)
{
    return juce::MemoryBlock(text.toRawUTF8(), text.getNumBytesAsUTF8());
}

juce::String skinXml(const juce::String& controls, const juce::String& panelExtras)
{
    return "<PluginEditor application=\"Tavinor\"><Panel name=\"MainPanel\">" + panelExtras + "<controls>"
         + controls + "</controls></Panel></PluginEditor>";
}
} // namespace SkinTest

void SkinFixture::SetUp()
{
    juce::LookAndFeel::setDefaultLookAndFeel(&laf);
}

void SkinFixture::TearDown()
{
    juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
}

std::unique_ptr<GFXPanel> SkinFixture::loadPanel(const juce::String& controls, const juce::String& panelExtras)
{
    host.builtIn["skin.xml"] = SkinTest::toBlock(SkinTest::skinXml(controls, panelExtras));
    SkinPackageLoader loader(host, {});
    auto panel = loader.loadSkin();
    auto* gfx = dynamic_cast<GFXPanel*>(panel.get());
    if (gfx != nullptr)
        panel.release();
    return std::unique_ptr<GFXPanel>(gfx);
}

juce::MouseEvent SkinFixture::makeEvent(juce::Component& c, juce::Point<int> at, juce::ModifierKeys mods,
                                        bool dragged)
{
    const auto time = juce::Time::getCurrentTime();
    return juce::MouseEvent(juce::Desktop::getInstance().getMainMouseSource(), at.toFloat(), mods, 0.0f, 0.0f, 0.0f,
                            0.0f, 0.0f, &c, &c, time, downAt.toFloat(), time, 1, dragged);
}

void SkinFixture::mouseDown(juce::Component& c, juce::Point<int> at, juce::ModifierKeys mods)
{
    downAt = at;
    downMods = mods;
    c.mouseDown(makeEvent(c, at, mods, false));
}

void SkinFixture::mouseDrag(juce::Component& c, juce::Point<int> at)
{
    c.mouseDrag(makeEvent(c, at, downMods, true));
}

void SkinFixture::mouseUp(juce::Component& c, juce::Point<int> at)
{
    // A mouse-up carries the buttons as they were just before the release.
    c.mouseUp(makeEvent(c, at, downMods, true));
}

void SkinFixture::dragBy(juce::Component& c, juce::Point<int> from, int dy)
{
    mouseDown(c, from);
    mouseDrag(c, from.translated(0, dy));
    mouseUp(c, from.translated(0, dy));
}
