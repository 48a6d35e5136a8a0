#!/usr/bin/env bash
# Installs the Debian packages Quillon builds and tests with, only those that are missing.
# Sourced by the other scripts; runs apt-get through sudo only when not root.
set -euo pipefail

QUILLON_PACKAGES=(build-essential cmake ninja-build qt6-base-dev qt6-qpa-plugins libgl-dev
                  libgtest-dev libbenchmark-dev libtomlplusplus-dev xvfb xauth)
# Install tree and package checks: validators, the manual page reader, dpkg-shlibdeps.
QUILLON_PACKAGES+=(desktop-file-utils appstream man-db dpkg-dev)
# Results database drivers, the server the database tests start, the schema validator and a
# German locale for the record tests.
QUILLON_PACKAGES+=(libqt6sql6-sqlite libqt6sql6-psql postgresql-15 python3-jsonschema locales)
# The PyVISA test drives the simulated library through Debian's PyVISA.
QUILLON_PACKAGES+=(python3-pyvisa)
# The PDF report needs a font to draw with; its test reads the pages back with poppler.
QUILLON_PACKAGES+=(fonts-dejavu-core poppler-utils)
# The style check in CI: formatting and clang-tidy.
QUILLON_PACKAGES+=(clang-format clang-tidy)

quillon_install_missing_packages() {
    local missing=() package
    for package in "${QUILLON_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'
        then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
}

# Configures the build folder the scripts share.
quillon_configure() {
    local root="$1" build="$2"
    shift 2
    cmake -S "$root" -B "$build" -G Ninja "$@"
}
