# SPDX-License-Identifier: MIT
# quillon.exe's resource script (icon and version information), configured from the project
# version. Sets QUILLON_VERSION_RESOURCE to the script's path, for the executable's sources.
enable_language(RC)
set(QUILLON_WINDOWS_ICON ${CMAKE_CURRENT_LIST_DIR}/quillon.ico)
set(QUILLON_VERSION_RESOURCE ${CMAKE_BINARY_DIR}/quillon.rc)
configure_file(${CMAKE_CURRENT_LIST_DIR}/quillon.rc.in ${QUILLON_VERSION_RESOURCE} @ONLY)
