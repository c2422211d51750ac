# Bundle resources, compiled into the plug-in so that it is one file that
# cannot lose them.
file(GLOB TAVINOR_RESOURCE_FILES CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/*.xml
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/*.tnhpmap
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/*.png
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/*.svg
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/icons/*.svg)
juce_add_binary_data(tavinor_resources NAMESPACE BinaryData HEADER_NAME BinaryData.h
    SOURCES ${TAVINOR_RESOURCE_FILES})
set_target_properties(tavinor_resources PROPERTIES POSITION_INDEPENDENT_CODE ON)
