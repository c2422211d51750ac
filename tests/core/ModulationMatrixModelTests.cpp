#include <gtest/gtest.h>

#include "TestHelpers.h"
#include "core/ModulationMatrixModel.h"

#include <limits>

namespace
{
using Row = ModulationMatrixModel::Row;

// Writes every notification into a log that several listeners may share, so
// the log also shows who was told first.
struct RecordingListener : ModulationMatrixModel::Listener
{
    RecordingListener(juce::String n, juce::StringArray& sharedLog) : name(std::move(n)), log(sharedLog) {}

    static juce::String text(const Row& r)
    {
        return "{" + juce::String(r.source) + "," + juce::String(r.target) + "," + juce::String(r.amount) + "}";
    }
    void rowAdded(ModulationMatrixModel*, const Row& row) override { log.add(name + "added " + text(row)); }
    void rowRemoved(ModulationMatrixModel*, const Row& row) override { log.add(name + "removed " + text(row)); }
    void rowChanged(ModulationMatrixModel*, const Row& oldRow, const Row& newRow) override
    {
        log.add(name + "changed " + text(oldRow) + " " + text(newRow));
    }

    juce::String name;
    juce::StringArray& log;
};

struct CountingChangeListener : juce::ChangeListener
{
    void changeListenerCallback(juce::ChangeBroadcaster*) override { ++count; }
    int count = 0;
};

juce::String rowsText(const ModulationMatrixModel& model)
{
    juce::StringArray parts;
    for (const auto& row : model.getRows())
        parts.add(RecordingListener::text(row));
    return parts.joinIntoString(" ");
}

void fill(ModulationMatrixModel& model)
{
    model.addRow({ 0, 1, 0.5f }, -1, false);
    model.addRow({ 3, 2, -0.25f }, -1, false);
    model.addRow({ 8, 0, 1.0f }, -1, false);
}
} // namespace

