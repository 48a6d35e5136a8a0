# SPDX-License-Identifier: MIT
# The suite of a core-only build: the library loader, the bus session, the number conventions,
# the instance lock and the simulated library. The same test files as the full build's suites;
# the Windows cross-build runs it under Wine.
find_package(GTest QUIET)
if(NOT GTest_FOUND)
    # A cross-build finds no GoogleTest for its target: build it from Debian's sources.
    set(QUILLON_GOOGLETEST_SOURCES /usr/src/googletest CACHE PATH "GoogleTest's source folder")
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${QUILLON_GOOGLETEST_SOURCES} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

add_library(quillon_fake_visa STATIC support/fake_visa.cpp support/private_temp.cpp)
target_include_directories(quillon_fake_visa PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/support)
target_link_libraries(quillon_fake_visa PUBLIC quillon_instrument GTest::gtest)

add_executable(quillon_core_tests
    unit/app_instance_lock_test.cpp unit/instrument_bus_test.cpp
    unit/instrument_conventions_test.cpp unit/instrument_visa_library_test.cpp
    integration/sim_discovery.cpp integration/sim_exports.cpp integration/sim_test_set.cpp)
target_compile_options(quillon_core_tests PRIVATE ${QUILLON_WARNINGS})
target_link_libraries(quillon_core_tests PRIVATE
    quillon_fake_visa quillon_instance_lock GTest::gtest_main)
target_compile_definitions(quillon_core_tests PRIVATE
    QUILLON_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
    QUILLON_SIM_LIBRARY="$<TARGET_FILE:quillon_sim_visa>")
add_dependencies(quillon_core_tests quillon_sim_visa)
add_test(NAME quillon_core_tests COMMAND quillon_core_tests)

# A windows-subsystem program that takes its starter's console; the Wine script runs it.
if(WIN32)
    add_executable(quillon_console_probe WIN32 windows/console_probe.cpp)
    target_compile_options(quillon_console_probe PRIVATE ${QUILLON_WARNINGS})
    target_link_libraries(quillon_console_probe PRIVATE quillon_parent_console)
endif()
