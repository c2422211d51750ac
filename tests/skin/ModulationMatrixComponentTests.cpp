#include "SkinPictures.h"
#include "SkinTestSupport.h"
#include "skin/ModulationMatrixComponent.h"
#include "toolkit/ModalComponent.h"

namespace
{
using MatrixRow = ModulationMatrixModel::Row;

// The editor stands behind every menu: the panel is shown inside it.
class EditorDesktop : public juce::Component, public ModalComponent::Desktop
{
public:
    juce::Rectangle<int> getDesktopArea() override { return getLocalBounds(); }
};

struct ModelLog : ModulationMatrixModel::Listener
{
    static juce::String text(const MatrixRow& r)
    {
        return juce::String(r.source) + "," + juce::String(r.target) + "," + juce::String(r.amount, 2);
    }
    void rowAdded(ModulationMatrixModel*, const MatrixRow& row) override { log.add("added " + text(row)); }
    void rowRemoved(ModulationMatrixModel*, const MatrixRow& row) override { log.add("removed " + text(row)); }
    void rowChanged(ModulationMatrixModel*, const MatrixRow& from, const MatrixRow& to) override
    {
        log.add("changed " + text(from) + " to " + text(to));
    }
    juce::String take()
    {
        const auto all = log.joinIntoString("|");
        log.clear();
        return all;
    }
    juce::StringArray log;
};

class ModulationMatrixTest : public SkinFixture
{
protected:
    void SetUp() override
    {
        SkinFixture::SetUp();
        panel = loadPanel(R"(<ModulationMatrix name="matrix"><size width="640" height="260"/>
                                <pos left="10" top="10"/></ModulationMatrix>)",
                          R"(<size width="660" height="280"/>)");
        ASSERT_NE(panel, nullptr);
        desktop.setSize(660, 280);
        desktop.addAndMakeVisible(*panel);
        matrix = find<ModulationMatrixComponent>(*panel, "matrix");
        ASSERT_NE(matrix, nullptr);
        // Clicks travel as the window system delivers them, so that a row hears
        // the presses on its boxes and slider.
        if (! TestHelpers::prepareScreenForWindows())
            GTEST_SKIP() << "needs a display (run under xvfb-run)";
        desktop.addToDesktop(0);
        desktop.setVisible(true);
    }

    void click(juce::Component& c, juce::Point<int> at)
    {
        auto* peer = desktop.getPeer();
        ASSERT_NE(peer, nullptr);
        const auto p = desktop.getLocalPoint(&c, at).toFloat();
        for (const bool down : { true, false })
            peer->handleMouseEvent(juce::MouseInputSource::InputSourceType::mouse, p,
                                   down ? juce::ModifierKeys(juce::ModifierKeys::leftButtonModifier)
                                        : juce::ModifierKeys(),
                                   juce::MouseInputSource::defaultPressure, juce::MouseInputSource::defaultOrientation,
                                   juce::Time::currentTimeMillis());
    }

    void TearDown() override
    {
        juce::ModifierKeys::currentModifiers = {};
        panel.reset();
        SkinFixture::TearDown();
    }

    // A click on a tool-bar button, with or without the command key held.
    void clickTool(int index, bool command = false)
    {
        juce::ModifierKeys::currentModifiers = command ? juce::ModifierKeys(juce::ModifierKeys::commandModifier)
                                                       : juce::ModifierKeys();
        matrix->getToolbarButton(index).triggerClick();
        TestHelpers::pumpMessages();
        juce::ModifierKeys::currentModifiers = {};
    }

    // Opens a box's menu with a click and picks the item at that row.
    void choose(ComboBoxEx& box, int itemIndex)
    {
        click(box, { 10, 10 });
        PopupMenuEx::PopupMenuComponent* shown = nullptr;
        for (auto* cover : desktop.getChildren())
            for (auto* child : cover->getChildren())
                if (auto* c = dynamic_cast<PopupMenuEx::PopupMenuComponent*>(child))
                    shown = c;
        ASSERT_NE(shown, nullptr) << "the menu opens";
        auto& window = *shown->getWindow(0);
        const auto at = window.getRowBounds(itemIndex).getCentre();
        click(window, at);
        TestHelpers::pumpMessages();
    }

    juce::String shownRows() const
    {
        juce::StringArray texts;
        for (int i = 0; i < matrix->getNumRows(); ++i)
        {
            auto* row = matrix->getRow(i);
            texts.add(ModelLog::text(row->getValues()) + (row->isSelected() ? "*" : ""));
        }
        return texts.joinIntoString(" ");
    }

    EditorDesktop desktop;
    std::unique_ptr<GFXPanel> panel;
    ModulationMatrixComponent* matrix = nullptr;
};
} // namespace

