# SPDX-License-Identifier: GPL-3.0-or-later
# The tests of a Windows cross-build: the core's unit tests that need neither
# a pseudo-terminal, /proc nor the simulator, run through Wine by ctest
# (CMAKE_CROSSCOMPILING_EMULATOR). GoogleTest is built from the
# distribution's sources.
set(KORVANA_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for cross-builds")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(${KORVANA_GTEST_SOURCE_DIR} "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL SYSTEM)
include(GoogleTest)

add_library(korvana_gtest_main STATIC support/gtestmain.cpp)
target_include_directories(korvana_gtest_main PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/support)
target_link_libraries(korvana_gtest_main PUBLIC korvana_core gtest)

# The Wine prefix is made once, before any test: two Wine processes that both
# find no prefix race to create it, and one of them fails.
if(KORVANA_WINE)
    add_test(NAME wine_prefix
        COMMAND bash -c "for try in 1 2 3; do \"$0\" cmd /c exit >/dev/null 2>&1 && exit 0; sleep 1; done; exit 1"
            ${KORVANA_WINE})
    set_tests_properties(wine_prefix PROPERTIES
        ENVIRONMENT "WINEPREFIX=${CMAKE_BINARY_DIR}/wine" FIXTURES_SETUP wine TIMEOUT 300)
endif()

# One executable per group, run whole: each start of Wine costs a second or
# more, so one process a test (as on Linux) would take far longer.
function(korvana_add_windows_test name)
    cmake_parse_arguments(T "" "EXCLUDE" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} korvana_gtest_main)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    target_compile_definitions(${name} PRIVATE
        KORVANA_ARTIFACTS_DIR="${KORVANA_ARTIFACTS_DIR}"
        KORVANA_RUNTIME_DIR="${KORVANA_RUNTIME_DIR}")
    if(T_EXCLUDE)
        add_test(NAME ${name} COMMAND ${name} --gtest_filter=-${T_EXCLUDE})
    else()
        add_test(NAME ${name} COMMAND ${name})
    endif()
    set_tests_properties(${name} PROPERTIES LABELS ${name} ENVIRONMENT "WINEPREFIX=${CMAKE_BINARY_DIR}/wine"
        FIXTURES_REQUIRED wine)
endfunction()

korvana_add_windows_test(errkit_tests SOURCES errkit/ierror_test.cpp LIBS errkit)
korvana_add_windows_test(syncmsg_tests
    SOURCES syncmsg/syncobjects_test.cpp syncmsg/threaderror_test.cpp
    LIBS syncmsg
    # They make thread creation fail with a stack no system grants; winpthreads
    # cuts the size to 32 bits and starts the thread.
    EXCLUDE "CThreadError.EveryReachableFailureCarriesItsTextCodeLineAndFile:CThreadError.AFailedCreateLeavesTheObjectUnstartedAndReusable")
korvana_add_windows_test(data_image_tests SOURCES data/conversions_test.cpp data/identity_test.cpp LIBS korvana_core)
korvana_add_windows_test(osc_tests SOURCES data/oscparser_test.cpp LIBS korvana_core)
korvana_add_windows_test(readings_tests SOURCES data/readings_test.cpp LIBS korvana_core)
korvana_add_windows_test(settingfields_tests SOURCES data/settingfields_test.cpp LIBS korvana_core)
korvana_add_windows_test(framing_tests SOURCES device/framecodec_test.cpp LIBS korvana_core)

# korvana-cli.exe against korvana-sim through Wine's COM5, compared with the
# native korvana-cli (needs a native build: KORVANA_HOST_BIN_DIR).
if(KORVANA_HOST_BIN_DIR AND KORVANA_WINE)
    add_test(NAME cli_wine_e2e
        COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/cli_wine_e2e.sh "${KORVANA_HOST_BIN_DIR}" "${KORVANA_RUNTIME_DIR}")
    set_tests_properties(cli_wine_e2e PROPERTIES
        ENVIRONMENT "WINEPREFIX=${CMAKE_BINARY_DIR}/wine" RESOURCE_LOCK wine_com5 TIMEOUT 600
        FIXTURES_REQUIRED wine)
endif()

# The Win32 twins of the platform code.
korvana_add_windows_test(win32_platform_tests SOURCES windows/win32_platform_test.cpp LIBS korvana_core)
