#include <gtest/gtest.h>

#include "TestHelpers.h"
#include "core/FloatParameter.h"
#include "core/MidiControl.h"
#include "core/ParameterManager.h"

#include <vector>

namespace
{
struct Events : MidiControl::Listener
{
    void midiControlMapChanged(MidiControl*) override { ++mapChanges; }
    void midiLearnStateChanged(MidiControl*) override { ++learnChanges; }
    void midiValueChanged(MidiControl*) override { ++valueChanges; }
    int mapChanges = 0;
    int learnChanges = 0;
    int valueChanges = 0;
};

struct Fixture : ::testing::Test
{
    Fixture()
    {
        for (auto [id, name, automatable] : { std::tuple { 0, "A", true }, std::tuple { 1, "B", true },
                                              std::tuple { 2, "C", true }, std::tuple { 3, "Fixed", false } })
        {
            auto p = std::make_unique<FloatParameter>(id, name, 0.0f, 1.0f, 0.0f);
            p->setAutomatable(automatable);
            manager.addParameter(std::move(p));
        }
        a = manager.getParameter(0);
        b = manager.getParameter(1);
        c = manager.getParameter(2);
        midi.setMapName("Tavinor");
        midi.addListener(&events);
    }

    ~Fixture() override { midi.removeListener(&events); }

    bool loadXml(const char* xml)
    {
        const auto root = juce::parseXML(juce::String(xml));
        return root != nullptr && midi.loadFromXml(*root);
    }

    std::vector<std::pair<int, juce::String>> table() const
    {
        std::vector<std::pair<int, juce::String>> result;
        MidiControl::Iterator it(midi);
        MidiControl::Assignment assignment;
        while (it.next(assignment))
            result.emplace_back(assignment.controller, assignment.parameter->getName());
        return result;
    }

    using Table = std::vector<std::pair<int, juce::String>>;

    ParameterManager manager;
    MidiControl midi { &manager };
    Events events;
    Parameter* a = nullptr;
    Parameter* b = nullptr;
    Parameter* c = nullptr;
};

using MidiControlTest = Fixture;
} // namespace

TEST_F(MidiControlTest, ControllerMessagesSetNormalisedValues)
{
    midi.assign(7, a, false);
    const std::pair<int, float> cases[] = { { 127, 1.0f }, { 0, 0.0f }, { 64, 64.0f / 127.0f } };
    for (const auto& [value, expected] : cases)
    {
        midi.processMidiMessage(juce::MidiMessage::controllerEvent(1, 7, value));
        EXPECT_EQ(a->getNormalisedValue(), expected) << value;
    }
    EXPECT_EQ(midi.getLastParameterChangedByMidi(), a);

    // Other controllers, notes and other channels' other messages change nothing.
    midi.processMidiMessage(juce::MidiMessage::controllerEvent(1, 8, 127));
    midi.processMidiMessage(juce::MidiMessage::noteOn(1, 7, (juce::uint8) 127));
    midi.processMidiMessage(juce::MidiMessage::pitchWheel(1, 16383));
    EXPECT_EQ(a->getNormalisedValue(), 64.0f / 127.0f);
    midi.processMidiMessage(juce::MidiMessage::controllerEvent(16, 7, 127));
    EXPECT_EQ(a->getNormalisedValue(), 1.0f) << "every channel drives the map";

    // Controllers come with the audio, which posts no message: the listeners
    // hear at the next poll on the message thread.
    TestHelpers::pumpMessages();
    EXPECT_EQ(events.valueChanges, 0) << "a message was posted";
    EXPECT_TRUE(midi.deliverIfDue());
    EXPECT_EQ(events.valueChanges, 1);
    EXPECT_EQ(events.mapChanges, 0);
}

TEST_F(MidiControlTest, NotesAreIgnoredInLearnMode)
{
    midi.setLearning(true);
    midi.processMidiMessage(juce::MidiMessage::noteOn(1, 10, (juce::uint8) 100));
    EXPECT_EQ(midi.getSelectedController(), -1);
    EXPECT_EQ(midi.getSelectedParameter(), nullptr);
}

