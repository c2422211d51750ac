# JUCE compiled once per configuration, as a static library of its own.
# Its include folders and definitions travel to everything that links it.
add_library(tavinor_juce STATIC)
target_link_libraries(tavinor_juce
    PRIVATE
        juce::juce_core
        juce::juce_cryptography
        juce::juce_events
        juce::juce_data_structures
        juce::juce_graphics
        juce::juce_gui_basics
        juce::juce_audio_basics
        juce::juce_audio_processors
        juce::juce_audio_utils
    PUBLIC
        juce::juce_recommended_config_flags
        PkgConfig::SYSTEM_IMAGE_LIBS)
target_compile_definitions(tavinor_juce
    PUBLIC
        JUCE_WEB_BROWSER=0
        JUCE_USE_CURL=0
        JUCE_USE_FLAC=0
        JUCE_USE_OGGVORBIS=0
        JUCE_MODAL_LOOPS_PERMITTED=0
        JUCE_ALSA=0
        JUCE_JACK=0
        JUCE_STANDALONE_APPLICATION=0
        JUCE_DISPLAY_SPLASH_SCREEN=0
        JUCE_REPORT_APP_USAGE=0
        JUCE_USE_XRANDR=0
        JUCE_VST3_CAN_REPLACE_VST2=0
    INTERFACE
        $<TARGET_PROPERTY:tavinor_juce,COMPILE_DEFINITIONS>)
target_include_directories(tavinor_juce
    INTERFACE $<TARGET_PROPERTY:tavinor_juce,INCLUDE_DIRECTORIES>)
