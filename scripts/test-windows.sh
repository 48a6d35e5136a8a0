#!/usr/bin/env bash
# Cross-builds with MinGW-w64 the parts of Quillon that carry the Windows code and need no Qt
# (the VISA library loader, the single-instance lock, the simulated library), 64- and 32-bit;
# checks the simulated DLL's export tables against its module-definition file; compiles the
# program's resource script; runs the 64-bit tests under Wine. Ends with GoogleTest's summary
# and a line "N passed, 0 failed". Builds into build-windows/ (Wine's prefix included).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-windows"
# shellcheck source=packages.sh
source "$root/scripts/packages.sh"

QUILLON_PACKAGES=(cmake ninja-build googletest libtomlplusplus-dev wine wine64
                  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
                  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686)
quillon_install_missing_packages

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

# cross_build ARCH [CMAKE_ARGS...]: the core-only build for one MinGW-w64 target.
cross_build() {
    local arch="$1"
    shift
    quillon_configure "$root" "$build/$arch" \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-w64-$arch.cmake" \
        -DQUILLON_CORE_ONLY=ON -DQUILLON_WERROR=ON "${launcher[@]}" "$@"
    cmake --build "$build/$arch" -j2
}

cross_build x86_64
# 32 bits: the library and the loader's calling convention; Wine here runs 64-bit programs only.
cross_build i686 -DBUILD_TESTING=OFF

# The simulated DLL's exports: the module-definition file, the VISA functions its objects define
# (in 32 bits decorated "_name@bytes" for __stdcall, "_name" for the variadic, __cdecl ones) and
# both DLLs' export tables must name the same functions, undecorated.
def_names() {
    sed -n '/^EXPORTS/,$p' "$root/sim/quillon-sim-visa.def" | sed '1d; s/;.*//' | awk 'NF {print $1}' |
        sort
}
object_names() {
    local arch="$1" pattern="$2"
    "$arch-w64-mingw32-nm" --defined-only -g "$build/$arch"/sim/CMakeFiles/quillon_sim_visa.dir/*.obj |
        awk '$2 == "T" {print $3}' | grep -E '^_?vi[A-Z]' | sed -E "$pattern" | sort
}
export_names() {
    "$1-w64-mingw32-objdump" -p "$2" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
        awk '/^\t\[/ {print $3}' | sort
}
check_same() {
    if [ "$2" != "$3" ]; then
        echo "test-windows: $1 differ from sim/quillon-sim-visa.def:" >&2
        diff <(echo "$2") <(echo "$3") >&2 || true
        exit 1
    fi
}
expected="$(def_names)"
check_same "64-bit object symbols" "$expected" "$(object_names x86_64 's/^_//')"
check_same "32-bit object symbols" "$expected" "$(object_names i686 's/^_//; s/@[0-9]+$//')"
for target in x86_64:"$build/x86_64/bin/quillon-sim-visa.dll" i686:"$build/i686/bin/quillon-sim-visa.dll"; do
    echo "Export table of ${target#*:}:"
    export_names "${target%%:*}" "${target#*:}" | sed 's/^/    /'
    check_same "${target%%:*} DLL exports" "$expected" "$(export_names "${target%%:*}" "${target#*:}")"
done

# quillon.exe's resources, compiled by windres: the icon, and the project's version.
version="$(sed -n 's/^project(Quillon VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
resources="$(x86_64-w64-mingw32-windres -J coff -O rc \
    -i "$build/x86_64/CMakeFiles/quillon_version_resource.dir/quillon.rc.res")"
for expected_text in "RT_GROUP_ICON" "FILEVERSION ${version//./, }, 0" \
    "VALUE \"FileVersion\", \"$version\""; do
    if ! grep -qF "$expected_text" <<<"$resources"; then
        echo "test-windows: the resource script lacks $expected_text" >&2
        exit 1
    fi
done
echo "Resources: icon and version $version"

# Wine: a private prefix; no prompts to install its .NET and HTML components.
export WINEPREFIX="$build/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
log="$build/wine-tests.log"
trap 'wineserver -k 2>/dev/null || true' EXIT
[ -d "$WINEPREFIX" ] || { echo "Creating the Wine prefix $WINEPREFIX"; wineboot -i >/dev/null 2>&1; }

# A windows-subsystem program, as quillon.exe is, keeps standard streams redirected by its
# starter after taking the starter's console.
probe="$build/x86_64/bin/quillon_console_probe.exe"
[[ "$(x86_64-w64-mingw32-objdump -p "$probe")" =~ Subsystem[[:space:]]+00000002 ]] ||
    { echo "test-windows: $probe is not a windows-subsystem program" >&2; exit 1; }
probe_out="$(echo typed | wine "$probe" 2>"$build/probe-stderr.txt" | tr -d '\r')"
if [ "$probe_out" != "attached=0 read=typed" ] ||
    ! tr -d '\r' <"$build/probe-stderr.txt" | grep -qx "to standard error"; then
    echo "test-windows: the console probe lost a redirected stream: '$probe_out'" >&2
    exit 1
fi
echo "Console probe: redirected standard input, output and error kept"
status=0
# Wine writes the console's line ends as CR LF.
(cd "$build/x86_64" && wine bin/quillon_core_tests.exe) 2>&1 | tr -d '\r' | tee "$log" || status=$?
passed=$(grep -c '^\[       OK \]' "$log" || true)
failed=$(grep -Ec '^\[  FAILED  \] .* \([0-9]+ ms\)$' "$log" || true)
echo "$passed passed, $failed failed"
if [ "$status" -ne 0 ] || [ "$failed" -ne 0 ] || [ "$passed" -eq 0 ]; then
    exit 1
fi