TEST_F(ModulationMatrixTest, TheSkinGivesSizeAndPlace)
{
    EXPECT_EQ(matrix->getBounds(), juce::Rectangle<int>(10, 10, 640, 260));
    EXPECT_EQ(matrix->getTable().getBounds(), juce::Rectangle<int>(8, 4 + 24 + 3, 624, 260 - 8 - 31));
    EXPECT_EQ(matrix->getToolbar().getBounds(), juce::Rectangle<int>(5, 4, 4 * 24, 24));

    SkinPackageLoader loader(host, {});
    for (const char* xml : { R"(<ModulationMatrix><pos left="3" top="4"/></ModulationMatrix>)",
                             R"(<Matrix><size width="50" height="60"/></Matrix>)" })
    {
        ModulationMatrixComponent other("other");
        other.setSize(10, 10);
        other.loadFromSkin(*juce::parseXML(xml), loader);
        EXPECT_EQ(other.getWidth(), 400) << xml;
        EXPECT_EQ(other.getHeight(), 200) << xml;
    }

    const std::pair<float, const char*> amounts[] = { { 0.25f, "+0.2500" }, { -0.5f, "-0.5000" }, { 0.0f, "0.0000" },
                                                      { 1.0f, "+1.0000" } };
    for (const auto& [amount, text] : amounts)
        EXPECT_EQ(ModulationMatrixComponent::formatAmount(amount), text);
}

TEST_F(ModulationMatrixTest, TheToolbarEditsTheTableAlone)
{
    for (int i = 0; i < 3; ++i)
        clickTool(0);
    EXPECT_EQ(shownRows(), "-1,-1,0.00 -1,-1,0.00 -1,-1,0.00");
    EXPECT_EQ(matrix->getRow(2)->getBounds(), juce::Rectangle<int>(0, 74, matrix->getRow(2)->getWidth(), 37));
    EXPECT_EQ(matrix->getRow(0)->getAmountText().getText(), "0.0000");

    clickTool(1);
    EXPECT_EQ(matrix->getNumRows(), 3) << "nothing is selected, nothing is deleted";

    // A press on any part of a row selects it.
    click(matrix->getRow(2)->getAmountText(), { 5, 5 });
    EXPECT_EQ(matrix->getSelectedRow(), 2);
    auto& slider = matrix->getRow(1)->getAmountSlider();
    click(slider, { slider.getWidth() / 2, 15 });
    EXPECT_EQ(matrix->getSelectedRow(), 1);
    click(*matrix->getRow(2), { 100, 33 });
    EXPECT_EQ(matrix->getSelectedRow(), 2);
    clickTool(1);
    EXPECT_EQ(matrix->getNumRows(), 2);
    EXPECT_EQ(matrix->getSelectedRow(), 1) << "the selection moves to the new last row";

    // Rows to tell apart.
    matrix->getRow(0)->getAmountSlider().setValue(0.5, juce::sendNotificationSync);
    matrix->getRow(1)->getAmountSlider().setValue(-0.25, juce::sendNotificationSync);
    clickTool(0);
    EXPECT_EQ(matrix->getRow(0)->getAmountText().getText(), "+0.5000");

    click(*matrix->getRow(0), { 100, 33 });
    clickTool(2);
    EXPECT_EQ(matrix->getSelectedRow(), 0) << "without the command key on the first row, nothing moves";
    clickTool(3);
    clickTool(3);
    EXPECT_EQ(shownRows(), "-1,-1,0.50 -1,-1,-0.25 -1,-1,0.00*") << "only the selection moves";
    clickTool(3);
    EXPECT_EQ(matrix->getSelectedRow(), 2) << "not past the last row";

    clickTool(2, true);
    EXPECT_EQ(shownRows(), "-1,-1,0.50 -1,-1,0.00* -1,-1,-0.25");
    EXPECT_EQ(matrix->getRow(1)->getY(), 37);
    EXPECT_EQ(matrix->getRow(1)->getIndex(), 1);

    // A press on the component's own background clears the selection.
    click(*matrix, { 300, 15 });
    EXPECT_EQ(matrix->getSelectedRow(), -1);
    EXPECT_EQ(shownRows(), "-1,-1,0.50 -1,-1,0.00 -1,-1,-0.25");
}

