#!/usr/bin/env bash
# Builds Quillon with warnings as errors and runs every test. Fails when a test fails or when
# no test ran at all.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"
# shellcheck source=packages.sh
source "$root/scripts/packages.sh"

quillon_install_missing_packages
quillon_configure "$root" "$build" -DQUILLON_WERROR=ON
cmake --build "$build" -j2
cd "$build"
ctest --output-on-failure -j2 --no-tests=error
