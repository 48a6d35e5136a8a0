#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-14 in build-fuzz/ and runs each in turn on a fresh
# corpus grown from fuzz/seeds (and the shipped simulator profiles). A finding stops the script
# with exit 1; its reproducer is kept and the command that replays it is printed. Prints each
# fuzzer's executions and time.
#
# Usage: scripts/fuzz.sh [--seconds N | --runs N] [--build DIR] [FUZZER...]
#   --seconds  time per fuzzer (default 20)
#   --runs     executions per fuzzer instead of a time
#   --build    build folder (default build-fuzz/)
#   FUZZER     reply_number, calibration_file, sim_messages, sim_profile (default all)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-fuzz"
limit=(-max_total_time=20)
fuzzers=()
while [ $# -gt 0 ]; do
    case "$1" in
        --seconds) limit=(-max_total_time="$2"); shift 2 ;;
        --runs) limit=(-runs="$2"); shift 2 ;;
        --build) build="$2"; shift 2 ;;
        -*) sed -n '/^# Usage:/,/^[^#]/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 64 ;;
        *) fuzzers+=("$1"); shift ;;
    esac
done
[ ${#fuzzers[@]} -gt 0 ] || fuzzers=(reply_number calibration_file sim_messages sim_profile)

# shellcheck source=packages.sh
source "$root/scripts/packages.sh"
QUILLON_PACKAGES+=(clang-14 libclang-rt-14-dev)
quillon_install_missing_packages
launcher=()
command -v ccache > /dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
CC=clang-14 CXX=clang++-14 quillon_configure "$root" "$build" -DQUILLON_FUZZ=ON \
    -DBUILD_TESTING=OFF -DQUILLON_BENCHMARKS=OFF "${launcher[@]}" > /dev/null
cmake --build "$build" -j2 --target "${fuzzers[@]/%/_fuzzer}"

work="$(mktemp -d "${TMPDIR:-/tmp}/quillon-fuzz.XXXXXX")"
trap 'rm -rf "$work"' EXIT
findings="$build/fuzz-findings"
mkdir -p "$findings"
for name in "${fuzzers[@]}"; do
    corpus="$work/$name"
    mkdir -p "$corpus"
    [ ! -d "$root/fuzz/seeds/$name" ] || cp "$root/fuzz/seeds/$name"/* "$corpus/"
    [ "$name" != sim_profile ] || cp "$root/sim/profiles"/*.toml "$corpus/"
    start=$SECONDS
    status=0
    "$build/bin/${name}_fuzzer" "${limit[@]}" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$findings/${name}-" "$corpus" \
        > "$work/$name.log" 2>&1 || status=$?
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$name.log")"
    echo "fuzz $name: ${runs:-?} executions in $((SECONDS - start)) s"
    if [ "$status" != 0 ]; then
        tail -n 40 "$work/$name.log" >&2
        echo "fuzz $name: finding; replay with $build/bin/${name}_fuzzer FILE," \
             "the reproducer is in $findings" >&2
        exit 1
    fi
done