TEST_F(ModulationMatrixTest, AnAttachedModelFollowsEveryEditOnce)
{
    ModulationMatrixModel model;
    model.addRow({ 1, 0, 0.25f }, -1, false);
    model.addRow({ 12 - 12, 2, -1.0f }, -1, false);
    ModelLog log;
    model.addListener(&log);

    PopupMenuEx destinations("destinations");
    for (const char* name : { "Delay time", "Cutoff", "Tremolo" })
        destinations.addItem(destinations.getNumItems(), name, false, true);
    for (int source = 0; source <= ModulationMatrixModel::numSources; ++source)
        matrix->setDestinationMenu(source, destinations);

    matrix->setModel(&model);
    EXPECT_EQ(shownRows(), "1,0,0.25 0,2,-1.00");
    EXPECT_EQ(matrix->getRow(0)->getSourceBox().getText(), "Expression");
    EXPECT_EQ(matrix->getRow(0)->getDestinationBox().getText(), "Delay time");
    EXPECT_EQ(matrix->getRow(1)->getAmountText().getText(), "-1.0000");

    // A user's choice in a menu goes to the model once, with all three values.
    choose(matrix->getRow(0)->getSourceBox(), 5);
    EXPECT_EQ(log.take(), "changed 1,0,0.25 to 5,0,0.25");
    EXPECT_EQ(matrix->getRow(0)->getSourceBox().getText(), "Channel Pressure");
    choose(matrix->getRow(0)->getDestinationBox(), 2);
    EXPECT_EQ(log.take(), "changed 5,0,0.25 to 5,2,0.25");
    choose(matrix->getRow(0)->getDestinationBox(), 2);
    EXPECT_EQ(log.take(), "") << "the same choice again changes nothing";

    // A click on the amount slider's middle sets the amount to 0 and selects the row.
    auto& slider = matrix->getRow(1)->getAmountSlider();
    click(slider, { slider.getWidth() / 2, 15 });
    EXPECT_EQ(log.take(), "changed 0,2,-1.00 to 0,2,0.00");
    EXPECT_EQ(matrix->getRow(1)->getAmountText().getText(), "0.0000");

    clickTool(0);
    EXPECT_EQ(log.take(), "added -1,-1,0.00");
    clickTool(2, true);
    EXPECT_EQ(log.take(), "") << "moves are silent";
    EXPECT_EQ(shownRows(), "0,2,0.00* 5,2,0.25 -1,-1,0.00") << "the selected row went up";
    EXPECT_EQ(ModelLog::text(model.getRow(0)), "0,2,0.00");
    clickTool(1);
    EXPECT_EQ(log.take(), "removed 0,2,0.00");
    EXPECT_EQ(model.getNumRows(), 2);
    EXPECT_EQ(shownRows(), "5,2,0.25* -1,-1,0.00");

    // The model's live source values reach the sliders of rows on that source.
    model.setSourceValue(5, 0.75f);
    model.setSourceValue(0, -0.5f);
    TestHelpers::pumpMessages();
    EXPECT_EQ(matrix->getRow(0)->getAmountSlider().getModulationValue(), 0.75f);
    EXPECT_EQ(matrix->getRow(1)->getAmountSlider().getModulationValue(), 0.0f) << "a row without a source";

    // A whole new row list rebuilds the table and clears the selection.
    ASSERT_TRUE(model.setRows({ MatrixRow { 8, 1, 1.0f } }));
    TestHelpers::pumpMessages();
    EXPECT_EQ(shownRows(), "8,1,1.00");
    EXPECT_EQ(matrix->getSelectedRow(), -1);

    matrix->setModel(nullptr);
    EXPECT_EQ(matrix->getNumRows(), 0);
    clickTool(0);
    EXPECT_EQ(log.take(), "") << "a detached model hears nothing";
    model.removeListener(&log);
}

TEST_F(ModulationMatrixTest, DrawsItsTable)
{
    ModulationMatrixModel model;
    model.addRow({ 0, 0, 0.25f }, -1, false);
    model.addRow({ 2, 1, -0.5f }, -1, false);
    model.addRow({ 3, 2, 0.8f }, -1, false);
    model.addRow({}, -1, false);
    PopupMenuEx destinations("destinations");
    for (const char* name : { "Line 1 time", "Line 2 cutoff", "Line 3 tremolo" })
        destinations.addItem(destinations.getNumItems(), name, false, true);
    for (int source = 0; source < ModulationMatrixModel::numSources; ++source)
        matrix->setDestinationMenu(source, destinations);
    matrix->setModel(&model);
    model.setSourceValue(0, 0.6f);
    model.setSourceValue(3, -0.7f);
    TestHelpers::pumpMessages();
    click(*matrix->getRow(1), { 100, 33 });

    const auto picture = SkinPictures::draw(*matrix);
    EXPECT_GT(SkinPictures::countColours(picture), 20);
    EXPECT_EQ(picture.getPixelAt(40, 40).getARGB(), 0xFF5B5B5Bu) << "the header";
    SkinPictures::keep(SkinPictures::draw(desktop), "skin-modulation-matrix");
    matrix->setModel(nullptr);
}
