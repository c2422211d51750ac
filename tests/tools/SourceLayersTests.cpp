#include <gtest/gtest.h>

#include "TestHelpers.h"

namespace
{
// The project's own headers a source file includes ("folder/Name.h").
juce::StringArray ownIncludes(const juce::File& file)
{
    juce::StringArray includes;
    for (const auto& line : juce::StringArray::fromLines(file.loadFileAsString()))
    {
        const auto trimmed = line.trim();
        if (trimmed.startsWith("#include \""))
            includes.add(trimmed.fromFirstOccurrenceOf("\"", false, false).upToFirstOccurrenceOf("\"", false, false));
    }
    return includes;
}
} // namespace

// The layers read from the bottom up: core; the widgets; the skin engine; the
// editor; with the processor and the VST layer beside them. An include that
// reaches up a layer makes a lower layer depend on one built on top of it.
TEST(SourceLayers, NoIncludeReachesUpALayer)
{
    const struct
    {
        const char* folder;
        juce::StringArray forbidden; // folders it must not include from
    } layers[] = {
        { "core", { "toolkit/", "skin/", "editor/", "processor/", "vst/" } },
        { "toolkit", { "skin/", "editor/", "processor/", "vst/" } },
        { "skin", { "editor/", "processor/", "vst/" } },
        { "vst", { "toolkit/", "skin/", "editor/" } },
    };

    const auto root = TestHelpers::sourceFolder();
    int filesRead = 0;
    for (const auto& layer : layers)
        for (const auto& file : root.getChildFile(layer.folder).findChildFiles(juce::File::findFiles, true, "*.h;*.cpp"))
        {
            ++filesRead;
            for (const auto& include : ownIncludes(file))
                for (const auto& folder : layer.forbidden)
                    if (include.startsWith(folder))
                        ADD_FAILURE() << file.getRelativePathFrom(root) << " includes " << include;
        }

    // The signal path takes plain numbers and buffers: it includes only itself.
    for (const auto& file : root.getChildFile("processor/dsp").findChildFiles(juce::File::findFiles, true, "*.h;*.cpp"))
    {
        ++filesRead;
        for (const auto& include : ownIncludes(file))
            if (!include.startsWith("processor/dsp/"))
                ADD_FAILURE() << file.getRelativePathFrom(root) << " includes " << include;
    }
    EXPECT_GT(filesRead, 100) << "the source tree was not found at " << root.getFullPathName();
}
