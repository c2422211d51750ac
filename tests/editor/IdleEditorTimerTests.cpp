// The editor root lives as long as its instance; while no editor shows it,
// none of its widgets' timers runs, so an idle instance wakes no thread. In
// a window they run as before.

#include "EditorTestSupport.h"

#include "core/PluginGuiRoot.h"

#include <juce_audio_utils/juce_audio_utils.h>

namespace
{
using namespace EditorTest;

// The running timers in a component tree, by the kind of component; JUCE's
// keyboard keeps its timer in a private base, reached by the C-style cast.
juce::StringArray runningTimers(juce::Component& c)
{
    juce::StringArray running;
    auto* timer = dynamic_cast<juce::Timer*>(&c);
    if (auto* keyboard = dynamic_cast<juce::MidiKeyboardComponent*>(&c))
        timer = (juce::Timer*) keyboard;
    if (timer != nullptr && timer->isTimerRunning())
        running.add(typeid(c).name());
    for (auto* child : c.getChildren())
        running.addArray(runningTimers(*child));
    return running;
}

int keyboardsIn(juce::Component& c)
{
    int count = dynamic_cast<juce::MidiKeyboardComponent*>(&c) != nullptr ? 1 : 0;
    for (auto* child : c.getChildren())
        count += keyboardsIn(*child);
    return count;
}

class IdleEditor : public Fixture
{
protected:
    ScopedUserFolder user;
};
} // namespace

TEST_F(IdleEditor, NoTimerRunsUntilAnEditorShowsTheRoot)
{
    auto processor = makeProcessor();
    auto* root = processor->getGuiRoot();
    ASSERT_NE(root, nullptr);
    ASSERT_GT(keyboardsIn(*root), 0) << "the options pages hold note keyboards";
    EXPECT_TRUE(runningTimers(*root).isEmpty()) << runningTimers(*root).joinIntoString(", ");

    if (! TestHelpers::prepareScreenForWindows())
        GTEST_SKIP() << "the rest needs a display (run under xvfb-run)";
    for (int round = 0; round < 2; ++round)
    {
        std::unique_ptr<juce::AudioProcessorEditor> editor(processor->createEditor());
        ASSERT_NE(editor, nullptr);
        editor->addToDesktop(0);
        editor->setVisible(true);
        // The root's 25 ms timer and every keyboard's own.
        const auto running = runningTimers(*root);
        EXPECT_TRUE(root->isTimerRunning());
        EXPECT_GE(running.size(), 1 + keyboardsIn(*root)) << running.joinIntoString(", ");
        editor.reset();
        TestHelpers::pumpMessages();
        EXPECT_TRUE(runningTimers(*root).isEmpty()) << runningTimers(*root).joinIntoString(", ");
    }
}
