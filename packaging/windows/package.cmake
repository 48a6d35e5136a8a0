# SPDX-License-Identifier: MIT
# Windows: what an installed quillon.exe needs beside it, and the packages made of it. Included
# by packaging/CMakeLists.txt before CPack, after the install rules shared with other systems
# (quillon.exe, the simulated library and its profiles, all in bin/).

# windeployqt copies the Qt libraries and plugins quillon.exe uses (platform, styles, print
# support) and, for a MinGW build, the compiler's run-time libraries into the installed bin/.
find_program(QUILLON_WINDEPLOYQT windeployqt
    HINTS "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS}" "${Qt6_DIR}/../../../bin")
if(QUILLON_WINDEPLOYQT)
    install(CODE "
        set(exe \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/quillon.exe\")
        execute_process(COMMAND \"${QUILLON_WINDEPLOYQT}\" --no-translations
                                --no-system-d3d-compiler --no-opengl-sw \"\${exe}\"
                        COMMAND_ERROR_IS_FATAL ANY)")
else()
    message(WARNING "windeployqt not found: an installed quillon.exe will lack Qt's libraries")
endif()

# MSVC's run-time libraries beside the program, so no separate redistributable is needed.
if(MSVC)
    set(CMAKE_INSTALL_SYSTEM_RUNTIME_DESTINATION bin)
    include(InstallRequiredSystemLibraries)
endif()

# A toml++ built as a DLL (vcpkg's, MSYS2's) goes beside the simulated library that loads it.
get_target_property(QUILLON_TOML_TYPE tomlplusplus::tomlplusplus TYPE)
if(QUILLON_TOML_TYPE STREQUAL "SHARED_LIBRARY")
    install(IMPORTED_RUNTIME_ARTIFACTS tomlplusplus::tomlplusplus RUNTIME DESTINATION bin)
endif()

# Packages: always a zip; an installer with NSIS (makensis) or WiX 3 (candle) when installed.
set(CPACK_GENERATOR ZIP)
find_program(QUILLON_MAKENSIS makensis)
if(QUILLON_MAKENSIS)
    list(APPEND CPACK_GENERATOR NSIS)
endif()
find_program(QUILLON_WIX_CANDLE candle HINTS "$ENV{WIX}/bin")
if(QUILLON_WIX_CANDLE)
    list(APPEND CPACK_GENERATOR WIX)
endif()
set(QUILLON_WINDOWS_ICON ${CMAKE_CURRENT_LIST_DIR}/quillon.ico)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Quillon)
# A Start menu entry "Quillon" for bin/quillon.exe.
set(CPACK_PACKAGE_EXECUTABLES quillon Quillon)
set(CPACK_NSIS_DISPLAY_NAME Quillon)
set(CPACK_NSIS_PACKAGE_NAME Quillon)
set(CPACK_NSIS_MUI_ICON ${QUILLON_WINDOWS_ICON})
set(CPACK_NSIS_MUI_UNIICON ${QUILLON_WINDOWS_ICON})
set(CPACK_NSIS_INSTALLED_ICON_NAME "bin\\\\quillon.exe")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_WIX_PRODUCT_ICON ${QUILLON_WINDOWS_ICON})
set(CPACK_WIX_PROGRAM_MENU_FOLDER Quillon)
# Fixed for good: a newer installer with the same upgrade code replaces the older installation.
set(CPACK_WIX_UPGRADE_GUID BE519983-B5D7-4ACE-9416-2D429AE63F70)
