#include "TestHelpers.h"
#include "ToolkitTestSupport.h"

#include "toolkit/BlinkingComponent.h"
#include "toolkit/ModalTextEditor.h"
#include "toolkit/StatusBar.h"

#include <algorithm>
#include <memory>
#include <utility>

using StatusBarTest = ToolkitTest;

TEST_F(StatusBarTest, PrioritiesDecideWhichMessageStays)
{
    StatusBar bar;
    bar.setSize(300, 40);
    bar.sendLookAndFeelChange();
    EXPECT_EQ(bar.getHeight(), 16);
    EXPECT_EQ(bar.getWidth(), 300);

    bar.showMessage("three", 3, false);
    bar.showMessage("two", 2, false);
    EXPECT_EQ(bar.getText(), "three");
    bar.showMessage("three again", 3, false);
    EXPECT_EQ(bar.getText(), "three again");
    bar.clear(2);
    EXPECT_EQ(bar.getText(), "three again");
    bar.clear(3);
    EXPECT_EQ(bar.getText(), "");
    EXPECT_EQ(bar.getPriority(), 0);

    bar.showMessage("five", 5, false);
    bar.clear(-1);
    EXPECT_EQ(bar.getText(), "");

    // clearFirst lets a low priority replace a high one.
    bar.showPermanentMessage("learn", 7, false);
    bar.showMessage("changed", 6, false);
    EXPECT_EQ(bar.getText(), "learn");
    bar.showMessage("changed", 6, true);
    EXPECT_EQ(bar.getText(), "changed");
    EXPECT_EQ(bar.getPriority(), 6);
}

TEST_F(StatusBarTest, TimedMessagesClearThemselvesAndPermanentOnesStay)
{
    StatusBar bar;
    bar.showMessage("timed", 4, false);
    EXPECT_EQ(bar.getTimeout(), StatusBar::messageTimeoutMs);

    // The same text again changes neither its priority nor its timeout.
    bar.showPermanentMessage("timed", 6, false);
    EXPECT_EQ(bar.getPriority(), 4);
    EXPECT_EQ(bar.getTimeout(), StatusBar::messageTimeoutMs);

    bar.timerCallback();
    EXPECT_EQ(bar.getText(), "");
    EXPECT_EQ(bar.getPriority(), 0);
    EXPECT_EQ(bar.getTimeout(), 0);

    bar.showPermanentMessage("stays", 1, false);
    EXPECT_EQ(bar.getTimeout(), 0);
    EXPECT_EQ(bar.getText(), "stays");
    bar.showMessage("replaces", 1, false);
    EXPECT_EQ(bar.getText(), "replaces");
    EXPECT_EQ(bar.getTimeout(), StatusBar::messageTimeoutMs);
}

namespace
{
struct Recorder : ModalTextEditor::ModalListener
{
    explicit Recorder(juce::StringArray& log, juce::String tag) : log(log), tag(std::move(tag)) {}
    void textChanged(ModalTextEditor*) override { log.add(tag + "changed"); }
    void textCommitted(ModalTextEditor* e) override { log.add(tag + "committed:" + e->getText()); }
    void editCancelled(ModalTextEditor*) override { log.add(tag + "cancelled"); }
    void editFinished(ModalTextEditor*) override { log.add(tag + "finished"); }
    juce::StringArray& log;
    juce::String tag;
};
} // namespace

