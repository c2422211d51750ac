#include "ToolkitTestSupport.h"
#include "toolkit/AlertWindow.h"

#include <memory>
#include <vector>

namespace
{
using Factory = Orv::AlertWindow* (*) (const juce::String&, const juce::String&, Orv::AlertWindow::Caller*);

struct Answers : Orv::AlertWindow::Caller
{
    void alertWindowClosed(Orv::AlertWindow* alert, int result) override
    {
        results.push_back(result);
        firstValue = alert->getValue(0);
        pastTheEnd = alert->getValue(1);
    }
    std::vector<int> results;
    juce::var firstValue, pastTheEnd;
};

struct FactoryCase
{
    const char* name;
    Factory create;
    juce::StringArray texts;
    std::vector<int> codes;
    // The index of the button Return presses (drawn as the default), -1
    // for none; Escape's answer, -1 when it closes the alert telling nobody.
    int onReturn, onEscape;
};

// Every Yes here replaces or deletes a file: Return says No or Cancel.
const FactoryCase factoryCases[] = {
    { "OK", Orv::AlertWindow::createOk, { "OK" }, { 3 }, 0, 3 },
    { "Yes/No", Orv::AlertWindow::createYesNo, { "Yes", "No" }, { 2, 1 }, 1, 1 },
    { "Yes/Cancel", Orv::AlertWindow::createYesCancel, { "Yes", "Cancel" }, { 2, 0 }, 1, 0 },
    { "Save/Overwrite/Discard", Orv::AlertWindow::createSaveOverwriteDiscard, { "Save as", "Overwrite", "Discard" },
      { 5, 4, 6 }, 0, -1 },
    { "Replace/Cancel", Orv::AlertWindow::createReplaceCancel, { "Replace", "Cancel" }, { 7, 0 }, 1, 0 },
};

// Whether the button is drawn with the accent ring of a default button.
bool hasAccentRing(juce::Button& button)
{
    const auto image = button.createComponentSnapshot(button.getLocalBounds());
    return image.getPixelAt(button.getWidth() / 2, 1) == juce::Colour(DefaultLookAndFeel::accentArgb);
}
} // namespace

class AlertWindowTest : public ToolkitTest
{
protected:
    void SetUp() override
    {
        ToolkitTest::SetUp();
        page.setSize(800, 600);
    }

    std::unique_ptr<Orv::AlertWindow> open(Factory create, Orv::AlertWindow::Caller* caller,
                                           const juce::String& message = "Do you want to overwrite preset 'Echo' ?")
    {
        std::unique_ptr<Orv::AlertWindow> alert(create("Presets", message, caller));
        page.addChildComponent(*alert);
        alert->show();
        return alert;
    }

    TestDesktop page;
};

TEST_F(AlertWindowTest, EachButtonReturnAndEscapeAnswerTheirCodes)
{
    for (const auto& c : factoryCases)
    {
        for (int i = 0; i < c.texts.size(); ++i)
        {
            Answers answers;
            auto alert = open(c.create, &answers);
            alert->addValue("Echo");
            ASSERT_EQ(alert->getNumButtons(), c.texts.size()) << c.name;
            EXPECT_EQ(alert->getButton(i)->getButtonText(), c.texts[i]) << c.name;
            EXPECT_EQ(hasAccentRing(*alert->getButton(i)), i == c.onReturn) << c.name << " " << c.texts[i];
            EXPECT_TRUE(alert->getCoveringWindow().isVisible());
            click(*alert->getButton(i), { 3, 3 });
            EXPECT_FALSE(alert->isVisible()) << c.name;
            EXPECT_FALSE(alert->getCoveringWindow().isVisible());
            EXPECT_EQ(answers.results, std::vector<int>({ c.codes[(size_t) i] })) << c.name << " " << c.texts[i];
            EXPECT_EQ(answers.firstValue.toString(), "Echo") << "values travel with the alert";
            EXPECT_TRUE(answers.pastTheEnd.isVoid());
        }

        const int returnCode = c.onReturn < 0 ? -1 : c.codes[(size_t) c.onReturn];
        for (auto [key, expected] : { std::pair { juce::KeyPress::returnKey, returnCode },
                                      std::pair { juce::KeyPress::escapeKey, c.onEscape } })
        {
            Answers answers;
            auto alert = open(c.create, &answers);
            const bool escape = key == juce::KeyPress::escapeKey;
            EXPECT_EQ(alert->keyPressed(juce::KeyPress(key)), escape || expected >= 0) << c.name;
            EXPECT_EQ(alert->isVisible(), !escape && expected < 0) << c.name;
            EXPECT_EQ(answers.results, expected < 0 ? std::vector<int>() : std::vector<int>({ expected })) << c.name;
        }

        // Other keys stay with the host.
        auto alert = open(c.create, nullptr);
        EXPECT_FALSE(alert->keyPressed(juce::KeyPress('s', juce::ModifierKeys::ctrlModifier, 0))) << c.name;
        EXPECT_TRUE(alert->isVisible());
    }
}

TEST_F(AlertWindowTest, TheCloseButtonAndACallerlessAlertTellNobody)
{
    Answers answers;
    auto alert = open(Orv::AlertWindow::createYesNo, &answers);
    click(alert->getCloseButton(), { 5, 5 });
    EXPECT_FALSE(alert->isVisible());
    EXPECT_TRUE(answers.results.empty());

    auto orphan = open(Orv::AlertWindow::createOk, nullptr);
    click(*orphan->getButton(0), { 3, 3 });
    EXPECT_FALSE(orphan->isVisible());
}

TEST_F(AlertWindowTest, SizeFollowsTheMessageWithTheWindowMinimum)
{
    auto small = open(Orv::AlertWindow::createOk, nullptr, "Done.");
    EXPECT_EQ(small->getBounds(), juce::Rectangle<int>(275, 240, 250, 120));

    const juce::String longText = "Changes have been made to current preset. Do you want to save them or discard?";
    auto wide = open(Orv::AlertWindow::createSaveOverwriteDiscard, nullptr, longText);
    const int textWidth = (int) laf.getDefaultFont().getStringWidthFloat(longText);
    EXPECT_EQ(wide->getWidth(), textWidth + 18);
    const auto content = wide->getContentArea();
    const auto row = wide->getButton(0)->getParentComponent()->getBoundsInParent();
    EXPECT_EQ(row.getBottomRight(), content.getBottomRight()) << "buttons right-aligned at the bottom";
    EXPECT_EQ(wide->getButton(0)->getHeight(), 22);
    EXPECT_LT(wide->getButton(0)->getRight(), wide->getButton(1)->getX());
}
