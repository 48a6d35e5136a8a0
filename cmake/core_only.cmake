# SPDX-License-Identifier: MIT
# Included by the top-level CMakeLists.txt when QUILLON_CORE_ONLY is on: the parts of Quillon
# that carry the platform code and need no Qt (the VISA seam and its loader, the
# single-instance lock, the simulated library) and the suite that tests them. A MinGW-w64
# cross-build of it runs under Wine (scripts/test-windows.sh); natively it builds as well.

quillon_library(quillon_instance_lock src/app/instance_lock.cpp)
quillon_library(quillon_parent_console src/app/parent_console.cpp)

find_package(tomlplusplus QUIET)
if(NOT tomlplusplus_FOUND)
    # A cross-build finds no toml++ package for its target, but the parser is header-only: use
    # the build machine's headers through a folder of their own, as the machine's whole include
    # folder would bring its C library's headers along.
    set(QUILLON_TOMLPLUSPLUS_HEADERS /usr/include/toml++ CACHE PATH "toml++'s header folder")
    if(NOT EXISTS ${QUILLON_TOMLPLUSPLUS_HEADERS}/toml.h)
        message(FATAL_ERROR "toml++ headers not found in ${QUILLON_TOMLPLUSPLUS_HEADERS} "
                            "(Debian: libtomlplusplus-dev)")
    endif()
    set(include_dir ${CMAKE_BINARY_DIR}/tomlplusplus-include)
    file(MAKE_DIRECTORY ${include_dir})
    file(CREATE_LINK ${QUILLON_TOMLPLUSPLUS_HEADERS} ${include_dir}/toml++ SYMBOLIC)
    add_library(tomlplusplus::tomlplusplus INTERFACE IMPORTED)
    target_include_directories(tomlplusplus::tomlplusplus SYSTEM INTERFACE ${include_dir})
    target_compile_definitions(tomlplusplus::tomlplusplus INTERFACE TOML_HEADER_ONLY=1)
endif()

add_subdirectory(sim)

# The program's resource script, compiled on its own: the program itself needs Qt.
if(WIN32)
    include(packaging/windows/version_resource.cmake)
    add_library(quillon_version_resource OBJECT ${QUILLON_VERSION_RESOURCE})
endif()

if(BUILD_TESTING)
    enable_testing()
    add_subdirectory(tests)
endif()