TEST_F(StatusBarTest, ModalTextEditorCommitsOnReturnAndRestoresOnEscape)
{
    juce::StringArray log;
    Recorder first(log, "a:"), second(log, "b:");
    ModalTextEditor editor("name");
    editor.setSize(200, 20);
    editor.addModalListener(&first);
    editor.addModalListener(&second);
    editor.addModalListener(&second);
    editor.addModalListener(nullptr);
    editor.setText("Init", false);

    // Return with the text unchanged: finished only, last listener first.
    editor.focusGained(juce::Component::focusChangedByMouseClick);
    editor.keyPressed(juce::KeyPress(juce::KeyPress::returnKey));
    TestHelpers::pumpMessages();
    EXPECT_EQ(log, juce::StringArray({ "b:finished", "a:finished" }));

    // Typing and Return commits once.
    log.clear();
    editor.focusGained(juce::Component::focusChangedByMouseClick);
    editor.insertTextAtCaret("Lead");
    editor.keyPressed(juce::KeyPress(juce::KeyPress::returnKey));
    TestHelpers::pumpMessages();
    EXPECT_EQ(editor.getText(), "Lead");
    EXPECT_TRUE(log.contains("b:committed:Lead"));
    EXPECT_EQ(log.indexOf("b:committed:Lead"), log.indexOf("a:committed:Lead") - 1);
    EXPECT_EQ(log[log.size() - 2], "b:finished");

    // Typing and Escape: the old text back, finished then cancelled, no commit.
    log.clear();
    editor.focusGained(juce::Component::focusChangedByMouseClick);
    editor.insertTextAtCaret("Pad");
    TestHelpers::pumpMessages();
    EXPECT_EQ(log, juce::StringArray({ "b:changed", "a:changed" }));
    log.clear();
    editor.keyPressed(juce::KeyPress(juce::KeyPress::escapeKey));
    TestHelpers::pumpMessages();
    EXPECT_EQ(editor.getText(), "Lead");
    EXPECT_EQ(log, juce::StringArray({ "b:finished", "a:finished", "b:cancelled", "a:cancelled" }));

    // Losing the focus after typing commits.
    log.clear();
    editor.focusGained(juce::Component::focusChangedByMouseClick);
    editor.insertTextAtCaret("Bass");
    TestHelpers::pumpMessages();
    log.clear();
    editor.focusLost(juce::Component::focusChangedByMouseClick);
    EXPECT_EQ(log, juce::StringArray({ "b:committed:Bass", "a:committed:Bass", "b:finished", "a:finished" }));
}

namespace
{
struct Blinker : BlinkingComponent
{
    void blinkStateChanged() override { ++calls; }
    int calls = 0;
};
} // namespace

TEST_F(StatusBarTest, BlinkingStartsStopsAndKeepsItsInterval)
{
    Blinker b;
    b.setBlinking(false, 100);
    EXPECT_EQ(b.calls, 0);
    EXPECT_FALSE(b.isBlinking());

    b.startBlinking(0);
    EXPECT_EQ(b.getBlinkInterval(), 150);
    EXPECT_TRUE(b.isBlinking());
    EXPECT_FALSE(b.getBlinkPhase());
    EXPECT_EQ(b.calls, 1);

    b.setBlinking(true, 400);
    EXPECT_EQ(b.getBlinkInterval(), 400);
    EXPECT_EQ(b.calls, 2);

    b.setBlinking(false, 0);
    EXPECT_FALSE(b.isBlinking());
    EXPECT_EQ(b.calls, 3);
    b.setBlinking(false, 0);
    EXPECT_EQ(b.calls, 3);
}

TEST_F(StatusBarTest, ModalTextEditorCommitsOnceThoughAListenerMovesTheFocusAndMayBeDeleted)
{
    juce::StringArray log;
    Recorder recorder(log, "r:");

    // A rename that fails and says so in an alert: the alert takes the focus,
    // which ends the edit again while its commit is still being told.
    struct AlertOnCommit : ModalTextEditor::ModalListener
    {
        void textCommitted(ModalTextEditor* e) override
        {
            if (std::exchange(first, false))
                e->focusLost(juce::Component::focusChangedDirectly);
        }
        bool first = true;
    } alertOnCommit;
    ModalTextEditor editor("name");
    editor.addModalListener(&recorder);
    editor.addModalListener(&alertOnCommit); // told first
    editor.setText("Init", false);
    editor.focusGained(juce::Component::focusChangedByMouseClick);
    editor.insertTextAtCaret("Lead");
    TestHelpers::pumpMessages();
    log.clear();
    editor.keyPressed(juce::KeyPress(juce::KeyPress::returnKey));
    TestHelpers::pumpMessages();
    EXPECT_EQ(std::count(log.begin(), log.end(), juce::String("r:committed:Lead")), 1) << log.joinIntoString(" ");

    // A listener that deletes the editor once the edit is over: nobody is told
    // after it and the editor is left alone.
    struct Closer : ModalTextEditor::ModalListener
    {
        void editFinished(ModalTextEditor*) override { owned.reset(); }
        std::unique_ptr<ModalTextEditor> owned;
    } closer;
    closer.owned = std::make_unique<ModalTextEditor>("rename");
    auto& doomed = *closer.owned;
    doomed.addModalListener(&recorder);
    doomed.addModalListener(&closer); // told first
    doomed.setText("Init", false);
    doomed.focusGained(juce::Component::focusChangedByMouseClick);
    doomed.insertTextAtCaret("Pad");
    TestHelpers::pumpMessages();
    log.clear();
    doomed.keyPressed(juce::KeyPress(juce::KeyPress::escapeKey));
    TestHelpers::pumpMessages();
    EXPECT_EQ(closer.owned, nullptr);
    EXPECT_TRUE(log.isEmpty()) << log.joinIntoString(" ");
}
