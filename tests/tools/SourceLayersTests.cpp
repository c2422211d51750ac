#include <gtest/gtest.h>

#include "SourceLayers.h"
#include "TestHelpers.h"

namespace
{
// The layers bottom up, each with the layers right below it. The processor and
// the widget toolkit both stand on core alone, and the signal path on nothing
// of ours; the editor is the one layer that knows the processor and the widgets
// both, so the plug-in is put together there. The VST layer hosts any
// juce::AudioProcessor: core alone. The tools may use the whole product, the
// tests the tools as well; nothing of the product includes either.
std::vector<SourceLayers::Layer> tavinorLayers()
{
    return {
        { "core", {} },
        { "processor/dsp", {} },
        { "processor", { "core", "processor/dsp" } },
        { "toolkit", { "core" } },
        { "skin", { "toolkit" } },
        { "editor", { "skin", "processor" } },
        { "vst", { "core" } },
        { "resources", {} },
        { "tools", { "editor", "vst", "resources" } },
        { "tests", { "tools" } },
    };
}

juce::StringArray breachesOf(const SourceLayers::Report& report)
{
    juce::StringArray described;
    for (const auto& breach : report.breaches)
        described.add(breach.describe());
    return described;
}
} // namespace

// An include that reaches up a layer makes a lower layer depend on one built on
// top of it; every folder of the tree is read, every form of include followed.
TEST(SourceLayers, NoIncludeReachesUpALayer)
{
    const SourceLayers layers(tavinorLayers());
    const auto root = TestHelpers::sourceFolder();
    const auto report = layers.check(root);
    for (const auto& breach : breachesOf(report))
        ADD_FAILURE() << breach.toStdString();

    for (const char* folder : { "core", "processor", "processor/dsp", "toolkit", "skin", "editor", "vst", "tools", "tests" })
    {
        const auto read = report.filesRead.find(folder);
        EXPECT_TRUE(read != report.filesRead.end() && read->second > 0)
            << "no source read in " << folder << "/ under " << root.getFullPathName();
    }
}

TEST(SourceLayers, TheLayersFormAnOrder)
{
    const SourceLayers layers(tavinorLayers());
    EXPECT_EQ(layers.findFaultInOrder(), "");

    const struct
    {
        const char* from;
        const char* to;
        bool reaches;
    } cases[] = {
        { "editor", "processor/dsp", true }, { "editor", "core", true },     { "skin", "core", true },
        { "tests", "tools", true },          { "tools", "editor", true },    { "processor", "editor", false },
        { "processor/dsp", "core", false },  { "vst", "processor", false },  { "vst", "toolkit", false },
        { "toolkit", "skin", false },        { "skin", "editor", false },    { "core", "tools", false },
        { "editor", "tools", false },        { "tools", "tests", false },
    };
    for (const auto& c : cases)
        EXPECT_EQ(layers.reachableFrom(c.from).contains(c.to), c.reaches) << c.from << " -> " << c.to;

    using Order = std::vector<SourceLayers::Layer>;
    EXPECT_EQ(SourceLayers(Order { { "a", { "b" } }, { "b", { "c" } }, { "c", { "a" } } }).findFaultInOrder(),
              "a -> b -> c -> a");
    EXPECT_EQ(SourceLayers(Order { { "a", { "z" } } }).findFaultInOrder(), "a sits on z, which is no layer");
}

