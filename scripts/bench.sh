#!/usr/bin/env bash
# The README's figures table: builds Quillon in build/ (the default RelWithDebInfo build),
# measures on the simulated test set and prints one Markdown table with the machine it ran on.
#   scripts/bench.sh            about two minutes: two runs with the real pauses (26 s each)
#   scripts/bench.sh --quick    pauses skipped everywhere (QUILLON_PAUSE_SCALE=0)
# Times depend on the machine and its load; instruction counts (callgrind) do not, so the bus
# call overhead is given as both.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build"
bin="$build/bin"
quick=0
case "${1:-}" in
    "") ;;
    --quick) quick=1 ;;
    *) echo "usage: scripts/bench.sh [--quick]" >&2; exit 64 ;;
esac

# shellcheck source=packages.sh
source "$root/scripts/packages.sh"
QUILLON_PACKAGES+=(valgrind hyperfine time)
quillon_install_missing_packages
quillon_configure "$root" "$build" >/dev/null
cmake --build "$build" -j2 --target quillon quillon_sim_visa quillon_bench \
    quillon_gui_stall_bench >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export QUILLON_INSTANCE_LOCK="$work/lock"
unset QUILLON_SIM_PROFILE QUILLON_SIM_TRACE
rows=()
row() { rows+=("| $1 | $2 | $3 |"); }

# One default console run (five bands, wizard accepted): "wall user+system peak-RSS-kB".
console_run() {
    QUILLON_PAUSE_SCALE="$1" /usr/bin/time -f '%e %U %S %M' -o "$work/time" \
        "$bin/quillon" --console --sim --yes --save "$work/out.csv" >/dev/null
    [ "$(wc -l <"$work/out.csv")" -eq 73 ] || { echo "bench: the run saved no full table" >&2; exit 1; }
    awk '{ printf "%s %.2f %d\n", $1, $2 + $3, $4 }' "$work/time"
}
describe_run() {  # wall cpu kB -> text
    awk '{ printf "%.2f s wall, %.2f s CPU, %.1f MiB peak", $1, $2, $3 / 1024 }' <<<"$1"
}

# Default console runs.
if [ "$quick" -eq 0 ]; then
    row "Default console run, real pauses" "$(describe_run "$(console_run 1)")" \
        "\`quillon --console --sim --yes\`, once"
fi
# Without pauses the run is short: hyperfine's means for wall and CPU, one run for the peak.
hyperfine --style none --warmup 2 --runs 20 --export-json "$work/fast.json" \
    "QUILLON_PAUSE_SCALE=0 $bin/quillon --console --sim --yes" >/dev/null 2>&1
peak="$(console_run 0 | cut -d' ' -f3)"
row "Default console run, no pauses" "$(python3 -c 'import json,sys; r=json.load(open(sys.argv[1]))["results"][0]
print("%.0f ms wall, %.0f ms CPU (user %.0f, system %.0f), %.1f MiB peak" % (r["mean"]*1e3,
      (r["user"]+r["system"])*1e3, r["user"]*1e3, r["system"]*1e3, int(sys.argv[2])/1024))' \
    "$work/fast.json" "$peak")" "\`quillon --console --sim --yes\`, \`QUILLON_PAUSE_SCALE=0\`; hyperfine, means of 20"

# Start-up: to the wizard on the console (empty input cancels it at once: exit code 4), and in
# the windows from main to the test form shown.
hyperfine --style none --warmup 3 --runs 30 -i --export-json "$work/startup.json" \
    "QUILLON_PAUSE_SCALE=0 $bin/quillon --console --sim </dev/null" >/dev/null 2>&1
startup="$(python3 -c 'import json,sys; r=json.load(open(sys.argv[1]))["results"][0]
print("%.1f ms (median; mean %.1f ± %.1f ms)" % (r["median"]*1e3, r["mean"]*1e3, r["stddev"]*1e3))' \
    "$work/startup.json")"
row "Start-up to the test form, console" "$startup" \
    "process start to the wizard, then cancelled; hyperfine, 30 runs"

