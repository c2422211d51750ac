#include <gtest/gtest.h>
#include <juce_gui_basics/juce_gui_basics.h>
#include <cstdlib>
#include <string>

// Every test program runs with HOME and XDG_CONFIG_HOME in a fresh temporary
// folder, so that nothing a test does can reach the real user's settings.
int main(int argc, char** argv)
{
    char templ[] = "/tmp/tavinor-tests-XXXXXX";
    const char* home = mkdtemp(templ);
    if (home == nullptr)
        return 2;
    const std::string homeDir(home);
    const std::string configDir = homeDir + "/.config";
    setenv("HOME", homeDir.c_str(), 1);
    setenv("XDG_CONFIG_HOME", configDir.c_str(), 1);
    // The desktop trash lives under XDG_DATA_HOME: deleted test files go there.
    const std::string dataDir = homeDir + "/.local/share";
    setenv("XDG_DATA_HOME", dataDir.c_str(), 1);

    ::testing::InitGoogleTest(&argc, argv);
    int result = 0;
    {
        juce::ScopedJuceInitialiser_GUI juce;
        result = RUN_ALL_TESTS();
    }
    juce::File(homeDir).deleteRecursively();
    return result;
}
