// What the plug-in base does with chunks, settings files and map files that it
// must not trust: nothing of a refused input is applied, the thread reading it
// survives, and the user's files are kept.

#include <gtest/gtest.h>
#include "BasePluginTestSupport.h"
#include "TestHelpers.h"

#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace BasePluginTestSupport;

namespace
{
constexpr int kDryWet = 89;
constexpr int kLimiter = 87;
constexpr int kOutputGain = 91;

// Hosts run state calls on threads with as little as 512 kB of stack.
constexpr size_t kSmallStack = 512 * 1024;

class BasePluginInputTest : public ::testing::Test
{
protected:
    void SetUp() override { removeUserSettings(); }
    void TearDown() override
    {
        TestHelpers::pumpMessages();
        removeUserSettings();
        for (const auto& f : settingsFile().getParentDirectory().findChildFiles(juce::File::findFiles, false,
                                                                               "*.unreadable*"))
            f.deleteFile();
    }

    static juce::File settingsFile() { return TestPlugin().getUserSettingsFile(); }
};

// Runs work on its own thread; false when it has not finished within the time.
class Worker : public juce::Thread
{
public:
    Worker(std::function<void()> w, size_t stackSize) : juce::Thread("input test", stackSize), work(std::move(w)) {}
    ~Worker() override { stopThread(-1); }
    void run() override { work(); }

private:
    std::function<void()> work;
};

bool finishesOnSmallStack(std::function<void()> work)
{
    Worker worker(std::move(work), kSmallStack);
    worker.startThread();
    return worker.waitForThreadToExit(60000);
}

std::string deepDocument(const std::string& openRoot, const std::string& closeRoot, int depth)
{
    std::string s = openRoot;
    s.reserve(s.size() + (size_t) depth * 7 + closeRoot.size());
    for (int i = 0; i < depth; ++i)
        s += "<a>";
    for (int i = 0; i < depth; ++i)
        s += "</a>";
    return s + closeRoot;
}

juce::MemoryBlock chunkOf(const std::string& text)
{
    juce::MemoryOutputStream out;
    out.writeInt(0x21324356);
    out.writeInt((int) text.size());
    out.write(text.data(), text.size());
    out.writeByte(0);
    return out.getMemoryBlock();
}

juce::MemoryBlock bytesOf(const juce::File& f)
{
    juce::MemoryBlock m;
    f.loadFileAsData(m);
    return m;
}
} // namespace

TEST_F(BasePluginInputTest, DeepDocumentsAreRefusedOnASmallStack)
{
    TestHelpers::TempFolder temp;
    auto plugin = startPlugin();
    plugin->clearHostParametersMap();
    plugin->assignHostParameterByIndex(3, kLimiter, false);
    plugin->getMidiControl().assign(7, plugin->getParameterManager().getParameter(kDryWet), false);
    plugin->getParameterManager().setNormalisedValue(kDryWet, 0.25f);

    // Deep enough to overflow any thread's stack inside a recursive parser.
    constexpr int kDepth = 50000;
    const auto state = chunkOf(deepDocument("<PluginState application=\"Tavinor\"><Preset name=\"ParametersState\">"
                                            "<param name=\"Dry/Wet\" value=\"0.9\"/>",
                                            "</Preset></PluginState>", kDepth));
    const auto hostMap = temp.getChild("deep.tnhpmap");
    const auto text = deepDocument("<HostParametersMap name=\"Tavinor\"><assign hostParam=\"9\" pluginParam=\"Limiter\"/>",
                                   "</HostParametersMap>", kDepth);
    hostMap.replaceWithData(text.data(), text.size());
    const auto midiMap = temp.getChild("deep.tnccmap");
    const auto midiText = deepDocument("<MidiControlMap name=\"Tavinor\"><assign CC=\"9\" param=\"Limiter\"/>",
                                       "</MidiControlMap>", kDepth);
    midiMap.replaceWithData(midiText.data(), midiText.size());
    const auto preset = temp.getChild("deep.tnprst");
    const auto presetText = deepDocument("<Preset><param name=\"Dry/Wet\" value=\"0.9\"/>", "</Preset>", kDepth);
    preset.replaceWithData(presetText.data(), presetText.size());

    bool results[3] = { true, true, true };
    ASSERT_TRUE(finishesOnSmallStack([&] {
        plugin->setStateInformation(state.getData(), (int) state.getSize());
        results[0] = plugin->loadHostParametersMapFile(hostMap);
        results[1] = plugin->getMidiControl().loadFromFile(midiMap);
        Preset p;
        results[2] = p.loadFromFile(preset, &plugin->getParameterManager(), false);
    }));
    EXPECT_FALSE(results[0]);
    EXPECT_FALSE(results[1]);
    EXPECT_FALSE(results[2]);
    EXPECT_FLOAT_EQ(plugin->getParameterManager().getNormalisedValue(kDryWet), 0.25f);
    EXPECT_EQ(plugin->getParameterIdForHostIndex(3), kLimiter);
    EXPECT_EQ(plugin->getParameterIdForHostIndex(8), -1);
    EXPECT_EQ(plugin->getMidiControl().getControllerForParameter(plugin->getParameterManager().getParameter(kDryWet)), 7);

    // The settings file is read on whatever thread creates the instance.
    const auto settingsText = deepDocument("<UserSettings application=\"Tavinor\"><Presets><Author name=\"Deep\"/>"
                                           "</Presets>",
                                           "</UserSettings>", kDepth);
    settingsFile().getParentDirectory().createDirectory();
    settingsFile().replaceWithData(settingsText.data(), settingsText.size());
    TestPlugin fresh;
    ASSERT_TRUE(finishesOnSmallStack([&] { fresh.loadUserSettings(); }));
    EXPECT_EQ(fresh.getAuthorName(), "");
}