// The user may touch a control first or move a controller first; each step gives
// the selection and the table that follow it.
TEST_F(MidiControlTest, LearnSequences)
{
    struct Step
    {
        char action; // 't' touch, 'm' move a controller (CC message), 's' select from the list, 'u' unassign
        int which;   // parameter index (0 A, 1 B, 2 C) or controller
        int selectedParameter;
        int selectedController;
        Table table;
    };
    struct Sequence
    {
        const char* label;
        Table before;
        std::vector<Step> steps;
    };

    const Sequence sequences[] = {
        { "parameter first, then moved to a new controller",
          {},
          { { 't', 0, 0, -1, {} },
            { 'm', 10, 0, 10, { { 10, "A" } } },
            { 'm', 11, -1, 11, { { 10, "A" } } },
            { 't', 0, 0, 11, { { 11, "A" } } } } },
        { "controller that holds a parameter selects the pair; a new parameter goes to a free controller",
          { { 11, "A" } },
          { { 'm', 11, 0, 11, { { 11, "A" } } },
            { 't', 1, 1, -1, { { 11, "A" } } },
            { 'm', 12, 1, 12, { { 11, "A" }, { 12, "B" } } } } },
        { "repeating the same touch or controller changes nothing",
          {},
          { { 't', 0, 0, -1, {} }, { 't', 0, 0, -1, {} }, { 'm', 5, 0, 5, { { 5, "A" } } }, { 'm', 5, 0, 5, { { 5, "A" } } } } },
        { "learning never takes over an occupied controller",
          { { 20, "B" } },
          { { 't', 0, 0, -1, { { 20, "B" } } }, { 'm', 20, 0, 20, { { 20, "B" } } } } },
        { "controller first, then a parameter",
          { { 3, "C" } },
          { { 'm', 30, -1, 30, { { 3, "C" } } }, { 't', 2, 2, 30, { { 30, "C" } } } } },
        { "selecting from the list picks assigned pairs only",
          { { 40, "B" } },
          { { 's', 41, -1, -1, { { 40, "B" } } }, { 's', 40, 1, 40, { { 40, "B" } } } } },
        { "unassigning while learning clears the selection",
          { { 40, "B" } },
          { { 'm', 40, 1, 40, { { 40, "B" } } }, { 'u', 40, -1, -1, {} } } },
    };

    Parameter* const params[] = { a, b, c };
    for (const auto& seq : sequences)
    {
        midi.clear(false);
        for (const auto& [cc, name] : seq.before)
            midi.assign(cc, manager.getParameterByName(name), false);
        midi.setLearning(false);
        midi.setLearning(true);

        int stepIndex = 0;
        for (const auto& step : seq.steps)
        {
            switch (step.action)
            {
                case 't': midi.parameterTouched(params[step.which]); break;
                case 'm': midi.processMidiMessage(juce::MidiMessage::controllerEvent(1, step.which, 0)); break;
                case 's': midi.selectController(step.which); break;
                case 'u': midi.unassign(step.which); break;
                default: break;
            }
            Parameter* expectedParameter = step.selectedParameter >= 0 ? params[step.selectedParameter] : nullptr;
            EXPECT_EQ(midi.getSelectedParameter(), expectedParameter) << seq.label << ", step " << stepIndex;
            EXPECT_EQ(midi.getSelectedController(), step.selectedController) << seq.label << ", step " << stepIndex;
            EXPECT_EQ(table(), step.table) << seq.label << ", step " << stepIndex;
            ++stepIndex;
        }
    }
}

TEST_F(MidiControlTest, LearnModeSwitchingIsHeardAtOnceAndClearsTheSelection)
{
    midi.setLearning(true);
    EXPECT_EQ(events.learnChanges, 1);
    midi.setLearning(true);
    EXPECT_EQ(events.learnChanges, 1);
    midi.parameterTouched(a);
    midi.toggleLearning();
    EXPECT_FALSE(midi.isLearning());
    EXPECT_EQ(midi.getSelectedParameter(), nullptr);
    EXPECT_EQ(midi.getSelectedController(), -1);

    // A touch while not learning is still a selection, but assigns only with both halves.
    TestHelpers::pumpMessages();
    const int before = events.learnChanges;
    midi.parameterTouched(b);
    midi.learnController(9);
    TestHelpers::pumpMessages();
    EXPECT_EQ(events.learnChanges, before + 1) << "two commits fold into one update";
    EXPECT_EQ(events.mapChanges, 1);
    EXPECT_EQ(midi.getParameterForController(9), b);
}

TEST_F(MidiControlTest, AssignMovesAParameterAndReplacesAController)
{
    midi.assign(1, a, true);
    midi.assign(2, a, true);
    EXPECT_EQ(table(), (Table { { 2, "A" } }));
    midi.assign(2, b, true);
    EXPECT_EQ(table(), (Table { { 2, "B" } }));
    EXPECT_EQ(midi.getControllerForParameter(a), -1);
    EXPECT_EQ(midi.getControllerForParameter(b), 2);
    EXPECT_EQ(midi.getControllerForParameter(nullptr), -1);
    midi.assign(2, b, true);
    TestHelpers::pumpMessages();
    EXPECT_EQ(events.mapChanges, 1);

    midi.clear(true);
    EXPECT_TRUE(table().empty());
    TestHelpers::pumpMessages();
    EXPECT_EQ(events.mapChanges, 2);
}

TEST_F(MidiControlTest, InvalidControllerNumbersChangeNothing)
{
    midi.assign(5, a, false);
    midi.setLearning(true);
    midi.parameterTouched(b);
    for (int cc : { -1, 128, 1000, -1000 })
    {
        midi.assign(cc, c, true);
        midi.unassign(cc);
        midi.learnController(cc);
        midi.selectController(cc);
        EXPECT_EQ(midi.getParameterForController(cc), nullptr) << cc;
    }
    EXPECT_EQ(table(), (Table { { 5, "A" } }));
    EXPECT_EQ(midi.getSelectedParameter(), b);
    EXPECT_EQ(midi.getSelectedController(), -1);
}

