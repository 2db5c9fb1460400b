# talvero_add_test(<name> [LIBS lib...] [LABELS label...] [SOURCES extra...] [TIMEOUT s] [WRAP command...])
# WRAP runs the test through a command (inside its home), e.g. one that starts a session bus.
# Every test runs offscreen with a throw-away home of its own, emptied before each run, so
# nothing touches the user's own configuration and nothing left by an earlier run counts.
function(talvero_add_test name)
    cmake_parse_arguments(T "" "TIMEOUT" "LIBS;LABELS;SOURCES;WRAP" ${ARGN})
    add_executable(${name} ${name}.cpp ${T_SOURCES})
    target_link_libraries(${name} PRIVATE Qt5::Test ${T_LIBS})
    target_compile_definitions(${name} PRIVATE TALVERO_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data")
    if(NOT T_LABELS)
        set(T_LABELS unit)
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set(home "${CMAKE_CURRENT_BINARY_DIR}/home/${name}")
    add_test(NAME ${name} COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/talvero-test-home.sh ${home} ${T_WRAP} $<TARGET_FILE:${name}>)
    set_tests_properties(${name} PROPERTIES
        LABELS "${T_LABELS}"
        TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