// The check itself, on small trees planted in a temporary folder.
TEST(SourceLayers, TheCheckFindsEachFormOfIncludeThatReachesUp)
{
    const struct
    {
        const char* name;
        std::vector<std::pair<const char*, const char*>> files;
        juce::StringArray expected;
    } cases[] = {
        { "angled",
          { { "toolkit/Knob.h", "#pragma once\n#include <skin/GFXPanel.h>\n" }, { "skin/GFXPanel.h", "" } },
          { "toolkit/Knob.h:2: #include <skin/GFXPanel.h> reaches skin/, a layer toolkit/ does not sit on" } },
        { "quoted, in a header of the processor",
          { { "processor/Tavinor.h", "#include \"core/BasePlugin.h\"\n#include \"skin/GFXPanel.h\"\n" } },
          { "processor/Tavinor.h:2: #include \"skin/GFXPanel.h\" reaches skin/, a layer processor/ does not sit on" } },
        { "the processor includes the editor",
          { { "processor/Tavinor.cpp", "#include \"editor/TavinorEditor.h\"\n" } },
          { "processor/Tavinor.cpp:1: #include \"editor/TavinorEditor.h\" reaches editor/, a layer processor/ does not sit on" } },
        { "tools from core and from the editor",
          { { "core/Parameter.cpp", "#include \"tools/bench/BenchSettings.h\"\n" },
            { "editor/TavinorEditor.cpp", "\n\n#include \"tools/imagegen/Palette.h\"\n" } },
          { "core/Parameter.cpp:1: #include \"tools/bench/BenchSettings.h\" reaches tools/, a layer core/ does not sit on",
            "editor/TavinorEditor.cpp:3: #include \"tools/imagegen/Palette.h\" reaches tools/, a layer editor/ does not sit on" } },
        { "relative",
          { { "vst/VSTWrapper.cpp", "#include \"../skin/GFXPanel.h\"\n" },
            { "processor/dsp/DelayCore.cpp", "#include \"../Tavinor.h\"\n" } },
          { "processor/dsp/DelayCore.cpp:1: #include \"../Tavinor.h\" (processor/Tavinor.h) reaches processor/, a layer processor/dsp/ does not sit on",
            "vst/VSTWrapper.cpp:1: #include \"../skin/GFXPanel.h\" (skin/GFXPanel.h) reaches skin/, a layer vst/ does not sit on" } },
        { "spaces, include_next",
          { { "core/A.h", "  #  include   \"editor/X.h\"  // why\n#include_next <vst/A.h>\n" } },
          { "core/A.h:1: #include \"editor/X.h\" reaches editor/, a layer core/ does not sit on",
            "core/A.h:2: #include <vst/A.h> reaches vst/, a layer core/ does not sit on" } },
        { "sideways",
          { { "vst/A.cpp", "#include \"processor/Tavinor.h\"\n" }, { "toolkit/A.cpp", "#include \"processor/Tavinor.h\"\n" } },
          { "toolkit/A.cpp:1: #include \"processor/Tavinor.h\" reaches processor/, a layer toolkit/ does not sit on",
            "vst/A.cpp:1: #include \"processor/Tavinor.h\" reaches processor/, a layer vst/ does not sit on" } },
        { "tools take nothing of the tests", { { "tools/bench/Bench.cpp", "#include \"tests/TestHelpers.h\"\n" } },
          { "tools/bench/Bench.cpp:1: #include \"tests/TestHelpers.h\" reaches tests/, a layer tools/ does not sit on" } },
        { "a macro",
          { { "core/A.cpp", "#include TAVINOR_HEADER // chosen by the build\n" }, { "tests/A.cpp", "#include TEST_HEADER\n" } },
          { "core/A.cpp:1: #include TAVINOR_HEADER names no file this check can follow" } },
        { "absolute",
          { { "core/A.cpp", "#include \"@/skin/GFXPanel.h\"\n#include </usr/include/skin/X.h>\n" } },
          { "core/A.cpp:1: #include \"@/skin/GFXPanel.h\" (skin/GFXPanel.h) reaches skin/, a layer core/ does not sit on" } },
        { "beside the file, and below through other layers",
          { { "processor/Tavinor.cpp", "#include \"dsp/DelayEngine.h\"\n#include \"Tavinor.h\"\n" },
            { "processor/dsp/DelayEngine.h", "" },
            { "processor/Tavinor.h", "" },
            { "editor/A.cpp", "#include \"processor/dsp/DelayEngine.h\"\n#include <core/Parameter.h>\n" },
            { "skin/B.cpp", "#include \"core/Parameter.h\"\n" },
            { "tests/tools/T.cpp", "#include \"tools/bench/BenchSettings.h\"\n#include \"editor/A.h\"\n" } },
          {} },
        { "a file beside it takes the name first, as the compiler takes it",
          { { "toolkit/Widget.cpp", "#include \"skin/Look.h\"\n" }, { "toolkit/skin/Look.h", "" } },
          {} },
        { "not ours",
          { { "core/A.cpp",
              "#include <juce_core/juce_core.h>\n#include <sys/stat.h>\n#include \"BuildDate.h\"\n"
              "#include \"../../outside/skin/X.h\"\n// #include \"editor/X.h\"\n/* #include \"editor/X.h\" */\n"
              "#define NAME \"#include \\\"editor/X.h\\\"\"\n" } },
          {} },
        { "folders outside the layers, build trees, hidden folders and other files",
          { { "plugin/Main.cpp", "" },
            { "build/CMakeCache.txt", "" },
            { "build/generated/BinaryData.cpp", "#include \"tools/X.h\"\n" },
            { ".cache/A.cpp", "#include \"tools/X.h\"\n" },
            { "core/notes.txt", "#include \"editor/X.h\"\n" } },
          { "plugin/Main.cpp lies in no layer's folder" } },
    };

    const SourceLayers layers(tavinorLayers());
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        TestHelpers::TempFolder tree;
        // "@" stands for the planted tree's own path.
        const auto atTree = [&tree](const juce::String& text) { return text.replace("@", tree.get().getFullPathName()); };
        for (const auto& [path, text] : c.files)
        {
            const auto file = tree.getChild(path);
            ASSERT_TRUE(file.getParentDirectory().createDirectory());
            ASSERT_TRUE(file.replaceWithText(atTree(text), false, false, "\n"));
        }
        EXPECT_EQ(breachesOf(layers.check(tree.get())).joinIntoString("\n"),
                  atTree(c.expected.joinIntoString("\n")));
    }
}
