# cmake -DSOURCE_DIR=... -DOUTPUT=... -DVERSION=... -P TalveroBuildInfo.cmake
# Writes OUTPUT, a header with the build's version and the source-control state it was built
# from; rewrites it only when something changed, so an unchanged build compiles nothing again.
function(git_value out)
    execute_process(COMMAND git ${ARGN} WORKING_DIRECTORY "${SOURCE_DIR}"
                    OUTPUT_VARIABLE value RESULT_VARIABLE status OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(NOT status EQUAL 0 OR value STREQUAL "")
        set(value "unknown")
    endif()
    set(${out} "${value}" PARENT_SCOPE)
endfunction()

git_value(reference rev-parse HEAD)
if(NOT reference STREQUAL "unknown")
    string(SUBSTRING "${reference}" 0 12 reference)
endif()
git_value(date log -1 --format=%cd --date=format:%Y-%m-%d)
git_value(branch rev-parse --abbrev-ref HEAD)

set(content "// Written by cmake/TalveroBuildInfo.cmake at build time.
#pragma once
#define TALVERO_BUILD_VERSION \"${VERSION}\"
#define TALVERO_BUILD_REFERENCE \"${reference}\"
#define TALVERO_BUILD_DATE \"${date}\"
#define TALVERO_BUILD_BRANCH \"${branch}\"
")
if(EXISTS "${OUTPUT}")
    file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL content)
    file(WRITE "${OUTPUT}" "${content}")
endif()