TEST_F(BasePluginInputTest, TextThatIsNotUtf8IsRefusedWhole)
{
    // Bytes of other encodings, or a sequence cut off at the end of the chunk:
    // JUCE's parser would read such text past its end, or make up characters.
    const std::string before = "<PluginState application=\"Tavinor\"><Preset name=\"ParametersState\">"
                               "<param name=\"Dry/Wet\" value=\"0.75\"/><param name=\"Output Gain\" value=\"";
    const std::string after = "\"/></Preset></PluginState>";
    const std::string damages[] = { "\xC0", "\x80", "\xE2\x82", "\xF8\x88\x80\x80\x80", "\xED\xA0\x80" };

    auto plugin = startPlugin();
    auto& pm = plugin->getParameterManager();
    for (const auto& damage : damages)
    {
        pm.setNormalisedValue(kDryWet, 0.25f);
        pm.setNormalisedValue(kOutputGain, 0.5f);
        for (const auto& text : { before + damage + after, before + "0.1" + after + damage })
        {
            const auto chunk = chunkOf(text);
            plugin->setStateInformation(chunk.getData(), (int) chunk.getSize());
            EXPECT_FLOAT_EQ(pm.getNormalisedValue(kDryWet), 0.25f) << text;
            EXPECT_FLOAT_EQ(pm.getNormalisedValue(kOutputGain), 0.5f) << text;
        }
    }

    // The same state without the damage is applied.
    const auto good = chunkOf(before + "0.1" + after);
    plugin->setStateInformation(good.getData(), (int) good.getSize());
    EXPECT_FLOAT_EQ(pm.getNormalisedValue(kDryWet), 0.75f);
    EXPECT_FLOAT_EQ(pm.getNormalisedValue(kOutputGain), 0.1f);
}