TEST(ModulationMatrixModel, SourceNamesAndOutOfRangeQueries)
{
    const char* const names[] = { "Modulation", "Expression", "Pitch Bend", "Velocity", "Pitch",
                                  "Channel Pressure", "Sustain", "Arpe Gate", "Arpe Tie" };
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(ModulationMatrixModel::getSourceName(i), names[i]);
    EXPECT_EQ(ModulationMatrixModel::getSourceName(9), "");
    EXPECT_EQ(ModulationMatrixModel::getSourceName(-1), "");

    ModulationMatrixModel model;
    model.addRow({ 0, 1, 0.5f }, -1, false);
    model.addRow({ 2, 3, 0.75f }, -1, false);
    for (int index : { -1, 2, 5, std::numeric_limits<int>::min() })
        EXPECT_EQ(model.getRow(index), (Row { -1, -1, 0.0f })) << index;
    EXPECT_EQ(model.getRow(1), (Row { 2, 3, 0.75f }));

    // Source values are announced on the message thread, two writes in one go.
    CountingChangeListener values;
    model.valuesChanged.addChangeListener(&values);
    model.setSourceValue(4, 0.5f);
    model.setSourceValue(8, -0.5f);
    model.setSourceValue(9, 0.7f);
    model.setSourceValue(3, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(values.count, 0);
    TestHelpers::pumpMessages();
    EXPECT_EQ(values.count, 1);
    EXPECT_EQ(model.getSourceValue(4), 0.5f);
    EXPECT_EQ(model.getSourceValue(3), 0.0f);
    EXPECT_EQ(model.getSourceValue(9), 0.0f);
    EXPECT_EQ(model.getSourceValue(-1), 0.0f);
    model.valuesChanged.removeChangeListener(&values);
}

TEST(ModulationMatrixModel, ListenersAreToldOncePerChangeLastAddedFirst)
{
    ModulationMatrixModel model;
    juce::StringArray log;
    RecordingListener first("A:", log), second("B:", log);
    model.addListener(&first);
    model.addListener(&second);
    model.addListener(nullptr);

    auto take = [&log] {
        const auto text = log.joinIntoString("|");
        log.clear();
        return text;
    };

    model.addRow({ 0, 1, 0.5f }, -1, true);
    EXPECT_EQ(take(), "B:added {0,1,0.5}|A:added {0,1,0.5}");
    model.addRow({ 1, 2, 0.25f }, 0, false);
    EXPECT_EQ(take(), "");
    EXPECT_EQ(rowsText(model), "{1,2,0.25} {0,1,0.5}");

    model.setRow(1, { 0, 1, 0.5f });
    EXPECT_EQ(take(), "") << "equal values notify nobody";
    model.setRow(1, { 0, 1, -0.5f });
    EXPECT_EQ(take(), "B:changed {0,1,0.5} {0,1,-0.5}|A:changed {0,1,0.5} {0,1,-0.5}");
    model.setRow(2, { 0, 1, 0.1f });
    EXPECT_EQ(take(), "");

    model.moveRow(0, 1);
    EXPECT_EQ(take(), "") << "moves are silent";
    EXPECT_EQ(rowsText(model), "{0,1,-0.5} {1,2,0.25}");

    model.removeRow(-1);
    model.removeRow(2);
    EXPECT_EQ(take(), "");
    model.removeRow(0);
    EXPECT_EQ(take(), "B:removed {0,1,-0.5}|A:removed {0,1,-0.5}");

    model.removeListener(&second);
    model.addRow({}, -1, true);
    EXPECT_EQ(take(), "A:added {-1,-1,0}");
}

TEST(ModulationMatrixModel, IndicesAndRowsFromOutsideAreCheckedOnTheWayIn)
{
    ModulationMatrixModel model;
    juce::StringArray log;
    RecordingListener listener("", log);
    model.addListener(&listener);
    fill(model);

    // Insertion places outside the list append; moves follow OwnedArray's rules.
    model.addRow({ 1, 1, 0.0f }, 99, false);
    model.addRow({ 2, 2, 0.0f }, -7, false);
    EXPECT_EQ(rowsText(model), "{0,1,0.5} {3,2,-0.25} {8,0,1} {1,1,0} {2,2,0}");
    model.moveRow(-1, 0);
    model.moveRow(5, 0);
    EXPECT_EQ(rowsText(model), "{0,1,0.5} {3,2,-0.25} {8,0,1} {1,1,0} {2,2,0}");
    model.moveRow(0, 99);
    EXPECT_EQ(rowsText(model), "{3,2,-0.25} {8,0,1} {1,1,0} {2,2,0} {0,1,0.5}");

    const Row invalid[] = {
        { 9, 0, 0.0f },  { -2, 0, 0.0f }, { 0, -2, 0.0f }, { 0, 0, 1.5f }, { 0, 0, -1.01f },
        { 0, 0, std::numeric_limits<float>::quiet_NaN() }, { 0, 0, std::numeric_limits<float>::infinity() },
    };
    const auto before = rowsText(model);
    for (const auto& row : invalid)
    {
        EXPECT_FALSE(model.addRow(row, -1, true)) << RecordingListener::text(row);
        EXPECT_FALSE(model.setRow(0, row)) << RecordingListener::text(row);
        EXPECT_FALSE(model.setRows({ Row { 0, 0, 0.0f }, row })) << RecordingListener::text(row);
    }
    EXPECT_EQ(rowsText(model), before);
    EXPECT_TRUE(log.isEmpty());
    model.removeListener(&listener);
}

TEST(ModulationMatrixModel, RowsRoundTripThroughTheirXml)
{
    ModulationMatrixModel model;
    fill(model);
    model.addRow({}, -1, false);
    model.addRow({ 4, 17, 0.123456791f }, -1, false);

    const auto xml = model.createXml();
    EXPECT_EQ(xml->toString(juce::XmlElement::TextFormat().singleLine().withoutHeader()),
              "<ModulationMatrix>"
              "<Row index=\"0\" source=\"0\" target=\"1\" amount=\"0.5\"/>"
              "<Row index=\"1\" source=\"3\" target=\"2\" amount=\"-0.25\"/>"
              "<Row index=\"2\" source=\"8\" target=\"0\" amount=\"1\"/>"
              "<Row index=\"3\" source=\"-1\" target=\"-1\" amount=\"0\"/>"
              "<Row index=\"4\" source=\"4\" target=\"17\" amount=\"0.123456791\"/>"
              "</ModulationMatrix>");

    ModulationMatrixModel copy;
    CountingChangeListener resets;
    copy.rowsReset.addChangeListener(&resets);
    copy.addRow({ 5, 5, 0.5f }, -1, false);
    ASSERT_TRUE(copy.loadFromXml(*xml));
    EXPECT_EQ(copy.getRows(), model.getRows()) << "amounts come back bit for bit";
    TestHelpers::pumpMessages();
    EXPECT_EQ(resets.count, 1);

    // Rows may stand in any order and the tag in any case; other children are skipped.
    const auto shuffled = juce::parseXML(R"(<modulationmatrix>
        <row index="1" source="2" target="0" amount="-1"/><Note/><ROW index="0" source="7" target="3" amount=" 0.75 "/>
        </modulationmatrix>)");
    ASSERT_TRUE(copy.loadFromXml(*shuffled));
    EXPECT_EQ(rowsText(copy), "{7,3,0.75} {2,0,-1}");
    ASSERT_TRUE(copy.loadFromXml(juce::XmlElement("ModulationMatrix")));
    EXPECT_EQ(copy.getNumRows(), 0);
    copy.rowsReset.removeChangeListener(&resets);
}

TEST(ModulationMatrixModel, BrokenDocumentsAreRefusedAndLoseNothing)
{
    const char* const rows[] = {
        R"(<Row index="1" source="1" target="1" amount="0"/>)",             // an index gap
        R"(<Row index="-1" source="1" target="1" amount="0"/>)",            // a negative index
        R"(<Row index="0" source="1" target="1" amount="0"/><Row index="0" source="2" target="1" amount="0"/>)",
        R"(<Row index="99999999999" source="1" target="1" amount="0"/>)",   // beyond int
        R"(<Row source="1" target="1" amount="0"/>)",                       // attributes missing
        R"(<Row index="0" source="1" target="1"/>)",
        R"(<Row index="0" source="abc" target="1" amount="0"/>)",           // not numbers
        R"(<Row index="0" source="1x" target="1" amount="0"/>)",
        R"(<Row index="0" source="1" target="1" amount=""/>)",
        R"(<Row index="0" source="9" target="1" amount="0"/>)",             // values out of range
        R"(<Row index="0" source="-2" target="1" amount="0"/>)",
        R"(<Row index="0" source="1" target="-3" amount="0"/>)",
        R"(<Row index="0" source="1" target="1" amount="1.5"/>)",
        R"(<Row index="0" source="1" target="1" amount="nan"/>)",
    };
    juce::StringArray broken { R"(<Matrix><Row index="0" source="1" target="1" amount="0"/></Matrix>)" };
    for (const char* row : rows)
        broken.add(juce::String("<ModulationMatrix>") + row + "</ModulationMatrix>");

    ModulationMatrixModel model;
    fill(model);
    CountingChangeListener resets;
    model.rowsReset.addChangeListener(&resets);
    const auto before = rowsText(model);
    for (const auto& text : broken)
    {
        const auto xml = juce::parseXML(text);
        ASSERT_NE(xml, nullptr) << text;
        EXPECT_FALSE(model.loadFromXml(*xml)) << text;
        EXPECT_EQ(rowsText(model), before) << text;
    }
    TestHelpers::pumpMessages();
    EXPECT_EQ(resets.count, 0);
    model.rowsReset.removeChangeListener(&resets);
}

