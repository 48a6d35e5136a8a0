#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-14 in build-fuzz/ and runs each in turn on a fresh
# corpus grown from fuzz/seeds (and the shipped simulator profiles). A finding stops the script
# with exit 1; its reproducer is kept and the command that replays it is printed. Prints each
# fuzzer's executions and time.
#
# Usage: scripts/fuzz.sh [--seconds N | --runs N] [--jobs N] [--build DIR] [FUZZER...]
#   --seconds  time per fuzzer (default 20)
#   --runs     executions per fuzzer instead of a time (shared among the jobs)
#   --jobs     fuzzing processes per fuzzer on one corpus (default 1), for long runs
#   --build    build folder (default build-fuzz/)
#   FUZZER     reply_number, calibration_file, sim_messages, sim_profile (default all)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-fuzz"
limit=(-max_total_time=20)
runs=""
jobs=1
fuzzers=()
while [ $# -gt 0 ]; do
    case "$1" in
        --seconds) limit=(-max_total_time="$2"); shift 2 ;;
        --runs) runs="$2"; shift 2 ;;
        --jobs) jobs="$2"; shift 2 ;;
        --build) build="$2"; shift 2 ;;
        -*) sed -n '/^# Usage:/,/^[^#]/p' "$0" | sed '$d; s/^# \{0,1\}//' >&2; exit 64 ;;
        *) fuzzers+=("$1"); shift ;;
    esac
done
build="$(realpath -m "$build")"  # the fuzzers run from their own folder
[[ "$jobs" =~ ^[1-9][0-9]*$ ]] || { echo "fuzz: --jobs takes a count" >&2; exit 64; }
[ -z "$runs" ] || limit=(-runs=$(((runs + jobs - 1) / jobs)))
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
    # The simulator's input is at most 64 messages of a few dozen characters: longer inputs
    # would only slow each execution down.
    maxLen=4096
    [ "$name" != sim_messages ] || maxLen=1024
    parallel=()
    [ "$jobs" = 1 ] || parallel=(-jobs="$jobs" -workers="$jobs")
    start=$SECONDS
    status=0
    # Several jobs write one log each (fuzz-N.log) into the current folder; the first process
    # copies each into its own output when the job ends.
    (cd "$work" && exec "$build/bin/${name}_fuzzer" "${limit[@]}" "${parallel[@]}" \
        -max_len="$maxLen" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$findings/${name}-" "$corpus") > "$work/$name.log" 2>&1 || status=$?
    rm -f "$work"/fuzz-*.log
    executed="$(awk '/^stat::number_of_executed_units:/ { n += $2 } END { print n + 0 }' \
        "$work/$name.log")"
    echo "fuzz $name: $executed executions in $((SECONDS - start)) s ($jobs job(s))"
    if [ "$status" != 0 ]; then
        tail -n 40 "$work/$name.log" >&2
        echo "fuzz $name: finding; replay with $build/bin/${name}_fuzzer FILE," \
             "the reproducer is in $findings" >&2
        exit 1
    fi
done
