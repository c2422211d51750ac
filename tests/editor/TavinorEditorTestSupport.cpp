#include "TavinorEditorTestSupport.h"

#include "editor/InstallFactoryPresetsWindow.h"

namespace EditorTest
{
void EditorFixture::SetUp()
{
    Fixture::SetUp();
    userFolder = std::make_unique<ScopedUserFolder>();
    processor = makeProcessor();
    ed = dynamic_cast<TavinorEditor*>(processor->getGuiRoot());
    ASSERT_NE(ed, nullptr);
    ed->setVisible(true);
    // A new user's first editor asks to install the factory presets; the
    // tests of the face answer it by closing it.
    if (auto* installer = ed->getInstallerWindow())
        installer->hide();
    settle();
}

void EditorFixture::TearDown()
{
    if (hostWindow != nullptr)
        hostWindow->removeChildComponent(ed);
    hostWindow.reset();
    ed = nullptr;
    processor.reset();
    userFolder.reset();
    Fixture::TearDown();
}

bool EditorFixture::putOnScreen()
{
    if (!TestHelpers::prepareScreenForWindows())
        return false;
    hostWindow = std::make_unique<juce::Component>();
    hostWindow->setSize(ed->getWidth(), ed->getHeight());
    hostWindow->addAndMakeVisible(*ed);
    hostWindow->addToDesktop(0);
    hostWindow->setVisible(true);
    settle();
    return true;
}

void EditorFixture::press(const juce::KeyPress& key)
{
    ASSERT_TRUE(hostWindow != nullptr && hostWindow->getPeer() != nullptr);
    hostWindow->getPeer()->handleKeyPress(key);
    settle();
}

int EditorFixture::stateOf(const juce::String& name)
{
    auto* button = element<GFXMultiStateButton>(name);
    return button != nullptr ? button->getState() : -1;
}

bool EditorFixture::shown(const juce::String& name)
{
    auto* c = ed->findSkinComponent(name, true);
    return c != nullptr && c->isVisible();
}

void EditorFixture::clickElement(const juce::String& name, juce::ModifierKeys mods)
{
    auto* c = ed->findSkinComponent(name, true);
    ASSERT_NE(c, nullptr) << name;
    const auto centre = c->getLocalBounds().getCentre();
    mouseEventAt(*c, centre, down, mods);
    mouseEventAt(*c, centre, up, mods);
    settle();
}

namespace
{
void dragComponent(juce::Component* c, juce::Point<int> from, int dy)
{
    const auto to = from.translated(0, dy);
    auto source = juce::Desktop::getInstance().getMainMouseSource();
    const auto time = juce::Time::getCurrentTime();
    const juce::ModifierKeys mods(juce::ModifierKeys::leftButtonModifier);
    const auto event = [&](juce::Point<int> at, bool dragged) {
        return juce::MouseEvent(source, at.toFloat(), mods, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, c, c, time, from.toFloat(),
                                time, 1, dragged);
    };
    c->mouseDown(event(from, false));
    c->mouseDrag(event(to, true));
    c->mouseUp(event(to, true));
}
} // namespace

void EditorFixture::dragElement(const juce::String& name, int dy)
{
    auto* c = ed->findSkinComponent(name, true);
    ASSERT_NE(c, nullptr) << name;
    dragComponent(c, c->getLocalBounds().getCentre(), dy);
    settle();
}

void EditorFixture::dragAt(juce::Point<int> inEditor, int dy)
{
    auto* c = ed->getComponentAt(inEditor);
    ASSERT_NE(c, nullptr);
    dragComponent(c, c->getLocalPoint(ed, inEditor), dy);
    settle();
}

void EditorFixture::play(int blocks, const std::function<float(int, int)>& signal, juce::MidiBuffer midi)
{
    processor->setRateAndBufferSizeDetails(48000.0, 256);
    processor->prepareToPlay(48000.0, 256);
    juce::AudioBuffer<float> buffer(2, 256);
    for (int block = 0; block < blocks; ++block)
    {
        for (int i = 0; i < 256; ++i)
            for (int ch = 0; ch < 2; ++ch)
                buffer.setSample(ch, i, signal(block, i));
        processor->processBlock(buffer, midi);
        midi.clear();
    }
}

void EditorFixture::set(int id, int value)
{
    parameters().setIntValue(id, value);
    settle();
}
} // namespace EditorTest
