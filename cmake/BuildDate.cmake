# Writes the header that gives the date of the build (BUILD_DATE_HEADER), in
# UTC, or the date SOURCE_DATE_EPOCH names for a reproducible build. Run at
# every build; the header is rewritten only when the date changed, so only
# what includes it is compiled again, once a day.
string(TIMESTAMP today "%Y-%m-%d" UTC)
set(text "// The date of the build, written by cmake/BuildDate.cmake.\n#define TAVINOR_BUILD_DATE \"${today}\"\n")
set(old "")
if(EXISTS "${BUILD_DATE_HEADER}")
    file(READ "${BUILD_DATE_HEADER}" old)
endif()
if(NOT old STREQUAL text)
    file(WRITE "${BUILD_DATE_HEADER}.tmp" "${text}")
    file(RENAME "${BUILD_DATE_HEADER}.tmp" "${BUILD_DATE_HEADER}")
endif()
