# Bundle resources, compiled into the plug-in so that it is one file that
# cannot lose them: the hand-written files of resources/ and one archive of
# everything the image generator (tools/imagegen) draws at build time.
file(GLOB TAVINOR_RESOURCE_FILES CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/*.xml
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/*.tnhpmap
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/*.png
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/*.svg
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/icons/*.svg)

# The generator reads its text faces from fixed files, never through the
# system's font matching, so that its pictures are the same on every machine.
find_path(TAVINOR_FONT_DIR DejaVuSans.ttf
    PATHS /usr/share/fonts/truetype/dejavu /usr/share/fonts/dejavu
    NO_DEFAULT_PATH)
if(NOT TAVINOR_FONT_DIR)
    message(FATAL_ERROR "DejaVu Sans not found: install fonts-dejavu-core (tools/setup.sh does)")
endif()

# Generated files are found by name inside the archive (core/BundleResources),
# so the build never needs their names: the generator's tables are their only
# list, and nothing can drift.
set(TAVINOR_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
set(TAVINOR_GENERATED_ARCHIVE ${TAVINOR_GENERATED_DIR}/GeneratedResources.zip)
# The same run composes pictures of the whole face in a few states
# (generated/preview/skin-*.png) with the parameter set's values, for people
# to look at; a skin that names a missing image fails here.
add_custom_command(
    OUTPUT ${TAVINOR_GENERATED_ARCHIVE}
    COMMAND tavinor_imagegen --out ${TAVINOR_GENERATED_DIR}/files --archive ${TAVINOR_GENERATED_ARCHIVE}
        --preview ${TAVINOR_GENERATED_DIR}/preview
        --parameters ${CMAKE_CURRENT_SOURCE_DIR}/resources/parameters.xml
    DEPENDS tavinor_imagegen ${CMAKE_CURRENT_SOURCE_DIR}/resources/parameters.xml
    COMMENT "Drawing the skin and the widget images"
    VERBATIM)

# juce_add_binary_data wants its inputs to exist when CMake configures, and on
# its own re-encodes them only when the list of names changes. So the archive
# gets a placeholder until the first build draws it, and the encoding step is
# made to depend on every input's contents (an edited parameters.xml is
# embedded again, too).
if(NOT EXISTS ${TAVINOR_GENERATED_ARCHIVE})
    file(WRITE ${TAVINOR_GENERATED_ARCHIVE} "")
endif()
set(TAVINOR_BUNDLE_FILES ${TAVINOR_RESOURCE_FILES} ${TAVINOR_GENERATED_ARCHIVE})
juce_add_binary_data(tavinor_resources NAMESPACE BinaryData HEADER_NAME BinaryData.h
    SOURCES ${TAVINOR_BUNDLE_FILES})
set_target_properties(tavinor_resources PROPERTIES POSITION_INDEPENDENT_CODE ON)

set(TAVINOR_BINARY_DATA_FIRST_SOURCE
    ${CMAKE_CURRENT_BINARY_DIR}/juce_binarydata_tavinor_resources/JuceLibraryCode/BinaryData1.cpp)
add_custom_command(OUTPUT ${TAVINOR_BINARY_DATA_FIRST_SOURCE} APPEND DEPENDS ${TAVINOR_BUNDLE_FILES})