TEST_F(MidiControlTest, MapFileRoundTrip)
{
    midi.assign(0, b, false);
    midi.assign(127, a, false);
    midi.assign(64, c, false);

    TestHelpers::TempFolder folder;
    const auto file = folder.getChild("mine.tnccmap");
    ASSERT_TRUE(midi.saveToFile(file));
    EXPECT_EQ(TestHelpers::readFile(file),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n"
              "<MidiControlMap name=\"Tavinor\">\r\n"
              "  <assign CC=\"0\" param=\"B\"/>\r\n"
              "  <assign CC=\"64\" param=\"C\"/>\r\n"
              "  <assign CC=\"127\" param=\"A\"/>\r\n"
              "</MidiControlMap>\r\n");

    MidiControl other(&manager);
    other.setMapName("Tavinor");
    other.assign(3, a, false);
    ASSERT_TRUE(other.loadFromFile(file));
    EXPECT_EQ(other.getParameterForController(0), b);
    EXPECT_EQ(other.getParameterForController(64), c);
    EXPECT_EQ(other.getParameterForController(127), a);
    EXPECT_EQ(other.getParameterForController(3), nullptr);

    // What cannot be read leaves the table as it was.
    const auto broken = folder.getChild("broken.tnccmap");
    broken.replaceWithText("<MidiControlMap name=\"Tavinor\"><assign");
    EXPECT_FALSE(other.loadFromFile(broken));
    EXPECT_FALSE(other.loadFromFile(folder.getChild("missing.tnccmap")));
    EXPECT_EQ(other.getParameterForController(127), a);

    other.setDefaultMapFile(file.getFullPathName());
    other.clear(false);
    EXPECT_FALSE(other.loadDefaultMap()) << "only when the default map is enabled";
    other.setDefaultMapEnabled(true);
    EXPECT_TRUE(other.loadDefaultMap());
    EXPECT_EQ(other.getParameterForController(64), c);
    other.setDefaultMapFile("relative/path.tnccmap");
    EXPECT_FALSE(other.loadDefaultMap());
}

TEST_F(MidiControlTest, ReadingMaps)
{
    struct Case
    {
        const char* label;
        const char* xml;
        bool accepted;
        Table table;
    };
    const Case cases[] = {
        { "legacy root with application",
          R"(<midiccmap application="TAVINOR"><assign CC="7" param="A"/></midiccmap>)", true, { { 7, "A" } } },
        { "another product's map", R"(<MidiControlMap name="Other"><assign CC="7" param="A"/></MidiControlMap>)",
          false, { { 99, "C" } } },
        { "name wins over application",
          R"(<MidiControlMap name="Other" application="Tavinor"><assign CC="7" param="A"/></MidiControlMap>)", false,
          { { 99, "C" } } },
        { "wrong root", R"(<MidiMap name="Tavinor"><assign CC="7" param="A"/></MidiMap>)", false, { { 99, "C" } } },
        { "same parameter twice: the later controller holds it",
          R"(<MidiControlMap name="Tavinor"><assign CC="1" param="A"/><assign CC="2" param="A"/></MidiControlMap>)",
          true, { { 2, "A" } } },
        { "same controller twice: the later parameter holds it",
          R"(<MidiControlMap name="Tavinor"><assign CC="1" param="A"/><ASSIGN CC="1" param="B"/></MidiControlMap>)",
          true, { { 1, "B" } } },
        { "out of range, unknown, not automatable and missing CC",
          R"(<MidiControlMap name="Tavinor">
               <assign CC="128" param="A"/><assign CC="-1" param="B"/><assign CC="5" param="Nope"/>
               <assign CC="6" param="Fixed"/><assign param="C"/><assign CC="99999999999" param="A"/>
               <other CC="9" param="B"/></MidiControlMap>)",
          true, { { 0, "C" } } },
    };

    for (const auto& c : cases)
    {
        midi.clear(false);
        midi.assign(99, manager.getParameterByName("C"), false);
        midi.setLearning(true);
        TestHelpers::pumpMessages();
        events.mapChanges = 0;

        EXPECT_EQ(loadXml(c.xml), c.accepted) << c.label;
        EXPECT_EQ(table(), c.table) << c.label;
        EXPECT_EQ(midi.isLearning(), ! c.accepted) << c.label;
        TestHelpers::pumpMessages();
        EXPECT_EQ(events.mapChanges, c.accepted ? 1 : 0) << c.label;
    }

    MidiControl unnamed(&manager);
    const auto root = juce::parseXML(juce::String(R"(<MidiControlMap name="Anything"/>)"));
    EXPECT_TRUE(unnamed.isValidXml(root.get())) << "a map without a name of its own takes any map";
    EXPECT_FALSE(unnamed.isValidXml(nullptr));
}

TEST_F(MidiControlTest, StateElementRoundTrip)
{
    midi.assign(10, a, false);
    midi.assign(11, c, false);
    const auto xml = midi.createXml();
    ASSERT_NE(xml, nullptr);
    midi.clear(false);
    EXPECT_TRUE(midi.loadFromXml(*xml));
    EXPECT_EQ(table(), (Table { { 10, "A" }, { 11, "C" } }));
}