TEST_F(BasePluginInputTest, MapFilesThatAreNoRegularFilesNeitherBlockNorExhaustStartUp)
{
    TestHelpers::TempFolder temp;
    const auto fifo = temp.getChild("pipe.tnccmap");
    ASSERT_EQ(::mkfifo(fifo.getFullPathName().toRawUTF8(), 0600), 0);
    const auto huge = temp.getChild("huge.tnhpmap");
    {
        juce::FileOutputStream out(huge);
        ASSERT_TRUE(out.openedOk());
        ASSERT_TRUE(out.setPosition(64 * 1024 * 1024));
        out.writeByte(' ');
    }

    for (const auto& path : { fifo, juce::File("/dev/zero"), temp.get(), huge })
    {
        SCOPED_TRACE(path.getFullPathName());
        const juce::String settings = "<UserSettings application=\"Tavinor\"><Presets><Author name=\"Me\"/></Presets>"
                                      "<MidiControlMap default=\"yes\" file=\"" + path.getFullPathName() + "\"/>"
                                      "<HostParametersMap default=\"yes\" file=\"" + path.getFullPathName() + "\"/>"
                                      "</UserSettings>";
        settingsFile().getParentDirectory().createDirectory();
        ASSERT_TRUE(settingsFile().replaceWithText(settings));

        TestPlugin plugin;
        Worker worker([&plugin] { BasePlugin::completeStartUp(plugin); }, 0);
        worker.startThread();
        const bool finished = worker.waitForThreadToExit(5000);
        EXPECT_TRUE(finished);
        while (! worker.waitForThreadToExit(50))
        {
            // A reader stuck on the pipe gets its end of file, so the test can go on.
            const int fd = ::open(fifo.getFullPathName().toRawUTF8(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        }
        EXPECT_EQ(plugin.getAuthorName(), "Me");
        EXPECT_TRUE(plugin.getMidiControl().isDefaultMapEnabled());
        EXPECT_EQ(plugin.getParameterIdForHostIndex(0), -1);
        MidiControl::Iterator it(plugin.getMidiControl());
        MidiControl::Assignment assignment;
        EXPECT_FALSE(it.next(assignment));
    }
}

TEST_F(BasePluginInputTest, AnUnreadableSettingsFileIsSetAsideNotOverwritten)
{
    const auto file = settingsFile();
    file.getParentDirectory().createDirectory();
    const auto aside = file.getSiblingFile(file.getFileName() + ".unreadable");
    const auto aside2 = file.getSiblingFile(file.getFileName() + ".unreadable (2)");

    const std::string cases[] = {
        "<UserSettings application=\"Tavinor\"><Presets><Author name=\"Cut",
        "<UserSettings application=\"Other\"><Presets><Author name=\"X\"/></Presets></UserSettings>",
        "<UserSettings application=\"Tavinor\"><Presets><Author name=\"\xC0\"/></Presets></UserSettings>",
        "not settings at all",
        std::string("<UserSettings application=\"Tavinor\">\0</UserSettings>", 52),
    };
    for (const auto& text : cases)
    {
        SCOPED_TRACE(text);
        ASSERT_TRUE(file.replaceWithData(text.data(), text.size()));
        {
            auto plugin = startPlugin();
            plugin->setAuthorName("Me");
            plugin->saveUserSettings();
        }
        ASSERT_TRUE(aside.existsAsFile());
        EXPECT_EQ(bytesOf(aside), juce::MemoryBlock(text.data(), text.size()));
        EXPECT_FALSE(aside2.exists());
        auto written = juce::parseXML(file);
        ASSERT_NE(written, nullptr);
        EXPECT_EQ(written->getStringAttribute("application"), "Tavinor");

        // A file that reads well is simply replaced next time.
        startPlugin()->saveUserSettings();
        EXPECT_FALSE(aside2.exists());
        EXPECT_EQ(startPlugin()->getAuthorName(), "Me");

        // One set aside earlier is never replaced by the next.
        ASSERT_TRUE(file.replaceWithText("broken again <"));
        startPlugin()->saveUserSettings();
        EXPECT_EQ(bytesOf(aside), juce::MemoryBlock(text.data(), text.size()));
        EXPECT_EQ(aside2.loadFileAsString(), "broken again <");
        aside.deleteFile();
        aside2.deleteFile();
    }

    // A folder of the settings file's name is the user's: never deleted or replaced.
    file.deleteFile();
    ASSERT_TRUE(file.createDirectory().wasOk());
    startPlugin()->saveUserSettings();
    EXPECT_TRUE(file.isDirectory());
    EXPECT_FALSE(aside.exists());
    file.deleteRecursively();
}

TEST_F(BasePluginInputTest, HostIndicesAreRangeCheckedBeforeAnyArithmetic)
{
    // Numbers that overflow an int, or wrap round to a valid slot when read
    // carelessly, are skipped like any other index outside 1 to 128.
    auto map = juce::parseXML("<HostParametersMap name=\"Tavinor\">"
                              "<assign hostParam=\"1\" pluginParam=\"Limiter\"/>"
                              "<assign hostParam=\"128\" pluginParam=\"Dry/Wet\"/>"
                              "<assign hostParam=\"4294967297\" pluginParam=\"Output Gain\"/>"
                              "<assign hostParam=\"4294967424\" pluginParam=\"Output Gain\"/>"
                              "<assign hostParam=\"-2147483648\" pluginParam=\"Output Gain\"/>"
                              "<assign hostParam=\"2147483648\" pluginParam=\"Output Gain\"/>"
                              "<assign hostParam=\"0\" pluginParam=\"Output Gain\"/>"
                              "<assign hostParam=\"129\" pluginParam=\"Output Gain\"/>"
                              "<assign hostParam=\"-1\" pluginParam=\"Output Gain\"/>"
                              "</HostParametersMap>");
    auto plugin = startPlugin();
    ASSERT_TRUE(plugin->loadHostParametersMap(map.get()));
    EXPECT_EQ(plugin->getParameterIdForHostIndex(0), kLimiter);
    EXPECT_EQ(plugin->getParameterIdForHostIndex(127), kDryWet);
    EXPECT_EQ(plugin->getHostIndexForParameterId(kOutputGain), -1);
}
