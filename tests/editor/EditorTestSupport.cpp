#include "EditorTestSupport.h"

#include "core/XmlHelpers.h"

#include <cstdlib>

namespace EditorTest
{
void Fixture::SetUp()
{
    juce::LookAndFeel::setDefaultLookAndFeel(&laf);
    juce::Typeface::clearTypefaceCache();
}

void Fixture::TearDown()
{
    TestHelpers::pumpMessages();
    juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
    juce::Typeface::clearTypefaceCache();
}

// The plug-in's user folder follows XDG_CONFIG_HOME, JUCE's ~/.config HOME:
// both move, to the same place.
ScopedUserFolder::ScopedUserFolder()
    : previous(juce::SystemStats::getEnvironmentVariable("HOME", {})),
      previousConfig(juce::SystemStats::getEnvironmentVariable("XDG_CONFIG_HOME", {}))
{
    setenv("HOME", temp.get().getFullPathName().toRawUTF8(), 1);
    setenv("XDG_CONFIG_HOME", temp.get().getChildFile(".config").getFullPathName().toRawUTF8(), 1);
}

ScopedUserFolder::~ScopedUserFolder()
{
    setenv("HOME", previous.toRawUTF8(), 1);
    setenv("XDG_CONFIG_HOME", previousConfig.toRawUTF8(), 1);
}

juce::File ScopedUserFolder::getPluginFolder() const
{
    return juce::File::getSpecialLocation(juce::File::userApplicationDataDirectory).getChildFile("Orv Group/Tavinor");
}

std::unique_ptr<Tavinor> makeProcessor()
{
    // The plug-in factory always makes the product processor.
    return std::unique_ptr<Tavinor>(static_cast<Tavinor*>(createPluginFilter()));
}

std::unique_ptr<Tavinor> makeProcessorWithInstalledVersion(const juce::String& version)
{
    const auto folder = juce::File::getSpecialLocation(juce::File::userApplicationDataDirectory)
                            .getChildFile("Orv Group/Tavinor");
    if (version.isNotEmpty())
    {
        // The version is believed only from a user who has presets.
        const auto own = folder.getChildFile("Presets/Mine/My Echo.tnprst");
        own.create();
        own.replaceWithText("<Preset/>");
        juce::XmlElement settings("UserSettings");
        settings.setAttribute("application", "Tavinor");
        settings.createNewChildElement("Presets")->createNewChildElement("Installed")->setAttribute("version", version);
        writeXmlFile(settings, folder.getChildFile("Tavinor.ini"));
    }
    return makeProcessor();
}

void mouseEventAt(juce::Component& c, juce::Point<int> at, MouseKind kind, juce::ModifierKeys mods, int clicks)
{
    auto source = juce::Desktop::getInstance().getMainMouseSource();
    const auto pos = at.toFloat();
    const auto time = juce::Time::getCurrentTime();
    if (kind == up || kind == move)
        mods = mods.withoutMouseButtons();
    const juce::MouseEvent e(source, pos, mods, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, &c, &c, time, pos, time, clicks, false);
    switch (kind)
    {
        case down: c.mouseDown(e); break;
        case drag: c.mouseDrag(e); break;
        case up: c.mouseUp(e); break;
        case move: c.mouseMove(e); break;
    }
}

void click(juce::Component& c, juce::Point<int> at)
{
    mouseEventAt(c, at, down);
    mouseEventAt(c, at, up);
}

void click(juce::Component& c)
{
    click(c, c.getLocalBounds().getCentre());
}

OnScreen::OnScreen(juce::Component& w) : window(w)
{
    window.addToDesktop(0);
    window.setVisible(true);
    TestHelpers::pumpMessages();
}

OnScreen::~OnScreen()
{
    juce::ModifierKeys::currentModifiers = {};
    window.removeFromDesktop();
}

void OnScreen::press(int keyCode)
{
    window.getPeer()->handleKeyPress(juce::KeyPress(keyCode));
    TestHelpers::pumpMessages();
}

void OnScreen::mouse(juce::Point<int> at, bool buttonDown, const juce::MouseWheelDetails* wheel, juce::ModifierKeys mods)
{
    // JUCE asks the display where the pointer is too (a held button's repeat
    // does): it goes there first, and what the display says of it is heard.
    juce::Desktop::setMousePosition(window.localPointToGlobal(at));
    TestHelpers::pumpMessages();
    const auto type = juce::MouseInputSource::InputSourceType::mouse;
    const auto time = juce::Time::currentTimeMillis();
    juce::ModifierKeys::currentModifiers = mods.withFlags(buttonDown ? juce::ModifierKeys::leftButtonModifier : 0);
    window.getPeer()->handleMouseEvent(type, at.toFloat(), juce::ModifierKeys::currentModifiers,
                                       juce::MouseInputSource::defaultPressure,
                                       juce::MouseInputSource::defaultOrientation, time);
    if (wheel != nullptr)
        window.getPeer()->handleMouseWheel(type, at.toFloat(), time, *wheel);
    TestHelpers::pumpMessages();
}

juce::File writeScreenshot(juce::Component& c, const juce::String& name)
{
    const auto folderName = juce::SystemStats::getEnvironmentVariable("TAVINOR_SCREENSHOT_DIR", {});
    if (!juce::File::isAbsolutePath(folderName))
        return {};
    const juce::File folder(folderName);
    folder.createDirectory();
    const auto file = folder.getChildFile(name + ".png");
    const auto image = c.createComponentSnapshot(c.getLocalBounds(), true, 1.0f);
    file.deleteFile();
    juce::FileOutputStream out(file);
    juce::PNGImageFormat().writeImageToStream(image, out);
    return file;
}

} // namespace EditorTest