stall_scale=1
[ "$quick" -eq 1 ] && stall_scale=0
"$bin/quillon_gui_stall_bench" --pause-scale "$stall_scale" >"$work/stall" 2>/dev/null
form="$(sed -n 's/^  test form shown *\([0-9.]*\) ms.*/\1/p' "$work/stall")"
row "Start-up to the test form, windows" "$form ms" \
    "\`quillon_gui_stall_bench\`: main to the form shown, offscreen"
longest="$(sed -n 's/^  longest stall *\([0-9.]*\) ms at [0-9.]* s: \(.*\)/\1 ms (\2)/p' "$work/stall")"
p99="$(sed -n 's/^  99th percentile gap *\([0-9.]*\) ms/\1/p' "$work/stall")"
row "Longest GUI stall during a run" "$longest; 99th percentile gap $p99 ms" \
    "\`quillon_gui_stall_bench --pause-scale $stall_scale\`, offscreen"

# Bus call overhead: instructions per call (callgrind, exact counts) and time per call.
instructions() {
    valgrind --tool=callgrind --callgrind-out-file="$work/callgrind.$1" --collect-atstart=no \
        --toggle-collect='*counted*' "$bin/quillon_bench" --count-instructions "$1" 2000 \
        >/dev/null 2>&1
    awk '/^totals:/ { printf "%.0f", $2 / 2000 }' "$work/callgrind.$1"
}
checked="$(instructions checked)" bare="$(instructions bare)"
row "Bus call: \`sendWithStatusCheck\` against the bare library calls, instructions" \
    "$checked against $bare per call ($(awk -v c="$checked" -v b="$bare" 'BEGIN { printf "%+.1f %%", (c / b - 1) * 100 }'))" \
    "callgrind, 2000 calls each after a warm-up"
"$bin/quillon_bench" >"$work/bench" 2>/dev/null
timing="$(sed -n 's/^sendWithStatusCheck: \([0-9]*\) ns, bare viVPrintf, viVPrintf + viRead: \([0-9]*\) ns, overhead \([-+0-9.]*\) %.*/\1 ns against \2 ns per call (\3 %)/p' "$work/bench")"
row "Bus call: the same, time" "$timing" "\`quillon_bench\`, medians of 9 interleaved repetitions"

# The same bus traffic through PyVISA on the same simulated library: a default run's --trace
# replayed by scripts/pyvisa-replay.py, set against quillon's own CPU for the run (above).
QUILLON_PAUSE_SCALE=0 "$bin/quillon" --console --sim --yes --trace "$work/trace" >/dev/null
sim="$bin/libquillon-sim-visa.so"
hyperfine --style none --warmup 1 --runs 10 --export-json "$work/replay.json" \
    "/usr/bin/python3 $root/scripts/pyvisa-replay.py $work/trace $sim" \
    "/usr/bin/python3 -c \"import pyvisa; pyvisa.ResourceManager('$sim').close()\"" \
    >/dev/null 2>&1
calls="$(/usr/bin/python3 "$root/scripts/pyvisa-replay.py" "$work/trace" "$sim")"
row "PyVISA replay of the same traffic, CPU" "$(python3 -c 'import json,sys
replay, start = (r["user"] + r["system"] for r in json.load(open(sys.argv[1]))["results"])
own = json.load(open(sys.argv[2]))["results"][0]; own = own["user"] + own["system"]
print("%.0f ms, of which %.0f ms Python and PyVISA start-up: %.0f ms for the calls, %.1f times quillon'"'"'s %.0f ms for its whole run" % (
    replay * 1e3, start * 1e3, (replay - start) * 1e3, (replay - start) / own, own * 1e3))' \
    "$work/replay.json" "$work/fast.json")" \
    "\`scripts/pyvisa-replay.py\` on a default run's \`--trace\` ($calls); hyperfine, means of 10"

cpu="$(lscpu | sed -n 's/^Model name: *//p' | head -1)"
echo "Measured $(date -u +%Y-%m-%d) on $cpu, $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at the end; $(. /etc/os-release && echo "$PRETTY_NAME"), $(cmake -LA -N "$build" 2>/dev/null | sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p') build."
echo
echo "| Figure | Value | How |"
echo "|---|---|---|"
printf '%s\n' "${rows[@]}"
